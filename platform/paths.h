// How the program's path strings reach the file system, and how a console tool starts.
//
// Paths travel through the program as std::string. On POSIX they are bytes and pass as they
// are. On Windows they are in the system's code page by default, as the byte-string calls the
// viewer is built on return them (its folder must be nameable there); a console tool calls
// BeginConsoleTool first, and from then on its path strings are UTF-8 and reach the system
// through its wide-character calls, so it takes any path.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>
#include <vector>

namespace karst::platform {

// The file-system path a path string names. Every file operation on a path string goes
// through here (std::filesystem on Windows would take the bytes as neither encoding).
std::filesystem::path NativePath(std::string_view text);

// The path string of a file-system path, NativePath's inverse; on Windows with the system's own
// separator throughout.
std::string PathText(const std::filesystem::path& path);

// The last part of a path string: the file's (or folder's) own name.
inline std::string FileNameOf(std::string_view path) { return PathText(NativePath(path).filename()); }

// A console tool's start: returns the words of its command line, the program's name first
// (on Windows read from the wide command line and given as UTF-8, whatever the code page);
// makes standard output and standard error binary, so the bytes written are the bytes that
// arrive; and makes the process's path strings UTF-8.
std::vector<std::string> BeginConsoleTool(int argc, char** argv);

}  // namespace karst::platform
