// The tools' command lines speak plainly: what is wrong with a command line is said in words a
// user knows, usage lines name the whole command and its arguments, and option texts read as the
// README writes them.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "authoring/container_writer.h"
#include "gff/format.h"
#include "tests/support/built_programs.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace karst::tools {
namespace {

TEST(ToolUsage, BadCommandLinesSayWhatIsWrong) {
  const testing::TempDir dir;
  const std::string region =
      dir.Write("RGN01.GFF",
                authoring::WriteContainer({{kTagPal, {{3, std::vector<std::uint8_t>(768)}}}, {kTagTile, {{1, {1}}}}}))
          .string();
  const std::string picture = (dir.path() / "view.jpg").string();
  struct Case {
    std::string path;
    std::vector<std::string> arguments;
    int exitCode;
    std::string firstLine;  // of standard error
  };
  const std::string png = ": ends in .jpg, but what is written is a PNG picture: name it .png; nothing written";
  const std::vector<Case> cases = {
      {karst::testing::BuiltProgram("karst-render"),
       {"pictures", "A.GFF"},
       2,
       "karst-render: unknown subcommand \"pictures\"; the subcommands are region, frames, all, atlas"},
      {karst::testing::BuiltProgram("karst-render"),
       {},
       2,
       "karst-render: a subcommand is needed, one of region, frames, all, atlas"},
      {karst::testing::BuiltProgram("karst-gff"),
       {"--json", "infos"},
       2,
       "karst-gff: unknown subcommand \"infos\"; the subcommands are info, extract, check, objects, palette, "
       "entities, find, unpack, pack"},
      {karst::testing::BuiltProgram("karst-gff"),
       {"find", dir.path().string(), "--object", "-5"},
       2,
       "karst-gff: --object: \"-5\" is not a chunk number, a whole number from 0 to 4294967295"},
      {karst::testing::BuiltProgram("karst-gff"),
       {"extract", region, "PAL", "4294967296", "-o", "-"},
       2,
       "karst-gff: NUMBER: \"4294967296\" is not a chunk number, a whole number from 0 to 4294967295"},
      {karst::testing::BuiltProgram("karst-gff"),
       {"extract", region, "pal", "3", "-o", "-"},
       1,
       "karst-gff: " + region + ": no chunk pal 3 (tags are case-sensitive; the file's tags are PAL, TILE)"},
      {karst::testing::BuiltProgram("karst-gff"),
       {"extract", region, "PAL", "4", "-o", "-"},
       1,
       "karst-gff: " + region + ": no chunk PAL 4"},
      {karst::testing::BuiltProgram("karst-render"),
       {"region", region, "--no-objects", "-o", picture},
       2,
       "karst-render: " + picture + png},
      {karst::testing::BuiltProgram("karst-gff"),
       {"palette", region, "--format", "png", "-o", picture},
       2,
       "karst-gff: " + picture + png},
  };
  for (const Case& c : cases) {
    const testing::ProgramResult result = testing::RunProgram(c.path, c.arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.firstLine;
    EXPECT_EQ(result.errorOutput.substr(0, result.errorOutput.find('\n')), c.firstLine);
  }
  EXPECT_FALSE(std::filesystem::exists(picture));
}

TEST(ToolUsage, HelpShowsTheWholeCommandAndPlainOptionTexts) {
  struct Case {
    std::string path;
    std::vector<std::string> arguments;
    std::vector<std::string> shown;
  };
  const std::vector<Case> cases = {
      {karst::testing::BuiltProgram("karst-render"),
       {"region", "--help"},
       {"\nUsage: karst-render region [OPTIONS] RGN.GFF\n", "\n  RGN.GFF REQUIRED ", "\n  --view X,Y ",
        "\n  --scale N (1 to 16) "}},
      {karst::testing::BuiltProgram("karst-render"),
       {"all", "--help"},
       {"\nUsage: karst-render all [OPTIONS] GAMEDIR\n", "\n  -j,--jobs N (1 to 16) "}},
      {karst::testing::BuiltProgram("karst-gff"),
       {"extract", "--help"},
       {"\nUsage: karst-gff extract [OPTIONS] FILE.GFF TAG NUMBER\n"}},
      {karst::testing::BuiltProgram("karst-gff"),
       {"info", "--help"},
       {"\nUsage: karst-gff info [OPTIONS] FILE.GFF...\n"}},
  };
  for (const Case& c : cases) {
    const testing::ProgramResult result = testing::RunProgram(c.path, c.arguments);
    EXPECT_EQ(result.exitCode, 0);
    for (const std::string& text : c.shown) {
      EXPECT_NE(result.output.find(text), std::string::npos) << text << " in\n" << result.output;
    }
    for (const std::string clutter : {"UINT", ":X,Y", " TEXT "}) {
      EXPECT_EQ(result.output.find(clutter), std::string::npos) << clutter << " in\n" << result.output;
    }
  }
}

}  // namespace
}  // namespace karst::tools
