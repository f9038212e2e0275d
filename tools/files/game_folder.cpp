#include "tools/files/game_folder.h"

#include <filesystem>
#include <system_error>

#include "data/region.h"
#include "platform/files.h"
#include "platform/paths.h"

namespace karst::tools {
namespace {

// The library as found in `folder`; empty when there is none.
std::string FoundLibraryIn(const std::string& folder) { return platform::LocateFile(folder, kObjectLibraryFileName); }

}  // namespace

RegionFileList RegionFilesIn(const std::string& folder) {
  const std::filesystem::path path = platform::NativePath(folder);
  std::error_code error;
  if (!std::filesystem::is_directory(path, error)) {
    const bool exists = std::filesystem::exists(path, error);
    return {{},
            (exists ? std::make_error_code(std::errc::not_a_directory)
                    : std::make_error_code(std::errc::no_such_file_or_directory))
                .message()};
  }
  // The search gives no names for a folder it cannot read: that is said as the system says it.
  const std::filesystem::directory_iterator readable(path, error);
  if (error) {
    return {{}, error.message()};
  }
  RegionFileList list{platform::FindFiles(platform::PathText(path / std::string(kRegionFilePattern))), {}};
  if (list.names.empty()) {
    list.problem = "no region files (RGN*.GFF)";
  }
  return list;
}

std::string ObjectLibraryIn(const std::string& folder) {
  const std::string found = FoundLibraryIn(folder);
  return found.empty() ? platform::PathText(platform::NativePath(folder) / kObjectLibraryFileName) : found;
}

std::string LibraryBeside(const std::string& file) {
  return FoundLibraryIn(platform::PathText(platform::NativePath(file).parent_path()));
}

}  // namespace karst::tools
