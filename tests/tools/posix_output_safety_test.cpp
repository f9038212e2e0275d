// What the tools write, run as programs on the sample world: no output is ever one of the run's
// inputs or a file holding a GFF container (refused, exit 2, nothing changed anywhere), names
// that differ only in case never overwrite each other, "-" is the standard output for the
// commands with one output, and every output that cannot be written says why.
// POSIX only: permission bits and symbolic links.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "authoring/sample_world.h"
#include "gff/format.h"
#include "tests/support/built_programs.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "tools/pictures/png_file.h"

namespace karst {
namespace {

using karst::testing::ProgramResult;
using karst::testing::ReadFileBytes;
using karst::testing::RunProgram;
using karst::testing::TempDir;
using Bytes = std::vector<std::uint8_t>;
namespace fs = std::filesystem;

Bytes WorldFileBytes(const std::string& name) {
  for (const authoring::WorldFile& file : authoring::MakeSampleWorld()) {
    if (file.name == name) {
      return file.bytes;
    }
  }
  return {};
}

// Every entry under `root`, links not followed: a folder, a link with its target, or a file with
// its bytes.
std::map<std::string, std::string> Snapshot(const fs::path& root) {
  std::map<std::string, std::string> entries;
  for (const fs::directory_entry& entry : fs::recursive_directory_iterator(root)) {
    const std::string name = fs::relative(entry.path(), root).string();
    if (entry.is_symlink()) {
      entries[name] = "link to " + fs::read_symlink(entry.path()).string();
    } else if (entry.is_directory()) {
      entries[name] = "folder";
    } else {
      const Bytes bytes = ReadFileBytes(entry.path());
      entries[name] = std::string(bytes.begin(), bytes.end());
    }
  }
  return entries;
}

// The name of one frame `frames` writes for `container`.
std::string AFrameName(const fs::path& container) {
  const TempDir scratch;
  RunProgram(karst::testing::BuiltProgram("karst-render"),
             {"frames", container.string(), "-o", scratch.path().string()});
  return fs::directory_iterator(scratch.path())->path().filename().string();
}

TEST(OutputSafety, AnOutputThatIsAnInputOrHoldsAContainerIsRefusedAndNothingChanges) {
  const TempDir dir;
  const fs::path game = dir.path();
  karst::testing::WriteSampleWorld(game);
  const std::string region = (game / "RGN01.GFF").string();
  const std::string library = (game / "OBJEX.GFF").string();
  fs::create_symlink("RGN01.GFF", game / "link.png");
  fs::create_hard_link(game / "OBJEX.GFF", game / "hard.png");
  fs::copy_file(game / "RGN03.GFF", game / "saved.png");
  fs::create_directories(game / "pictures");
  fs::create_symlink("../RGN02.GFF", game / "pictures" / "RGN02.png");
  const std::string frame = AFrameName(region);
  fs::create_directories(game / "frames");
  fs::create_symlink("../RGN01.GFF", game / "frames" / frame);
  fs::create_directories(game / "copies");
  fs::copy_file(game / "OBJEX.GFF", game / "copies" / frame);

  const auto at = [&](const std::string& name) { return (game / name).string(); };
  const std::string sameAs = ": is the same file as the input ";
  const std::string container = ": holds a GFF container, which no tool writes over; nothing written\n";
  struct Case {
    std::string program;
    std::vector<std::string> arguments;
    std::string output;  // the path the message names first
    std::string reason;  // the rest of the line
  };
  const std::string render = karst::testing::BuiltProgram("karst-render");
  const std::string gff = karst::testing::BuiltProgram("karst-gff");
  const std::vector<Case> cases = {
      {render, {"region", region, "--objects", library, "-o", region}, region, sameAs + region},
      {render, {"region", region, "--objects", library, "-o", library}, library, sameAs + library},
      {render, {"region", region, "--objects", library, "-o", at("link.png")}, at("link.png"), sameAs + region},
      {render, {"region", region, "--objects", library, "-o", at("hard.png")}, at("hard.png"), sameAs + library},
      {render, {"region", region, "-o", at("RGN02.GFF")}, at("RGN02.GFF"), container},
      {render, {"region", region, "-o", at("saved.png")}, at("saved.png"), container},
      {gff, {"extract", region, "PAL", "3", "-o", region}, region, sameAs + region},
      {gff, {"extract", region, "PAL", "3", "-o", at("RGN02.GFF")}, at("RGN02.GFF"), container},
      {gff, {"extract", region, "PAL", "3", "-o", at("link.png")}, at("link.png"), sameAs + region},
      {render, {"frames", region, "-o", region}, region, sameAs + region},
      {render, {"frames", region, "-o", at("frames")}, at("frames/" + frame), sameAs + region},
      {render, {"frames", region, "-o", at("copies")}, at("copies/" + frame), container},
      {render, {"all", game.string(), "-o", library}, library, sameAs + library},
      {render, {"all", game.string(), "-o", at("pictures")}, at("pictures/RGN02.png"), sameAs + at("RGN02.GFF")},
  };
  const std::map<std::string, std::string> before = Snapshot(game);
  for (const Case& refused : cases) {
    const ProgramResult result = RunProgram(refused.program, refused.arguments);
    const std::string tool = fs::path(refused.program).filename().string();
    const std::string expected =
        tool + ": " + refused.output + refused.reason + (refused.reason == container ? "" : "; nothing written\n");
    EXPECT_EQ(result.exitCode, 2) << refused.arguments[0] << " -o " << refused.arguments.back();
    EXPECT_EQ(result.errorOutput, expected);
    EXPECT_EQ(result.output, "");
    EXPECT_TRUE(Snapshot(game) == before) << refused.arguments[0] << " -o " << refused.arguments.back();
  }
}

TEST(OutputSafety, AnOutputNamedLikeAGameFileIsRefusedAndNothingIsWritten) {
  const TempDir dir;
  const fs::path game = dir.path();
  karst::testing::WriteSampleWorld(game);
  fs::rename(game / "OBJEX.GFF", game / "objex.gff");
  const std::string region = (game / "RGN01.GFF").string();
  const auto at = [&](const std::string& name) { return (game / name).string(); };
  struct Case {
    std::string program;
    std::vector<std::string> arguments;  // the output last
  };
  const std::string render = karst::testing::BuiltProgram("karst-render");
  const std::string gff = karst::testing::BuiltProgram("karst-gff");
  const std::vector<Case> cases = {
      {render, {"region", region, "-o", at("OBJEX.GFF")}},
      {render, {"region", region, "--no-objects", "-o", at("rgn09.gff")}},
      {render, {"region", region, "--no-objects", "-o", at("RGN.GFF")}},
      {gff, {"palette", region, "--format", "gpl", "-o", at("Rgn05.Gff")}},
      {gff, {"extract", region, "PAL", "3", "-o", at("Objex.Gff")}},
      {render, {"all", game.string(), "-o", at("RGN07.GFF")}},
      {render, {"frames", region, "-o", at("rgn08.gff/")}},
      {render, {"atlas", game.string(), "-o", at("RGN06.GFF")}},
  };
  const std::map<std::string, std::string> before = Snapshot(game);
  for (const Case& refused : cases) {
    const ProgramResult result = RunProgram(refused.program, refused.arguments);
    EXPECT_EQ(result.exitCode, 2) << refused.arguments.back();
    EXPECT_EQ(result.errorOutput, fs::path(refused.program).filename().string() + ": " + refused.arguments.back() +
                                      ": has a game file's name (RGN*.GFF or OBJEX.GFF, in any case): the viewer "
                                      "and the tools would take it for one; nothing written\n");
    EXPECT_TRUE(Snapshot(game) == before) << refused.arguments.back();
  }
  // Names the viewer and the tools pass by.
  for (const std::string name : {"RGN01.GFF.bin", "XRGN01.GFF", "OBJEX.GFF.bak"}) {
    const ProgramResult result = RunProgram(gff, {"extract", region, "PAL", "3", "-o", at(name)});
    EXPECT_EQ(result.exitCode, 0) << name << ": " << result.errorOutput;
  }
}

TEST(OutputSafety, TheSampleWorldWritesOverNoOtherGameFilesWithoutForce) {
  Bytes changed = WorldFileBytes("RGN01.GFF");
  changed.back() ^= 1;
  struct Case {
    std::string file;  // added to, or written over in, a folder holding the sample world
    Bytes bytes;
    bool refused;
  };
  const std::vector<Case> cases = {
      {"RGN01.GFF", changed, true},
      {"rgn05.gff", Bytes{'G', 'F', 'F', 'I'}, true},
      {"Objex.Gff", Bytes{1, 2, 3}, true},
      // The same bytes under another spelling are the world's own file.
      {"objex.gff", WorldFileBytes("OBJEX.GFF"), false},
      {"RGN01.png", Bytes{1, 2, 3}, false},
  };
  for (const Case& folderCase : cases) {
    const TempDir dir;
    karst::testing::WriteSampleWorld(dir.path());
    dir.Write(folderCase.file, folderCase.bytes);
    const std::map<std::string, std::string> before = Snapshot(dir.path());
    ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-sampleworld"), {dir.path().string()});
    if (!folderCase.refused) {
      EXPECT_EQ(result.exitCode, 0) << folderCase.file << ": " << result.errorOutput;
      continue;
    }
    EXPECT_EQ(result.exitCode, 2) << folderCase.file;
    EXPECT_EQ(result.errorOutput,
              "karst-sampleworld: " + dir.path().string() + ": holds game files that differ from the sample world (" +
                  (dir.path() / folderCase.file).string() + "); nothing written (--force writes over them)\n");
    EXPECT_TRUE(Snapshot(dir.path()) == before) << folderCase.file;

    // --force writes the world's files and leaves the others alone.
    result = RunProgram(karst::testing::BuiltProgram("karst-sampleworld"), {"--force", dir.path().string()});
    EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
    EXPECT_TRUE(ReadFileBytes(dir.path() / "RGN01.GFF") == WorldFileBytes("RGN01.GFF")) << folderCase.file;
    if (folderCase.file != "RGN01.GFF") {
      EXPECT_TRUE(ReadFileBytes(dir.path() / folderCase.file) == folderCase.bytes) << folderCase.file;
    }
  }
}

TEST(OutputSafety, RegionNamesThatDifferOnlyInCaseGiveOnePictureEach) {
  const TempDir dir;
  const fs::path game = dir.path() / "game";
  fs::create_directories(game);
  dir.Write("game/OBJEX.GFF", WorldFileBytes("OBJEX.GFF"));
  dir.Write("game/RGN01.GFF", WorldFileBytes("RGN01.GFF"));
  dir.Write("game/RGN01.gff", WorldFileBytes("RGN02.GFF"));
  const fs::path out = dir.path() / "out";
  const ProgramResult result =
      RunProgram(karst::testing::BuiltProgram("karst-render"), {"all", game.string(), "-o", out.string()});
  EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
  EXPECT_NE(result.output.find("rendered 2 of 2 regions into " + out.string() +
                               "\nrenamed, as their names differ from earlier ones only in case:\n  RGN01.gff -> " +
                               (out / "RGN01-2.png").string() + "\n"),
            std::string::npos)
      << result.output;
  for (const auto& [region, picture] : {std::pair{"RGN01.GFF", "RGN01.png"}, std::pair{"RGN01.gff", "RGN01-2.png"}}) {
    const fs::path single = dir.path() / "single.png";
    RunProgram(karst::testing::BuiltProgram("karst-render"),
               {"region", (game / region).string(), "--objects", (game / "OBJEX.GFF").string(), "-o", single.string()});
    EXPECT_TRUE(ReadFileBytes(out / picture) == ReadFileBytes(single)) << picture;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 2);
}

TEST(OutputSafety, ChunksWithTheSameTagAndNumberGiveFramesOfTheirOwn) {
  const TempDir dir;
  const auto image = [](std::uint8_t value) { return authoring::IndexedImage{3, 2, Bytes(6, value)}; };
  const auto frameSet = [&](std::uint8_t value) {
    return *authoring::WriteFrameSetPayload({*authoring::EncodeNrmlFrame(image(value))});
  };
  const fs::path container = dir.Write("LIB.GFF", authoring::WriteContainer({
                                                      {kTagBmp, {{7, frameSet(10)}}},
                                                      {kTagBmp, {{7, frameSet(20)}, {8, frameSet(30)}}},
                                                      {kTagBmp, {{7, frameSet(40)}}},
                                                  }));
  const fs::path out = dir.path() / "out";
  const ProgramResult result =
      RunProgram(karst::testing::BuiltProgram("karst-render"), {"frames", container.string(), "-o", out.string()});
  EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
  for (const auto& [name, value] : {std::pair{"BMP-7-0.png", 10}, std::pair{"BMP-7-2-0.png", 20},
                                    std::pair{"BMP-8-0.png", 30}, std::pair{"BMP-7-3-0.png", 40}}) {
    const auto png = tools::ReadIndexedPng((out / name).string());
    ASSERT_TRUE(png) << name;
    EXPECT_EQ(png->pixels, Bytes(6, static_cast<std::uint8_t>(value))) << name;
  }
  EXPECT_EQ(std::distance(fs::directory_iterator(out), fs::directory_iterator()), 4);
  EXPECT_NE(result.output.find("4 frames written to " + out.string() +
                               "\nrenamed, as an earlier chunk has the same tag and number:\n  BMP-7 at offset "),
            std::string::npos)
      << result.output;
  EXPECT_NE(result.output.find(" -> " + (out / "BMP-7-2-<frame>.png").string() + "\n"), std::string::npos);
  EXPECT_NE(result.output.find(" -> " + (out / "BMP-7-3-<frame>.png").string() + "\n"), std::string::npos);
}

TEST(OutputSafety, DashIsTheStandardOutputForTheCommandsWithOneOutput) {
  const TempDir dir;
  karst::testing::WriteSampleWorld(dir.path());
  const std::string region = (dir.path() / "RGN01.GFF").string();
  const std::string file = (dir.path() / "file").string();
  const std::string objects = (dir.path() / "OBJEX.GFF").string();
  // A tile whose one frame has an encoding no decoder knows: its diagnostic must not reach the
  // picture on standard output.
  const Bytes unknownFrame = {16, 0, 16, 0, 255, 'Q', 'Q', 'Q', 'Q'};
  const Bytes tiles = *authoring::WriteFrameSetPayload({unknownFrame});
  const std::string odd = dir.Write("ODD.GFF", authoring::WriteContainer({
                                                   {kTagPal, {{0, Bytes(768, 9)}}},
                                                   {kTagTile, {{0, tiles}}},
                                                   {kTagMap, {{0, Bytes(12288, 0)}}},
                                               }))
                              .string();
  struct Case {
    std::vector<std::string> arguments;  // before "-o"
    std::string program;
    std::string diagnostics;  // on standard error
  };
  const std::vector<Case> cases = {
      {{"region", region},
       karst::testing::BuiltProgram("karst-render"),
       "karst-render: objects from " + objects + "\n"},
      {{"region", odd, "--view", "0,0"},
       karst::testing::BuiltProgram("karst-render"),
       "karst-render: objects from " + objects + "\nUnknown type: QQQQ\n"},
      {{"extract", region, "MAP", "7"}, karst::testing::BuiltProgram("karst-gff"), ""},
  };
  for (const Case& dashCase : cases) {
    std::vector<std::string> toFile = dashCase.arguments;
    toFile.insert(toFile.end(), {"-o", file});
    ASSERT_EQ(RunProgram(dashCase.program, toFile).exitCode, 0);
    std::vector<std::string> toDash = dashCase.arguments;
    toDash.insert(toDash.end(), {"-o", "-"});
    const ProgramResult result = RunProgram(dashCase.program, toDash);
    EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
    const Bytes expected = ReadFileBytes(file);
    EXPECT_EQ(result.output, std::string(expected.begin(), expected.end())) << dashCase.arguments[1];
    EXPECT_EQ(result.errorOutput, dashCase.diagnostics);
    EXPECT_FALSE(fs::exists("-"));
  }
  for (const std::string command : {"all", "frames"}) {
    const ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-render"),
                                            {command, command == "all" ? dir.path().string() : region, "-o", "-"});
    EXPECT_EQ(result.exitCode, 2) << command;
    EXPECT_EQ(result.errorOutput,
              "karst-render: -: a folder is needed: the standard output takes one file only (./- names a folder "
              "called -); nothing written\n");
  }
}

// A sample world and a folder of root's, 0755, that the user nobody cannot write in, inside a
// folder nobody may enter.
struct LockedFolder {
  LockedFolder() {
    fs::permissions(dir.path(), fs::perms::owner_all | fs::perms::group_read | fs::perms::group_exec |
                                    fs::perms::others_read | fs::perms::others_exec);
    karst::testing::WriteSampleWorld(game);
    fs::create_directories(locked);
  }
  const TempDir dir;
  const fs::path game = dir.path() / "game";
  const fs::path locked = dir.path() / "locked";
};

TEST(OutputSafety, OutputsThatCannotBeWrittenSayWhy) {
  if (!karst::testing::RunningAsRoot()) {
    GTEST_SKIP() << "needs root, to run the tools as nobody in a folder nobody may not write";
  }
  const LockedFolder folders;
  const TempDir& dir = folders.dir;
  const fs::path& game = folders.game;
  const fs::path& locked = folders.locked;
  const std::string region = (game / "RGN01.GFF").string();
  const std::string folder = (dir.path() / "folder").string();
  fs::create_directories(folder);
  const auto in = [&](const std::string& name) { return (locked / name).string(); };
  const std::string denied = "cannot be created: Permission denied";
  const std::string directory = "cannot be written: Is a directory";

  struct Case {
    bool asNobody;
    std::string program;
    std::vector<std::string> arguments;
    std::string path;    // named on the first line of standard error
    std::string reason;  // the rest of that line
  };
  const std::string render = karst::testing::BuiltProgram("karst-render");
  const std::string gff = karst::testing::BuiltProgram("karst-gff");
  const std::string world = karst::testing::BuiltProgram("karst-sampleworld");
  const std::vector<Case> cases = {
      {true, render, {"region", region, "--no-objects", "-o", in("a.png")}, in("a.png"), denied},
      {true, gff, {"extract", region, "PAL", "3", "-o", in("a.pal")}, in("a.pal"), denied},
      {true, render, {"frames", region, "-o", in("sub")}, in("sub"), "cannot create the directory: Permission denied"},
      {true, render, {"all", game.string(), "-o", locked.string()}, in("RGN01.png"), denied},
      {true, world, {in("sub")}, in("sub"), "cannot make the folder: Permission denied"},
      {true, world, {locked.string()}, in("RGN01.GFF"), denied},
      {false, render, {"region", region, "--no-objects", "-o", folder}, folder, directory},
      {false, gff, {"extract", region, "PAL", "3", "-o", folder}, folder, directory},
  };
  for (const Case& failing : cases) {
    const ProgramResult result = failing.asNobody
                                     ? karst::testing::RunProgramAsNobody(failing.program, failing.arguments)
                                     : RunProgram(failing.program, failing.arguments);
    const std::string firstLine =
        fs::path(failing.program).filename().string() + ": " + failing.path + ": " + failing.reason;
    EXPECT_EQ(result.exitCode, 1) << firstLine << "\n" << result.errorOutput;
    EXPECT_EQ(result.errorOutput.substr(0, result.errorOutput.find('\n')), firstLine);
  }
  EXPECT_TRUE(fs::is_empty(locked));
  EXPECT_TRUE(fs::is_empty(folder));
}

// A folder that takes no file is one error before any work, not one for every picture.
TEST(OutputSafety, AFolderThatTakesNoFileIsOneErrorBeforeAnyWork) {
  if (!karst::testing::RunningAsRoot()) {
    GTEST_SKIP() << "needs root, to run the tools as nobody in a folder nobody may not write";
  }
  const LockedFolder folders;
  const fs::path& game = folders.game;
  const fs::path& locked = folders.locked;
  for (const std::vector<std::string>& arguments :
       {std::vector<std::string>{"frames", (game / "RGN01.GFF").string(), "-o", locked.string()},
        std::vector<std::string>{"frames", (game / "OBJEX.GFF").string(), "--sheet", "-o", locked.string()},
        std::vector<std::string>{"all", game.string(), "-o", locked.string()},
        std::vector<std::string>{"atlas", game.string(), "-o", locked.string()}}) {
    const ProgramResult result =
        karst::testing::RunProgramAsNobody(karst::testing::BuiltProgram("karst-render"), arguments);
    EXPECT_EQ(result.exitCode, 1) << arguments[0] << "\n" << result.errorOutput;
    EXPECT_EQ(std::count(result.errorOutput.begin(), result.errorOutput.end(), '\n'), 1) << result.errorOutput;
    EXPECT_NE(result.errorOutput.find("karst-render: " + locked.string() + "/"), std::string::npos);
    EXPECT_NE(result.errorOutput.find(": Permission denied\n"), std::string::npos) << result.errorOutput;
    EXPECT_EQ(result.output, "") << arguments[0];
  }
  EXPECT_TRUE(fs::is_empty(locked));
}

}  // namespace
}  // namespace karst
