#include "platform/folder_listing.h"

#include <algorithm>
#include <system_error>

#include "platform/directory_search.h"
#include "platform/paths.h"

namespace karst::platform {

FolderListing ListSubfolders(const std::string& folder) {
  FolderListing listing;
  std::error_code error;
  std::filesystem::directory_iterator entries(NativePath(folder), error);
  std::vector<std::string> names;
  for (; !error && entries != std::filesystem::directory_iterator(); entries.increment(error)) {
    std::error_code kindError;
    // A link to a folder is a folder to go into; a broken link or an entry that cannot be looked
    // at is none.
    if (entries->is_directory(kindError) && !IsHiddenEntry(*entries)) {
      names.push_back(PathText(entries->path().filename()));
    }
  }
  if (error) {
    listing.problem = error.message();
    return listing;
  }
  listing.subfolders = SortedMatches("*", std::move(names));
  return listing;
}

}  // namespace karst::platform
