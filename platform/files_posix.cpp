#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <memory>

#include "platform/directory_search.h"
#include "platform/files.h"

namespace karst::platform {
namespace {

struct DirectoryCloser {
  void operator()(DIR* directory) const { closedir(directory); }
};

}  // namespace

std::size_t GetModuleFileName(std::span<char> buffer) {
  if (buffer.empty()) {
    return 0;
  }
  std::fill(buffer.begin(), buffer.end(), '\0');
  const ssize_t length = readlink("/proc/self/exe", buffer.data(), buffer.size());
  // A path that fills the whole buffer may have been cut: no room is left for its zero byte.
  if (length <= 0 || static_cast<std::size_t>(length) >= buffer.size()) {
    std::fill(buffer.begin(), buffer.end(), '\0');
    return 0;
  }
  return static_cast<std::size_t>(length);
}

std::vector<std::string> FindFiles(std::string_view searchString) {
  const std::size_t cut = LastSeparator(searchString);
  std::string directory = ".";
  std::string_view pattern = searchString;
  if (cut != std::string_view::npos) {
    directory = std::string(searchString.substr(0, cut + 1));
    pattern = searchString.substr(cut + 1);
  }

  std::vector<std::string> names;
  const std::unique_ptr<DIR, DirectoryCloser> handle(opendir(directory.c_str()));
  if (!handle) {
    return names;
  }
  while (const dirent* entry = readdir(handle.get())) {
    names.emplace_back(entry->d_name);
  }
  return SortedMatches(pattern, std::move(names));
}

}  // namespace karst::platform
