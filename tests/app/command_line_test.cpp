// The viewer's command line: what each argument list asks for, the window scale that fits a
// desktop, where a path given starts the viewer, and the line that names a folder without
// region files.
#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <ostream>
#include <string>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/region_files.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace karst {
namespace {

struct ParseCase {
  std::vector<std::string_view> arguments;
  CommandLineAction action;
  std::optional<std::string> path;
  bool window;
  std::optional<int> scale;
  bool sampleWorld;
  std::string error;
};

void PrintTo(const ParseCase& c, std::ostream* out) {
  for (const std::string_view argument : c.arguments) *out << "[" << argument << "]";
}

class ParseTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParseTest, GivesTheActionOptionsAndError) {
  const ParseCase& c = GetParam();
  const ParsedCommandLine parsed = ParseViewerCommandLine(c.arguments);
  EXPECT_EQ(parsed.action, c.action);
  EXPECT_EQ(parsed.error, c.error);
  if (c.action == CommandLineAction::kRun) {
    EXPECT_EQ(parsed.options.path, c.path);
    EXPECT_EQ(parsed.options.window, c.window);
    EXPECT_EQ(parsed.options.scale, c.scale);
    EXPECT_EQ(parsed.options.sampleWorld, c.sampleWorld);
  }
}

using enum CommandLineAction;
const std::optional<std::string> kNoPath;

INSTANTIATE_TEST_SUITE_P(
    Arguments, ParseTest,
    ::testing::Values(
        ParseCase{{}, kRun, kNoPath, false, std::nullopt, false, ""},
        ParseCase{{"game"}, kRun, "game", false, std::nullopt, false, ""},
        ParseCase{{"--window", "game/RGN03.GFF"}, kRun, "game/RGN03.GFF", true, std::nullopt, false, ""},
        ParseCase{{"game", "--window", "--scale", "1"}, kRun, "game", true, 1, false, ""},
        ParseCase{{"--window", "--scale=8"}, kRun, kNoPath, true, 8, false, ""},
        ParseCase{{"--window", "--sample-world"}, kRun, kNoPath, true, std::nullopt, true, ""},
        ParseCase{{"--", "-game"}, kRun, "-game", false, std::nullopt, false, ""},
        ParseCase{{"-"}, kRun, "-", false, std::nullopt, false, ""},
        ParseCase{{"--help", "/some/game"}, kHelp, kNoPath, false, std::nullopt, false, ""},
        ParseCase{{"--bogus", "-h"}, kHelp, kNoPath, false, std::nullopt, false, ""},
        ParseCase{{"--version", "--help"}, kHelp, kNoPath, false, std::nullopt, false, ""},
        ParseCase{{"game", "--version"}, kVersion, kNoPath, false, std::nullopt, false, ""},
        ParseCase{{"--", "--help"}, kRun, "--help", false, std::nullopt, false, ""},
        ParseCase{{"--bogus"}, kUsageError, kNoPath, false, std::nullopt, false, "unknown option \"--bogus\""},
        ParseCase{{"-w"}, kUsageError, kNoPath, false, std::nullopt, false, "unknown option \"-w\""},
        ParseCase{{"a", "b"},
                  kUsageError,
                  kNoPath,
                  false,
                  std::nullopt,
                  false,
                  "one GAMEDIR or REGIONFILE only, not also \"b\""},
        ParseCase{
            {""}, kUsageError, kNoPath, false, std::nullopt, false, "an empty GAMEDIR or REGIONFILE names no folder"},
        ParseCase{{"--scale", "2"},
                  kUsageError,
                  kNoPath,
                  false,
                  std::nullopt,
                  false,
                  "--scale sizes the window: it needs --window"},
        ParseCase{{"--window", "--scale"},
                  kUsageError,
                  kNoPath,
                  false,
                  std::nullopt,
                  false,
                  "--scale needs a number from 1 to 8"},
        ParseCase{{"--window", "--scale", "0"},
                  kUsageError,
                  kNoPath,
                  false,
                  std::nullopt,
                  false,
                  "--scale: \"0\" is not a whole number from 1 to 8"},
        ParseCase{{"--window", "--scale=9"},
                  kUsageError,
                  kNoPath,
                  false,
                  std::nullopt,
                  false,
                  "--scale: \"9\" is not a whole number from 1 to 8"},
        ParseCase{{"--window", "--scale", "2x"},
                  kUsageError,
                  kNoPath,
                  false,
                  std::nullopt,
                  false,
                  "--scale: \"2x\" is not a whole number from 1 to 8"},
        ParseCase{{"--window", "--scale="},
                  kUsageError,
                  kNoPath,
                  false,
                  std::nullopt,
                  false,
                  "--scale: \"\" is not a whole number from 1 to 8"}));

TEST(WindowScaleTest, TheLargestWholeScaleThatFits) {
  struct Case {
    int width;
    int height;
    int scale;
  };
  for (const Case& c : std::vector<Case>{{639, 479, 1},
                                         {640, 480, 1},
                                         {1279, 1000, 1},
                                         {1280, 960, 2},
                                         {1920, 1040, 2},
                                         {1920, 1440, 3},
                                         {5120, 3840, 8},
                                         {10000, 10000, 8},
                                         {0, 0, 1}}) {
    EXPECT_EQ(WindowScaleFor(c.width, c.height), c.scale) << c.width << " x " << c.height;
  }
}

