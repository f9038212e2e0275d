#include "platform/files.h"

#include <algorithm>
#include <cctype>

#include "platform/directory_search.h"

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

}  // namespace

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

bool SameFileName(std::string_view a, std::string_view b) {
  return a.size() == b.size() &&
         std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) { return Folded(x) == Folded(y); });
}

std::size_t LastSeparator(std::string_view searchString) {
  for (std::size_t i = searchString.size(); i > 0; --i) {
    if (IsPathSeparator(searchString[i - 1])) {
      return i - 1;
    }
  }
  return std::string_view::npos;
}

std::vector<std::string> SortedMatches(std::string_view pattern, std::vector<std::string> names) {
  std::erase_if(names, [pattern](const std::string& name) { return !WildcardMatch(pattern, name); });
  std::sort(names.begin(), names.end(), NameLess);
  return names;
}

std::string LocateFile(std::string_view directory, std::string_view name) {
  // A name with wildcard characters would match other names; it is no file name of ours.
  if (name.empty() || name.find_first_of("*?/") != std::string_view::npos ||
      name.find(kPathSeparator) != std::string_view::npos) {
    return {};
  }
  std::string prefix(directory);
  if (!prefix.empty() && !IsPathSeparator(prefix.back())) {
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
