// Reading a tool's input file, and saying why it cannot be read.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace karst::tools {

// Why `path` cannot be read as a file, in the system's words ("No such file or directory", "Is a
// directory", "Permission denied"); empty when it can be opened for reading.
std::string InputProblem(const std::string& path);

// The file's bytes; nothing when it cannot be opened or read (a directory included).
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path);

}  // namespace karst::tools
