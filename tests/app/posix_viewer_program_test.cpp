// The built viewer run as a user runs it, beside a world of its own, where no display can show
// it: it must say so and end at once instead of waiting, unseen, for a focus that never comes.
// POSIX only: the viewer is run under timeout(1).
#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <ostream>
#include <string>
#include <vector>

#include "tests/app/app_test_support.h"
#include "tests/support/built_programs.h"
#include "tests/support/run_program.h"

namespace karst::app_tests {
namespace {

// How the session looks to the viewer: the variables it lacks and those it has.
struct Session {
  const char* label;
  std::vector<std::string> unset;
  std::vector<std::string> set;  // NAME=value
};

void PrintTo(const Session& session, std::ostream* out) { *out << session.label; }

class ViewerWithoutDisplay : public ::testing::TestWithParam<Session> {};

TEST_P(ViewerWithoutDisplay, SaysTheDisplayCannotBeSetUpAndEndsWithZero) {
  const TestWorld world;
  const std::filesystem::path viewer = std::filesystem::path(world.path()) / "karst-viewer";
  std::filesystem::copy_file(karst::testing::BuiltProgram("karst-viewer"), viewer);

  // No driver is asked for, so the viewer picks one itself; a viewer that waits after all is
  // killed after 60 seconds, which shows as exit code -1.
  std::vector<std::string> arguments{"-u", "SDL_VIDEODRIVER", "-u", "WAYLAND_DISPLAY"};
  for (const std::string& name : GetParam().unset) {
    arguments.insert(arguments.end(), {"-u", name});
  }
  arguments.insert(arguments.end(), GetParam().set.begin(), GetParam().set.end());
  // In a sanitizer build leak checking is off for the program, as in the end-to-end test: the
  // D-Bus library behind SDL keeps an allocation until exit. The in-process tests check our own
  // code for leaks.
  const char* sanitizerOptions = std::getenv("ASAN_OPTIONS");
  arguments.push_back("ASAN_OPTIONS=" + (sanitizerOptions != nullptr ? std::string(sanitizerOptions) + ":" : "") +
                      "detect_leaks=0");
  arguments.insert(arguments.end(), {"/usr/bin/timeout", "-s", "KILL", "60", viewer.string()});
  const testing::ProgramResult result = testing::RunProgram("/usr/bin/env", arguments);

  EXPECT_EQ(result.exitCode, 0);
  EXPECT_EQ(result.errorOutput, "Error: Unable to initialize DirectDraw and load object data!\n");
  EXPECT_EQ(result.output, "");
}

INSTANTIATE_TEST_SUITE_P(
    Sessions, ViewerWithoutDisplay,
    ::testing::Values(Session{"no display named", {"DISPLAY", "XDG_RUNTIME_DIR"}, {}},
                      Session{"a display without a server", {"XDG_RUNTIME_DIR"}, {"DISPLAY=:12345"}},
                      Session{"a runtime folder without a compositor", {"DISPLAY"}, {"XDG_RUNTIME_DIR=/nonexistent"}}));

// The command line, with no display anywhere: nothing here may need one.
struct CommandCase {
  const char* label;
  std::vector<std::string> arguments;
  int exitCode;
  std::string output;
  std::string errorOutput;
};

void PrintTo(const CommandCase& c, std::ostream* out) { *out << c.label; }

class ViewerCommandLine : public ::testing::TestWithParam<CommandCase> {};

const std::string kUsage =
    "Usage: karst-viewer [GAMEDIR | REGIONFILE] [--window [--scale N]] [--sample-world]\n"
    "  or:  karst-viewer --help | --version\n";

TEST_P(ViewerCommandLine, ExitCodeAndTexts) {
  const testing::TempDir dir;
  std::vector<std::string> arguments{
      "-u", "DISPLAY", "-u", "WAYLAND_DISPLAY", "-u", "SDL_VIDEODRIVER", karst::testing::BuiltProgram("karst-viewer")};
  for (std::string argument : GetParam().arguments) {
    if (argument.starts_with("MISSING")) {
      argument.replace(0, 7, (dir.path() / "missing").string());
    }
    arguments.push_back(argument);
  }
  const testing::ProgramResult result = testing::RunProgram("/usr/bin/env", arguments);
  EXPECT_EQ(result.exitCode, GetParam().exitCode);
  std::string errorOutput = GetParam().errorOutput;
  if (const std::size_t at = errorOutput.find("MISSING"); at != std::string::npos) {
    errorOutput.replace(at, 7, (dir.path() / "missing").string());
  }
  if (GetParam().label == std::string("help")) {
    EXPECT_TRUE(result.output.starts_with(kUsage)) << result.output;
    EXPECT_NE(result.output.find("\nExamples:\n"), std::string::npos);
  } else {
    EXPECT_EQ(result.output, GetParam().output);
  }
  EXPECT_EQ(result.errorOutput, errorOutput);
}

INSTANTIATE_TEST_SUITE_P(
    Arguments, ViewerCommandLine,
    ::testing::Values(CommandCase{"help", {"--help", "/some/game"}, 0, "", ""},
                      CommandCase{"version", {"--version"}, 0, std::string("karst-viewer ") + KARST_VERSION + "\n", ""},
                      CommandCase{
                          "bad option",
                          {"--bogus", "game"},
                          2,
                          "",
                          "karst-viewer: unknown option \"--bogus\"\n" + kUsage + "Run with --help for more.\n"},
                      CommandCase{"second path",
                                  {"a", "b"},
                                  2,
                                  "",
                                  "karst-viewer: one GAMEDIR or REGIONFILE only, not also \"b\"\n" + kUsage +
                                      "Run with --help for more.\n"},
                      CommandCase{"bad scale",
                                  {"--window", "--scale", "9", "game"},
                                  2,
                                  "",
                                  "karst-viewer: --scale: \"9\" is not a whole number from 1 to 8\n" + kUsage +
                                      "Run with --help for more.\n"},
                      CommandCase{"missing folder",
                                  {"MISSING"},
                                  0,
                                  "",
                                  "karst-viewer: no region files (RGN*.GFF) in MISSING/: No such file or directory\n"
                                  "Error: Unable to find region files!\n"},
                      CommandCase{"missing region file",
                                  {"MISSING/RGN04.GFF"},
                                  0,
                                  "",
                                  "karst-viewer: MISSING/RGN04.GFF: no such file (names matched without regard to "
                                  "case)\n"
                                  "Error: Unable to find region files!\n"}));

}  // namespace
}  // namespace karst::app_tests