// POSIX only: the folders of the start point and of the installed sample world are spelled as
// POSIX paths.
#ifndef _WIN32
TEST(StartPointTest, AFolderItselfAFileItsFolderAndNameAMissingPathAsAFolder) {
  const testing::TempDir dir;
  const std::string folder = dir.path().string();
  dir.Write("RGN03.GFF", std::vector<std::uint8_t>{1});
  dir.Write("rgn04.gff", std::vector<std::uint8_t>{1});
  struct Case {
    std::string path;
    std::string folder;
    std::string firstRegion;
    bool missingFile = false;
  };
  for (const Case& c : std::vector<Case>{{folder, folder + "/", ""},
                                         {folder + "/", folder + "/", ""},
                                         {folder + "/RGN03.GFF", folder + "/", "RGN03.GFF"},
                                         {folder + "/missing", folder + "/missing/", ""},
                                         {folder + "/RGN03.GFF/", folder + "/RGN03.GFF/", ""},
                                         // Named in another case: as the folder spells it.
                                         {folder + "/RGN04.GFF", folder + "/", "rgn04.gff"},
                                         {folder + "/Rgn03.gff", folder + "/", "RGN03.GFF"},
                                         // Not there in any case: a missing file, not a folder.
                                         {folder + "/RGN05.GFF", folder + "/", "RGN05.GFF", true},
                                         {folder + "/nowhere/rgn01.gff", folder + "/nowhere/", "rgn01.gff", true}}) {
    const StartPoint point = StartPointFor(c.path);
    EXPECT_EQ(point.folder, c.folder) << c.path;
    EXPECT_EQ(point.firstRegion, c.firstRegion) << c.path;
    EXPECT_EQ(point.missingFile, c.missingFile) << c.path;
  }
}

TEST(StartPointTest, ABareFileNameLiesInTheCurrentFolder) {
  const testing::TempDir dir;
  dir.Write("RGN02.GFF", std::vector<std::uint8_t>{1});
  const std::filesystem::path before = std::filesystem::current_path();
  std::filesystem::current_path(dir.path());
  const StartPoint point = StartPointFor("RGN02.GFF");
  std::filesystem::current_path(before);
  EXPECT_EQ(point.folder, "./");
  EXPECT_EQ(point.firstRegion, "RGN02.GFF");
}

TEST(SampleWorldTest, ItLiesUnderShareBesideBin) {
  EXPECT_EQ(SampleWorldFolder("/usr/local/bin/"), "/usr/local/share/karst-viewer/sample-world/");
  EXPECT_EQ(SampleWorldFolder("/opt/k/bin"), "/opt/k/share/karst-viewer/sample-world/");
  EXPECT_EQ(SampleWorldFolder("/"), "/share/karst-viewer/sample-world/");
}
#endif  // _WIN32

TEST(WindowScaleReducedLineTest, SaysWhatWasAskedWhatFitsAndWhatIsTaken) {
  EXPECT_EQ(WindowScaleReducedLine(2, 1, 640, 480),
            "karst-viewer: --scale 2: a 1280 x 960 window does not fit the screen (640 x 480 free): scale 1 instead\n");
}

TEST(NoRegionFilesLineTest, NamesTheFolderAndWhyItCouldNotBeRead) {
  const testing::TempDir dir;
  const std::string folder = dir.path().string() + "/";
  // Printed with the system's own separator throughout.
  const std::string shown = dir.path().string() + platform::kPathSeparator;
  EXPECT_EQ(NoRegionFilesLine(folder), "karst-viewer: no region files (RGN*.GFF) in " + shown + "\n");
  EXPECT_EQ(NoRegionFilesLine(folder + "missing/"), "karst-viewer: no region files (RGN*.GFF) in " + shown + "missing" +
                                                        platform::kPathSeparator + ": No such file or directory\n");
}

TEST(EntryNamedTest, TheWholeFileNameAfterTheSeparatorElseTheFirst) {
  RegionList list;
  for (const char* path : {"/g//RGN01.GFF", "/g//RGN03.GFF", "/g//XRGN03.GFF"}) {
    list.Append(std::make_unique<std::string>(path));
  }
  const RegionList::Node* first = list.head();
  const RegionList::Node* third = first->next->next.get();
  EXPECT_EQ(EntryNamed(list, ""), first);
  EXPECT_EQ(EntryNamed(list, "RGN03.GFF"), first->next.get());
  EXPECT_EQ(EntryNamed(list, "XRGN03.GFF"), third);
  EXPECT_EQ(EntryNamed(list, "GN03.GFF"), first) << "a name's tail is no name";
  EXPECT_EQ(EntryNamed(list, "rgn03.gff"), first) << "the name as the folder spells it";
  EXPECT_EQ(EntryNamed(RegionList{}, "RGN01.GFF"), nullptr);
}

TEST(HelpTest, UsageHelpAndVersionTexts) {
  EXPECT_EQ(ViewerUsage(),
            "Usage: karst-viewer [GAMEDIR | REGIONFILE] [--window [--scale N]] [--sample-world]\n"
            "  or:  karst-viewer --help | --version\n");
  const std::string help = ViewerHelp();
  EXPECT_TRUE(help.starts_with(ViewerUsage()));
  for (const char* part : {"\nOptions:\n", "\nKeys:\n", "\nExamples:\n", "never writes", "--window", "--scale N"}) {
    EXPECT_NE(help.find(part), std::string::npos) << part;
  }
  EXPECT_EQ(ViewerVersion(), std::string("karst-viewer ") + KARST_VERSION + "\n");
}

}  // namespace
}  // namespace karst
