// Reading a tool's input file whole.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace karst::tools {

// The file's bytes; nothing when it cannot be opened or read (a directory included).
std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path);

}  // namespace karst::tools
