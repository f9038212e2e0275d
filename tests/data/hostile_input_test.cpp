// Loads of cut, corrupted and boastful files: they stay inside their input and inside the
// allocation bound of a load, whatever the file claims.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <new>
#include <vector>

#include "authoring/byte_writer.h"
#include "data/object_library.h"
#include "data/region.h"
#include "gff/allocation_budget.h"
#include "gff/format.h"
#include "tests/data/data_fixtures.h"

// Every allocation of this test program goes through here, so a test can measure what a load
// really allocates: the bytes in all and the largest single block.
namespace {
struct AllocationCount {
  bool counting = false;
  std::uint64_t total = 0;
  std::uint64_t largest = 0;
};
AllocationCount allocations;
}  // namespace

void* operator new(std::size_t size) {
  if (allocations.counting) {
    allocations.total += size;
    allocations.largest = std::max<std::uint64_t>(allocations.largest, size);
  }
  void* block = std::malloc(size == 0 ? 1 : size);
  if (block == nullptr) {
    std::abort();
  }
  return block;
}
// Kept out of line: inlined into a caller, the free() would meet the caller's operator new.
[[gnu::noinline]] void operator delete(void* block) noexcept { std::free(block); }
[[gnu::noinline]] void operator delete(void* block, std::size_t) noexcept { std::free(block); }

