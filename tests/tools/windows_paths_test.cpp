// The tools on Windows take any path: folder and file names outside the code page reach them
// through the wide command line, and every file they read or write is named in UTF-8.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/built_programs.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace karst {
namespace {

using karst::testing::ProgramResult;
using karst::testing::ReadFileBytes;
using karst::testing::RunProgram;

std::string Utf8(const std::filesystem::path& path) {
  const std::u8string text = path.u8string();
  return std::string(text.begin(), text.end());
}

TEST(WindowsPaths, TheToolsReadAndWriteFoldersNamedInAnyScript) {
  const karst::testing::TempDir dir;
  // "Welt é€" and "Карта": neither fits one code page with the other.
  const std::filesystem::path world = dir.path() / std::filesystem::path(u8"Welt \u00e9\u20ac");
  const std::filesystem::path pictures = dir.path() / std::filesystem::path(u8"\u041a\u0430\u0440\u0442\u0430");
  ASSERT_EQ(RunProgram(karst::testing::BuiltProgram("karst-sampleworld"), {Utf8(world)}).exitCode, 0);
  const ProgramResult all =
      RunProgram(karst::testing::BuiltProgram("karst-render"), {"all", Utf8(world), "-o", Utf8(pictures)});
  ASSERT_EQ(all.exitCode, 0) << all.errorOutput;
  EXPECT_NE(all.output.find(Utf8(pictures / "RGN04.png")), std::string::npos) << all.output;
  for (const char* name : {"RGN01", "RGN02", "RGN03", "RGN04"}) {
    const std::vector<std::uint8_t> picture = ReadFileBytes(pictures / (std::string(name) + ".png"));
    ASSERT_FALSE(picture.empty()) << name;
    // The standard output is binary: the same bytes as the file, no line end turned into two.
    const ProgramResult region = RunProgram(karst::testing::BuiltProgram("karst-render"),
                                            {"region", Utf8(world / (std::string(name) + ".GFF")), "-o", "-"});
    EXPECT_EQ(region.exitCode, 0) << region.errorOutput;
    EXPECT_EQ(region.output, std::string(picture.begin(), picture.end())) << name;
  }
  const ProgramResult check = RunProgram(karst::testing::BuiltProgram("karst-gff"), {"check", Utf8(world)});
  EXPECT_EQ(check.exitCode, 0) << check.output << check.errorOutput;
}

}  // namespace
}  // namespace karst
