// The object library: definitions, the two bitmap tables, signed keys and the stream rules.
#include <gtest/gtest.h>

#include <cstdint>
#include <vector>

#include "data/object_library.h"
#include "gff/format.h"
#include "tests/data/data_fixtures.h"
#include "tests/support/temp_dir.h"

namespace karst {
namespace {

using namespace data_tests;

const std::vector<std::uint8_t> kExampleDef = Bytes({
    0x01, 0x00,  // word0 1
    0x10, 0x00,  // hotspotX 16
    0x20, 0x00,  // hotspotY 32
    0x00, 0x00,  // word6
    0x00, 0x00,  // word8
    0x05,        // byte10
    0x06,        // byte11
    0x07, 0x00,  // bitmapId 7
    0x00, 0x00,  // word14
});

IndexedImage Image(std::uint32_t width, std::uint32_t height, std::uint8_t base) {
  IndexedImage image{width, height, std::vector<std::uint8_t>(width * height)};
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    image.pixels[i] = static_cast<std::uint8_t>(base + i);
  }
  return image;
}

void ExpectFrame0(const FrameSet& set, const IndexedImage& image) {
  ASSERT_GE(set.frameCount, 1);
  ASSERT_EQ(set.frames.size(), static_cast<std::size_t>(set.frameCount));
  EXPECT_EQ(set.frames[0].width, image.width);
  EXPECT_EQ(set.frames[0].height, image.height);
  EXPECT_EQ(set.frames[0].pixels, image.pixels);
}

std::vector<std::int32_t> Keys(const auto& table) {
  std::vector<std::int32_t> keys;
  for (const auto& [key, value] : table) {
    keys.push_back(key);
  }
  return keys;
}

TEST(ObjectLibraryLoad, ReadsDefinitionsAndBothBitmapTablesFromAFile) {
  testing::TempDir dir;
  const auto path =
      dir.Write("OBJEX.GFF", authoring::WriteContainer({
                                 Type(kTagOjff, {{3, kExampleDef}}),
                                 Type(kTagBmp, {{7, FrameSetPayload({Image(5, 3, 1), Image(2, 2, 9)})}}),
                                 // Under the same number as the BMP set, with other pixels: the tables stay apart.
                                 Type(kTagCbmp, {{7, FrameSetPayload({Image(4, 4, 100)})}}),
                             }));
  const std::unique_ptr<ObjectLibrary> library = LoadObjectLibrary(path.string(), LoadReport());
  ASSERT_NE(library, nullptr);

  ASSERT_EQ(Keys(library->objectDefs), std::vector<std::int32_t>{3});
  const ObjectDef* def = library->objectDefs.at(3).get();
  ASSERT_NE(def, nullptr);
  EXPECT_EQ(def->word0, 1u);
  EXPECT_EQ(def->hotspotX, 16u);
  EXPECT_EQ(def->hotspotY, 32u);
  EXPECT_EQ(def->word6, 0u);
  EXPECT_EQ(def->word8, 0u);
  EXPECT_EQ(def->byte10, 5u);
  EXPECT_EQ(def->byte11, 6u);
  EXPECT_EQ(def->bitmapId, 7u);
  EXPECT_EQ(def->word14, 0u);
  EXPECT_EQ(def->id, 3u);

  ASSERT_EQ(Keys(library->bmpSets), std::vector<std::int32_t>{7});
  const FrameSet& bmp = *library->bmpSets.at(7);
  EXPECT_EQ(bmp.number, 7u);
  ASSERT_EQ(bmp.frameCount, 2);
  ExpectFrame0(bmp, Image(5, 3, 1));
  EXPECT_EQ(bmp.frames[1].pixels, Image(2, 2, 9).pixels);

  ASSERT_EQ(Keys(library->cbmpSets), std::vector<std::int32_t>{7});
  EXPECT_EQ(library->cbmpSets.at(7)->number, 7u);
  ExpectFrame0(*library->cbmpSets.at(7), Image(4, 4, 100));
}

TEST(ParseObjectDef, EveryFieldAtItsPlace) {
  const std::vector<std::uint8_t> payload = Bytes({
      0x01, 0x80,  // word0 0x8001
      0xFF, 0xFF,  // hotspotX 65535
      0xFF, 0xFF,  // hotspotY 65535
      0x02, 0x03,  // word6 0x0302
      0x04, 0x05,  // word8 0x0504
      0xFE,        // byte10 254
      0xFF,        // byte11 255
      0xFF, 0xFF,  // bitmapId 65535
      0x06, 0x07,  // word14 0x0706
  });
  const std::unique_ptr<ObjectDef> def = ParseObjectDef(payload, 0xFFFFFFFFu);
  ASSERT_NE(def, nullptr);
  EXPECT_EQ(def->word0, 0x8001u);
  EXPECT_EQ(def->hotspotX, 65535u);
  EXPECT_EQ(def->hotspotY, 65535u);
  EXPECT_EQ(def->word6, 0x0302u);
  EXPECT_EQ(def->word8, 0x0504u);
  EXPECT_EQ(def->byte10, 254u);
  EXPECT_EQ(def->byte11, 255u);
  EXPECT_EQ(def->bitmapId, 65535u);
  EXPECT_EQ(def->word14, 0x0706u);
  EXPECT_EQ(def->id, 0xFFFFFFFFu);
}

TEST(ObjectLibraryLoad, DefinitionOfAnyOtherSizeIsKeptAsNull) {
  std::vector<std::uint8_t> longer = kExampleDef;
  longer.push_back(0);
  const std::unique_ptr<ObjectLibrary> library = LibraryFromBytes(authoring::WriteContainer({
      Type(kTagOjff, {{1, std::vector<std::uint8_t>(kExampleDef.begin(), kExampleDef.end() - 1)},
                      {2, kExampleDef},
                      {3, longer},
                      {4, {}}}),
  }));
  ASSERT_NE(library, nullptr);
  ASSERT_EQ(Keys(library->objectDefs), (std::vector<std::int32_t>{1, 2, 3, 4}));
  EXPECT_EQ(library->objectDefs.at(1), nullptr);
  ASSERT_NE(library->objectDefs.at(2), nullptr);
  EXPECT_EQ(library->objectDefs.at(2)->bitmapId, 7u);
  EXPECT_EQ(library->objectDefs.at(2)->id, 2u);
  EXPECT_EQ(library->objectDefs.at(3), nullptr);
  EXPECT_EQ(library->objectDefs.at(4), nullptr);
  EXPECT_TRUE(library->bmpSets.empty());
  EXPECT_TRUE(library->cbmpSets.empty());
}

TEST(ObjectLibraryLoad, OnlyTheThreeExactTagsAreLoaded) {
  const std::vector<std::uint8_t> bitmap = FrameSetPayload({Image(2, 2, 1)});
  const std::unique_ptr<ObjectLibrary> library = LibraryFromBytes(authoring::WriteContainer({
      Type(Tag{'B', 'M', 'P', 'X', '\0'}, {{1, bitmap}}),
      Type(Tag{'B', 'M', 'P', '\0', '\0'}, {{2, bitmap}}),
      Type(Tag{'B', 'M', 'P', '_', '\0'}, {{3, bitmap}}),
      Type(MakeTag("bmp "), {{4, bitmap}}),
      Type(MakeTag("OJFX"), {{5, kExampleDef}}),
      Type(kTagTile, {{6, bitmap}}),
      Type(kTagBmp, {{9, bitmap}}),
  }));
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(Keys(library->bmpSets), std::vector<std::int32_t>{9});
  EXPECT_TRUE(library->cbmpSets.empty());
  EXPECT_TRUE(library->objectDefs.empty());
}

TEST(ObjectLibraryLoad, LibraryWithoutBitmapsStillLoads) {
  const std::unique_ptr<ObjectLibrary> library =
      LibraryFromBytes(authoring::WriteContainer({Type(kTagOjff, {{3, kExampleDef}})}));
  ASSERT_NE(library, nullptr);
  EXPECT_TRUE(library->bmpSets.empty());
  EXPECT_EQ(Keys(library->objectDefs), std::vector<std::int32_t>{3});

  const std::unique_ptr<ObjectLibrary> empty = LibraryFromBytes(authoring::WriteContainer({}));
  ASSERT_NE(empty, nullptr);
  EXPECT_TRUE(empty->bmpSets.empty());
  EXPECT_TRUE(empty->cbmpSets.empty());
  EXPECT_TRUE(empty->objectDefs.empty());
}

TEST(ObjectLibraryLoad, KeysAreSignedChunkNumbers) {
  const std::vector<std::uint8_t> bitmap = FrameSetPayload({Image(1, 1, 1)});
  const std::unique_ptr<ObjectLibrary> library = LibraryFromBytes(authoring::WriteContainer({
      Type(kTagBmp, {{5, bitmap}, {0, bitmap}, {0x80000000u, bitmap}, {0xFFFFFFFFu, bitmap}, {0x7FFFFFFFu, bitmap}}),
      Type(kTagOjff, {{0, kExampleDef}, {0x80000000u, kExampleDef}}),
  }));
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(Keys(library->bmpSets), (std::vector<std::int32_t>{INT32_MIN, -1, 0, 5, INT32_MAX}));
  EXPECT_EQ(library->bmpSets.at(INT32_MIN)->number, 0x80000000u);
  EXPECT_EQ(library->bmpSets.at(-1)->number, 0xFFFFFFFFu);
  EXPECT_EQ(Keys(library->objectDefs), (std::vector<std::int32_t>{INT32_MIN, 0}));
  EXPECT_EQ(library->objectDefs.at(INT32_MIN)->id, 0x80000000u);
}

TEST(ObjectLibraryLoad, LaterChunkUnderTheSameNumberReplacesTheEarlier) {
  const std::unique_ptr<ObjectLibrary> library = LibraryFromBytes(authoring::WriteContainer({
      Type(kTagBmp, {{4, FrameSetPayload({Image(1, 1, 1)})}}),
      Type(kTagOjff, {{4, kExampleDef}, {4, {}}}),
      Type(kTagBmp, {{4, FrameSetPayload({Image(3, 1, 50)})}}),
  }));
  ASSERT_NE(library, nullptr);
  ExpectFrame0(*library->bmpSets.at(4), Image(3, 1, 50));
  EXPECT_EQ(library->objectDefs.at(4), nullptr);
}

// The second BMP chunk is moved onto the last 10 bytes of the file while keeping its size; every
// chunk after it, of every type, is passed over.
TEST(ObjectLibraryLoad, ChunkCutShortEndsTheLoad) {
  const std::vector<std::uint8_t> cut = FrameSetPayload({Image(4, 4, 1)});
  const std::vector<ChunkTypeSpec> types = {
      Type(kTagBmp, {{1, FrameSetPayload({Image(2, 2, 1)})}, {2, cut}, {3, FrameSetPayload({Image(2, 2, 1)})}}),
      Type(kTagCbmp, {{4, FrameSetPayload({Image(2, 2, 1)})}}),
      Type(kTagOjff, {{5, kExampleDef}}),
      Type(kTagBmp, {{6, FrameSetPayload({Image(2, 2, 1)})}}),
      Type(kTagTile, {{7, Pattern(10)}}),
  };
  std::vector<std::uint8_t> bytes = authoring::WriteContainer(types);
  ASSERT_EQ(U32At(bytes, OffsetFieldOf(types, 4, 0)) + 10, bytes.size());
  PutU32(bytes, OffsetFieldOf(types, 0, 1), U32At(bytes, OffsetFieldOf(types, 4, 0)));

  std::vector<LoadNote> notes;
  const std::unique_ptr<ObjectLibrary> library = LibraryFromBytes(bytes, &notes);
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(Keys(library->bmpSets), (std::vector<std::int32_t>{1, 2}));
  // The short read is noted with its chunk; the chunks after it are passed over, each noted.
  ASSERT_GE(notes.size(), 5u);
  EXPECT_EQ(notes.front().kind, NoteKind::kChunkCutShort);
  EXPECT_EQ(notes.front().chunk->number, 2u);
  const std::vector<std::pair<Tag, std::uint32_t>> passedOver = {
      {kTagBmp, 3}, {kTagCbmp, 4}, {kTagOjff, 5}, {kTagBmp, 6}};
  for (std::size_t i = 0; i < passedOver.size(); ++i) {
    const LoadNote& note = notes[notes.size() - passedOver.size() + i];
    EXPECT_EQ(note.kind, NoteKind::kChunkPassedOver) << i;
    EXPECT_EQ(note.tag, passedOver[i].first) << i;
    EXPECT_EQ(note.chunk->number, passedOver[i].second) << i;
  }
  ExpectFrame0(*library->bmpSets.at(1), Image(2, 2, 1));
  // Chunk 2 holds the last 10 bytes of the file and zeros: bytes 0-9 of a frame-set payload
  // give its frame count (Pattern: 0x0504 frames) and one table entry, which lies outside.
  FrameSet expected;
  std::vector<std::uint8_t> padded = Pattern(10);
  padded.resize(cut.size(), 0);
  AllocationBudget budget(1u << 30);
  DecodeFrameSet(expected, padded, budget, LoadReport());
  const FrameSet& partial = *library->bmpSets.at(2);
  EXPECT_EQ(partial.number, 2u);
  EXPECT_EQ(partial.frameCount, 0x0504);
  ASSERT_EQ(partial.frames.size(), expected.frames.size());
  for (std::size_t i = 0; i < expected.frames.size(); ++i) {
    EXPECT_EQ(partial.frames[i].width, expected.frames[i].width) << i;
    EXPECT_EQ(partial.frames[i].height, expected.frames[i].height) << i;
    EXPECT_EQ(partial.frames[i].pixels, expected.frames[i].pixels) << i;
  }
  EXPECT_TRUE(library->cbmpSets.empty());
  EXPECT_TRUE(library->objectDefs.empty());
}

TEST(ObjectLibraryLoad, FailedSeekPassesTheChunkAndEveryLaterOneOver) {
  const std::vector<std::uint8_t> bitmap = FrameSetPayload({Image(2, 2, 1)});
  const std::vector<ChunkTypeSpec> types = {
      Type(kTagOjff, {{1, kExampleDef}, {2, kExampleDef}, {3, kExampleDef}}),
      Type(kTagBmp, {{4, bitmap}}),
      Type(kTagCbmp, {{5, bitmap}}),
  };
  std::vector<std::uint8_t> bytes = authoring::WriteContainer(types);
  PutU32(bytes, OffsetFieldOf(types, 0, 1), 0x80000000u);

  std::vector<LoadNote> notes;
  const std::unique_ptr<ObjectLibrary> library = LibraryFromBytes(bytes, &notes);
  ASSERT_NE(library, nullptr);
  EXPECT_EQ(Keys(library->objectDefs), std::vector<std::int32_t>{1});
  const std::vector<std::pair<NoteKind, std::uint32_t>> expected = {{NoteKind::kChunkOutOfReach, 2},
                                                                    {NoteKind::kChunkPassedOver, 3},
                                                                    {NoteKind::kChunkPassedOver, 4},
                                                                    {NoteKind::kChunkPassedOver, 5}};
  ASSERT_EQ(notes.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(notes[i].kind, expected[i].first) << i;
    EXPECT_EQ(notes[i].chunk->number, expected[i].second) << i;
  }
  EXPECT_TRUE(library->bmpSets.empty());
  EXPECT_TRUE(library->cbmpSets.empty());
}

TEST(UndrawnEntities, EachIsNotedWithItsIndexAndWhy) {
  ObjectLibrary library;
  const auto definition = [](std::uint32_t bitmapId) {
    auto def = std::make_unique<ObjectDef>();
    def->bitmapId = bitmapId;
    return def;
  };
  library.objectDefs[1] = definition(10);  // drawn
  library.objectDefs[2] = nullptr;         // not 16 bytes long
  library.objectDefs[3] = definition(99);  // no such bitmap
  library.objectDefs[4] = definition(11);  // a set without frames
  library.objectDefs[5] = definition(12);  // frame 0 without pixels
  library.objectDefs[6] = definition(13);  // frame 0 one column wider than a surface holds
  library.bmpSets[10] = std::make_unique<FrameSet>();
  library.bmpSets[10]->frames.resize(1);
  library.bmpSets[10]->frames[0].pixels = {1};
  library.bmpSets[11] = std::make_unique<FrameSet>();
  library.bmpSets[12] = std::make_unique<FrameSet>();
  library.bmpSets[12]->frames.resize(1);
  library.bmpSets[13] = std::make_unique<FrameSet>();
  library.bmpSets[13]->frames.resize(1);
  library.bmpSets[13]->frames[0].width = kLargestObjectSide + 1;
  library.bmpSets[13]->frames[0].height = 1;
  library.bmpSets[13]->frames[0].pixels.resize(kLargestObjectSide + 1, 1);
  std::vector<Entity> entities;
  for (const std::uint32_t objectId : {1u, 2u, 3u, 1u, 4u, 5u, 77u, 6u}) {
    entities.push_back(Entity{0, 0, 0, 0, objectId});
  }
  std::vector<LoadNote> notes;
  EXPECT_EQ(NoteUndrawnEntities(entities, library, LoadReport::Into(notes)), 6u);
  const std::vector<std::pair<std::uint64_t, NoteKind>> expected = {
      {1, NoteKind::kEntityDefinitionWrongSize}, {2, NoteKind::kEntityWithoutBitmap},
      {4, NoteKind::kEntityBitmapWithoutFrames}, {5, NoteKind::kEntityBitmapWithoutPixels},
      {6, NoteKind::kEntityWithoutDefinition},   {7, NoteKind::kEntityBitmapTooLarge}};
  ASSERT_EQ(notes.size(), expected.size());
  for (std::size_t i = 0; i < expected.size(); ++i) {
    EXPECT_EQ(notes[i].value, expected[i].first) << i;
    EXPECT_EQ(notes[i].kind, expected[i].second) << i;
  }
}

TEST(ObjectLibraryLoad, NoLibraryWithoutAContainer) {
  testing::TempDir dir;
  EXPECT_EQ(LoadObjectLibrary((dir.path() / "OBJEX.GFF").string(), LoadReport()), nullptr);
  std::vector<std::uint8_t> bytes = authoring::WriteContainer({Type(kTagOjff, {{3, kExampleDef}})});
  bytes[3] = 'X';
  EXPECT_EQ(LoadObjectLibrary(dir.Write("OBJEX.GFF", bytes).string(), LoadReport()), nullptr);
  EXPECT_EQ(LibraryFromBytes(std::vector<std::uint8_t>(bytes.begin(), bytes.begin() + 12)), nullptr);
  GffFile unopened;
  EXPECT_EQ(LoadObjectLibrary(unopened, LoadReport()), nullptr);
}

}  // namespace
}  // namespace karst
