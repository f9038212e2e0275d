// Tiled's own programs judge the maps of `karst-gff unpack` and `pack`: tmxrasterizer draws what
// karst-render draws, a map Tiled saved again packs to the original bytes, an edit made as a
// person makes it comes back as the viewer shows it, and every refusal writes nothing.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "data/object_library.h"
#include "data/region.h"
#include "gff/format.h"
#include "tests/support/built_programs.h"
#include "tests/support/region_picture.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"
#include "tools/pictures/png_file.h"
#include "tools/pictures/saved_picture.h"
#include "tools/text/json_text.h"

namespace karst {
namespace {

namespace fs = std::filesystem;
using nlohmann::json;
using testing::EntityRecord;
using testing::ProgramResult;
using testing::RunProgram;
using testing::TempDir;

using Bytes = std::vector<std::uint8_t>;

ProgramResult Gff(const std::vector<std::string>& arguments) {
  return RunProgram(testing::BuiltProgram("karst-gff"), arguments);
}

// Tiled's programs need no display: Qt draws off screen.
ProgramResult Tiled(const std::string& program, std::vector<std::string> arguments) {
  arguments.insert(arguments.begin(), {"QT_QPA_PLATFORM=offscreen", program});
  return RunProgram("/usr/bin/env", arguments);
}

// A PNG's pixels as red, green, blue, alpha: a palette image through its palette.
std::vector<std::uint8_t> Rgba(const fs::path& file, std::uint32_t& width, std::uint32_t& height) {
  const Bytes bytes = testing::ReadFileBytes(file);
  std::string error;
  const std::optional<tools::SavedPicture> picture = tools::ReadSavedPicture(bytes, tools::PictureLimits{}, error);
  EXPECT_TRUE(picture) << file << ": " << error;
  if (!picture) {
    return {};
  }
  width = picture->width;
  height = picture->height;
  std::vector<std::uint8_t> rgba;
  for (std::size_t i = 0; i < std::size_t{width} * height; ++i) {
    const auto colour = picture->Colour(i);
    rgba.insert(rgba.end(), colour.begin(), colour.end());
  }
  return rgba;
}

// tmxrasterizer's picture of `map` against karst-render's of `region`: the same size, and every
// pixel the same opaque colour.
void ExpectSameDrawing(const fs::path& map, const fs::path& region, const std::vector<std::string>& renderOptions) {
  const fs::path folder = map.parent_path();
  const ProgramResult tiled = Tiled("tmxrasterizer", {"--no-smoothing", map.string(), (folder / "tiled.png").string()});
  ASSERT_EQ(tiled.exitCode, 0) << tiled.errorOutput;
  std::vector<std::string> arguments{"region", region.string(), "-o", (folder / "render.png").string()};
  arguments.insert(arguments.end(), renderOptions.begin(), renderOptions.end());
  const ProgramResult render = RunProgram(testing::BuiltProgram("karst-render"), arguments);
  ASSERT_EQ(render.exitCode, 0) << render.errorOutput;
  std::uint32_t tiledWidth = 0;
  std::uint32_t tiledHeight = 0;
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  const std::vector<std::uint8_t> drawn = Rgba(folder / "tiled.png", tiledWidth, tiledHeight);
  const std::vector<std::uint8_t> expected = Rgba(folder / "render.png", width, height);
  ASSERT_EQ(tiledWidth, 2048u);
  ASSERT_EQ(tiledHeight, 1536u);
  ASSERT_EQ(width, 2048u);
  ASSERT_EQ(height, 1536u);
  const auto mismatch = std::mismatch(drawn.begin(), drawn.end(), expected.begin());
  if (mismatch.first != drawn.end()) {
    const std::size_t pixel = static_cast<std::size_t>(mismatch.first - drawn.begin()) / 4;
    ADD_FAILURE() << map << ": first different pixel at (" << pixel % width << ", " << pixel / width << ")";
  }
}

authoring::IndexedImage Sprite(std::uint32_t width, std::uint32_t height, std::uint8_t seed) {
  authoring::IndexedImage image{width, height, {}};
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      image.pixels.push_back((x + 2 * y) % 5 == 0 ? 0 : static_cast<std::uint8_t>(seed + x + 3 * y));
    }
  }
  return image;
}

