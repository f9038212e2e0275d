// karst-sampleworld run as a program: it writes the whole world, byte for byte what the
// generator makes, into a folder it creates, and reports bad usage and unwritable places.
#include <gtest/gtest.h>

#include <cstddef>
#include <filesystem>
#include <iterator>
#include <string>

#include "authoring/sample_world.h"
#include "tests/support/built_programs.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace karst {
namespace {

TEST(SampleWorldTool, WritesEveryFileIntoANewFolder) {
  karst::testing::TempDir dir;
  const std::filesystem::path target = dir.path() / "new" / "world";
  const karst::testing::ProgramResult result =
      karst::testing::RunProgram(karst::testing::BuiltProgram("karst-sampleworld"), {target.string()});
  ASSERT_EQ(result.exitCode, 0) << result.errorOutput;
  EXPECT_EQ(result.errorOutput, "");
  EXPECT_EQ(result.output,
            "the sample world: RGN01.GFF, RGN02.GFF, RGN03.GFF, RGN04.GFF, OBJEX.GFF -> " + target.string() + "\n");
  const std::vector<authoring::WorldFile> expected = authoring::MakeSampleWorld();
  const auto written =
      std::distance(std::filesystem::directory_iterator(target), std::filesystem::directory_iterator{});
  EXPECT_EQ(written, static_cast<std::ptrdiff_t>(expected.size()));
  for (const authoring::WorldFile& file : expected) {
    EXPECT_TRUE(karst::testing::ReadFileBytes(target / file.name) == file.bytes) << file.name;
  }
}

TEST(SampleWorldTool, HelpShowsAnExample) {
  const karst::testing::ProgramResult result =
      karst::testing::RunProgram(karst::testing::BuiltProgram("karst-sampleworld"), {"--help"});
  EXPECT_EQ(result.exitCode, 0);
  EXPECT_NE(result.output.find("karst-sampleworld build/bin"), std::string::npos) << result.output;
}

TEST(SampleWorldTool, BadUsageExitsTwo) {
  EXPECT_EQ(karst::testing::RunProgram(karst::testing::BuiltProgram("karst-sampleworld"), {}).exitCode, 2);
  EXPECT_EQ(karst::testing::RunProgram(karst::testing::BuiltProgram("karst-sampleworld"), {"a", "b"}).exitCode, 2);
  EXPECT_EQ(karst::testing::RunProgram(karst::testing::BuiltProgram("karst-sampleworld"), {"--colour", "x"}).exitCode,
            2);
}

TEST(SampleWorldTool, FailuresNameTheFileAndExitOne) {
  karst::testing::TempDir dir;
  // A plain file where the folder should be.
  const std::filesystem::path blocker = dir.Write("blocker", std::vector<std::uint8_t>{1});
  karst::testing::ProgramResult result =
      karst::testing::RunProgram(karst::testing::BuiltProgram("karst-sampleworld"), {(blocker / "world").string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find(blocker.string()), std::string::npos) << result.errorOutput;

  // A folder in place of one of the files.
  std::filesystem::create_directories(dir.path() / "world" / "RGN02.GFF");
  result =
      karst::testing::RunProgram(karst::testing::BuiltProgram("karst-sampleworld"), {(dir.path() / "world").string()});
  EXPECT_EQ(result.exitCode, 1);
  EXPECT_NE(result.errorOutput.find((dir.path() / "world" / "RGN02.GFF").string()), std::string::npos)
      << result.errorOutput;
}

}  // namespace
}  // namespace karst
