#include "app/region_files.h"

#include <array>

#include "platform/files.h"

namespace karst {

std::optional<std::string> FindWorkingPath() {
  std::array<char, 512> buffer{};
  if (platform::GetModuleFileName(buffer) == 0) {
    return std::nullopt;
  }
  return DirectoryOf(std::string_view(buffer.data()));
}

std::optional<std::string> DirectoryOf(std::optional<std::string_view> path) {
  if (!path) {
    return std::nullopt;
  }
  const std::size_t separator = path->find_last_of("/\\");
  if (separator == std::string_view::npos) {
    return std::string(*path);
  }
  return std::string(path->substr(0, separator + 1));
}

std::unique_ptr<RegionList> FindRegionFiles(std::string_view directory, std::string_view pattern) {
  auto list = std::make_unique<RegionList>();
  std::string search(directory);
  if (search.empty() || !platform::IsPathSeparator(search.back())) {
    search.push_back(platform::kPathSeparator);
  }
  search.append(pattern);

  for (const std::string& name : platform::FindFiles(search)) {
    if (name == "." || name == "..") {
      continue;
    }
    auto fullPath = std::make_unique<std::string>(directory);
    fullPath->push_back(platform::kPathSeparator);
    fullPath->append(name);
    list->Append(std::move(fullPath));
  }
  return list;
}

const RegionList::Node* EntryNamed(const RegionList& list, std::string_view fileName) {
  if (!fileName.empty()) {
    for (const RegionList::Node* node = list.head(); node != nullptr; node = node->next.get()) {
      const std::string_view path = *node->data;
      if (path.size() > fileName.size() && path.ends_with(fileName) &&
          platform::IsPathSeparator(path[path.size() - fileName.size() - 1])) {
        return node;
      }
    }
  }
  return list.head();
}

}  // namespace karst
