// A region as a Tiled map and back, without files: the layout Tiled writes, the placement run both
// ways, every entity case, and the edits of the map. Tiled's own renderer and writer judge the
// files, and every refusal is tried through `pack`, in tests/tiled.
#include "tools/tiled/tiled_map.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "authoring/record_writers.h"
#include "data/entity_placement.h"
#include "gff/format.h"
#include "tools/text/json_text.h"

namespace karst::tools {
namespace {

using nlohmann::json;

TEST(TiledJson, LaidOutAsTiledWritesIt) {
  const json value{{"a", 1},
                   {"list", json::array({json{{"b", "x/y"}}, json{{"c", 2.5}}})},
                   {"grid", json{{"w", true}}},
                   {"n", json::array({1, 2})}};
  EXPECT_EQ(JsonText(value, JsonLayout::kTiled),
            "{ \"a\":1,\n"
            " \"grid\":\n"
            "    {\n"
            "     \"w\":true\n"
            "    },\n"
            " \"list\":[\n"
            "        {\n"
            "         \"b\":\"x\\/y\"\n"
            "        }, \n"
            "        {\n"
            "         \"c\":2.5\n"
            "        }],\n"
            " \"n\":[1, 2]\n"
            "}");
  struct Case {
    std::string text;
    std::string tiled;
    std::string compact;
  };
  for (const Case& c : std::vector<Case>{{"H\xc3\xb6hle", "\"H\\u00f6hle\"", "\"H\\u00f6hle\""},
                                         {"a/b", "\"a\\/b\"", "\"a/b\""},
                                         {"\n\t\"\\", "\"\\n\\t\\\"\\\\\"", "\"\\u000a\\u0009\\\"\\\\\""},
                                         {"\x01", "\"\\u0001\"", "\"\\u0001\""}}) {
    EXPECT_EQ(JsonText(json(c.text), JsonLayout::kTiled), c.tiled) << c.text;
    EXPECT_EQ(JsonText(json(c.text)), c.compact) << c.text;
  }
}

TEST(TiledJson, ReadsControlCharactersAsTiledWritesThem) {
  std::string error;
  // Tiled writes a control character inside a string as it is.
  const std::optional<json> raw = ParseJsonText("{\"name\":\"a\x01\\\"b\"}", error);
  ASSERT_TRUE(raw) << error;
  EXPECT_EQ((*raw)["name"], "a\x01\"b");
  EXPECT_FALSE(ParseJsonText("{\"name\":", error));
  EXPECT_NE(error, "");
}

TEST(TiledPlacement, TheAnchorTakenBackIsTheEntitys) {
  struct Case {
    Entity entity;
    ObjectPlacement object;
  };
  for (const Case& c : std::vector<Case>{{{100, 200, 5, 0, 1}, {3, 16, 40, 32, 48}},
                                         {{0, 0, 255, 0x80, 2}, {3, 65535, 65535, 1, 1}},
                                         {{65535, 65535, 0, 0, 3}, {3, 0, 0, 7, 9}}}) {
    const EntityRectangle drawn = PlaceEntity(c.entity, c.object).rectangle;
    EXPECT_EQ(AnchorFor(drawn.left, drawn.top, c.entity.z, c.object), (EntityAnchor{c.entity.x, c.entity.y}))
        << c.entity.x << "," << c.entity.y;
  }
}

// A frame of `width` x `height` pixels, index (seed + i) mod 255 + 1 but index 0 in the first
// column, so that transparency shows.
Frame ObjectFrame(std::uint32_t width, std::uint32_t height, std::uint8_t seed) {
  Frame frame;
  frame.width = width;
  frame.height = height;
  frame.pixels.resize(std::size_t{width} * height);
  for (std::size_t i = 0; i < frame.pixels.size(); ++i) {
    frame.pixels[i] = i % width == 0 ? 0 : static_cast<std::uint8_t>((seed + i) % 255 + 1);
  }
  return frame;
}

std::unique_ptr<FrameSet> SetOf(std::vector<Frame> frames) {
  auto set = std::make_unique<FrameSet>();
  set->frameCount = static_cast<std::int32_t>(frames.size());
  set->frames = std::move(frames);
  return set;
}

std::unique_ptr<ObjectDef> Definition(std::uint32_t id, std::uint32_t hotspotX, std::uint32_t hotspotY,
                                      std::uint32_t bitmapId) {
  auto definition = std::make_unique<ObjectDef>();
  definition->id = id;
  definition->hotspotX = hotspotX;
  definition->hotspotY = hotspotY;
  definition->bitmapId = bitmapId;
  return definition;
}

// Definitions 1 and 2 draw; the others fail each in their own way.
ObjectLibrary Library() {
  ObjectLibrary library;
  library.bmpSets[10] = SetOf({ObjectFrame(5, 7, 3)});
  library.bmpSets[11] = SetOf({ObjectFrame(20, 12, 90)});
  library.bmpSets[12] = SetOf({});
  library.bmpSets[13] = SetOf({Frame{}});
  library.bmpSets[14] = SetOf({ObjectFrame(kLargestObjectSide + 1, 1, 0)});
  library.objectDefs[1] = Definition(1, 2, 6, 10);
  library.objectDefs[2] = Definition(2, 10, 0, 11);
  library.objectDefs[3] = nullptr;
  library.objectDefs[4] = Definition(4, 0, 0, 77);
  library.objectDefs[5] = Definition(5, 0, 0, 12);
  library.objectDefs[6] = Definition(6, 0, 0, 13);
  library.objectDefs[7] = Definition(7, 0, 0, 14);
  return library;
}

// Three tiles (18 with `manyTiles`), a map of every tile and of bytes naming none, 3 bytes past
// the cells, and an entity for every case.
Region TestRegion(bool manyTiles = false) {
  Region region;
  region.name = "H\xf6hle";
  region.paletteData.emplace(kPaletteBytes);
  for (std::size_t i = 0; i < kPaletteBytes; ++i) {
    (*region.paletteData)[i] = static_cast<std::uint8_t>(i % 64);
  }
  region.paletteSize = kPaletteBytes;
  const int tiles = manyTiles ? 18 : 3;
  for (int tile = 0; tile < tiles; ++tile) {
    Frame frame;
    frame.width = 16;
    frame.height = 16;
    frame.pixels.assign(256, static_cast<std::uint8_t>(tile * 10 + 1));
    frame.pixels[17] = 200;
    FrameSet set;
    set.frameCount = 1;
    set.frames.push_back(frame);
    region.tiles.push_back(set);
  }
  region.tileCount = tiles;
  region.tilesRead = tiles;
  region.mapData.emplace(kMapBytes + 3, 0);
  for (std::size_t cell = 0; cell < kMapBytes + 3; ++cell) {
    (*region.mapData)[cell] = static_cast<std::uint8_t>(cell % 7 == 6 ? 200 : cell % 3);
  }
  region.mapSize = kMapBytes + 3;
  region.entities = std::vector<Entity>{
      {100, 200, 0, 0, 1},       // 1: drawn
      {300, 40, 5, 0x81, 2},     // 2: mirrored and lifted, another flag bit kept
      {1, 1, 0, 0, 2},           // 3: off the left and top edges
      {2040, 1530, 0, 0x80, 1},  // 4: off the right and bottom edges, mirrored
      {10, 10, 0, 0, 99},        // 5: no definition
      {11, 11, 0, 0, 3},         // 6: wrong-size definition
      {12, 12, 0, 0, 4},         // 7: no bitmap
      {13, 13, 0, 0, 5},         // 8: a bitmap without frames
      {14, 14, 0, 0, 6},         // 9: no pixels
      {15, 15, 0, 0, 7},         // 10: too large
      {60000, 60000, 0, 0, 1},   // 11: far outside the region
  };
  region.entityCount = 11;
  region.entityChunk = ChunkEntry{0, 0, 88};
  return region;
}

// The chunks a region was read from: its ETAB payload made again from its entities, its RNME
// payload `nameTail` after the name.
struct Before {
  std::vector<std::uint8_t> map;
  std::vector<std::uint8_t> table;
  std::vector<std::uint8_t> name;
  RegionChunks chunks;
};
std::unique_ptr<Before> BeforeOf(const Region& region, const std::string& nameTail = "") {
  auto before = std::make_unique<Before>();
  before->map = *region.mapData;
  before->chunks.map = before->map;
  before->chunks.tileCount = region.tileCount;
  if (region.entityChunk) {
    std::vector<authoring::EntityRecord> records;
    for (const Entity& entity : *region.entities) {
      records.push_back({static_cast<std::uint16_t>(entity.x), static_cast<std::uint16_t>(entity.y),
                         static_cast<std::uint8_t>(entity.z), static_cast<std::uint8_t>(entity.flags),
                         static_cast<std::uint16_t>(entity.objectId)});
    }
    before->table = authoring::WriteEntityTable(records);
    before->chunks.entities = before->table;
  }
  if (region.name) {
    before->name.assign(region.name->begin(), region.name->end());
    before->name.insert(before->name.end(), nameTail.begin(), nameTail.end());
    before->chunks.name = before->name;
  }
  return before;
}

json Layer(const json& map, std::size_t index) { return map["layers"][index]; }

TEST(TiledMap, EveryEntityStandsWhereTheLayerDrawsIt) {
  const ObjectLibrary library = Library();
  const TiledFiles files = TiledFilesOf(TestRegion(), &library);
  const json map = json::parse(files.map);
  struct Case {
    std::int64_t id;
    bool drawn;
    std::int64_t x;
    std::int64_t y;
    std::uint32_t gid;  // drawn: the tile's gid with its flip bit
    std::string reason;
  };
  // Tiles have gids 1-3, so the objects' tiles begin at 4: definition 1 is gid 4, 2 is gid 5.
  const std::vector<Case> cases{{1, true, 98, 201, 4, ""},
                                {2, true, 290, 47, 5 | 0x80000000u, ""},
                                {3, true, -9, 13, 5, ""},
                                {4, true, 2038, 1531, 4 | 0x80000000u, ""},
                                {5, false, 10, 10, 0, "no definition"},
                                {6, false, 11, 11, 0, "wrong-size definition"},
                                {7, false, 12, 12, 0, "no bitmap"},
                                {8, false, 13, 13, 0, "no bitmap"},
                                {9, false, 14, 14, 0, "no pixels"},
                                {10, false, 15, 15, 0, "too large to draw"},
                                {11, true, 59998, 60001, 4, ""}};
  std::vector<json> objects = Layer(map, 1)["objects"];
  for (const json& object : Layer(map, 2)["objects"].get<std::vector<json>>()) {
    objects.push_back(object);
  }
  ASSERT_EQ(objects.size(), cases.size());
  for (const Case& c : cases) {
    const auto found = std::find_if(objects.begin(), objects.end(), [&](const json& o) { return o["id"] == c.id; });
    ASSERT_NE(found, objects.end()) << c.id;
    EXPECT_EQ((*found)["x"], c.x) << c.id;
    EXPECT_EQ((*found)["y"], c.y) << c.id;
    EXPECT_EQ(found->contains("gid"), c.drawn) << c.id;
    if (c.drawn) {
      EXPECT_EQ((*found)["gid"], c.gid) << c.id;
    } else {
      EXPECT_EQ((*found)["properties"][2]["value"], c.reason) << c.id;
    }
  }
  EXPECT_EQ(Layer(map, 1)["name"], "Objects");
  EXPECT_EQ(Layer(map, 2)["visible"], false);
  EXPECT_EQ(map["nextobjectid"], 12);
  EXPECT_EQ(map["properties"][0]["value"], "H\xc3\xb6hle");
  // Every cell shows its tile; a byte naming none shows tile 0.
  EXPECT_EQ(Layer(map, 0)["data"][0], 1);
  EXPECT_EQ(Layer(map, 0)["data"][5], 3);
  EXPECT_EQ(Layer(map, 0)["data"][6], 1);
  EXPECT_EQ(Layer(map, 0)["data"].size(), kMapBytes);

  // Without a library every entity is a point that says so.
  const json bare = json::parse(TiledFilesOf(TestRegion(), nullptr).map);
  EXPECT_EQ(Layer(bare, 1)["objects"].size(), 0u);
  ASSERT_EQ(Layer(bare, 2)["objects"].size(), 11u);
  EXPECT_EQ(Layer(bare, 2)["objects"][0]["properties"][2]["value"], "no object library");
  EXPECT_EQ(bare["tilesets"].size(), 1u);
}

TEST(TiledMap, TilesetsHoldTheTilesAndTheDrawnObjects) {
  const ObjectLibrary library = Library();
  std::vector<std::string> frames;
  for (int tile = 0; tile < 18; ++tile) {
    frames.push_back("frames/TILE-" + std::to_string(tile) + "-0.png");
  }
  const TiledFiles files = TiledFilesOf(TestRegion(true), &library, frames);
  ASSERT_EQ(files.pictures.size(), 3u);
  const TiledPicture& tiles = files.pictures[0];
  EXPECT_EQ(tiles.path, "tiled/tiles.png");
  ASSERT_EQ(tiles.width, 256u);
  ASSERT_EQ(tiles.height, 32u);
  struct Pixel {
    std::uint32_t x;
    std::uint32_t y;
    std::uint8_t index;
  };
  // The test palette's darkest entry is 0 (0, 1, 2 in 6 bits), its lightest 63 (61, 62, 63).
  for (const Pixel& p : std::vector<Pixel>{{0, 0, 1},
                                           {1, 1, 200},
                                           {255, 15, 151},  // tile 15
                                           {16, 16, 171},   // tile 17, second row
                                           {17, 17, 200},
                                           {32, 16, 63},  // slot 18, past the last tile: crossed out
                                           {33, 17, 63},
                                           {34, 17, 0},
                                           {47, 16, 63},
                                           {41, 24, 0},
                                           {255, 31, 63}}) {
    EXPECT_EQ(tiles.pixels[p.y * tiles.width + p.x], p.index) << p.x << "," << p.y;
  }
  EXPECT_EQ(files.pictures[1].path, "tiled/objects/1.png");
  EXPECT_EQ(files.pictures[1].pixels, library.bmpSets.at(10)->frames[0].pixels);
  EXPECT_EQ(files.pictures[1].transparency, PngTransparency::kIndexZero);
  EXPECT_EQ(files.pictures[2].path, "tiled/objects/2.png");
  // The region's colours as the viewer converts them: 6-bit 63 is 255.
  EXPECT_EQ(files.palette[3 * 21 + 0], 255);

  const json tilesTileset = json::parse(files.tilesTileset);
  EXPECT_EQ(tilesTileset["tilecount"], 32);
  EXPECT_EQ(tilesTileset["columns"], 16);
  // Every tile says which tile it is and where it comes from; the slots past the last tile say
  // that they are none.
  ASSERT_EQ(tilesTileset["tiles"].size(), 32u);
  EXPECT_EQ(tilesTileset["tiles"][17], json::parse(R"({"id":17,"properties":[
      {"name":"frame","type":"string","value":"frames/TILE-17-0.png"},{"name":"tile","type":"int","value":17}]})"));
  EXPECT_EQ(tilesTileset["tiles"][18]["properties"][1]["value"], 18);
  EXPECT_TRUE(tilesTileset["tiles"][18]["properties"][0]["value"].get<std::string>().starts_with(
      "none: past the region's 18 tiles"));
  const json objects = json::parse(*files.objectsTileset);
  ASSERT_EQ(objects["tiles"].size(), 2u);
  EXPECT_EQ(objects["tilewidth"], 20);
  EXPECT_EQ(objects["tileheight"], 12);
  EXPECT_EQ(objects["tiles"][1]["properties"],
            json::parse(R"([{"name":"bitmapId","type":"int","value":11},{"name":"hotspotX","type":"int","value":10},
                           {"name":"hotspotY","type":"int","value":0},{"name":"objectId","type":"int","value":2}])"));
  EXPECT_EQ(json::parse(files.map)["tilesets"][1]["firstgid"], 33);
}

// The map text after `edit`, laid out as Tiled writes it.
std::string Edited(const std::string& map, const std::function<void(json&)>& edit) {
  json value = json::parse(map);
  edit(value);
  return JsonText(value, JsonLayout::kTiled);
}

json& ObjectById(json& map, std::int64_t id) {
  for (std::size_t layer = 1; layer < 3; ++layer) {
    for (json& object : map["layers"][layer]["objects"]) {
      if (object["id"] == id) {
        return object;
      }
    }
  }
  ADD_FAILURE() << "no object " << id;
  return map;
}

std::vector<std::uint8_t> Record(std::uint16_t x, std::uint16_t y, std::uint8_t z, std::uint8_t flags,
                                 std::uint16_t objectId) {
  return {static_cast<std::uint8_t>(x),
          static_cast<std::uint8_t>(x >> 8),
          static_cast<std::uint8_t>(y),
          static_cast<std::uint8_t>(y >> 8),
          z,
          flags,
          static_cast<std::uint8_t>(objectId),
          static_cast<std::uint8_t>(objectId >> 8)};
}

TEST(TiledMap, AnUnchangedMapChangesNothing) {
  const ObjectLibrary library = Library();
  for (const bool withLibrary : {true, false}) {
    const Region region = TestRegion();
    const TiledFiles files = TiledFilesOf(region, withLibrary ? &library : nullptr);
    std::string error;
    const std::optional<TiledEdits> edits =
        TiledEditsOf(files.map, {files.tilesTileset, files.objectsTileset}, BeforeOf(region)->chunks, error);
    ASSERT_TRUE(edits) << error;
    EXPECT_FALSE(edits->map);
    EXPECT_FALSE(edits->entities);
    EXPECT_FALSE(edits->name);
  }
}

TEST(TiledMap, EditsComeBackAsPayloads) {
  const ObjectLibrary library = Library();
  const Region region = TestRegion();
  const TiledFiles files = TiledFilesOf(region, &library);
  const std::unique_ptr<Before> before = BeforeOf(region, std::string("\0old", 4));
  struct Case {
    std::string what;
    std::function<void(json&)> edit;
    std::function<void(const TiledEdits&)> check;
  };
  // Entity 1 is drawn from (98, 194) to (103, 201) with hotspot (2, 6).
  const std::vector<Case> cases{
      {"a cell naming no tile left on tile 0, and one repainted", [](json& m) { m["layers"][0]["data"][13] = 2; },
       [&](const TiledEdits& e) {
         ASSERT_TRUE(e.map);
         EXPECT_EQ((*e.map)[6], 200);  // untouched, still tile 0
         EXPECT_EQ((*e.map)[13], 1);   // was 200
         EXPECT_EQ((*e.map)[kMapBytes + 2], (*region.mapData)[kMapBytes + 2]);
       }},
      {"moved, lifted, unmirrored, mirrored",
       [](json& m) {
         ObjectById(m, 1)["x"] = 103;
         ObjectById(m, 1)["y"] = 190;
         ObjectById(m, 2)["properties"][1]["value"] = 9;  // z 5 -> 9, the picture left where it was
         ObjectById(m, 2)["gid"] = 5;
         ObjectById(m, 3)["gid"] = 5u | 0x80000000u;
       },
       [](const TiledEdits& e) {
         ASSERT_TRUE(e.entities);
         ASSERT_EQ(e.entities->size(), 88u);
         // Lifted with its picture held where it is drawn, entity 2 stands lower: it moved too.
         EXPECT_EQ(e.entityChanges.moved, 2u);
         EXPECT_EQ(e.entityChanges.changed, 1u);
         EXPECT_EQ(e.entityChanges.added + e.entityChanges.removed, 0u);
         // Entity 2 and 3 were flipped, and their flags left as they were: the flip decides.
         ASSERT_EQ(e.notes.size(), 2u);
         EXPECT_EQ(e.notes[0],
                   "map.tmj: object 2 in the layer \"Objects\": its property \"flags\" (129) says mirrored, but the "
                   "object is not flipped: the flip decides, so the entity is not mirrored");
         EXPECT_EQ(std::vector<std::uint8_t>(e.entities->begin(), e.entities->begin() + 24), [] {
           std::vector<std::uint8_t> bytes = Record(105, 189, 0, 0, 1);
           for (const auto& more : {Record(300, 44, 9, 0x01, 2), Record(1, 1, 0, 0x80, 2)}) {
             bytes.insert(bytes.end(), more.begin(), more.end());
           }
           return bytes;
         }());
       }},
      {"the name", [](json& m) { m["properties"][0]["value"] = "Grotte \xc3\xa0 l'est"; },
       [](const TiledEdits& e) {
         ASSERT_TRUE(e.name);
         // What followed the name's end in the chunk stays.
         EXPECT_EQ(std::string(e.name->begin(), e.name->end()), std::string("Grotte \xe0 l'est\0old", 18));
         EXPECT_FALSE(e.map);
         EXPECT_FALSE(e.entities);
       }},
      {"the name property taken away keeps the name", [](json& m) { m.erase("properties"); },
       [](const TiledEdits& e) { EXPECT_FALSE(e.name); }},
      {"a layer emptied, an object added",
       [](json& m) {
         m["layers"][2]["objects"] = json::array();
         json added = ObjectById(m, 1);
         added["id"] = 12;
         m["layers"][1]["objects"].push_back(added);
       },
       [](const TiledEdits& e) {
         ASSERT_TRUE(e.entities);
         EXPECT_EQ(e.entities->size(), 6u * 8);
         EXPECT_EQ(e.entityChanges.removed, 6u);
         EXPECT_EQ(e.entityChanges.added, 1u);
         EXPECT_EQ(e.entityChanges.emptiedLayers, std::vector<std::string>{"Entities without a picture"});
       }},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.what);
    std::string error;
    const std::optional<TiledEdits> edits =
        TiledEditsOf(Edited(files.map, c.edit), {files.tilesTileset, files.objectsTileset}, before->chunks, error);
    ASSERT_TRUE(edits) << error;
    c.check(*edits);
  }
}

