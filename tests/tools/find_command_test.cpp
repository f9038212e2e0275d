// karst-gff find over the sample world: each kind of search against matches worked out here from
// the loaded files, names matched without regard to case, and folders with a broken region or
// without an object library.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "data/object_library.h"
#include "data/region.h"
#include "gff/format.h"
#include "tests/support/built_programs.h"
#include "tests/support/region_picture.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace karst {
namespace {

using testing::RunProgram;

const std::vector<std::string> kRegionFiles = {"RGN01.GFF", "RGN02.GFF", "RGN03.GFF", "RGN04.GFF"};

// Every entity the object layer walks whose object is `object` (or, with `byBitmap`, whose
// definition names bitmap `object`), as find's JSON lists it.
nlohmann::json ExpectedMatches(const std::filesystem::path& folder, std::uint32_t number, bool byBitmap) {
  const std::unique_ptr<ObjectLibrary> library = LoadObjectLibrary((folder / "OBJEX.GFF").string(), LoadReport());
  nlohmann::json matches = nlohmann::json::array();
  for (const std::string& file : kRegionFiles) {
    const std::unique_ptr<Region> region = LoadRegion((folder / file).string(), LoadReport());
    const std::vector<Entity>& entities = *region->entities;
    for (std::size_t i = 0; i < std::min<std::size_t>(entities.size(), region->entityCount); ++i) {
      const auto definition = library->objectDefs.find(static_cast<std::int32_t>(entities[i].objectId));
      const bool defined = definition != library->objectDefs.end() && definition->second != nullptr;
      const bool match = byBitmap ? defined && definition->second->bitmapId == number : entities[i].objectId == number;
      if (match) {
        matches.push_back({{"file", file},
                           {"index", i},
                           {"x", entities[i].x},
                           {"y", entities[i].y},
                           {"objectId", entities[i].objectId},
                           {"bitmapId", defined ? nlohmann::json(definition->second->bitmapId) : nlohmann::json()}});
      }
    }
  }
  return matches;
}

nlohmann::json FindJson(const std::vector<std::string>& arguments) {
  const testing::ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-gff"), arguments);
  EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
  const nlohmann::json json = nlohmann::json::parse(result.output, nullptr, false);
  EXPECT_TRUE(json.is_object()) << result.output;
  return json.is_object() ? json["matches"] : nlohmann::json();
}

// The sample world places object 158 in three regions and bitmap 555 in one.
TEST(FindCommand, ObjectsAndBitmapsAcrossTheSampleWorld) {
  testing::TempDir dir;
  testing::WriteSampleWorld(dir.path());
  struct Case {
    std::string option;
    std::uint32_t number;
    bool byBitmap;
  };
  for (const Case& c : std::vector<Case>{
           {"--object", 158, false}, {"--bitmap", 555, true}, {"--object", 65535, false}, {"--bitmap", 70000, true}}) {
    const nlohmann::json expected = ExpectedMatches(dir.path(), c.number, c.byBitmap);
    EXPECT_EQ(FindJson({"find", dir.path().string(), c.option, std::to_string(c.number), "--json"}), expected)
        << c.option << " " << c.number;
    EXPECT_EQ(expected.empty(), c.number >= 65535) << c.option << " " << c.number;
  }
}

TEST(FindCommand, NamesMatchWithoutRegardToCase) {
  testing::TempDir dir;
  testing::WriteSampleWorld(dir.path());
  struct Case {
    const char* text;
    std::vector<std::string> files;
  };
  const std::vector<Case> cases = {
      {"Old Town", {"RGN04.GFF"}}, {"old town", {"RGN04.GFF"}}, {"OLD TOWN", {"RGN04.GFF"}},
      {"old towns", {}},           {"old  town", {}},           {"e", {"RGN01.GFF", "RGN02.GFF", "RGN03.GFF"}},
      {"", kRegionFiles},
  };
  const std::vector<std::string> names = {"Greenmeadow", "Dune Sea", "Mirefen", "Old Town"};
  for (const Case& c : cases) {
    nlohmann::json expected = nlohmann::json::array();
    for (const std::string& file : c.files) {
      const auto at = std::find(kRegionFiles.begin(), kRegionFiles.end(), file) - kRegionFiles.begin();
      expected.push_back({{"file", file}, {"name", names[static_cast<std::size_t>(at)]}});
    }
    EXPECT_EQ(FindJson({"find", dir.path().string(), "--name", c.text, "--json"}), expected) << c.text;
  }
}

// A folder of regions that the viewer shows, named with Latin-1 bytes.
void WriteNamedRegions(const testing::TempDir& dir, const std::vector<std::string>& names) {
  for (std::size_t i = 0; i < names.size(); ++i) {
    testing::RegionSpec spec;
    spec.palette = std::vector<std::uint8_t>(768, 0);
    spec.tiles.push_back(testing::PlainTile(3));
    spec.map = std::vector<std::uint8_t>(kMapBytes, 0);
    spec.name = names[i];
    dir.Write("RGN0" + std::to_string(i + 1) + ".GFF", testing::WriteRegionFile(spec));
  }
}

// The search text arrives as UTF-8 (the terminal's encoding here and on Windows) and is matched as
// Latin-1, accented capitals and small letters alike; a text no name can hold matches nothing.
TEST(FindCommand, AccentedLettersMatchWithoutRegardToCase) {
  testing::TempDir dir;
  WriteNamedRegions(dir, {"Gr\xFCnwiese", "GR\xDCNTAL", "Gruenau"});
  struct Case {
    const char* text;
    std::vector<std::string> files;
    std::string says;  // on standard error
  };
  const std::vector<Case> cases = {
      {"gr\xC3\xBCn", {"RGN01.GFF", "RGN02.GFF"}, ""},
      {"Gr\xC3\xBCn", {"RGN01.GFF", "RGN02.GFF"}, ""},
      {"\xC3\x9C", {"RGN01.GFF", "RGN02.GFF"}, ""},
      {"gruen", {"RGN03.GFF"}, ""},
      {"\xE6\x97\xA5\xE6\x9C\xAC", {}, "no matches: the search text: the character U+65E5 is outside Latin-1"},
  };
  const std::vector<std::string> names = {"Gr\u00fcnwiese", "GR\u00dcNTAL", "Gruenau"};
  for (const Case& c : cases) {
    SCOPED_TRACE(c.text);
    const testing::ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-gff"),
                                                     {"find", dir.path().string(), "--name", c.text, "--json"});
    EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
    nlohmann::json expected = nlohmann::json::array();
    for (const std::string& file : c.files) {
      expected.push_back({{"file", file}, {"name", names[static_cast<std::size_t>(file[4] - '1')]}});
    }
    const nlohmann::json matches = {{"matches", expected}};
    EXPECT_EQ(nlohmann::json::parse(result.output, nullptr, false), matches);
    EXPECT_NE(result.errorOutput.find(c.says), std::string::npos) << result.errorOutput;
  }
}

