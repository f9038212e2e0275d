// The sample world read back through the container reader and the frame decoders: every file
// opens, every picture decodes to exactly what the generator drew, without a diagnostic line,
// and every cross-reference (map to tiles, entity to object, object to bitmap) holds.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <map>
#include <set>
#include <string>
#include <vector>

#include "authoring/sample_objects.h"
#include "authoring/sample_world.h"
#include "gff/allocation_budget.h"
#include "gff/format.h"
#include "gff/frame_set.h"
#include "gff/gff_file.h"

namespace karst {
namespace {

using authoring::SampleFrame;
using authoring::SampleWorld;
using authoring::WorldFile;

// One chunk as the reader finds it.
struct Chunk {
  std::uint32_t number = 0;
  std::vector<std::uint8_t> payload;
};

// A container read whole: the chunks of every tag in directory order, and the record flags.
struct Container {
  std::map<std::string, std::vector<Chunk>> chunks;
  std::map<std::string, std::uint32_t> flags;
  std::uint64_t size = 0;
};

Container ReadContainer(const WorldFile& file) {
  GffFile gff;
  Container container;
  std::vector<LoadNote> notes;
  EXPECT_TRUE(gff.OpenBytes(file.bytes, LoadReport::Into(notes))) << file.name;
  EXPECT_TRUE(notes.empty()) << file.name;
  if (!gff.IsOpen()) {
    return container;
  }
  container.size = gff.size();
  for (const ChunkType& type : gff.directory()) {
    const std::string tag(type.tag.data(), 4);
    container.flags[tag] = type.flags;
    for (const ChunkEntry& entry : *type.entries) {
      Chunk chunk{entry.number, std::vector<std::uint8_t>(entry.size)};
      EXPECT_TRUE(gff.SeekTo(entry)) << file.name << " " << tag << " " << entry.number;
      EXPECT_EQ(gff.Read(chunk.payload), entry.size) << file.name << " " << tag << " " << entry.number;
      container.chunks[tag].push_back(std::move(chunk));
    }
  }
  EXPECT_FALSE(gff.StreamFailed()) << file.name;
  gff.Close();
  return container;
}

FrameSet Decode(const std::vector<std::uint8_t>& payload, std::uint64_t fileSize, std::vector<LoadNote>& notes) {
  AllocationBudget budget = AllocationBudget::ForFileOfSize(fileSize);
  FrameSet frameSet;
  DecodeFrameSet(frameSet, payload, budget, LoadReport::Into(notes));
  return frameSet;
}

std::string EncodingOf(const Frame& frame) {
  return frame.encoding[0] == '\0' ? std::string("blank") : TagText(frame.encoding);
}

// Decoding every frame set of `payloads` must note nothing; returns the frame sets.
std::vector<FrameSet> DecodeQuietly(const std::vector<Chunk>& chunks, std::uint64_t fileSize) {
  std::vector<LoadNote> notes;
  std::vector<FrameSet> sets;
  for (const Chunk& chunk : chunks) {
    sets.push_back(Decode(chunk.payload, fileSize, notes));
  }
  EXPECT_TRUE(notes.empty());
  return sets;
}

std::uint32_t U16(const std::vector<std::uint8_t>& bytes, std::size_t at) {
  return static_cast<std::uint32_t>(bytes[at] | (bytes[at + 1] << 8));
}

void ExpectSameFrames(const FrameSet& decoded, const std::vector<SampleFrame>& drawn, const std::string& what) {
  ASSERT_EQ(decoded.frameCount, static_cast<std::int32_t>(drawn.size())) << what;
  for (std::size_t i = 0; i < drawn.size(); ++i) {
    EXPECT_EQ(decoded.frames[i].width, drawn[i].image.width) << what << " frame " << i;
    EXPECT_EQ(decoded.frames[i].height, drawn[i].image.height) << what << " frame " << i;
    EXPECT_EQ(decoded.frames[i].pixels, drawn[i].image.pixels) << what << " frame " << i;
  }
}

class SampleWorldTest : public ::testing::Test {
 protected:
  static void SetUpTestSuite() {
    content_ = new SampleWorld(authoring::MakeSampleWorldContent());
    files_ = new std::vector<WorldFile>(authoring::WriteSampleWorld(*content_));
  }
  static void TearDownTestSuite() {
    delete files_;
    delete content_;
    files_ = nullptr;
    content_ = nullptr;
  }