// A library with an object of every kind: 1 (hotspot 4, 6; 8 x 6) and 6 (hotspot 100, 100; 9 x 13)
// drawn, 2 of 15 bytes, 3, 4, 5 naming a missing bitmap, one without frames and one of a 0 x 0
// frame, 7 a bitmap one column wider than a surface holds.
Bytes EveryCaseLibrary() {
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
         object(6, 100, 100, 16),
         object(7, 0, 0, 14)}},
       {kTagBmp,
        {{10, *authoring::WriteFrameSetPayload({*authoring::EncodeNrmlFrame(Sprite(8, 6, 40))})},
         {12, *authoring::WriteFrameSetPayload({})},
         {13, *authoring::WriteFrameSetPayload({authoring::EncodeBlankFrame(0, 0)})},
         {14, *authoring::WriteFrameSetPayload({*authoring::EncodePlanFrame(
                  {kLargestObjectSide + 1, 1, std::vector<std::uint8_t>(kLargestObjectSide + 1, 250)})})},
         {16, *authoring::WriteFrameSetPayload({*authoring::EncodeNrmlFrame(Sprite(9, 13, 120))})}}}});
}

// Entities standing every way the object layer knows: plain, mirrored, lifted, across and beyond
// every edge, and one of each object that is not drawn.
std::vector<EntityRecord> EveryCaseEntities() {
  return {{300, 300, 0, 0, 1},   {400, 300, 0, 0x80, 1}, {500, 300, 20, 0x41, 1}, {96, 400, 0, 0, 6},
          {92, 500, 0, 0, 6},    {900, 98, 0, 0x80, 6},  {700, 94, 0, 0, 6},      {1000, 50, 100, 0, 1},
          {2048, 900, 0, 0, 1},  {2052, 700, 0, 0, 1},   {2051, 800, 0, 0x80, 1}, {1300, 1539, 0, 0, 1},
          {1100, 1542, 0, 0, 1}, {5000, 5000, 0, 0, 1},  {310, 305, 0, 0x80, 6},  {300, 500, 0, 0, 2},
          {300, 510, 0, 0, 3},   {300, 520, 0, 0, 4},    {300, 530, 0, 0, 5},     {300, 540, 0, 0, 7},
          {300, 550, 0, 0, 99}};
}

// A region of four tiles with a byte naming none, a Latin-1 name and every entity case.
Bytes EveryCaseRegion() {
  testing::RegionSpec region;
  Bytes palette(768);
  for (std::size_t i = 0; i < palette.size(); ++i) {
    palette[i] = static_cast<std::uint8_t>((i * 7 + i / 3) % 64);
  }
  region.palette = palette;
  for (std::uint8_t t = 0; t < 4; ++t) {
    region.tiles.push_back(testing::PatternTile(static_cast<std::uint8_t>(60 * t + 1)));
  }
  Bytes map(kMapBytes + 4, 9);
  for (std::size_t cell = 0; cell < kMapBytes; ++cell) {
    map[cell] = static_cast<std::uint8_t>(cell % 11 == 10 ? 77 : (cell / 5 + cell / 640) % 4);
  }
  region.map = map;
  region.name = "Gr\xfcnes Tal";
  region.entities = EveryCaseEntities();
  return testing::WriteRegionFile(region);
}

struct World {
  TempDir dir;
  fs::path region;
  fs::path library;

  World() {
    region = dir.Write("RGN01.GFF", EveryCaseRegion());
    library = dir.Write("OBJEX.GFF", EveryCaseLibrary());
  }
};

std::string ReadText(const fs::path& file) {
  const Bytes bytes = testing::ReadFileBytes(file);
  return {bytes.begin(), bytes.end()};
}

void WriteText(const fs::path& file, const std::string& text) { std::ofstream(file, std::ios::binary) << text; }

json& ObjectWithId(json& map, std::int64_t id) {
  for (json& layer : map["layers"]) {
    for (json& object : layer["objects"]) {
      if (object["id"] == id) {
        return object;
      }
    }
  }
  ADD_FAILURE() << "no object " << id;
  return map;
}