TEST(FindCommand, BrokenRegionsMissingLibrariesAndUsage) {
  testing::TempDir world;
  testing::WriteSampleWorld(world.path());
  const std::string broken = world.Write("rgn00.gff", std::vector<std::uint8_t>(40, 7)).string();
  testing::TempDir bare;
  std::filesystem::copy_file(world.path() / "RGN04.GFF", bare.path() / "RGN04.GFF");
  testing::TempDir empty;
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    std::string output;
    std::string error;  // what standard error holds
  };
  const std::vector<Case> cases = {
      {{"find", world.path().string(), "--name", "TOWN"},
       1,
       "file       name\nRGN04.GFF  Old Town\n",
       broken + ": not a GFF container (no \"GFFI\" header, or too short): not searched"},
      {{"find", bare.path().string(), "--bitmap", "1"}, 1, "", "the bitmap numbers come from it"},
      {{"find", empty.path().string(), "--name", "x"}, 1, "", "no region files (RGN*.GFF)"},
      {{"find", world.path().string(), "--name", "nowhere"}, 1, "", ": no matches"},
      {{"find", world.path().string()}, 2, "", "Exactly 1 option"},
      {{"find", world.path().string(), "--object", "1", "--bitmap", "2"}, 2, "", "Exactly 1 option"},
  };
  for (const Case& c : cases) {
    const testing::ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-gff"), c.arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << result.errorOutput;
    EXPECT_EQ(result.output, c.output);
    EXPECT_NE(result.errorOutput.find(c.error), std::string::npos) << result.errorOutput;
  }
  // Without a library an object is still found; its bitmap is unknown.
  const nlohmann::json bareMatches = FindJson(
      {"find", bare.path().string(), "--object",
       std::to_string(LoadRegion((bare.path() / "RGN04.GFF").string(), LoadReport())->entities->front().objectId),
       "--json"});
  ASSERT_FALSE(bareMatches.empty());
  EXPECT_TRUE(bareMatches[0]["bitmapId"].is_null());
}

}  // namespace
}  // namespace karst
