#include <algorithm>

#include "platform/directory_search.h"
#include "platform/files.h"
#include "platform/text_encoding.h"

#include "platform/windows_api.h"

namespace karst::platform {

std::size_t GetModuleFileName(std::span<char> buffer) {
  if (buffer.empty()) {
    return 0;
  }
  std::fill(buffer.begin(), buffer.end(), '\0');
  const DWORD size = static_cast<DWORD>(std::min<std::size_t>(buffer.size(), MAXDWORD));
  const DWORD length = GetModuleFileNameA(nullptr, buffer.data(), size);
  // A path that fills the whole buffer has been cut (the system then ends it early).
  if (length == 0 || length >= size) {
    std::fill(buffer.begin(), buffer.end(), '\0');
    return 0;
  }
  return length;
}

namespace {

// Every name the system's search for `searchString` gives, in the code page's byte strings.
std::vector<std::string> SearchInCodePage(std::string_view searchString) {
  std::vector<std::string> names;
  WIN32_FIND_DATAA entry{};
  const HANDLE search = FindFirstFileA(std::string(searchString).c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    return names;
  }
  do {
    names.emplace_back(entry.cFileName);
  } while (FindNextFileA(search, &entry));
  FindClose(search);
  return names;
}

// The same through the wide calls, for path strings in UTF-8.
std::vector<std::string> SearchInUtf8(std::string_view searchString) {
  std::vector<std::string> names;
  WIN32_FIND_DATAW entry{};
  const HANDLE search = FindFirstFileW(WideFromBytes(searchString, CP_UTF8).c_str(), &entry);
  if (search == INVALID_HANDLE_VALUE) {
    return names;
  }
  do {
    names.push_back(BytesFromWide(entry.cFileName, CP_UTF8));
  } while (FindNextFileW(search, &entry));
  FindClose(search);
  return names;
}

}  // namespace

std::vector<std::string> FindFiles(std::string_view searchString) {
  const std::size_t cut = LastSeparator(searchString);
  const std::string_view pattern = cut == std::string_view::npos ? searchString : searchString.substr(cut + 1);
  std::vector<std::string> names =
      PathCodePage() == CP_UTF8 ? SearchInUtf8(searchString) : SearchInCodePage(searchString);
  // The system also matches the pattern against the short 8.3 names; only the names themselves count.
  return SortedMatches(pattern, std::move(names));
}

}  // namespace karst::platform
