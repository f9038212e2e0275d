// karst-gff entities as a program: a region whose entities meet every case (placed, mirrored,
// lifted, off each edge partly, wholly, touching it and one pixel in; objects without definition,
// with a wrong-size one, without bitmap, frames or pixels) gives exactly the expected rows, and
// the drawn rectangles are exactly where karst-render puts object pixels.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "data/object_library.h"
#include "gff/format.h"
#include "tests/support/built_programs.h"
#include "tests/support/region_picture.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "tools/pictures/png_file.h"

namespace karst {
namespace {

using Bytes = std::vector<std::uint8_t>;
using testing::EntityRecord;
using testing::RunProgram;

// Every pixel a colour of its own, none of them 0 (transparent) or the tiles' 1.
authoring::IndexedImage Bitmap() {
  authoring::IndexedImage image{8, 6, {}};
  for (std::uint32_t i = 0; i < 48; ++i) {
    image.pixels.push_back(static_cast<std::uint8_t>(200 + i));
  }
  return image;
}

// One row of `width` pixels, none transparent.
authoring::IndexedImage Wide(std::uint32_t width) { return {width, 1, std::vector<std::uint8_t>(width, 250)}; }

// Object 1: hotspot (4, 6), bitmap 10 (8 x 6); object 6: hotspot (100, 100), bitmap 10. Object 2
// is 15 bytes; 3, 4 and 5 name a missing bitmap, one without frames and one of a 0 x 0 frame;
// 7 and 8 one a column wider than an object surface holds and one that just fits.
Bytes Library() {
  const auto object = [](std::uint32_t number, std::uint16_t hotspotX, std::uint16_t hotspotY, std::uint16_t bitmap) {
    return authoring::ChunkSpec{number, testing::ObjectPayload({number, hotspotX, hotspotY, bitmap})};
  };
  return authoring::WriteContainer(
      {{kTagOjff,
        {object(1, 4, 6, 10),
         {2, Bytes(15, 0)},
         object(3, 0, 0, 11),
         object(4, 0, 0, 12),
         object(5, 0, 0, 13),
         object(6, 100, 100, 10),
         object(7, 0, 0, 14),
         object(8, 0, 0, 15)}},
       {kTagBmp,
        {{10, *authoring::WriteFrameSetPayload({*authoring::EncodeNrmlFrame(Bitmap())})},
         {12, *authoring::WriteFrameSetPayload({})},
         {13, *authoring::WriteFrameSetPayload({authoring::EncodeBlankFrame(0, 0)})},
         {14, *authoring::WriteFrameSetPayload({*authoring::EncodePlanFrame(Wide(kLargestObjectSide + 1))})},
         {15, *authoring::WriteFrameSetPayload({*authoring::EncodePlanFrame(Wide(kLargestObjectSide))})}}}});
}

struct Expected {
  const char* what;
  EntityRecord entity;
  std::optional<std::uint32_t> bitmapId;
  std::optional<std::vector<std::int32_t>> rectangle;  // left, top, width, height
  const char* reason;                                  // null when drawn
};

const std::vector<Expected> kEntities = {
    {"plain", {300, 300, 0, 0, 1}, 10, {{296, 294, 8, 6}}, nullptr},
    {"mirrored", {400, 300, 0, 0x80, 1}, 10, {{396, 294, 8, 6}}, nullptr},
    {"lifted", {500, 300, 20, 0, 1}, 10, {{496, 274, 8, 6}}, nullptr},
    {"partly off the left", {96, 400, 0, 0, 6}, 10, {{-4, 300, 8, 6}}, nullptr},
    {"touching the left edge", {92, 500, 0, 0, 6}, 10, {{-8, 400, 8, 6}}, "outside the region"},
    {"one column in on the left", {93, 600, 0, 0, 6}, 10, {{-7, 500, 8, 6}}, nullptr},
    {"partly off the top", {900, 98, 0, 0, 6}, 10, {{800, -2, 8, 6}}, nullptr},
    {"touching the top edge", {700, 94, 0, 0, 6}, 10, {{600, -6, 8, 6}}, "outside the region"},
    {"one row in at the top", {750, 95, 0, 0, 6}, 10, {{650, -5, 8, 6}}, nullptr},
    {"lifted wholly off the top", {1000, 50, 100, 0, 1}, 10, {{996, -56, 8, 6}}, "outside the region"},
    {"partly off the right", {2048, 900, 0, 0, 1}, 10, {{2044, 894, 8, 6}}, nullptr},
    {"touching the right edge", {2052, 700, 0, 0, 1}, 10, {{2048, 694, 8, 6}}, "outside the region"},
    {"one column in on the right", {2051, 800, 0, 0x80, 1}, 10, {{2047, 794, 8, 6}}, nullptr},
    {"partly off the bottom", {1300, 1539, 0, 0, 1}, 10, {{1296, 1533, 8, 6}}, nullptr},
    {"touching the bottom edge", {1100, 1542, 0, 0, 1}, 10, {{1096, 1536, 8, 6}}, "outside the region"},
    {"one row in at the bottom", {1200, 1541, 0, 0, 1}, 10, {{1196, 1535, 8, 6}}, nullptr},
    {"one pixel in at the corner", {93, 95, 0, 0, 6}, 10, {{-7, -5, 8, 6}}, nullptr},
    {"wholly off the far corner", {5000, 5000, 0, 0, 1}, 10, {{4996, 4994, 8, 6}}, "outside the region"},
    {"no definition", {300, 500, 0, 0, 9}, std::nullopt, std::nullopt, "no definition"},
    {"wrong-size definition", {300, 500, 0, 0, 2}, std::nullopt, std::nullopt, "wrong-size definition"},
    {"missing bitmap", {300, 500, 0, 0, 3}, 11, std::nullopt, "no bitmap"},
    {"bitmap without frames", {300, 500, 0, 0, 4}, 12, std::nullopt, "no bitmap"},
    {"bitmap without pixels", {300, 500, 0, 0, 5}, 13, std::nullopt, "no pixels"},
    {"bitmap too wide for a surface", {0, 1000, 0, 0, 7}, 14, std::nullopt, "too large to draw"},
    {"bitmap as wide as a surface holds", {0, 1100, 0, 0, 8}, 15, {{0, 1100, 65534, 1}}, nullptr},
};

struct Files {
  testing::TempDir dir;
  std::string region;
  std::string library;