TEST(TiledClient, TiledDrawsWhatTheViewerDraws) {
  TempDir sample;
  testing::WriteSampleWorld(sample.path());
  std::vector<fs::path> regions;
  for (const std::string& name : testing::FileNamesIn(sample.path())) {
    if (name.rfind("RGN", 0) == 0) {
      regions.push_back(sample.path() / name);
    }
  }
  ASSERT_FALSE(regions.empty());
  for (const fs::path& region : regions) {
    SCOPED_TRACE(region.filename().string());
    const fs::path unpacked = sample.path() / ("unpacked-" + region.stem().string());
    const ProgramResult unpack = Gff({"unpack", region.string(), "-o", unpacked.string()});
    ASSERT_EQ(unpack.exitCode, 0) << unpack.errorOutput;
    ExpectSameDrawing(unpacked / "map.tmj", region, {});
  }
  World world;
  const fs::path unpacked = world.dir.path() / "unpacked";
  ASSERT_EQ(Gff({"unpack", world.region.string(), "-o", unpacked.string()}).exitCode, 0);
  ExpectSameDrawing(unpacked / "map.tmj", world.region, {});
  // Without an object library, the map's objects are all points, which Tiled does not draw.
  const fs::path bare = world.dir.path() / "bare";
  fs::remove(world.library);
  const ProgramResult unpack = Gff({"unpack", world.region.string(), "-o", bare.string()});
  ASSERT_EQ(unpack.exitCode, 0) << unpack.errorOutput;
  EXPECT_FALSE(fs::exists(bare / "tiled" / "objects.tsj"));
  ExpectSameDrawing(bare / "map.tmj", world.region, {"--no-objects"});
}

TEST(TiledClient, WhatTiledSavesAgainPacksToTheOriginalBytes) {
  World world;
  const fs::path unpacked = world.dir.path() / "unpacked";
  ASSERT_EQ(Gff({"unpack", world.region.string(), "-o", unpacked.string()}).exitCode, 0);
  const std::string ours = ReadText(unpacked / "map.tmj");
  // Tiled writes our map as we do, byte for byte, and its tilesets too.
  for (const auto& [command, file] :
       std::vector<std::pair<std::string, std::string>>{{"--export-map", "map.tmj"},
                                                        {"--export-tileset", "tiled/tiles.tsj"},
                                                        {"--export-tileset", "tiled/objects.tsj"}}) {
    const fs::path saved = unpacked / (file + ".saved");
    const ProgramResult export_ = Tiled("tiled", {command, "json", (unpacked / file).string(), saved.string()});
    ASSERT_EQ(export_.exitCode, 0) << export_.errorOutput;
    EXPECT_EQ(ReadText(saved), ReadText(unpacked / file)) << file;
    fs::remove(saved);
  }
  // Saved minimized, or with its tilesets embedded, the map reads the same and packs to the very
  // bytes of the original.
  const fs::path packed = world.dir.path() / "packed.GFF";
  for (const std::string option : {"--minimize", "--embed-tilesets"}) {
    SCOPED_TRACE(option);
    WriteText(unpacked / "map.tmj", ours);
    const ProgramResult saved = Tiled(
        "tiled", {"--export-map", "json", option, (unpacked / "map.tmj").string(), (unpacked / "saved.tmj").string()});
    ASSERT_EQ(saved.exitCode, 0) << saved.errorOutput;
    ASSERT_NE(ReadText(unpacked / "saved.tmj"), ours);
    fs::rename(unpacked / "saved.tmj", unpacked / "map.tmj");
    const ProgramResult pack = Gff({"pack", unpacked.string(), "-o", packed.string()});
    ASSERT_EQ(pack.exitCode, 0) << pack.errorOutput;
    EXPECT_EQ(testing::ReadFileBytes(packed), testing::ReadFileBytes(world.region));
    fs::remove(packed);
  }
  // Embedded, the tilesets still name the tiles and objects: a cell repainted and an object moved
  // come back. A tileset changed inside the map is refused, saying so.
  json map = json::parse(ReadText(unpacked / "map.tmj"));
  ASSERT_FALSE(map["tilesets"][1].contains("source"));
  map["layers"][0]["data"][0] = 3;
  ObjectWithId(map, 1)["x"] = ObjectWithId(map, 1)["x"].get<int>() + 1;
  WriteText(unpacked / "map.tmj", tools::JsonText(map, tools::JsonLayout::kTiled));
  const ProgramResult edited = Gff({"pack", unpacked.string(), "-o", packed.string()});
  ASSERT_EQ(edited.exitCode, 0) << edited.errorOutput;
  EXPECT_NE(edited.output.find(": from map.tmj: 1 cell repainted\n"), std::string::npos) << edited.output;
  EXPECT_NE(edited.output.find(": from map.tmj: 1 entity moved\n"), std::string::npos) << edited.output;
  fs::remove(packed);
  map["tilesets"][1]["tiles"][0]["properties"][1]["value"] = 5;  // a hotspot
  WriteText(unpacked / "map.tmj", tools::JsonText(map, tools::JsonLayout::kTiled));
  const ProgramResult changed = Gff({"pack", unpacked.string(), "-o", packed.string()});
  EXPECT_EQ(changed.exitCode, 1);
  EXPECT_NE(changed.errorOutput.find("the tileset \"objects\" is embedded in the map and is not ours unchanged"),
            std::string::npos)
      << changed.errorOutput;
  EXPECT_FALSE(fs::exists(packed));

  // A map saved as Tiled's XML beside map.tmj is not read, and pack says so.
  WriteText(unpacked / "map.tmj", ours);
  const ProgramResult xml =
      Tiled("tiled", {"--export-map", "tmx", (unpacked / "map.tmj").string(), (unpacked / "map.tmx").string()});
  ASSERT_EQ(xml.exitCode, 0) << xml.errorOutput;
  const ProgramResult beside = Gff({"pack", unpacked.string(), "-o", packed.string()});
  ASSERT_EQ(beside.exitCode, 0) << beside.errorOutput;
  EXPECT_NE(beside.output.find("note: map.tmx: not read: pack reads the map only from map.tmj"), std::string::npos)
      << beside.output;
}

