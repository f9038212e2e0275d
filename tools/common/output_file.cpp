#include "tools/common/output_file.h"

#include <cstdio>
#include <fstream>
#include <random>
#include <system_error>

namespace karst::tools {

std::filesystem::path TemporaryPathFor(const std::filesystem::path& target) {
  std::random_device entropy;
  char suffix[16];
  std::snprintf(suffix, sizeof suffix, "%08x", static_cast<unsigned>(entropy()));
  // Appended piece by piece: GCC 12 at -O3 warns about a chain of string additions here.
  std::string name = ".";
  name.append(target.filename().string()).append(".").append(suffix).append(".part");
  return target.parent_path() / name;
}

std::string CommitTemporary(const std::filesystem::path& temporary, const std::filesystem::path& target) {
  std::error_code error;
  std::filesystem::rename(temporary, target, error);
  if (!error) {
    return {};
  }
  std::error_code ignored;
  std::filesystem::remove(temporary, ignored);
  return error.message();
}

std::string WriteFileAtomically(const std::filesystem::path& target, std::span<const std::uint8_t> bytes) {
  const std::filesystem::path temporary = TemporaryPathFor(target);
  {
    std::ofstream output(temporary, std::ios::binary | std::ios::trunc);
    if (!output) {
      return "cannot be created";
    }
    output.write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
    output.close();
    if (!output) {
      std::error_code ignored;
      std::filesystem::remove(temporary, ignored);
      return "cannot be written";
    }
  }
  return CommitTemporary(temporary, target);
}

}  // namespace karst::tools