  Files() {
    testing::RegionSpec spec;
    spec.palette = Bytes(kPaletteBytes, 9);
    spec.tiles = {testing::PlainTile(1)};
    spec.map = Bytes(kMapBytes, 0);
    spec.name = "Edges";
    spec.entities.emplace();
    for (const Expected& entity : kEntities) {
      spec.entities->push_back(entity.entity);
    }
    region = dir.Write("RGN01.GFF", testing::WriteRegionFile(spec)).string();
    library = dir.Write("objex.gff", Library()).string();
  }
};

nlohmann::json EntitiesJson(const std::vector<std::string>& arguments) {
  const testing::ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-gff"), arguments);
  EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
  return nlohmann::json::parse(result.output, nullptr, false);
}

TEST(EntitiesCommand, EveryRowIsAsExpected) {
  const Files files;
  // The library beside the region is found in any case.
  const nlohmann::json json = EntitiesJson({"entities", files.region, "--json"});
  ASSERT_TRUE(json.is_object());
  EXPECT_EQ(json["file"], "RGN01.GFF");
  ASSERT_EQ(json["entities"].size(), kEntities.size());
  for (std::size_t i = 0; i < kEntities.size(); ++i) {
    const Expected& e = kEntities[i];
    const auto side = [&e](std::size_t at) { return e.rectangle ? nlohmann::json((*e.rectangle)[at]) : nullptr; };
    nlohmann::json expected{{"index", i},
                            {"x", e.entity.x},
                            {"y", e.entity.y},
                            {"z", e.entity.z},
                            {"flags", e.entity.flags},
                            {"mirrored", e.entity.flags == 0x80},
                            {"objectId", e.entity.objectId},
                            {"bitmapId", e.bitmapId ? nlohmann::json(*e.bitmapId) : nullptr},
                            {"left", side(0)},
                            {"top", side(1)},
                            {"width", side(2)},
                            {"height", side(3)},
                            {"drawn", e.reason == nullptr}};
    if (e.reason != nullptr) {
      expected["reason"] = e.reason;
    }
    EXPECT_EQ(json["entities"][i], expected) << e.what;
  }
}

// The object pixels of karst-render's whole-region picture (those that differ from the picture
// without objects) lie in the drawn rectangles, and each drawn rectangle holds some of them.
TEST(EntitiesCommand, DrawnRectanglesAreWhereTheRendererDrawsObjects) {
  const Files files;
  const std::string withObjects = (files.dir.path() / "objects.png").string();
  const std::string tilesOnly = (files.dir.path() / "tiles.png").string();
  ASSERT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"),
                       {"region", files.region, "--objects", files.library, "-o", withObjects})
                .exitCode,
            0);
  ASSERT_EQ(RunProgram(karst::testing::BuiltProgram("karst-render"),
                       {"region", files.region, "--no-objects", "-o", tilesOnly})
                .exitCode,
            0);
  const auto drawn = tools::ReadIndexedPng(withObjects);
  const auto ground = tools::ReadIndexedPng(tilesOnly);
  ASSERT_TRUE(drawn && ground);
  ASSERT_EQ(drawn->pixels.size(), std::size_t{kRegionWidth} * kRegionHeight);
  std::vector<bool> objectPixel(drawn->pixels.size());
  for (std::size_t i = 0; i < objectPixel.size(); ++i) {
    objectPixel[i] = drawn->pixels[i] != ground->pixels[i];
  }
  const nlohmann::json json = EntitiesJson({"entities", files.region, "--objects", files.library, "--json"});
  std::size_t drawnRows = 0;
  std::vector<bool> blanked = objectPixel;
  for (const nlohmann::json& row : json["entities"]) {
    if (!row["drawn"].get<bool>()) {
      continue;
    }
    ++drawnRows;
    const int left = std::max(row["left"].get<int>(), 0);
    const int top = std::max(row["top"].get<int>(), 0);
    const int right = std::min(row["left"].get<int>() + row["width"].get<int>(), kRegionWidth);
    const int bottom = std::min(row["top"].get<int>() + row["height"].get<int>(), kRegionHeight);
    std::size_t inside = 0;
    for (int y = top; y < bottom; ++y) {
      for (int x = left; x < right; ++x) {
        const std::size_t at = static_cast<std::size_t>(y) * kRegionWidth + static_cast<std::size_t>(x);
        inside += objectPixel[at] ? 1 : 0;
        blanked[at] = false;
      }
    }
    EXPECT_GT(inside, 0u) << "entity " << row["index"];
  }
  EXPECT_EQ(drawnRows, 13u);
  EXPECT_EQ(std::count(blanked.begin(), blanked.end(), true), 0);
}

