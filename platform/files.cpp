#include "platform/files.h"

#include <dirent.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <memory>

namespace karst::platform {
namespace {

unsigned char Folded(char c) { return static_cast<unsigned char>(std::tolower(static_cast<unsigned char>(c))); }

bool NameLess(const std::string& a, const std::string& b) {
  const std::size_t common = std::min(a.size(), b.size());
  for (std::size_t i = 0; i < common; ++i) {
    if (Folded(a[i]) != Folded(b[i])) {
      return Folded(a[i]) < Folded(b[i]);
    }
  }
  if (a.size() != b.size()) {
    return a.size() < b.size();
  }
  return a < b;
}

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

bool WildcardMatch(std::string_view pattern, std::string_view name) {
  // Iterative matching with one backtrack point: linear in practice, never exponential.
  std::size_t p = 0;
  std::size_t n = 0;
  std::size_t starPattern = std::string_view::npos;
  std::size_t starName = 0;
  while (n < name.size()) {
    if (p < pattern.size() && pattern[p] == '*') {
      starPattern = p++;
      starName = n;
    } else if (p < pattern.size() && (pattern[p] == '?' || Folded(pattern[p]) == Folded(name[n]))) {
      ++p;
      ++n;
    } else if (starPattern != std::string_view::npos) {
      p = starPattern + 1;
      n = ++starName;
    } else {
      return false;
    }
  }
  while (p < pattern.size() && pattern[p] == '*') {
    ++p;
  }
  return p == pattern.size();
}

std::vector<std::string> FindFiles(std::string_view searchString) {
  const std::size_t cut = searchString.rfind(kPathSeparator);
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
    if (WildcardMatch(pattern, entry->d_name)) {
      names.emplace_back(entry->d_name);
    }
  }
  std::sort(names.begin(), names.end(), NameLess);
  return names;
}

std::string LocateFile(std::string_view directory, std::string_view name) {
  // A name with wildcard characters would match other names; it is no file name of ours.
  if (name.empty() || name.find_first_of("*?/") != std::string_view::npos) {
    return {};
  }
  std::string prefix(directory);
  if (!prefix.empty() && prefix.back() != kPathSeparator) {
    prefix += kPathSeparator;
  }
  const std::vector<std::string> names = FindFiles(prefix.empty() ? std::string(name) : prefix + std::string(name));
  if (names.empty()) {
    return {};
  }
  const auto exact = std::find(names.begin(), names.end(), name);
  return prefix + (exact != names.end() ? *exact : names.front());
}

}  // namespace karst::platform