  static const WorldFile& Library() { return files_->back(); }

  static SampleWorld* content_;
  static std::vector<WorldFile>* files_;
};

SampleWorld* SampleWorldTest::content_ = nullptr;
std::vector<WorldFile>* SampleWorldTest::files_ = nullptr;

TEST_F(SampleWorldTest, TwoRunsGiveTheSameBytes) {
  const std::vector<WorldFile> again = authoring::MakeSampleWorld();
  ASSERT_EQ(again.size(), files_->size());
  for (std::size_t i = 0; i < again.size(); ++i) {
    EXPECT_EQ(again[i].name, (*files_)[i].name);
    EXPECT_TRUE(again[i].bytes == (*files_)[i].bytes) << again[i].name;
  }
}

TEST_F(SampleWorldTest, RegionFilesInNameOrderThenTheObjectLibrary) {
  std::vector<std::string> names;
  for (const WorldFile& file : *files_) {
    names.push_back(file.name);
  }
  EXPECT_EQ(names, (std::vector<std::string>{"RGN01.GFF", "RGN02.GFF", "RGN03.GFF", "RGN04.GFF", "OBJEX.GFF"}));
}

TEST_F(SampleWorldTest, EveryFileHasPlainAndIndexedRecords) {
  for (const WorldFile& file : *files_) {
    const Container container = ReadContainer(file);
    bool plain = false;
    bool indexed = false;
    for (const auto& [tag, flags] : container.flags) {
      (flags == kIndexedFlags ? indexed : plain) = true;
    }
    EXPECT_TRUE(plain) << file.name;
    EXPECT_TRUE(indexed) << file.name;
  }
}

TEST_F(SampleWorldTest, RegionsHoldEverythingTheViewerNeeds) {
  std::set<std::string> names;
  for (std::size_t r = 0; r < content_->regions.size(); ++r) {
    const WorldFile& file = (*files_)[r];
    SCOPED_TRACE(file.name);
    Container container = ReadContainer(file);
    for (const char* tag : {"PAL ", "MAP ", "GMAP", "RNME", "ETAB"}) {
      ASSERT_EQ(container.chunks[tag].size(), 1u) << tag;
    }
    const std::vector<std::uint8_t>& palette = container.chunks["PAL "][0].payload;
    ASSERT_EQ(palette.size(), kPaletteBytes);
    EXPECT_TRUE(std::all_of(palette.begin(), palette.end(), [](std::uint8_t v) { return v <= 63; }));
    // The name is drawn in white on black: both must be in the palette.
    EXPECT_EQ(std::vector<std::uint8_t>(palette.begin(), palette.begin() + 3), (std::vector<std::uint8_t>{0, 0, 0}));
    bool white = false;
    for (std::size_t i = 0; i < palette.size(); i += 3) {
      white = white || (palette[i] == 63 && palette[i + 1] == 63 && palette[i + 2] == 63);
    }
    EXPECT_TRUE(white);

    const std::vector<std::uint8_t>& rawName = container.chunks["RNME"][0].payload;
    const std::string name(rawName.begin(), rawName.end());
    EXPECT_FALSE(name.empty());
    EXPECT_TRUE(names.insert(name).second) << name;

    const std::vector<Chunk>& tiles = container.chunks["TILE"];
    EXPECT_GE(tiles.size(), 32u);
    EXPECT_LE(tiles.size(), 128u);
    EXPECT_EQ(container.flags["TILE"], kIndexedFlags);
    EXPECT_FALSE(
        std::is_sorted(tiles.begin(), tiles.end(), [](const Chunk& a, const Chunk& b) { return a.number < b.number; }));
    const std::vector<FrameSet> decoded = DecodeQuietly(tiles, container.size);
    std::set<std::string> encodings;
    for (std::size_t i = 0; i < decoded.size(); ++i) {
      ASSERT_EQ(decoded[i].frameCount, 1) << "tile " << i;
      EXPECT_EQ(decoded[i].frames[0].width, 16u);
      EXPECT_EQ(decoded[i].frames[0].height, 16u);
      ExpectSameFrames(decoded[i], {content_->regions[r].tiles[i]}, "tile " + std::to_string(i));
      encodings.insert(EncodingOf(decoded[i].frames[0]));
    }
    EXPECT_EQ(encodings, (std::set<std::string>{"NRML", "PLAN", "PLNR"}));

    const std::vector<std::uint8_t>& map = container.chunks["MAP "][0].payload;
    ASSERT_EQ(map.size(), kMapBytes);
    EXPECT_LT(*std::max_element(map.begin(), map.end()), tiles.size());
    // Most tiles are used somewhere (a few corner patterns may never occur).
    EXPECT_GE(std::set<std::uint8_t>(map.begin(), map.end()).size() * 4, tiles.size() * 3);

    const std::vector<std::uint8_t>& overview = container.chunks["GMAP"][0].payload;
    ASSERT_GE(overview.size(), 4u);
    EXPECT_EQ(overview.size(), 4 + U16(overview, 0) * U16(overview, 2));
  }
}

TEST_F(SampleWorldTest, EntitiesNameObjectsWhoseBitmapsExist) {
  Container library = ReadContainer(Library());
  std::map<std::uint32_t, std::uint32_t> bitmapOfObject;
  for (const Chunk& definition : library.chunks["OJFF"]) {
    ASSERT_EQ(definition.payload.size(), kObjectDefSize);
    bitmapOfObject[definition.number] = U16(definition.payload, 12);
  }
  std::set<std::uint32_t> bitmaps;
  for (const Chunk& bitmap : library.chunks["BMP "]) {
    bitmaps.insert(bitmap.number);
  }
  for (std::size_t r = 0; r < content_->regions.size(); ++r) {
    const WorldFile& file = (*files_)[r];
    SCOPED_TRACE(file.name);
    Container container = ReadContainer(file);
    const std::vector<std::uint8_t>& table = container.chunks["ETAB"][0].payload;
    ASSERT_EQ(table.size() % kEntityRecordSize, 0u);
    const std::size_t count = table.size() / kEntityRecordSize;
    EXPECT_GE(count, 150u);
    EXPECT_LE(count, 600u);
    int mirrored = 0;
    int lifted = 0;
    for (std::size_t i = 0; i < count; ++i) {
      const std::size_t at = i * kEntityRecordSize;
      EXPECT_LT(U16(table, at), static_cast<std::uint32_t>(kRegionWidth) + 64) << "entity " << i;
      EXPECT_LT(U16(table, at + 2), static_cast<std::uint32_t>(kRegionHeight) + 64) << "entity " << i;
      lifted += table[at + 4] > 0 ? 1 : 0;
      mirrored += (table[at + 5] & 0x80) != 0 ? 1 : 0;
      const auto object = bitmapOfObject.find(U16(table, at + 6));
      ASSERT_NE(object, bitmapOfObject.end()) << "entity " << i << " names object " << U16(table, at + 6);
      EXPECT_TRUE(bitmaps.count(object->second)) << "object " << object->first << " names bitmap " << object->second;
    }
    EXPECT_GT(mirrored, 0);
    EXPECT_GT(lifted, 0);
  }
}

TEST_F(SampleWorldTest, ObjectLibraryDecodesToItsDrawings) {
  Container library = ReadContainer(Library());
  const std::vector<Chunk>& definitions = library.chunks["OJFF"];
  const std::vector<Chunk>& bitmaps = library.chunks["BMP "];
  EXPECT_GE(definitions.size(), 40u);
  EXPECT_EQ(library.flags["BMP "], kIndexedFlags);
  EXPECT_FALSE(library.chunks["CBMP"].empty());
  EXPECT_FALSE(std::is_sorted(definitions.begin(), definitions.end(),
                              [](const Chunk& a, const Chunk& b) { return a.number < b.number; }));
  const std::vector<FrameSet> decoded = DecodeQuietly(bitmaps, library.size);
  DecodeQuietly(library.chunks["CBMP"], library.size);
  ASSERT_EQ(decoded.size(), content_->objects.size());
  std::set<std::string> encodings;
  int animated = 0;
  for (std::size_t i = 0; i < decoded.size(); ++i) {
    const authoring::SampleObject& object = content_->objects[i];
    SCOPED_TRACE("object " + std::to_string(object.objectId));
    EXPECT_EQ(bitmaps[i].number, object.bitmapId);
    ExpectSameFrames(decoded[i], object.frames, "bitmap " + std::to_string(object.bitmapId));
    const Frame& first = decoded[i].frames[0];
    EXPECT_GE(std::min(first.width, first.height), 8u);
    EXPECT_LE(std::max(first.width, first.height), 96u);
    // The hotspot is the object's foot: inside the bitmap, in its lower half.
    EXPECT_LT(object.hotspotX, first.width);
    EXPECT_LT(object.hotspotY, first.height);
    EXPECT_GE(object.hotspotY, first.height / 2);
    animated += decoded[i].frameCount > 1 ? 1 : 0;
    for (const Frame& frame : decoded[i].frames) {
      encodings.insert(EncodingOf(frame));
    }
  }
  EXPECT_GE(animated, 2);
  EXPECT_EQ(encodings, (std::set<std::string>{"NRML", "PLAN", "PLNR", "blank"}));
}

// Trees and houses stand on dry ground: the pixel under their foot is not of the water ramps
// (terrain slots 0 and 1 of the meadow, indices 128 to 159). Only water plants stand in water.
TEST_F(SampleWorldTest, MeadowTreesAndHousesStandOnDryGround) {
  const authoring::SampleRegion& meadow = content_->regions[0];
  std::map<std::uint16_t, std::uint16_t> kindOf;
  for (const authoring::SampleObject& object : content_->objects) {
    kindOf[object.objectId] = object.kind;
  }
  constexpr std::uint16_t kPlant = 1;
  constexpr std::uint16_t kBuilding = 3;
  const std::set<std::uint16_t> waterPlants = {authoring::ObjectIdOf(authoring::Prop::kLilyPad),
                                               authoring::ObjectIdOf(authoring::Prop::kReeds)};
  int checked = 0;
  for (const authoring::SampleEntity& entity : meadow.entities) {
    const std::uint16_t kind = kindOf.at(entity.objectId);
    if ((kind != kPlant && kind != kBuilding) || entity.z != 0 || waterPlants.count(entity.objectId) > 0) {
      continue;
    }
    const std::size_t cell = static_cast<std::size_t>(entity.y / kTileSize) * kMapColumns + entity.x / kTileSize;
    const std::size_t pixel = static_cast<std::size_t>(entity.y % kTileSize) * kTileSize + entity.x % kTileSize;
    const std::uint8_t ground = meadow.tiles[meadow.map[cell]].image.pixels[pixel];
    EXPECT_FALSE(ground >= 128 && ground < 160)
        << "object " << entity.objectId << " at " << entity.x << "," << entity.y;
    ++checked;
  }
  EXPECT_GT(checked, 150);
}

}  // namespace
}  // namespace karst
