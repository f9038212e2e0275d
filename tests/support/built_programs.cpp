#include "tests/support/built_programs.h"

#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "platform/files.h"

namespace karst::testing {

namespace {

// The path of the running test program.
std::filesystem::path TestProgram() {
  std::array<char, 4096> buffer{};
  const std::size_t length = platform::GetModuleFileName(buffer);
  if (length == 0) {
    std::fprintf(stderr, "the test program cannot read its own path\n");
    std::abort();
  }
  return std::filesystem::path(std::string(buffer.data(), length));
}

}  // namespace

std::string BuiltProgram(std::string_view name) {
  const std::filesystem::path self = TestProgram();
  // The programs share the test program's extension: ".exe" on Windows, none elsewhere.
  return (self.parent_path().parent_path() / "bin" / (std::string(name) + self.extension().string())).string();
}

std::filesystem::path SourcePath(std::string_view relative) {
  const std::filesystem::path file = TestProgram().parent_path() / "source-folder.txt";
  std::ifstream in(file, std::ios::binary);
  std::string folder;
  if (!std::getline(in, folder) || folder.empty()) {
    std::fprintf(stderr, "%s cannot be read: the build writes it\n", file.string().c_str());
    std::abort();
  }
  return std::filesystem::path(folder) / relative;
}

}  // namespace karst::testing
