// The sub-folders of one folder, for a folder chooser drawn by the program itself where the
// system offers none.
#pragma once

#include <filesystem>
#include <string>
#include <vector>

namespace karst::platform {

struct FolderListing {
  // The names of the sub-folders (links to folders included), hidden ones left out, sorted as
  // FindFiles sorts: without regard to case, ties in byte order.
  std::vector<std::string> subfolders;
  // Why the folder cannot be listed, as the system says it; empty when it can.
  std::string problem;
};

FolderListing ListSubfolders(const std::string& folder);

// Whether the entry is hidden from people: on POSIX a name beginning with '.', on Windows the
// hidden or system attribute.
bool IsHiddenEntry(const std::filesystem::directory_entry& entry);

}  // namespace karst::platform