namespace karst {
namespace {

using namespace data_tests;

template <typename Load>
AllocationCount Measured(Load load) {
  allocations = AllocationCount{true, 0, 0};
  load();
  AllocationCount measured = allocations;
  allocations.counting = false;
  return measured;
}

// What a region of every chunk type may hold after any damage: sizes agree with the buffers,
// and every byte is the original one or a zero that stands for a byte that did not arrive.
void ExpectConsistent(const Region& region) {
  EXPECT_EQ(region.tiles.size(), static_cast<std::size_t>(region.tileCount));
  EXPECT_EQ(region.paletteData ? region.paletteData->size() : 0u, region.paletteSize);
  EXPECT_EQ(region.mapData ? region.mapData->size() : 0u, region.mapSize);
  EXPECT_EQ(region.gmapData ? region.gmapData->size() : 0u, region.gmapSize);
  EXPECT_EQ(region.entities ? region.entities->size() : 0u, static_cast<std::size_t>(region.entityCount));
  for (const FrameSet& tile : region.tiles) {
    EXPECT_EQ(tile.frames.size(), static_cast<std::size_t>(tile.frameCount));
    for (const Frame& frame : tile.frames) {
      EXPECT_TRUE(frame.pixels.empty() || frame.pixels.size() == std::size_t{frame.width} * frame.height);
    }
  }
}

void ExpectOriginalOrZero(const std::optional<std::vector<std::uint8_t>>& loaded,
                          const std::vector<std::uint8_t>& original) {
  if (!loaded) {
    return;
  }
  ASSERT_EQ(loaded->size(), original.size());
  for (std::size_t i = 0; i < original.size(); ++i) {
    ASSERT_TRUE((*loaded)[i] == original[i] || (*loaded)[i] == 0) << i;
  }
}

// A small region of every chunk type, the tiles in an indexed record, so the index chunk lies
// at the very end of the file.
std::vector<ChunkTypeSpec> SmallRegion() {
  std::vector<ChunkTypeSpec> types = {
      Type(kTagRnme, {{1, Text("Cut")}}),
      Type(kTagPal, {{1, Pattern(48, 1)}}),
      Type(kTagTile, {{3, TilePayload(1)}, {4, TilePayload(2)}, {9, TilePayload(3)}}),
      Type(kTagMap, {{1, Pattern(64, 5)}}),
      Type(kTagGmap, {{1, Pattern(8, 9)}}),
      Type(kTagEtab, {{1, Pattern(16, 11)}}),
  };
  types[2].indexed = true;
  return types;
}

TEST(HostileRegion, EveryTruncationLoadsConsistently) {
  const std::vector<std::uint8_t> valid = authoring::WriteContainer(SmallRegion());
  const std::size_t directoryEnd = 16 + U32At(valid, 20);
  for (std::size_t length = 0; length <= valid.size(); ++length) {
    SCOPED_TRACE(length);
    const std::unique_ptr<Region> region =
        RegionFromBytes(std::vector<std::uint8_t>(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(length)));
    // The header ends at 16; then the directory's own length would be read past the end.
    ASSERT_EQ(region == nullptr, length < 16);
    if (!region) {
      continue;
    }
    ExpectConsistent(*region);
    if (length < directoryEnd) {
      // A directory entry cut short names other bytes; only the buffers' shapes are known.
      continue;
    }
    ExpectOriginalOrZero(region->paletteData, Pattern(48, 1));
    ExpectOriginalOrZero(region->mapData, Pattern(64, 5));
    ExpectOriginalOrZero(region->gmapData, Pattern(8, 9));
  }
  const std::unique_ptr<Region> whole = RegionFromBytes(valid);
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(whole->name, "Cut");
  EXPECT_EQ(whole->tileCount, 3);
  EXPECT_EQ(whole->tiles[2].number, 9u);
  EXPECT_EQ(whole->entityCount, 2);
}

TEST(HostileRegion, EveryByteFlippedLoadsConsistently) {
  const std::vector<std::uint8_t> valid = authoring::WriteContainer(SmallRegion());
  for (std::size_t at = 0; at < valid.size(); ++at) {
    SCOPED_TRACE(at);
    std::vector<std::uint8_t> bytes = valid;
    bytes[at] ^= 0xFF;
    const std::unique_ptr<Region> region = RegionFromBytes(bytes);
    // The magic, or a directory position of 2^31 or more.
    ASSERT_EQ(region == nullptr, at < 4 || at == 15);
    if (region) {
      ExpectConsistent(*region);
    }
  }
}

std::vector<ChunkTypeSpec> SmallLibrary() {
  std::vector<ChunkTypeSpec> types = {
      Type(kTagOjff, {{1, Pattern(16)}, {2, Pattern(15)}}),
      Type(kTagBmp, {{7, TilePayload(1)}, {8, TilePayload(2)}}),
      Type(kTagCbmp, {{7, TilePayload(3)}}),
  };
  types[1].indexed = true;
  return types;
}

TEST(HostileLibrary, EveryTruncationAndFlippedByteLoads) {
  const std::vector<std::uint8_t> valid = authoring::WriteContainer(SmallLibrary());
  for (std::size_t length = 0; length <= valid.size(); ++length) {
    SCOPED_TRACE(length);
    const std::unique_ptr<ObjectLibrary> library =
        LibraryFromBytes(std::vector<std::uint8_t>(valid.begin(), valid.begin() + static_cast<std::ptrdiff_t>(length)));
    ASSERT_EQ(library == nullptr, length < 16);
  }
  for (std::size_t at = 0; at < valid.size(); ++at) {
    SCOPED_TRACE(at);
    std::vector<std::uint8_t> bytes = valid;
    bytes[at] ^= 0xFF;
    const std::unique_ptr<ObjectLibrary> library = LibraryFromBytes(bytes);
    ASSERT_EQ(library == nullptr, at < 4 || at == 15);
    if (!library) {
      continue;
    }
    for (const auto& [key, set] : library->bmpSets) {
      EXPECT_EQ(static_cast<std::int32_t>(set->number), key);
      EXPECT_EQ(set->frames.size(), static_cast<std::size_t>(set->frameCount));
    }
  }
  const std::unique_ptr<ObjectLibrary> whole = LibraryFromBytes(valid);
  ASSERT_NE(whole, nullptr);
  EXPECT_EQ(whole->bmpSets.size(), 2u);
  EXPECT_EQ(whole->cbmpSets.size(), 1u);
  EXPECT_EQ(whole->objectDefs.size(), 2u);
}

// A frame set that claims 65535 frames; its table names the same 65535 x 255 frame
// `tableEntries` times (a blank frame: the last 5 bytes of the payload), the rest lie outside.
std::vector<std::uint8_t> BoastfulFrameSet(std::uint32_t tableEntries) {
  authoring::ByteWriter out;
  out.zeros(4);
  out.u16le(65535);  // frame count
  const std::uint32_t framePosition = 6 + 4 * tableEntries;
  for (std::uint32_t i = 0; i < tableEntries; ++i) {
    out.u32le(framePosition);
  }
  out.u16le(65535);  // width
  out.u16le(255);    // height
  out.u8(255);       // not NRML, and nothing behind it: blank
  return out.take();
}

// Eight frames of 16.7 M pixels claimed by 39 bytes, then chunks that claim nearly 4 GiB each:
// a file of about 200 bytes that claims more than 150 GiB. Three such frames fit the bound.
TEST(HostileRegion, BoastfulFileAllocatesWithinItsBound) {
  const std::vector<ChunkTypeSpec> types = {
      Type(kTagTile, {{1, BoastfulFrameSet(8)}}), Type(kTagPal, {{1, Pattern(4)}}),  Type(kTagMap, {{1, Pattern(4)}}),
      Type(kTagRnme, {{1, Pattern(4)}}),          Type(kTagEtab, {{1, Pattern(8)}}), Type(kTagGmap, {{1, Pattern(4)}}),
  };
  std::vector<std::uint8_t> bytes = authoring::WriteContainer(types);
  for (std::size_t type = 1; type < types.size(); ++type) {
    PutU32(bytes, SizeFieldOf(types, type, 0), 0xFFFFFFFFu - static_cast<std::uint32_t>(type));
  }
  const std::uint64_t bound = AllocationBudget::ForFileOfSize(bytes.size()).remaining();
  ASSERT_LT(bytes.size(), 256u);

  GffFile file;
  ASSERT_TRUE(file.OpenBytes(bytes, LoadReport()));
  std::unique_ptr<Region> region;
  const AllocationCount measured = Measured([&] { region = LoadRegion(file, LoadReport()); });
  ASSERT_NE(region, nullptr);
  // The count sees the pixels of the frames that got them, and nothing beyond the bound.
  EXPECT_GE(measured.total, 3 * 65535u * 255u);
  EXPECT_LE(measured.total, bound);
  EXPECT_LE(measured.largest, kMaxFramePixels);

  // The frames that the bound held got their pixels; the rest got none.
  ASSERT_EQ(region->tileCount, 1);
  const FrameSet& tile = region->tiles[0];
  ASSERT_EQ(tile.frameCount, 65535);
  for (std::size_t i = 0; i < 8; ++i) {
    EXPECT_EQ(tile.frames[i].width, 65535u) << i;
    EXPECT_EQ(tile.frames[i].pixels.size(), i < 3 ? 65535u * 255u : 0u) << i;
  }
  EXPECT_EQ(tile.frames[8].width, 0u);

  // The chunks that claim more than the file holds are never allocated.
  EXPECT_FALSE(region->paletteData.has_value());
  EXPECT_EQ(region->paletteSize, 0u);
  EXPECT_FALSE(region->mapData.has_value());
  EXPECT_FALSE(region->name.has_value());
  EXPECT_FALSE(region->entities.has_value());
  EXPECT_FALSE(region->gmapData.has_value());
}

TEST(HostileLibrary, BoastfulFileAllocatesWithinItsBound) {
  const std::vector<ChunkTypeSpec> types = {
      Type(kTagBmp, {{1, BoastfulFrameSet(8)}, {2, BoastfulFrameSet(8)}}),
      Type(kTagCbmp, {{3, BoastfulFrameSet(8)}}),
      Type(kTagOjff, {{4, Pattern(16)}}),
  };
  std::vector<std::uint8_t> bytes = authoring::WriteContainer(types);
  PutU32(bytes, SizeFieldOf(types, 2, 0), 0xFFFFFFF0u);
  const std::uint64_t bound = AllocationBudget::ForFileOfSize(bytes.size()).remaining();

  GffFile file;
  ASSERT_TRUE(file.OpenBytes(bytes, LoadReport()));
  std::unique_ptr<ObjectLibrary> library;
  const AllocationCount measured = Measured([&] { library = LoadObjectLibrary(file, LoadReport()); });
  ASSERT_NE(library, nullptr);
  EXPECT_GE(measured.total, 3 * 65535u * 255u);
  EXPECT_LE(measured.total, bound);
  EXPECT_LE(measured.largest, kMaxFramePixels);
  // Three frames of 16.7 M pixels fit the bound, all in the first set.
  std::vector<std::size_t> framesWithPixels;
  for (const auto* table : {&library->bmpSets, &library->cbmpSets}) {
    for (const auto& [key, set] : *table) {
      framesWithPixels.push_back(static_cast<std::size_t>(
          std::count_if(set->frames.begin(), set->frames.end(), [](const Frame& f) { return f.HasPixels(); })));
    }
  }
  EXPECT_EQ(framesWithPixels, (std::vector<std::size_t>{3, 0, 0}));
  EXPECT_TRUE(library->objectDefs.empty());
}

// 64 bytes that claim the most the format can say: a directory of 4 GiB, 65535 frames, a frame
// of 65535 x 65535 pixels (4 Gi, beyond the 16 Mi a frame may have) in an unknown encoding. The
// load allocates the frame table and small records, and nothing else.
TEST(HostileRegion, SixtyFourBytesClaimingTheMostAllocateOnlyTheFrameTable) {
  authoring::ByteWriter out;
  out.tag(kTagGffi);
  out.zeros(8);
  out.u32le(16);  // directory position
  out.zeros(4);
  out.u32le(0xFFFFFFFFu);  // directory length: 4 GiB
  out.zeros(2);
  out.tag(kTagTile);  // plain record of one chunk
  out.u16le(1);
  out.u16le(0);
  out.u32le(1);  // chunk 1: the frame set below, to the end of the file
  out.u32le(46);
  out.u32le(18);
  out.zeros(4);      // frame set: unread
  out.u16le(65535);  // frame count
  out.u32le(10);     // frame 0 at 10, all others beyond the payload
  out.u16le(65535);  // width
  out.u16le(65535);  // height
  out.u8(255);       // not NRML
  out.u8(255);       // an encoding tag cut off by the end of the file: unknown
  out.u8(255);
  out.u8(255);
  std::vector<std::uint8_t> bytes = out.take();
  ASSERT_EQ(bytes.size(), 64u);

  GffFile file;
  ASSERT_TRUE(file.OpenBytes(bytes, LoadReport()));
  std::unique_ptr<Region> region;
  const AllocationCount measured = Measured([&] { region = LoadRegion(file, LoadReport()); });
  ASSERT_NE(region, nullptr);
  ASSERT_EQ(region->tileCount, 1);
  EXPECT_EQ(region->tiles[0].frameCount, 65535);
  EXPECT_EQ(region->tiles[0].frames[0].width, 65535u);
  EXPECT_EQ(region->tiles[0].frames[0].height, 65535u);
  for (const Frame& frame : region->tiles[0].frames) {
    ASSERT_FALSE(frame.HasPixels());
  }
  // The frame table is the largest block; everything together stays far below the bound.
  const std::uint64_t frameTable = 65535 * sizeof(Frame);
  EXPECT_EQ(measured.largest, frameTable);
  EXPECT_LT(measured.total, frameTable + (64u << 10));
  EXPECT_LE(measured.total, AllocationBudget::ForFileOfSize(bytes.size()).remaining());
}

// The budget decides like the file's size does: a buffer it cannot hold is not made, and the
// stream fails, so a later ETAB of 0 bytes (which costs nothing) gives no table either.
TEST(HostileRegion, BufferJustWithinTheBudgetAndJustBeyond) {
  const std::vector<std::uint8_t> bytes = authoring::WriteContainer({
      Type(kTagPal, {{1, Pattern(768, 1)}}),
      Type(kTagEtab, {{1, {}}}),
  });
  for (const std::uint64_t left : {std::uint64_t{768}, std::uint64_t{767}}) {
    SCOPED_TRACE(left);
    GffFile file;
    ASSERT_TRUE(file.OpenBytes(bytes, LoadReport()));
    ASSERT_TRUE(file.budget().Take(file.budget().remaining() - left));
    const std::unique_ptr<Region> region = LoadRegion(file, LoadReport());
    ASSERT_NE(region, nullptr);
    const bool held = left == 768;
    EXPECT_EQ(region->paletteData.has_value(), held);
    EXPECT_EQ(region->paletteSize, held ? 768u : 0u);
    EXPECT_EQ(region->entities.has_value(), held);
  }
}

}  // namespace
}  // namespace karst
