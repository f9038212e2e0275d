// karst-render atlas run as a program on the sample world: the site's files and what they hold,
// a broken region listed and the others written, and what may happen to a folder already at the
// site's place (an earlier atlas replaced file by file, anything else refused untouched).
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <set>
#include <string>
#include <vector>

#include "authoring/container_writer.h"
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
namespace fs = std::filesystem;

const std::vector<std::string> kRegions = {"RGN01", "RGN02", "RGN03", "RGN04"};

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

std::string Text(const fs::path& path) {
  const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  return {bytes.begin(), bytes.end()};
}

// The sample world in `dir`/world, and RGN05.GFF there: a container without a map, which the
// viewer turns away.
fs::path WriteWorld(const TempDir& dir) {
  fs::create_directory(dir.path() / "world");
  for (const authoring::WorldFile& file : authoring::MakeSampleWorld()) {
    dir.Write("world/" + file.name, file.bytes);
  }
  dir.Write("world/RGN05.GFF", authoring::WriteContainer({{kTagPal, {{0, std::vector<std::uint8_t>(768, 7)}}}}));
  return dir.path() / "world";
}

// Every file under `folder`, relative to it.
std::set<std::string> FilesUnder(const fs::path& folder) {
  std::set<std::string> files;
  for (const auto& entry : fs::recursive_directory_iterator(folder)) {
    if (!entry.is_directory()) {
      files.insert(fs::relative(entry.path(), folder).generic_string());
    }
  }
  return files;
}

std::set<std::string> SiteFiles(bool ground) {
  std::set<std::string> files = {".karst-atlas", "index.html", "atlas.js", "atlas.css", "data/index.js"};
  for (const std::string& region : kRegions) {
    for (const std::string& file : {"maps/" + region + ".png", "thumbs/" + region + ".png", "data/" + region + ".json",
                                    "data/" + region + ".js"}) {
      files.insert(file);
    }
    if (ground) {
      files.insert("ground/" + region + ".png");
    }
  }
  return files;
}

bool SamePixels(const fs::path& a, const fs::path& b) {
  const std::optional<tools::IndexedPng> first = tools::ReadIndexedPng(a.string());
  const std::optional<tools::IndexedPng> second = tools::ReadIndexedPng(b.string());
  return first && second && first->width == second->width && first->height == second->height &&
         first->pixels == second->pixels && first->palette == second->palette;
}

TEST(Atlas, WritesTheSiteAndListsTheBrokenRegion) {
  TempDir dir;
  const fs::path world = WriteWorld(dir);
  const fs::path site = dir.path() / "site";
  const ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-render"),
                                          {"atlas", world.string(), "-o", site.string(), "-j", "2"});
  EXPECT_EQ(result.exitCode, 1) << result.errorOutput;
  EXPECT_NE(result.output.find("mapped 4 of 5 regions into " + (site / "index.html").string()), std::string::npos)
      << result.output;
  EXPECT_NE(result.errorOutput.find("1 region failed (listed on the index page):"), std::string::npos);
  EXPECT_EQ(FilesUnder(site), SiteFiles(true));
  const std::string index = Text(site / "data/index.js");
  EXPECT_NE(index.find("\"failed\":[{\"file\":\"RGN05.GFF\",\"reason\":"), std::string::npos) << index;
  // The maps are the pictures karst-render region draws, with objects and without; the data what
  // karst-gff entities prints, and the script the same text.
  for (const std::string& region : kRegions) {
    const fs::path input = world / (region + ".GFF");
    const ProgramResult entities =
        RunProgram(karst::testing::BuiltProgram("karst-gff"), {"entities", input.string(), "--json"});
    ASSERT_EQ(entities.exitCode, 0) << entities.errorOutput;
    EXPECT_EQ(Text(site / "data" / (region + ".json")), entities.output) << region;
    EXPECT_EQ(Text(site / "data" / (region + ".js")),
              "karstAtlas.region(\"" + region + "\"," + entities.output.substr(0, entities.output.size() - 1) + ");\n");
    const fs::path with = dir.path() / "with.png";
    const fs::path without = dir.path() / "without.png";
    ASSERT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"), {"region", input.string(), "-o", with.string()})
                  .exitCode,
              0);
    ASSERT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"),
                         {"region", input.string(), "--no-objects", "-o", without.string()})
                  .exitCode,
              0);
    EXPECT_TRUE(SamePixels(site / "maps" / (region + ".png"), with)) << region;
    EXPECT_TRUE(SamePixels(site / "ground" / (region + ".png"), without)) << region;
    EXPECT_FALSE(SamePixels(with, without)) << region;
  }
}

TEST(Atlas, ASiteWhoseRunDidNotFinishSaysItIsUnfinished) {
  TempDir dir;
  const fs::path world = WriteWorld(dir);
  fs::remove(world / "RGN05.GFF");
  const fs::path site = dir.path() / "site";
  const std::string notice = "<p id=\"unfinished\">";
  ASSERT_EQ(
      RunProgram(karst::testing::BuiltProgram("karst-render"), {"atlas", world.string(), "-o", site.string()}).exitCode,
      0);
  EXPECT_EQ(Text(site / "index.html").find(notice), std::string::npos) << "a finished site";
  // The run is stopped after the regions, before the index data: a folder stands in its place.
  fs::remove(site / "data/index.js");
  fs::create_directory(site / "data/index.js");
  const ProgramResult result =
      RunProgram(karst::testing::BuiltProgram("karst-render"), {"atlas", world.string(), "-o", site.string()});
  EXPECT_EQ(result.exitCode, 1) << result.errorOutput;
  EXPECT_NE(Text(site / "index.html").find("<body>\n" + notice), std::string::npos) << Text(site / "index.html");
}

