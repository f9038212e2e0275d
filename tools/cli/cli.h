// What every command-line tool shares: parsing with exit code 2 on bad usage, and error lines
// on standard error that name the tool and the file.
#pragma once

#include <string_view>

#include "tools/cli/cli11.h"

namespace karst::tools {

inline constexpr int kExitSuccess = 0;
inline constexpr int kExitFailure = 1;
inline constexpr int kExitUsage = 2;

// Gives the program --version, which prints one line, "name version", and exits with 0.
void AddVersionFlag(CLI::App& app);

// Parses the command line, read as platform::BeginConsoleTool gives it (which also makes the
// standard streams binary and the path strings UTF-8 on Windows). Returns -1 when the program should go on with its
// command; otherwise the exit code: 0 after --help or --version, 2 after a usage error (printed with a hint).
int ParseCommandLine(CLI::App& app, int argc, char** argv);

// The check of an option that takes a chunk number, whole and from 0 to 4294967295 in digits:
// anything else is refused with what a chunk number is.
CLI::Validator ChunkNumber();

// "tool: file: message" on standard error.
void ReportError(std::string_view tool, std::string_view file, std::string_view message);

}  // namespace karst::tools