// A deleted layer would delete its entities without a word: refused, naming how many it held.
TEST(TiledMap, AMissingLayerIsRefusedWithTheEntitiesItHeld) {
  const ObjectLibrary library = Library();
  struct Case {
    bool withLibrary;
    std::size_t layer;
    std::string says;  // empty: taken, changing nothing
  };
  for (const Case& c : std::vector<Case>{
           {true, 1, "map.tmj: the layer \"Objects\" is missing; it held 5 entities, which packing would delete"},
           {true, 2, "map.tmj: the layer \"Entities without a picture\" is missing; it held 6 entities"},
           {false, 2, "map.tmj: the layer \"Entities without a picture\" is missing; it held 11 entities"},
           {false, 1, ""}}) {
    SCOPED_TRACE(std::to_string(c.withLibrary) + " " + std::to_string(c.layer));
    const Region region = TestRegion();
    const TiledFiles files = TiledFilesOf(region, c.withLibrary ? &library : nullptr);
    const std::string map = Edited(files.map, [&](json& m) { m["layers"].erase(c.layer); });
    std::string error;
    const std::optional<TiledEdits> edits =
        TiledEditsOf(map, {files.tilesTileset, files.objectsTileset}, BeforeOf(region)->chunks, error);
    EXPECT_EQ(error.substr(0, c.says.size()), c.says);
    ASSERT_EQ(edits.has_value(), c.says.empty());
    if (edits) {
      EXPECT_FALSE(edits->entities);
    }
  }
}

}  // namespace
}  // namespace karst::tools
