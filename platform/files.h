// The file-system services the shell needs from the platform: the path of the program's own
// file and a wildcard search of one directory.
#pragma once

#include <cstddef>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace karst::platform {

// The path separator of this platform. Windows also takes '/', and FindFiles and LocateFile
// split a search string at either there.
#ifdef _WIN32
inline constexpr char kPathSeparator = '\\';
#else
inline constexpr char kPathSeparator = '/';
#endif

// True for a character that separates a path's parts: '/', and the platform's own.
constexpr bool IsPathSeparator(char c) { return c == '/' || c == kPathSeparator; }

// Writes the full path of the running program, zero-terminated, into `buffer`. Returns the
// path's length, or 0 when it cannot be read or does not fit the buffer with its zero byte.
std::size_t GetModuleFileName(std::span<char> buffer);

// True when `name` matches `pattern`: '*' stands for any run of characters (none included),
// '?' for exactly one, and letters match without regard to case.
bool WildcardMatch(std::string_view pattern, std::string_view name);

// True when `a` and `b` name one entry as the game's own platform finds files: equal but for the
// case of letters ("rgn02.gff" is "RGN02.GFF").
bool SameFileName(std::string_view a, std::string_view b);

// Searches with a search string "directory/pattern" (a string without a separator searches the
// current directory). Returns the names of the matching entries, files and sub-directories
// alike, sorted by name without regard to case (ties in byte order) so the order is the same on
// every machine. An unreadable directory gives no names.
std::vector<std::string> FindFiles(std::string_view searchString);

// The path of the entry of `directory` named `name` without regard to case, as the game's own
// platform finds its files ("objex.gff" is "OBJEX.GFF"): the exact spelling when it is there,
// otherwise the first in FindFiles' order. Empty when there is none. `directory` may end in a
// separator or not; an empty one is the current directory.
std::string LocateFile(std::string_view directory, std::string_view name);

}  // namespace karst::platform
