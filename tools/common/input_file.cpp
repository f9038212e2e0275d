#include "tools/common/input_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

namespace karst::tools {

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(path, error)) {
    return std::nullopt;
  }
  std::ifstream input(path, std::ios::binary);
  if (!input) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes{std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>()};
  if (input.bad()) {
    return std::nullopt;
  }
  return bytes;
}

}  // namespace karst::tools