TEST(Atlas, WithoutObjectsTheMapsAreTheGround) {
  TempDir dir;
  const fs::path world = WriteWorld(dir);
  fs::remove(world / "RGN05.GFF");
  const fs::path site = dir.path() / "site";
  const ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-render"),
                                          {"atlas", world.string(), "-o", site.string(), "--no-objects"});
  EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
  EXPECT_EQ(FilesUnder(site), SiteFiles(false));
  EXPECT_NE(Text(site / "data/index.js").find("\"objects\":false"), std::string::npos);
}

TEST(Atlas, RefusesAFolderThatIsNeitherEmptyNorAnAtlas) {
  TempDir dir;
  const fs::path world = WriteWorld(dir);
  struct Case {
    std::string name;
    std::string marker;  // empty: no marker
  };
  const std::vector<Case> cases = {{"notes", ""}, {"forged", "index.html\n../notes.txt\n"}};
  for (const Case& entry : cases) {
    const fs::path site = dir.path() / entry.name;
    fs::create_directory(site);
    dir.Write(entry.name + "/notes.txt", Bytes("mine"));
    if (!entry.marker.empty()) {
      dir.Write(entry.name + "/.karst-atlas", Bytes(entry.marker));
    }
    const std::set<std::string> before = FilesUnder(site);
    const ProgramResult result =
        RunProgram(karst::testing::BuiltProgram("karst-render"), {"atlas", world.string(), "-o", site.string()});
    EXPECT_EQ(result.exitCode, 2) << entry.name;
    EXPECT_NE(result.errorOutput.find(site.string() + ": holds files and is no atlas of ours"), std::string::npos)
        << result.errorOutput;
    EXPECT_EQ(FilesUnder(site), before) << entry.name;
  }
  // The game folder itself is such a folder.
  const ProgramResult intoWorld =
      RunProgram(karst::testing::BuiltProgram("karst-render"), {"atlas", world.string(), "-o", world.string()});
  EXPECT_EQ(intoWorld.exitCode, 2);
}

// POSIX only: the site holds a symbolic link to a folder.
#ifndef _WIN32
TEST(Atlas, ReplacesAnEarlierAtlasRemovingOnlyItsOwnFiles) {
  TempDir dir;
  const fs::path world = WriteWorld(dir);
  fs::remove(world / "RGN05.GFF");
  const fs::path site = dir.path() / "site";
  ASSERT_EQ(
      RunProgram(karst::testing::BuiltProgram("karst-render"), {"atlas", world.string(), "-o", site.string()}).exitCode,
      0);
  // Since then: RGN04 left the game, someone added notes beside the site's files and put a game
  // file where one of ours was; the marker was edited to name a file outside the site, and one
  // behind a link to a folder elsewhere.
  fs::remove(world / "RGN04.GFF");
  dir.Write("site/notes.txt", Bytes("mine"));
  dir.Write("outside.txt", Bytes("mine"));
  const std::vector<std::uint8_t> container = authoring::WriteContainer({{kTagPal, {{0, {1, 2, 3}}}}});
  dir.Write("site/thumbs/RGN04.png", container);
  dir.Write("site/.karst-atlas", Bytes(Text(site / ".karst-atlas") + "../outside.txt\n" + "linked/RGN04.png\n"));
  fs::create_directory(dir.path() / "elsewhere");
  dir.Write("elsewhere/RGN04.png", Bytes("mine"));
  fs::create_directory_symlink(dir.path() / "elsewhere", site / "linked");

  const ProgramResult result =
      RunProgram(karst::testing::BuiltProgram("karst-render"), {"atlas", world.string(), "-o", site.string()});
  EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
  std::set<std::string> expected = SiteFiles(true);
  for (const std::string gone :
       {"maps/RGN04.png", "ground/RGN04.png", "data/RGN04.json", "data/RGN04.js", "thumbs/RGN04.png"}) {
    expected.erase(gone);
  }
  expected.insert("notes.txt");
  expected.insert("thumbs/RGN04.png");  // the game file stays, and is named
  EXPECT_EQ(FilesUnder(site), expected);
  EXPECT_EQ(ReadFileBytes(site / "thumbs/RGN04.png"), container);
  EXPECT_TRUE(fs::exists(dir.path() / "outside.txt"));
  EXPECT_TRUE(fs::exists(dir.path() / "elsewhere/RGN04.png"));
  EXPECT_NE(result.errorOutput.find("thumbs/RGN04.png: left in place"), std::string::npos) << result.errorOutput;
  EXPECT_EQ(Text(site / "data/index.js").find("RGN04"), std::string::npos);
}
#endif  // _WIN32

}  // namespace
}  // namespace karst
