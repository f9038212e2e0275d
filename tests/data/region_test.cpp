// Region loading: which chunks are taken, the entity table, and what a failed stream leaves.
#include <gtest/gtest.h>

#include <cstdint>
#include <string>
#include <tuple>
#include <vector>

#include "data/region.h"
#include "gff/format.h"
#include "tests/data/data_fixtures.h"
#include "tests/support/temp_dir.h"

namespace karst {
namespace {

using namespace data_tests;

// Frame 0 of a tile as a 16 x 16 image.
std::vector<std::uint8_t> TilePixels(const FrameSet& tile) {
  EXPECT_EQ(tile.frameCount, 1);
  EXPECT_EQ(tile.frames.size(), 1u);
  if (tile.frames.empty()) {
    return {};
  }
  EXPECT_EQ(tile.frames[0].width, 16u);
  EXPECT_EQ(tile.frames[0].height, 16u);
  return tile.frames[0].pixels;
}

void ExpectEmptyTile(const FrameSet& tile) {
  EXPECT_EQ(tile.frameCount, 0);
  EXPECT_TRUE(tile.frames.empty());
  EXPECT_EQ(tile.number, 0u);
}

// One record per region tag; the tiles listed with numbers 9, 4, 6.
std::vector<ChunkTypeSpec> WholeRegion() {
  return {
      Type(kTagPal, {{1, Pattern(768, 3)}}),
      Type(kTagTile, {{9, TilePayload(10)}, {4, TilePayload(40)}, {6, TilePayload(70)}}),
      Type(kTagMap, {{2, Pattern(kMapBytes, 1)}}),
      Type(kTagGmap, {{3, Pattern(50, 200)}}),
      Type(kTagRnme, {{8, Text("Karst Hollow")}}),
      Type(kTagEtab, {{5, Bytes({0x10, 0x00, 0x20, 0x00, 0x05, 0x80, 0x07, 0x00,  // x 16, y 32, z 5, mirrored, object 7
                                 0xFF, 0xFF, 0x00, 0x06, 0xFF, 0x01, 0xFF,
                                 0xFF})}}),  // x 65535, y 1536, z 255, flags 1, object 65535
  };
}

TEST(RegionLoad, TakesEveryRegionChunkFromAFile) {
  testing::TempDir dir;
  const auto path = dir.Write("RGN01.GFF", authoring::WriteContainer(WholeRegion()));
  std::vector<LoadNote> notes;
  const std::unique_ptr<Region> region = LoadRegion(path.string(), LoadReport::Into(notes));
  EXPECT_TRUE(notes.empty());
  ASSERT_NE(region, nullptr);

  EXPECT_EQ(region->name, "Karst Hollow");
  EXPECT_EQ(region->paletteData, Pattern(768, 3));
  EXPECT_EQ(region->paletteSize, 768u);
  EXPECT_EQ(region->mapData, Pattern(kMapBytes, 1));
  EXPECT_EQ(region->mapSize, kMapBytes);
  EXPECT_EQ(region->gmapData, Pattern(50, 200));
  EXPECT_EQ(region->gmapSize, 50u);

  // Tiles keep directory order, not number order: map index 1 names chunk 4.
  ASSERT_EQ(region->tileCount, 3);
  ASSERT_EQ(region->tiles.size(), 3u);
  EXPECT_EQ(region->tiles[0].number, 9u);
  EXPECT_EQ(region->tiles[1].number, 4u);
  EXPECT_EQ(region->tiles[2].number, 6u);
  EXPECT_EQ(TilePixels(region->tiles[0]), TileImage(10).pixels);
  EXPECT_EQ(TilePixels(region->tiles[1]), TileImage(40).pixels);
  EXPECT_EQ(TilePixels(region->tiles[2]), TileImage(70).pixels);

  ASSERT_TRUE(region->entities.has_value());
  ASSERT_EQ(region->entityCount, 2);
  ASSERT_EQ(region->entities->size(), 2u);
  const Entity& first = (*region->entities)[0];
  EXPECT_EQ(first.x, 16u);
  EXPECT_EQ(first.y, 32u);
  EXPECT_EQ(first.z, 5u);
  EXPECT_EQ(first.flags, 128u);
  EXPECT_EQ(first.objectId, 7u);
  const Entity& second = (*region->entities)[1];
  EXPECT_EQ(second.x, 65535u);
  EXPECT_EQ(second.y, 1536u);
  EXPECT_EQ(second.z, 255u);
  EXPECT_EQ(second.flags, 1u);
  EXPECT_EQ(second.objectId, 65535u);
}

TEST(RegionLoad, IndexedRecordsLoadLikePlainOnes) {
  std::vector<ChunkTypeSpec> types = WholeRegion();
  for (ChunkTypeSpec& type : types) {
    type.indexed = true;
  }
  const std::unique_ptr<Region> region = RegionFromBytes(authoring::WriteContainer(types));
  ASSERT_NE(region, nullptr);
  EXPECT_EQ(region->name, "Karst Hollow");
  EXPECT_EQ(region->mapData, Pattern(kMapBytes, 1));
  ASSERT_EQ(region->tileCount, 3);
  EXPECT_EQ(region->tiles[1].number, 4u);
  EXPECT_EQ(TilePixels(region->tiles[2]), TileImage(70).pixels);
  EXPECT_EQ(region->entityCount, 2);
}

TEST(RegionLoad, DirectoryWithoutRegionChunksGivesAnEmptyRegion) {
  // "PALX" and "pal " are other tags: only all four characters, case included, name a type.
  const std::unique_ptr<Region> region = RegionFromBytes(authoring::WriteContainer({
      Type(MakeTag("PALX"), {{1, Pattern(768)}}),
      Type(MakeTag("pal "), {{1, Pattern(768)}}),
      Type(MakeTag("OJFF"), {{1, Pattern(16)}}),
  }));
  ASSERT_NE(region, nullptr);
  EXPECT_FALSE(region->name.has_value());
  EXPECT_FALSE(region->paletteData.has_value());
  EXPECT_FALSE(region->gmapData.has_value());
  EXPECT_FALSE(region->mapData.has_value());
  EXPECT_TRUE(region->tiles.empty());
  EXPECT_FALSE(region->entities.has_value());
  EXPECT_EQ(region->paletteSize, 0u);
  EXPECT_EQ(region->gmapSize, 0u);
  EXPECT_EQ(region->mapSize, 0u);
  EXPECT_EQ(region->tileCount, 0);
  EXPECT_EQ(region->entityCount, 0);
}

TEST(RegionLoad, FirstChunkOfARecordIsTaken) {
  const std::unique_ptr<Region> region = RegionFromBytes(authoring::WriteContainer({
      Type(kTagMap, {{7, Pattern(20, 1)}, {2, Pattern(30, 2)}}),
      Type(kTagRnme, {{5, Text("first")}, {1, Text("second")}}),
  }));
  ASSERT_NE(region, nullptr);
  EXPECT_EQ(region->mapData, Pattern(20, 1));
  EXPECT_EQ(region->mapSize, 20u);
  EXPECT_EQ(region->name, "first");
}

// The chunks a region takes, counted over the whole directory, are those the loader keeps.
TEST(RegionLoad, TakenChunksAreTheOnesTheLoaderKeeps) {
  const std::vector<ChunkTypeSpec> types = {
      Type(kTagPal, {{1, Pattern(768, 1)}}),                        // chunk 0
      Type(kTagRnme, {{5, Text("first")}, {6, Text("second")}}),    // 1, 2
      Type(kTagTile, {{1, TilePayload(1)}, {2, TilePayload(2)}}),   // 3, 4
      Type(kTagPal, {{2, Pattern(768, 2)}, {3, Pattern(768, 3)}}),  // 5, 6
      Type(kTagTile, {{8, TilePayload(80)}, {9, TilePayload(90)}}),
      Type(kTagRnme, {}),  // 7, 8
  };
  GffFile file;
  ASSERT_TRUE(file.OpenBytes(authoring::WriteContainer(types), LoadReport()));
  const struct {
    Tag tag;
    std::vector<std::size_t> taken;
  } cases[] = {{kTagPal, {5}}, {kTagRnme, {1}}, {kTagTile, {7, 8}}, {kTagMap, {}}};
  for (const auto& test : cases) {
    EXPECT_EQ(TakenChunks(file.directory(), test.tag), test.taken) << TagText(test.tag);
  }
  const std::unique_ptr<Region> region = RegionFromBytes(authoring::WriteContainer(types));
  ASSERT_NE(region, nullptr);
  EXPECT_EQ(region->paletteData, Pattern(768, 2));
  EXPECT_EQ(region->name, "first");
  EXPECT_EQ(region->tiles[0].number, 8u);
  // The name ends at its first zero byte, or with the payload.
  EXPECT_EQ(RegionNameLength(Bytes({'F', 'e', 'n', 0, 'x'})), 3u);
  EXPECT_EQ(RegionNameLength(Bytes({0})), 0u);
  EXPECT_EQ(RegionNameLength(Bytes({'F', 'e', 'n'})), 3u);
}

TEST(RegionLoad, LaterRecordOfATagReplacesTheEarlier) {
  const std::unique_ptr<Region> region = RegionFromBytes(authoring::WriteContainer({
      Type(kTagMap, {{1, Pattern(20, 1)}}),
      Type(kTagTile, {{1, TilePayload(1)}, {2, TilePayload(2)}, {3, TilePayload(3)}}),
      Type(kTagEtab, {{1, Pattern(16)}}), Type(kTagMap, {{2, Pattern(30, 9)}}), Type(kTagTile, {{8, TilePayload(80)}}),
      Type(kTagEtab, {{2, Pattern(12)}}),  // not a multiple of 8: the earlier table goes too
  }));
  ASSERT_NE(region, nullptr);
  EXPECT_EQ(region->mapData, Pattern(30, 9));
  EXPECT_EQ(region->mapSize, 30u);
  ASSERT_EQ(region->tileCount, 1);
  ASSERT_EQ(region->tiles.size(), 1u);
  EXPECT_EQ(region->tiles[0].number, 8u);
  EXPECT_EQ(TilePixels(region->tiles[0]), TileImage(80).pixels);
  EXPECT_FALSE(region->entities.has_value());
  EXPECT_EQ(region->entityCount, 0);
}

// A second ETAB replaces the first only when it is read: met after the stream failed (at a chunk
// before it, or at itself) it leaves the first table; cut short by the end of the file it is
// parsed from what arrived and zeros.
TEST(RegionLoad, LaterEntityTableReplacesTheEarlierOnlyWhenRead) {
  const std::vector<std::uint8_t> first = {0x10, 0x00, 0x20, 0x00, 0x05, 0x80, 0x07, 0x00};  // 16, 32, z 5, mirrored, 7
  const std::vector<std::uint8_t> second = {0x01, 0x00, 0x02, 0x00, 0x00, 0x00, 0x09, 0x00,  // 1, 2, object 9
                                            0x03, 0x00, 0x04, 0x00, 0x00, 0x00, 0x0A, 0x00};  // 3, 4, object 10
  const std::vector<ChunkTypeSpec> types = {
      Type(kTagEtab, {{1, first}}), Type(kTagMap, {{2, Pattern(20, 1)}}),
      Type(kTagEtab, {{3, second}}),  // the last payload of the file
  };
  struct Case {
    const char* what;
    std::size_t field;
    std::uint32_t value;
    std::vector<std::uint32_t> objectIds;
  };
  const Case cases[] = {
      {"the MAP's seek fails first", OffsetFieldOf(types, 1, 0), 0x80000000u, {7}},
      {"the second ETAB claims more than the file", SizeFieldOf(types, 2, 0), 0x00100000u, {7}},
      {"the second ETAB is cut short by 8 bytes", SizeFieldOf(types, 2, 0), 24, {9, 10, 0}},
      {"nothing fails", SizeFieldOf(types, 2, 0), 16, {9, 10}},
  };
  for (const Case& c : cases) {
    std::vector<std::uint8_t> bytes = authoring::WriteContainer(types);
    PutU32(bytes, c.field, c.value);
    const std::unique_ptr<Region> region = RegionFromBytes(bytes);
    ASSERT_NE(region, nullptr) << c.what;
    ASSERT_TRUE(region->entities.has_value()) << c.what;
    std::vector<std::uint32_t> objectIds;
    for (const Entity& entity : *region->entities) {
      objectIds.push_back(entity.objectId);
    }
    EXPECT_EQ(objectIds, c.objectIds) << c.what;
    EXPECT_EQ(region->entityCount, static_cast<std::int32_t>(c.objectIds.size())) << c.what;
  }
}

TEST(RegionLoad, EmptyRecordsReplaceOnlyTiles) {
  const std::unique_ptr<Region> region = RegionFromBytes(authoring::WriteContainer({
      Type(kTagMap, {{1, Pattern(20, 1)}}),
      Type(kTagTile, {{1, TilePayload(1)}}),
      Type(kTagMap, {}),
      Type(kTagTile, {}),
  }));
  ASSERT_NE(region, nullptr);
  EXPECT_EQ(region->mapData, Pattern(20, 1));
  EXPECT_EQ(region->tileCount, 0);
  EXPECT_TRUE(region->tiles.empty());
}

TEST(RegionLoad, NameEndsAtTheFirstZeroByte) {
  struct Case {
    std::vector<std::uint8_t> payload;
    std::string name;
  };
  for (const Case& c :
       {Case{{}, ""}, Case{Text("A"), "A"}, Case{Bytes({'a', 'b', 0, 'c'}), "ab"}, Case{Bytes({0, 'x'}), ""}}) {
    const std::unique_ptr<Region> region =
        RegionFromBytes(authoring::WriteContainer({Type(kTagRnme, {{1, c.payload}})}));
    ASSERT_NE(region, nullptr);
    ASSERT_TRUE(region->name.has_value()) << c.name;
    EXPECT_EQ(*region->name, c.name);
  }
}

TEST(RegionLoad, EntityTableSizes) {
  struct Case {
    std::size_t size;
    bool accepted;
    std::int32_t count;
  };
  for (const Case& c : {Case{0, true, 0}, Case{7, false, 0}, Case{8, true, 1}, Case{9, false, 0}, Case{12, false, 0},
                        Case{16, true, 2}}) {
    std::vector<LoadNote> notes;
    const std::unique_ptr<Region> region =
        RegionFromBytes(authoring::WriteContainer({Type(kTagEtab, {{1, Pattern(c.size)}})}), &notes);
    ASSERT_NE(region, nullptr);
    EXPECT_EQ(region->entities.has_value(), c.accepted) << c.size;
    // A table turned away is noted with its size.
    ASSERT_EQ(notes.size(), c.accepted ? 0u : 1u) << c.size;
    if (!c.accepted) {
      EXPECT_EQ(notes[0].kind, NoteKind::kEntityTableRejected);
      EXPECT_EQ(notes[0].value, c.size);
      EXPECT_EQ(notes[0].chunk->number, 1u);
    }
    EXPECT_EQ(region->entityCount, c.count) << c.size;
    if (region->entities) {
      EXPECT_EQ(region->entities->size(), static_cast<std::size_t>(c.count));
    }
  }
}

TEST(ParseEntities, ReadsEveryFieldWidenedWithZeros) {
  const std::vector<std::uint8_t> payload = Bytes({
      0x10, 0x00, 0x20, 0x00, 0x05, 0x80, 0x07, 0x00,  // x 16, y 32, z 5, flags 0x80, object 7
      0x34, 0x12, 0x00, 0x80, 0xFE, 0x7F, 0x01, 0xF0,  // x 0x1234, y 0x8000, z 254, flags 0x7F, object 0xF001
  });
  const std::optional<std::vector<Entity>> entities = ParseEntities(payload);
  ASSERT_TRUE(entities.has_value());
  ASSERT_EQ(entities->size(), 2u);
  EXPECT_EQ((*entities)[0].x, 16u);
  EXPECT_EQ((*entities)[0].y, 32u);
  EXPECT_EQ((*entities)[0].z, 5u);
  EXPECT_EQ((*entities)[0].flags, 128u);
  EXPECT_EQ((*entities)[0].objectId, 7u);
  EXPECT_EQ((*entities)[1].x, 0x1234u);
  EXPECT_EQ((*entities)[1].y, 0x8000u);
  EXPECT_EQ((*entities)[1].z, 254u);
  EXPECT_EQ((*entities)[1].flags, 0x7Fu);
  EXPECT_EQ((*entities)[1].objectId, 0xF001u);

  EXPECT_FALSE(ParseEntities(std::span(payload).first(15)).has_value());
  const std::optional<std::vector<Entity>> none = ParseEntities(std::span(payload).first(0));
  ASSERT_TRUE(none.has_value());
  EXPECT_TRUE(none->empty());
}

// The stream fails at the middle TILE chunk (its offset is 2^31, beyond the format's reach);
// every chunk after it is passed over the way its tag says.
// Each note as kind, tag and chunk number.
std::vector<std::tuple<NoteKind, std::string, std::uint32_t>> Placed(const std::vector<LoadNote>& notes) {
  std::vector<std::tuple<NoteKind, std::string, std::uint32_t>> placed;
  for (const LoadNote& note : notes) {
    placed.emplace_back(note.kind, TagText(note.tag), note.chunk ? note.chunk->number : 0xFFFFFFFFu);
  }
  return placed;
}

TEST(RegionLoad, FailedSeekPassesEveryLaterChunkOver) {
  const std::vector<ChunkTypeSpec> types = {
      Type(kTagPal, {{1, Pattern(768, 3)}}),
      Type(kTagTile, {{9, TilePayload(10)}, {4, TilePayload(40)}, {6, TilePayload(70)}}),
      Type(kTagMap, {{2, Pattern(kMapBytes, 1)}}),
      Type(kTagRnme, {{8, Text("Karst Hollow")}}),
      Type(kTagEtab, {{5, Pattern(16)}}),
      Type(kTagGmap, {{3, Pattern(50, 200)}}),
  };
  std::vector<std::uint8_t> bytes = authoring::WriteContainer(types);
  PutU32(bytes, OffsetFieldOf(types, 1, 1), 0x80000000u);

  std::vector<LoadNote> notes;
  const std::unique_ptr<Region> region = RegionFromBytes(bytes, &notes);
  ASSERT_NE(region, nullptr);
  using Note = std::tuple<NoteKind, std::string, std::uint32_t>;
  EXPECT_EQ(Placed(notes), (std::vector<Note>{{NoteKind::kChunkOutOfReach, "TILE", 4},
                                              {NoteKind::kChunkPassedOver, "TILE", 6},
                                              {NoteKind::kChunkPassedOver, "MAP ", 2},
                                              {NoteKind::kChunkPassedOver, "RNME", 8},
                                              {NoteKind::kChunkPassedOver, "ETAB", 5},
                                              {NoteKind::kChunkPassedOver, "GMAP", 3}}));
  EXPECT_EQ(region->tilesRead, 1);
  EXPECT_EQ(region->paletteData, Pattern(768, 3));
  EXPECT_EQ(region->paletteSize, 768u);
  ASSERT_EQ(region->tileCount, 3);
  ASSERT_EQ(region->tiles.size(), 3u);
  EXPECT_EQ(region->tiles[0].number, 9u);
  EXPECT_EQ(TilePixels(region->tiles[0]), TileImage(10).pixels);
  ExpectEmptyTile(region->tiles[1]);
  ExpectEmptyTile(region->tiles[2]);
  EXPECT_EQ(region->mapData, std::vector<std::uint8_t>(kMapBytes, 0));
  EXPECT_EQ(region->mapSize, kMapBytes);
  EXPECT_EQ(region->name, "");
  EXPECT_FALSE(region->entities.has_value());
  EXPECT_EQ(region->entityCount, 0);
  EXPECT_EQ(region->gmapData, std::vector<std::uint8_t>(50, 0));
  EXPECT_EQ(region->gmapSize, 50u);
}

// The MAP chunk is moved onto the last 50 bytes of the file while keeping its 12288 bytes: it
// holds those 50 bytes and zeros, and everything after it is passed over.
TEST(RegionLoad, ChunkCutShortByTheEndOfTheFile) {
  const std::vector<ChunkTypeSpec> types = {
      Type(kTagPal, {{1, Pattern(768, 3)}}),
      Type(kTagMap, {{2, Pattern(kMapBytes, 1)}}),
      Type(kTagTile, {{9, TilePayload(10)}, {4, TilePayload(40)}}),
      Type(kTagRnme, {{8, Text("Karst Hollow")}}),
      Type(kTagEtab, {{5, Pattern(16)}}),
      Type(kTagGmap, {{3, Pattern(50, 200)}}),
  };
  std::vector<std::uint8_t> bytes = authoring::WriteContainer(types);
  ASSERT_EQ(U32At(bytes, OffsetFieldOf(types, 5, 0)) + 50, bytes.size());
  PutU32(bytes, OffsetFieldOf(types, 1, 0), U32At(bytes, OffsetFieldOf(types, 5, 0)));

  std::vector<LoadNote> notes;
  const std::unique_ptr<Region> region = RegionFromBytes(bytes, &notes);
  ASSERT_NE(region, nullptr);
  using Note = std::tuple<NoteKind, std::string, std::uint32_t>;
  EXPECT_EQ(Placed(notes), (std::vector<Note>{{NoteKind::kChunkCutShort, "MAP ", 2},
                                              {NoteKind::kChunkPassedOver, "TILE", 9},
                                              {NoteKind::kChunkPassedOver, "TILE", 4},
                                              {NoteKind::kChunkPassedOver, "RNME", 8},
                                              {NoteKind::kChunkPassedOver, "ETAB", 5},
                                              {NoteKind::kChunkPassedOver, "GMAP", 3}}));
  EXPECT_EQ(region->mapChunk->number, 2u);
  EXPECT_EQ(region->tilesRead, 0);
  EXPECT_EQ(region->paletteData, Pattern(768, 3));
  std::vector<std::uint8_t> expectedMap(kMapBytes, 0);
  const std::vector<std::uint8_t> tail = Pattern(50, 200);
  std::copy(tail.begin(), tail.end(), expectedMap.begin());
  EXPECT_EQ(region->mapData, expectedMap);
  EXPECT_EQ(region->mapSize, kMapBytes);
  ASSERT_EQ(region->tileCount, 2);
  ExpectEmptyTile(region->tiles[0]);
  ExpectEmptyTile(region->tiles[1]);
  EXPECT_EQ(region->name, "");
  EXPECT_FALSE(region->entities.has_value());
  EXPECT_EQ(region->gmapData, std::vector<std::uint8_t>(50, 0));
  EXPECT_EQ(region->gmapSize, 50u);
}

// A TILE chunk cut short is decoded from the bytes that arrived and zeros: the same frame set as
// decoding the zero-padded prefix directly. The chunk still takes its position.
TEST(RegionLoad, TileCutShortIsDecodedFromWhatArrived) {
  const std::vector<std::uint8_t> payload = TilePayload(1);
  const std::vector<ChunkTypeSpec> types = {
      Type(kTagTile, {{3, TilePayload(100)}, {5, payload}}),
  };
  std::vector<std::uint8_t> bytes = authoring::WriteContainer(types);
  const std::size_t kept = payload.size() / 2;
  bytes.resize(bytes.size() - (payload.size() - kept));

  const std::unique_ptr<Region> region = RegionFromBytes(bytes);
  ASSERT_NE(region, nullptr);
  ASSERT_EQ(region->tileCount, 2);
  EXPECT_EQ(TilePixels(region->tiles[0]), TileImage(100).pixels);
  EXPECT_EQ(region->tiles[1].number, 5u);

  std::vector<std::uint8_t> padded(payload.begin(), payload.begin() + static_cast<std::ptrdiff_t>(kept));
  padded.resize(payload.size(), 0);
  FrameSet expected;
  AllocationBudget budget(1u << 20);
  DecodeFrameSet(expected, padded, budget, LoadReport());
  const std::vector<std::uint8_t> pixels = TilePixels(region->tiles[1]);
  EXPECT_EQ(pixels, expected.frames.at(0).pixels);
  // The first row arrived whole; the last did not arrive at all.
  const std::vector<std::uint8_t> image = TileImage(1).pixels;
  EXPECT_TRUE(std::equal(image.begin(), image.begin() + 16, pixels.begin()));
  EXPECT_EQ(std::vector<std::uint8_t>(pixels.end() - 16, pixels.end()), std::vector<std::uint8_t>(16, 0));
}

TEST(RegionLoad, NoRegionWithoutAContainer) {
  testing::TempDir dir;
  EXPECT_EQ(LoadRegion((dir.path() / "RGN99.GFF").string(), LoadReport()), nullptr);

  const std::vector<std::uint8_t> valid = authoring::WriteContainer(WholeRegion());
  for (std::size_t i = 0; i < 4; ++i) {
    std::vector<std::uint8_t> bytes = valid;
    bytes[i] ^= 0x20;  // "gFFI", "GfFI", ...
    EXPECT_EQ(LoadRegion(dir.Write("RGN.GFF", bytes).string(), LoadReport()), nullptr) << i;
  }
  // Header without a reachable directory length, and a file shorter than the header.
  EXPECT_EQ(RegionFromBytes(std::vector<std::uint8_t>(valid.begin(), valid.begin() + 15)), nullptr);
  EXPECT_EQ(RegionFromBytes(std::vector<std::uint8_t>(valid.begin(), valid.begin() + 4)), nullptr);
  EXPECT_EQ(RegionFromBytes({}), nullptr);

  GffFile unopened;
  EXPECT_EQ(LoadRegion(unopened, LoadReport()), nullptr);
}

}  // namespace
}  // namespace karst