TEST(EntitiesCommand, LibraryAndRegionFailures) {
  const Files files;
  testing::TempDir alone;
  const std::string lonely = alone.Write("RGN07.GFF", testing::ReadFileBytes(files.region)).string();
  testing::RegionSpec noPalette;
  noPalette.tiles = {testing::PlainTile(1)};
  noPalette.map = Bytes(kMapBytes, 0);
  const std::string unshowable = alone.Write("RGN08.GFF", testing::WriteRegionFile(noPalette)).string();
  const std::string missing = (alone.path() / "OBJEX.GFF").string();
  struct Case {
    std::vector<std::string> arguments;
    int exitCode;
    std::string output;  // what standard output begins with; all of it for a failed run
    std::string error;   // what standard error holds
  };
  const std::vector<Case> cases = {
      {{"entities", lonely},
       0,
       "index     x     y    z  flags  object  bitmap  left  top  width  height  mirrored  drawn\n"
       "    0   300   300    0      0       1       -     -    -      -       -  no        no: no object library\n",
       "no OBJEX.GFF beside it"},
      {{"entities", lonely, "--objects", missing}, 1, "", missing + ": No such file or directory"},
      {{"entities", lonely, "--objects", files.region}, 1, "", "no BMP frame set"},
      {{"entities", unshowable, "--objects", files.library},
       1,
       "",
       unshowable + ": no PAL chunk: the region would not load"},
      {{"entities", files.library}, 1, "", "an object library, not a region"},
      {{"entities", files.region, "--objects", files.library},
       0,
       "index     x     y    z  flags  object  bitmap  left   top  width  height  mirrored  drawn\n"
       "    0   300   300    0      0       1      10   296   294      8       6  no        yes\n"
       "    1   400   300    0    128       1      10   396   294      8       6  yes       yes\n",
       ""},
  };
  for (const Case& c : cases) {
    const testing::ProgramResult result = RunProgram(karst::testing::BuiltProgram("karst-gff"), c.arguments);
    EXPECT_EQ(result.exitCode, c.exitCode) << c.arguments[1];
    // A failed run prints nothing on standard output.
    EXPECT_EQ(result.output.substr(0, c.exitCode == 0 ? c.output.size() : std::string::npos), c.output)
        << c.arguments[1];
    EXPECT_NE(result.errorOutput.find(c.error), std::string::npos) << result.errorOutput;
  }
}

}  // namespace
}  // namespace karst