TEST(TiledClient, AnEditComesBackAsTheViewerShowsIt) {
  World world;
  const fs::path unpacked = world.dir.path() / "unpacked";
  ASSERT_EQ(Gff({"unpack", world.region.string(), "-o", unpacked.string()}).exitCode, 0);
  json map = json::parse(ReadText(unpacked / "map.tmj"));
  // Cells repainted, among them one naming no tile; entity 1 (object 1, hotspot 4, 6) moved
  // right by 30 and down by 10; entity 2 unmirrored; entity 4 (object 6) mirrored; entity 3
  // deleted; entity 17 (a point) moved; a new object 1 at the end, mirrored; the name changed.
  json& cells = map["layers"][0]["data"];
  for (const std::size_t cell : {0u, 1u, 10u, 129u, 12287u}) {
    cells[cell] = 3;
  }
  ObjectWithId(map, 1)["x"] = ObjectWithId(map, 1)["x"].get<int>() + 30;
  ObjectWithId(map, 1)["y"] = ObjectWithId(map, 1)["y"].get<int>() + 10;
  ObjectWithId(map, 2)["gid"] = ObjectWithId(map, 2)["gid"].get<std::uint32_t>() & 0x0FFFFFFFu;
  ObjectWithId(map, 4)["gid"] = ObjectWithId(map, 4)["gid"].get<std::uint32_t>() | 0x80000000u;
  json& objects = map["layers"][1]["objects"];
  objects.erase(std::find_if(objects.begin(), objects.end(), [](const json& o) { return o["id"] == 3; }));
  ObjectWithId(map, 17)["x"] = 1234;
  json added = ObjectWithId(map, 1);
  added["id"] = map["nextobjectid"];
  added["x"] = 600;
  added["y"] = 700;
  added["gid"] = added["gid"].get<std::uint32_t>() | 0x80000000u;
  objects.push_back(added);
  map["nextobjectid"] = map["nextobjectid"].get<int>() + 1;
  map["properties"][0]["value"] =
      "Neues \xc3\x9c"
      "fer";
  WriteText(unpacked / "map.tmj", tools::JsonText(map, tools::JsonLayout::kTiled));

  const fs::path packed = world.dir.path() / "RGN02.GFF";
  const ProgramResult pack = Gff({"pack", unpacked.string(), "-o", packed.string()});
  ASSERT_EQ(pack.exitCode, 0) << pack.errorOutput;
  // Every change is counted, and entity 2's flags, left mirrored when it was unflipped, noted.
  for (const char* line :
       {": from map.tmj: 5 cells repainted\n",
        ": from map.tmj: 1 entity added, 1 entity removed, 2 entities moved, 2 entities changed (flip, z, flags or "
        "object)\n",
        ": from map.tmj: name changed\n",
        "note: map.tmj: object 2 in the layer \"Objects\": its property \"flags\" (128) says mirrored, but the "
        "object is not flipped: the flip decides, so the entity is not mirrored\n"}) {
    EXPECT_NE(pack.output.find(line), std::string::npos) << line << pack.output;
  }
  ExpectSameDrawing(unpacked / "map.tmj", packed, {"--objects", world.library.string()});

  std::vector<EntityRecord> expected = EveryCaseEntities();
  expected[0].x += 30;
  expected[0].y += 10;
  expected[1].flags = 0;
  expected[3].flags = 0x80;
  expected[16].x = 1234;
  expected.push_back({604, 700, 0, 0x80, 1});
  expected.erase(expected.begin() + 2);
  const std::unique_ptr<Region> region = LoadRegion(packed.string(), LoadReport());
  ASSERT_TRUE(region);
  ASSERT_TRUE(region->entities);
  ASSERT_EQ(region->entities->size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    const Entity& entity = (*region->entities)[i];
    EXPECT_EQ((std::vector<std::uint32_t>{entity.x, entity.y, entity.z, entity.flags, entity.objectId}),
              (std::vector<std::uint32_t>{expected[i].x, expected[i].y, expected[i].z, expected[i].flags,
                                          expected[i].objectId}))
        << "entity " << i;
  }
  EXPECT_EQ(region->name,
            "Neues \xdc"
            "fer");
  EXPECT_EQ((*region->mapData)[1], 2);
  EXPECT_EQ(region->mapData->size(), kMapBytes + 4);
}

