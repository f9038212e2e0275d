#include "platform/folder_scan.h"

#include <filesystem>

#include "platform/paths.h"

namespace karst::platform::folder_scan {

bool Ignored(const std::vector<std::string>& ignored, std::string_view relative) {
  const std::size_t slash = relative.rfind('/');
  const std::string_view parent = slash == std::string_view::npos ? std::string_view() : relative.substr(0, slash + 1);
  const std::string_view name = slash == std::string_view::npos ? relative : relative.substr(slash + 1);
  for (const std::string& entry : ignored) {
    if (relative == entry) {
      return true;
    }
    const std::size_t entrySlash = entry.rfind('/');
    const std::string_view entryParent =
        entrySlash == std::string::npos ? std::string_view() : std::string_view(entry).substr(0, entrySlash + 1);
    const std::string_view entryName =
        entrySlash == std::string::npos ? std::string_view(entry) : std::string_view(entry).substr(entrySlash + 1);
    if (parent == entryParent && name.size() > entryName.size() + 2 && name.front() == '.' &&
        name.substr(1, entryName.size()) == entryName && name[entryName.size() + 1] == '.') {
      return true;
    }
  }
  return false;
}

Scan ScanFolder(const std::string& folder, const std::vector<std::string>& ignored) {
  namespace fs = std::filesystem;
  Scan scan;
  const fs::path root = NativePath(folder);
  std::error_code error;
  fs::recursive_directory_iterator entry(root, fs::directory_options::skip_permission_denied, error), end;
  if (error) {
    return scan;
  }
  scan.present = true;
  for (; !error && entry != end; entry.increment(error)) {
    std::string relative = PathText(entry->path().lexically_relative(root));
    for (char& c : relative) {
      c = c == '\\' ? '/' : c;
    }
    if (Ignored(ignored, relative)) {
      continue;
    }
    std::error_code ignoredError;
    const bool directory = entry->is_directory(ignoredError);
    const std::uintmax_t size = directory ? 0 : entry->file_size(ignoredError);
    const std::int64_t time = entry->last_write_time(ignoredError).time_since_epoch().count();
    scan.entries[relative] = {directory, ignoredError ? 0 : size, time};
  }
  return scan;
}

bool Gone(const std::string& folder, const FileIdentity& identity) {
  const FileInfo info = InspectPath(folder);
  return info.kind != FileKind::kDirectory || !(info.identity == identity);
}

}  // namespace karst::platform::folder_scan