// Packs `folder` with map.tmj edited by `edit`; expects a refusal that says `message` and
// nothing written beside the folder.
void ExpectRefusal(const fs::path& folder, const std::string& original, const std::function<void(json&)>& edit,
                   const std::string& message) {
  SCOPED_TRACE(message);
  json map = json::parse(original);
  edit(map);
  WriteText(folder / "map.tmj", tools::JsonText(map, tools::JsonLayout::kTiled));
  const std::set<std::string> before = testing::FileNamesIn(folder.parent_path());
  const ProgramResult pack = Gff({"pack", folder.string(), "-o", (folder.parent_path() / "out.GFF").string()});
  EXPECT_EQ(pack.exitCode, 1);
  EXPECT_NE(pack.errorOutput.find(message), std::string::npos) << pack.errorOutput;
  EXPECT_EQ(testing::FileNamesIn(folder.parent_path()), before);
}

TEST(TiledClient, EveryRefusalNamesWhatIsWrongAndWritesNothing) {
  World world;
  const fs::path unpacked = world.dir.path() / "unpacked";
  ASSERT_EQ(Gff({"unpack", world.region.string(), "-o", unpacked.string()}).exitCode, 0);
  const std::string original = ReadText(unpacked / "map.tmj");
  const auto cells = [](json& m) -> json& { return m["layers"][0]["data"]; };
  const auto object = [](json& m) -> json& { return ObjectWithId(m, 1); };  // object 1, 8 x 6, hotspot 4, 6
  const auto flip = [](json& o, std::uint32_t bits) { o["gid"] = o["gid"].get<std::uint32_t>() | bits; };
  const std::vector<std::pair<std::function<void(json&)>, std::string>> cases{
      {[&](json& m) { cells(m)[5] = 0; }, "map.tmj: the layer \"Tiles\"'s cell at column 5, row 0 is empty"},
      {[&](json& m) { cells(m)[130] = 1u | 0x80000000u; }, "cell at column 2, row 1 is flipped or turned"},
      {[&](json& m) { cells(m)[7] = m["tilesets"][1]["firstgid"]; },
       "cell at column 7, row 0 shows a tile of another tileset"},
      {[&](json& m) {
         m["tilesets"].erase(1);
         cells(m)[8] = 258;
       },
       "cell at column 8, row 0 shows tile 257; a map cell names tiles 0 to 255"},
      {[&](json& m) { m["layers"][0]["encoding"] = "base64"; }, "the layer \"Tiles\" is stored as base64"},
      {[&](json& m) { m["layers"][0]["compression"] = "zlib"; }, "the layer \"Tiles\" is stored as csv, zlib"},
      {[](json& m) { std::swap(m["layers"][1]["objects"][0], m["layers"][1]["objects"][1]); },
       "object 1 in the layer \"Objects\" was raised or lowered: it stands above object 2"},
      {[&](json& m) { object(m)["x"] = 10.5; }, "object 1 in the layer \"Objects\" has x 10.5, not a whole pixel"},
      {[](json& m) { ObjectWithId(m, 16)["y"] = 0.25; },
       "object 16 in the layer \"Entities without a picture\" has y 0.25"},
      {[&](json& m) { object(m).erase("gid"); }, "object 1 in the layer \"Objects\" is not a tile object"},
      {[](json& m) { ObjectWithId(m, 16).erase("point"); },
       "object 16 in the layer \"Entities without a picture\" is not a point"},
      {[](json& m) { m["layers"].push_back(json::parse(R"({"name":"Notes","type":"objectgroup"})")); },
       "the layer \"Notes\" (objectgroup) has no place in the region"},
      {[&](json& m) { flip(object(m), 0x40000000u); },
       "object 1 in the layer \"Objects\" is flipped vertically or turned"},
      {[&](json& m) { flip(object(m), 0x20000000u); },
       "object 1 in the layer \"Objects\" is flipped vertically or turned"},
      {[&](json& m) { object(m)["rotation"] = 90; }, "object 1 in the layer \"Objects\" is rotated"},
      {[&](json& m) { object(m)["height"] = 12; },
       "object 1 in the layer \"Objects\" is drawn 8 x 12 pixels; its picture is 8 x 6"},
      {[&](json& m) { object(m)["x"] = 70000; }, "object 1 in the layer \"Objects\" would stand at x 70004"},
      {[&](json& m) { object(m)["properties"][1]["value"] = 256; }, "object 1 in the layer \"Objects\" has z 256"},
      {[&](json& m) { object(m)["properties"][0]["type"] = "string"; }, "its property \"flags\" is not an int"},
      {[](json& m) { ObjectWithId(m, 16)["x"] = 65536; },
       "object 16 in the layer \"Entities without a picture\" has x 65536"},
      {[](json& m) { ObjectWithId(m, 16)["properties"].erase(1); }, "has no int property \"objectId\""},
      {[](json& m) { m["properties"][0]["value"] = "\xe2\x82\xac"; }, "the character U+20AC is outside Latin-1"},
      {[](json& m) { m["width"] = 130; },
       "map.tmj: the map is 130 x 96 cells of 16 x 16 pixels; the region's map is an orthogonal map of 128 x 96"},
      {[](json& m) { m["orientation"] = "isometric"; }, "the map is 128 x 96 cells of 16 x 16 pixels, not orthogonal"},
      {[](json& m) { m["layers"].erase(1); },
       "map.tmj: the layer \"Objects\" is missing; it held 15 entities, which packing would delete. Put the layer "
       "back"},
      {[](json& m) { m["layers"].erase(2); }, "the layer \"Entities without a picture\" is missing; it held 6"},
  };
  for (const auto& [edit, message] : cases) {
    ExpectRefusal(unpacked, original, edit, message);
  }
  // A name changed in name.txt and another in the map: refused, naming both; the same name is taken.
  json map = json::parse(original);
  map["properties"][0]["value"] = "One";
  WriteText(unpacked / "map.tmj", tools::JsonText(map, tools::JsonLayout::kTiled));
  WriteText(unpacked / "name.txt", "Two\n");
  const fs::path out = world.dir.path() / "out.GFF";
  const ProgramResult both = Gff({"pack", unpacked.string(), "-o", out.string()});
  EXPECT_EQ(both.exitCode, 1);
  EXPECT_NE(both.errorOutput.find("map.tmj"), std::string::npos) << both.errorOutput;
  EXPECT_NE(both.errorOutput.find("name.txt"), std::string::npos) << both.errorOutput;
  EXPECT_FALSE(fs::exists(out));
  WriteText(unpacked / "name.txt", "One\n");
  const ProgramResult same = Gff({"pack", unpacked.string(), "-o", out.string()});
  EXPECT_EQ(same.exitCode, 0) << same.errorOutput;

  // A region without an entity table or a name takes neither from its map.
  testing::RegionSpec spec;
  spec.palette = Bytes(768, 0);
  spec.tiles.push_back(testing::PlainTile(3));
  spec.map = Bytes(kMapBytes, 0);
  const fs::path bare = world.dir.path() / "bare";
  const fs::path bareRegion = world.dir.Write("RGN09.GFF", testing::WriteRegionFile(spec));
  ASSERT_EQ(Gff({"unpack", bareRegion.string(), "-o", bare.string()}).exitCode, 0);
  const std::string bareMap = ReadText(bare / "map.tmj");
  ExpectRefusal(
      bare, bareMap,
      [](json& m) {
        m["layers"][1]["objects"] =
            json::array({{{"gid", m["tilesets"][1]["firstgid"]}, {"id", 1}, {"x", 0}, {"y", 6}}});
      },
      "the map has objects, but the region has no \"ETAB\" chunk to hold them");
  ExpectRefusal(
      bare, bareMap, [](json& m) { m["properties"] = json::parse(R"([{"name":"name","type":"string","value":"x"}])"); },
      "the map has a name, but the region has no \"RNME\" chunk to hold one");
}

}  // namespace
}  // namespace karst
