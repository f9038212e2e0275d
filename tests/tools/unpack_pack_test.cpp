// unpack and pack in memory: every container unpack accepts packs back to its very bytes; an
// edited picture, palette, name or definition comes back in the chunk it stands for and nowhere
// else; every refusal names what is wrong.
#include <gtest/gtest.h>
#include <png.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <functional>
#include <optional>
#include <set>
#include <string>
#include <vector>

#include "authoring/byte_writer.h"
#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "authoring/sample_world.h"
#include "gff/allocation_budget.h"
#include "gff/frame_set.h"
#include "tests/tools/true_colour_png.h"
#include "tools/pack/pack_folder.h"
#include "tools/pack/pack_record.h"
#include "tools/pack/unpack_folder.h"
#include "tools/pictures/frame_pictures.h"
#include "tools/pictures/gimp_palette.h"
#include "tools/pictures/png_file.h"
#include "tools/pictures/saved_picture.h"
#include "tools/text/content_hash.h"
#include "tools/tiled/tiled_map.h"

namespace karst::tools {
namespace {

using authoring::ByteWriter;
using authoring::IndexedImage;

Unpacked UnpackOrFail(const std::vector<std::uint8_t>& bytes, std::optional<PngPalette> colours = std::nullopt) {
  std::string error;
  UnpackOptions options;
  options.source = "TEST.GFF";
  options.libraryColours = colours;
  std::optional<Unpacked> unpacked = UnpackContainer(bytes, options, error);
  EXPECT_TRUE(unpacked.has_value()) << error;
  return unpacked ? std::move(*unpacked) : Unpacked{};
}

PackOptions Forced() {
  PackOptions options;
  options.force = true;
  return options;
}

std::string PackError(const FolderFiles& files, PackOptions options = {}) {
  JobProblem problem;
  EXPECT_FALSE(Pack(files, options, problem).has_value());
  return problem.words;
}

std::vector<std::uint8_t> PackOrFail(const FolderFiles& files, PackOptions options = {}) {
  JobProblem problem;
  std::optional<Packed> packed = Pack(files, options, problem);
  EXPECT_TRUE(packed.has_value()) << problem.words;
  return packed ? packed->bytes : std::vector<std::uint8_t>{};
}

// ---- crafted containers, byte by byte

// Header: "GFFI", eight unread bytes, u32 D.
void Header(ByteWriter& w, std::uint32_t directory, std::uint8_t unread = 0) {
  w.tag(kTagGffi);
  for (std::uint8_t i = 0; i < 8; ++i) {
    w.u8(unread == 0 ? 0 : static_cast<std::uint8_t>(unread + i));
  }
  w.u32le(directory);
}

// Directory at 16: 4 unread bytes, u32 L, 2 unread bytes.
void DirectoryHead(ByteWriter& w, std::uint32_t length, std::uint8_t unread = 0) {
  w.u32le(unread * 0x01010101u);
  w.u32le(length);
  w.u16le(unread * 0x0101u);
}

// A plain record of one tag with entries (number, offset, size).
void PlainRecord(ByteWriter& w, const Tag& tag, const std::vector<std::array<std::uint32_t, 3>>& entries,
                 std::uint16_t flags = 0) {
  w.tag(tag);
  w.u16le(static_cast<std::uint16_t>(entries.size()));
  w.u16le(flags);
  for (const auto& entry : entries) {
    w.u32le(entry[0]);
    w.u32le(entry[1]);
    w.u32le(entry[2]);
  }
}

void Fill(ByteWriter& w, std::size_t count, std::uint8_t seed) {
  for (std::size_t i = 0; i < count; ++i) {
    w.u8(static_cast<std::uint8_t>(seed + 13 * i));
  }
}

// One PAL record of two chunks at 50 and 60, a gap of 4 bytes between them, trailing bytes,
// and unread header and directory bytes that are not zero.
std::vector<std::uint8_t> GapsAndTrailing() {
  ByteWriter w;
  Header(w, 16, 0xA0);
  DirectoryHead(w, 10 + 8 + 24, 0x5A);  // 16..26, the record 26..50
  PlainRecord(w, kTagPal, {{{1, 50, 6}}, {{2, 60, 5}}});
  Fill(w, 6, 1);   // 50..56 chunk 1
  Fill(w, 4, 90);  // 56..60 gap
  Fill(w, 5, 7);   // 60..65 chunk 2
  Fill(w, 9, 33);  // trailing
  return w.take();
}

// Two chunks that share bytes, one that runs past the end, and a tag with a byte of 0x80 or more.
std::vector<std::uint8_t> OverlappingAndCutShort() {
  ByteWriter w;
  Header(w, 16);
  DirectoryHead(w, 10 + 8 + 36);  // 16..70
  PlainRecord(w, Tag{'\xFF', 'A', 'b', '\0', '\0'}, {{{1, 72, 10}}, {{2, 78, 10}}, {{3, 90, 100}}});
  Fill(w, 30, 3);  // 70..100
  return w.take();
}

// Two "GFFI" records (the later one is the index), an indexed "BMP " record of two chunks, and a
// record behind the directory's length that the reader never reaches.
std::vector<std::uint8_t> TwoIndexRecords() {
  ByteWriter w;
  Header(w, 16);
  const std::uint32_t length = 10 + 20 + 20 + 28;
  DirectoryHead(w, length);                    // 16..26
  PlainRecord(w, kTagGffi, {{{0, 140, 12}}});  // 26..46, an index chunk nobody uses
  PlainRecord(w, kTagGffi, {{{0, 120, 20}}});  // 46..66
  w.tag(kTagBmp);                              // 66..94: indexed, key 0, one run of 2 from 5
  w.u16le(9);
  w.u16le(kIndexedFlags);
  w.u32le(0xDEADBEEF);
  w.u32le(0);
  w.u32le(1);
  w.u32le(5);
  w.u32le(2);
  PlainRecord(w, kTagRnme, {{{0, 100, 3}}});  // 94..114, never reached
  w.zeros(6);                                 // ..120
  w.u32le(0x01020304);                        // index chunk at 120: 4 unread, then the pairs
  w.u32le(152);
  w.u32le(4);
  w.u32le(156);
  w.u32le(2);
  w.zeros(12);  // the unused index chunk at 140
  Fill(w, 6, 200);
  return w.take();
}

// The directory's edge cases: records of `records` bytes after a directory head of length L.
std::vector<std::uint8_t> Directory(std::uint32_t length, const std::function<void(ByteWriter&)>& records,
                                    std::size_t payloadBytes) {
  ByteWriter w;
  Header(w, 16);
  DirectoryHead(w, length);
  records(w);
  Fill(w, payloadBytes, 41);
  return w.take();
}

// An indexed record's head: tag, count, 0x8000, 4 unread bytes, key, R.
void IndexedHead(ByteWriter& w, std::uint32_t key, std::uint32_t runs) {
  w.tag(kTagBmp);
  w.u16le(0);
  w.u16le(kIndexedFlags);
  w.u32le(0);
  w.u32le(key);
  w.u32le(runs);
}

std::vector<std::uint8_t> Bytes(std::initializer_list<std::uint8_t> list) { return list; }
std::vector<std::uint8_t> Text(const std::string& text) { return {text.begin(), text.end()}; }

std::vector<std::uint8_t> Cut(std::vector<std::uint8_t> bytes, std::size_t size) {
  bytes.resize(size);
  return bytes;
}

struct RoundTripCase {
  const char* name;
  std::vector<std::uint8_t> bytes;
};

std::vector<RoundTripCase> RoundTripCases() {
  std::vector<RoundTripCase> cases = {
      // 16 bytes: the directory lies past the end.
      {"header only", Bytes({'G', 'F', 'F', 'I', 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0})},
      // A directory position the reader's seek refuses.
      {"directory out of reach", Bytes({'G', 'F', 'F', 'I', 1, 2, 3, 4, 5, 6, 7, 8, 0, 0, 0, 0x80, 9})},
      // An empty directory of exactly its 10 bytes.
      {"empty directory",
       Bytes({'G', 'F', 'F', 'I', 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0, 0, 0, 0, 0, 10, 0, 0, 0, 0, 0})},
      // 52 bytes: one RNME record, (0, 46, 6), and its payload.
      {"minimal file", Directory(
                           30,
                           [](ByteWriter& w) {
                             PlainRecord(w, kTagRnme, {{{0, 46, 6}}});
                           },
                           6)},
      // L of 10: one record is read, the second never.
      {"one record read", Directory(
                              10,
                              [](ByteWriter& w) {
                                PlainRecord(w, kTagRnme, {{{0, 66, 2}}});
                                PlainRecord(w, kTagPal, {{{0, 68, 2}}});
                              },
                              4)},
      // A record of count 0, one with flags 0x8001 (plain), an indexed record with R = 0.
      {"empty, 0x8001 and R = 0 records", Directory(
                                              10 + 8 + 20 + 20 + 20,
                                              [](ByteWriter& w) {
                                                PlainRecord(w, kTagPal, {});
                                                PlainRecord(w, kTagGffi, {{{3, 94, 4}}}, 0x8001);
                                                IndexedHead(w, 3, 0);
                                                PlainRecord(w, kTagRnme, {{{0, 98, 2}}});
                                              },
                                              6)},
      // The first record is indexed: the directory ends at once.
      {"indexed record first", Directory(
                                   10 + 28, [](ByteWriter& w) { IndexedHead(w, 0, 1); }, 8)},
      {"gaps, trailing and unread bytes", GapsAndTrailing()},
      {"overlapping, cut short, tag byte 0xff", OverlappingAndCutShort()},
      {"two index records", TwoIndexRecords()},
      {"directory cut short", Cut(TwoIndexRecords(), 80)},
      {"index chunk cut short", Cut(TwoIndexRecords(), 130)},
  };
  for (authoring::WorldFile& file : authoring::MakeSampleWorld()) {
    cases.push_back({"sample world", std::move(file.bytes)});
  }
  return cases;
}

TEST(UnpackPack, EveryContainerPacksBackToItsVeryBytes) {
  for (const RoundTripCase& test : RoundTripCases()) {
    SCOPED_TRACE(test.name);
    const Unpacked unpacked = UnpackOrFail(test.bytes);
    EXPECT_EQ(PackOrFail(unpacked.files), test.bytes);
    // Never a second copy: rest.bin holds only what no payload covers.
    std::uint64_t covered = 0;
    for (std::size_t i = 0; i < unpacked.manifest.chunks.size(); ++i) {
      covered += unpacked.manifest.InFile(i).length;
    }
    EXPECT_LE(unpacked.files.at(kRestName).size(), test.bytes.size());
    EXPECT_GE(covered + unpacked.files.at(kRestName).size(), test.bytes.size());
  }
}

TEST(UnpackPack, FilesThatAreNoContainerAreRefused) {
  std::string error;
  EXPECT_FALSE(UnpackContainer(Bytes({'G', 'F', 'F', 'I', 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0}), {}, error));
  EXPECT_FALSE(UnpackContainer(Bytes({'G', 'F', 'F', 'X', 0, 0, 0, 0, 0, 0, 0, 0, 16, 0, 0, 0}), {}, error));
  EXPECT_NE(error.find("GFFI"), std::string::npos);
}

TEST(UnpackPack, ChunkNamesAreTagsOrHexAndUniqueWithoutRegardToCase) {
  const Unpacked unpacked = UnpackOrFail(OverlappingAndCutShort());
  EXPECT_TRUE(unpacked.files.contains("chunks/hex-ff416200-1.bin"));
  EXPECT_EQ(ChunkStem(kTagBmp, 7), "BMP-7");
  EXPECT_EQ(ChunkStem(Tag{' ', ' ', ' ', ' ', '\0'}, 1), "hex-20202020-1");
  ByteWriter w;
  Header(w, 16);
  DirectoryHead(w, 10 + 2 * 20);
  PlainRecord(w, MakeTag("abcd"), {{{1, 0, 4}}});
  PlainRecord(w, MakeTag("ABCD"), {{{1, 0, 4}}});
  const Unpacked twins = UnpackOrFail(w.take());
  EXPECT_TRUE(twins.files.contains("chunks/abcd-1.bin"));
  EXPECT_TRUE(twins.files.contains("chunks/ABCD-1-2.bin"));
}

TEST(UnpackPack, ChunkFilesHoldThePayloadsAsTheFileHoldsThem) {
  const std::vector<std::uint8_t> bytes = GapsAndTrailing();
  const Unpacked unpacked = UnpackOrFail(bytes);
  EXPECT_EQ(unpacked.files.at("chunks/PAL-1.bin"), std::vector<std::uint8_t>(bytes.begin() + 50, bytes.begin() + 56));
  const Unpacked cut = UnpackOrFail(OverlappingAndCutShort());
  EXPECT_EQ(cut.files.at("chunks/hex-ff416200-3.bin").size(), 10u);  // 90..100 of 100 claimed
}

// ---- edits

// A region with a palette whose 256 colours all differ, two tiles (NRML, PLAN), a name; and a
// library whose "BMP " record is indexed.
std::vector<std::uint8_t> DistinctPalette() {
  std::vector<std::uint8_t> palette(768);
  for (std::size_t i = 0; i < 256; ++i) {
    palette[3 * i] = static_cast<std::uint8_t>(i & 63);
    palette[3 * i + 1] = static_cast<std::uint8_t>((i >> 6) * 20);
    palette[3 * i + 2] = static_cast<std::uint8_t>((i * 5) & 63);
  }
  return palette;
}

IndexedImage Pattern(std::uint32_t width, std::uint32_t height, std::uint8_t seed) {
  IndexedImage image{width, height, std::vector<std::uint8_t>(std::size_t{width} * height)};
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    image.pixels[i] = static_cast<std::uint8_t>(seed + i % 7 + 3 * (i / width));
  }
  return image;
}

std::vector<std::uint8_t> FrameSetOf(const std::vector<std::vector<std::uint8_t>>& frames) {
  return *authoring::WriteFrameSetPayload(frames);
}

std::vector<std::uint8_t> EditRegion() {
  return authoring::WriteContainer({
      {kTagPal, {{0, DistinctPalette()}}},
      {kTagTile,
       {{4, FrameSetOf({*authoring::EncodeNrmlFrame(Pattern(16, 16, 1))})},
        {5, FrameSetOf({*authoring::EncodePlanFrame(Pattern(16, 16, 40))})}}},
      {kTagMap, {{0, std::vector<std::uint8_t>(kMapBytes, 1)}}},
      {kTagRnme, {{0, {'M', 'o', 'o', 'r'}}}},
  });
}

std::vector<std::uint8_t> EditLibrary() {
  return authoring::WriteContainer({
      {kTagBmp,
       {{7, FrameSetOf({*authoring::EncodePlnrFrame(Pattern(8, 6, 9)), authoring::EncodeBlankFrame(3, 2)})},
        {8, FrameSetOf({*authoring::EncodeNrmlFrame(Pattern(5, 5, 70))})}},
       true},
      {kTagOjff, {{1, {0, 0, 4, 0, 5, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0}}}},
  });
}

Frame DecodedFrame(const std::vector<std::uint8_t>& payload, std::size_t index) {
  AllocationBudget budget = AllocationBudget::ForFileOfSize(payload.size());
  FrameSet set;
  DecodeFrameSet(set, payload, budget, LoadReport());
  return set.frames.at(index);
}

PngPalette PaletteOf(const Unpacked& unpacked, const std::string& key) { return unpacked.manifest.palettes.at(key); }

std::vector<std::uint8_t> IndexedPng(const IndexedImage& image, const PngPalette& palette, bool clearZero) {
  return *EncodeIndexedPng(image.width, image.height, image.pixels, palette,
                           clearZero ? PngTransparency::kIndexZero : PngTransparency::kOpaque);
}

// The picture as a paint program saving RGB (3 channels) or RGBA (4) writes it.
std::vector<std::uint8_t> TrueColourPng(const IndexedImage& image, const PngPalette& palette, int channels,
                                        bool clearZero) {
  std::vector<std::uint8_t> pixels;
  for (const std::uint8_t index : image.pixels) {
    pixels.insert(pixels.end(), palette.begin() + 3 * index, palette.begin() + 3 * index + 3);
    if (channels == 4) {
      pixels.push_back(clearZero && index == 0 ? 0 : 255);
    }
  }
  return karst::testing::TrueColourPngOf(image.width, image.height, pixels, channels);
}

// The picture with its palette reversed, indices following: the same colours, other indices.
std::vector<std::uint8_t> ReversedPalettePng(const IndexedImage& image, const PngPalette& palette) {
  PngPalette reversed{};
  for (std::size_t i = 0; i < 256; ++i) {
    std::copy_n(palette.begin() + 3 * (255 - i), 3, reversed.begin() + 3 * i);
  }
  IndexedImage mapped = image;
  for (std::uint8_t& index : mapped.pixels) {
    index = static_cast<std::uint8_t>(255 - index);
  }
  return IndexedPng(mapped, reversed, false);
}

// Every chunk file of `after` is the one of `before`, except those named.
void ExpectOnlyChanged(const Unpacked& before, const Unpacked& after, const std::set<std::string>& changed) {
  for (const ManifestChunk& chunk : before.manifest.chunks) {
    if (!changed.contains(chunk.name) && !SameTag(before.manifest.RecordOf(chunk).tag, kTagGffi)) {
      EXPECT_EQ(after.files.at(chunk.File()), before.files.at(chunk.File())) << chunk.name;
    }
  }
}

TEST(UnpackPack, AnEditedTileAndASpriteOfAnotherSizeGoBackInTheirOwnEncodings) {
  const Unpacked region = UnpackOrFail(EditRegion());
  FolderFiles files = region.files;
  IndexedImage tile = Pattern(16, 16, 1);
  tile.pixels[0] = 200;
  tile.pixels[255] = 201;
  files["frames/TILE-4-0.png"] = IndexedPng(tile, PaletteOf(region, "region"), false);
  const Unpacked repacked = UnpackOrFail(PackOrFail(files));
  const Frame frame = DecodedFrame(repacked.files.at("chunks/TILE-4.bin"), 0);
  EXPECT_EQ(frame.pixels, tile.pixels);
  EXPECT_TRUE(SameTag(frame.encoding, kTagNrml));
  ExpectOnlyChanged(region, repacked, {"TILE-4"});

  const Unpacked library = UnpackOrFail(EditLibrary());
  files = library.files;
  const IndexedImage sprite = Pattern(20, 11, 30);  // was 8 x 6
  files["frames/BMP-7-0.png"] = IndexedPng(sprite, PaletteOf(library, "grey"), true);
  const std::vector<std::uint8_t> packed = PackOrFail(files);
  const Unpacked after = UnpackOrFail(packed);
  const std::vector<std::uint8_t>& payload = after.files.at("chunks/BMP-7.bin");
  EXPECT_EQ(DecodedFrame(payload, 0).pixels, sprite.pixels);
  EXPECT_TRUE(SameTag(DecodedFrame(payload, 0).encoding, kTagPlnr));
  // The blank frame stays blank: it is repeated at the payload's new end.
  EXPECT_EQ(DecodedFrame(payload, 1).width, 3u);
  EXPECT_EQ(DecodedFrame(payload, 1).encoding, Tag{});
  ExpectOnlyChanged(library, after, {"BMP-7"});
  EXPECT_TRUE(after.manifest.records[1].indexed);
  EXPECT_GT(packed.size(), EditLibrary().size());  // the larger payload went behind the end
}

// A frame set of one blank frame of `width` x `height`: five bytes that decode to every pixel.
std::vector<std::uint8_t> BlankFrameSet(std::uint16_t width, std::uint16_t height) {
  return *authoring::WriteFrameSetPayload({authoring::EncodeBlankFrame(width, height)});
}

Unpacked UnpackWithBudget(const std::vector<std::uint8_t>& bytes, std::uint64_t budgetBase) {
  std::string error;
  UnpackOptions options;
  options.source = "TEST.GFF";
  options.budgetBase = budgetBase;
  std::optional<Unpacked> unpacked = UnpackContainer(bytes, options, error);
  EXPECT_TRUE(unpacked.has_value()) << error;
  return unpacked ? std::move(*unpacked) : Unpacked{};
}

// The budget of each load is the caller's: what it cannot hold is left out, with a line saying
// so, and the folder still packs back to the very bytes.
TEST(UnpackPack, WhatTheBudgetCannotHoldIsLeftOutAndSaid) {
  // A sprite of 200 x 100: its load takes the frame table, then the pixels, from a budget of the
  // base plus 64 bytes per payload byte.
  const std::vector<std::uint8_t> sprite = BlankFrameSet(200, 100);
  const std::vector<std::uint8_t> library =
      authoring::WriteContainer({{kTagBmp, {{7, sprite}}}, {kTagOjff, {{1, std::vector<std::uint8_t>(16)}}}});
  const std::uint64_t justFits = sizeof(Frame) + 200 * 100 - AllocationBudget::kBytesPerFileByte * sprite.size();
  const Unpacked fits = UnpackWithBudget(library, justFits);
  EXPECT_TRUE(fits.files.contains("frames/BMP-7-0.png"));
  EXPECT_TRUE(fits.leftOut.empty());
  const Unpacked fails = UnpackWithBudget(library, justFits - 1);
  EXPECT_FALSE(fails.files.contains("frames/BMP-7-0.png"));
  EXPECT_EQ(fails.leftOut,
            std::vector<std::string>{"frames/BMP-7-0.png: 200 x 100 pixels, more than a load of this chunk may take"});
  EXPECT_EQ(PackOrFail(fails.files), library);

  // A region whose first tile, 2000 x H, leaves too little of the load's budget for the second
  // tile's payload: the region behind the map does not load whole, so there is no map.
  const std::vector<std::uint8_t> secondTile(20000, 0);
  const auto region = [&](std::uint16_t height) {
    return authoring::WriteContainer({{kTagPal, {{1, std::vector<std::uint8_t>(kPaletteBytes)}}},
                                      {kTagTile, {{1, BlankFrameSet(2000, height)}, {2, secondTile}}},
                                      {kTagMap, {{1, std::vector<std::uint8_t>(kMapBytes)}}}});
  };
  // The budget with a base of 0 is 64 bytes per file byte; the first tile takes all of it but
  // about half of the second tile's payload (the directory and palette take a few hundred bytes).
  const std::uint64_t budget = AllocationBudget::kBytesPerFileByte * region(1).size();
  const auto height = static_cast<std::uint16_t>((budget - secondTile.size() / 2) / 2000);
  const std::vector<std::uint8_t> bytes = region(height);
  const Unpacked cut = UnpackWithBudget(bytes, 0);
  EXPECT_FALSE(cut.files.contains(std::string(kTiledMapFile)));
  EXPECT_EQ(cut.leftOut,
            (std::vector<std::string>{"frames/TILE-1-0.png: 2000 x " + std::to_string(height) +
                                          " pixels, more than a load of this chunk may take",
                                      "map.tmj: TILE 2 needs more memory than a load of this file may take"}));
  EXPECT_EQ(PackOrFail(cut.files), bytes);
  // With the ordinary budget the same region has its map.
  EXPECT_TRUE(UnpackWithBudget(bytes, AllocationBudget::kBaseBytes).files.contains(std::string(kTiledMapFile)));
}

struct LayoutCase {
  const char* name;
  const char* chunk;
  std::vector<std::uint8_t> payload;
  bool inPlace;  // a payload that fits stays at its offset; a larger one goes behind the end
};

TEST(UnpackPack, ChangedPayloadsStayWhereTheyFitAndMoveBehindTheEndOtherwise) {
  const std::vector<std::uint8_t> original = EditRegion();
  const Unpacked region = UnpackOrFail(original);
  const LayoutCase cases[] = {
      {"same size", "RNME-0", {'F', 'e', 'n', 's'}, true},
      {"smaller", "RNME-0", {'F', 'e', 'n'}, true},
      {"larger", "RNME-0", {'M', 'a', 'r', 's', 'h'}, false},
  };
  for (const LayoutCase& test : cases) {
    SCOPED_TRACE(test.name);
    FolderFiles files = region.files;
    files["chunks/" + std::string(test.chunk) + ".bin"] = test.payload;
    const std::vector<std::uint8_t> packed = PackOrFail(files);
    const Unpacked after = UnpackOrFail(packed);
    const ManifestChunk& before = region.manifest.chunks[*region.manifest.FindChunk(test.chunk)];
    const ManifestChunk& now = after.manifest.chunks[*after.manifest.FindChunk(test.chunk)];
    EXPECT_EQ(now.offset, test.inPlace ? before.offset : original.size());
    EXPECT_EQ(now.size, test.payload.size());
    EXPECT_EQ(packed.size(), original.size() + (test.inPlace ? 0 : test.payload.size()));
    EXPECT_EQ(after.files.at("chunks/" + std::string(test.chunk) + ".bin"), test.payload);
    ExpectOnlyChanged(region, after, {test.chunk});
  }
}

TEST(UnpackPack, AMovedChunkOfAnIndexedRecordChangesOnlyItsPairInTheIndexChunk) {
  const Unpacked library = UnpackOrFail(EditLibrary());
  FolderFiles files = library.files;
  files["frames/BMP-7-1.png"] = IndexedPng({3, 2, {0, 9, 0, 0, 0, 0}}, PaletteOf(library, "grey"), true);
  const Unpacked after = UnpackOrFail(PackOrFail(files));
  // The blank frame that gained a pixel is NRML now.
  const Frame gained = DecodedFrame(after.files.at("chunks/BMP-7.bin"), 1);
  EXPECT_TRUE(SameTag(gained.encoding, kTagNrml));
  EXPECT_EQ(gained.pixels, Bytes({0, 9, 0, 0, 0, 0}));
  const std::vector<std::uint8_t>& index = library.files.at("chunks/GFFI-0.bin");
  const std::vector<std::uint8_t>& rewritten = after.files.at("chunks/GFFI-0.bin");
  const ManifestChunk& moved = after.manifest.chunks[*after.manifest.FindChunk("BMP-7")];
  const std::size_t pair = static_cast<std::size_t>(moved.offsetFieldAt) - after.manifest.chunks[0].offset;
  ASSERT_EQ(rewritten.size(), index.size());
  for (std::size_t i = 0; i < index.size(); ++i) {
    if (i < pair || i >= pair + 8) {
      EXPECT_EQ(rewritten[i], index[i]) << i;
    }
  }
  const auto u32At = [&](std::size_t at) {
    return static_cast<std::uint32_t>(rewritten[at] | rewritten[at + 1] << 8 | rewritten[at + 2] << 16 |
                                      rewritten[at + 3] << 24);
  };
  EXPECT_EQ(u32At(pair), moved.offset);
  EXPECT_EQ(u32At(pair + 4), moved.size);
}

TEST(UnpackPack, ALibraryWithoutColoursIsGreyAndListsEveryDefinition) {
  const Unpacked library = UnpackOrFail(EditLibrary());
  EXPECT_EQ(library.kind, "object library");
  EXPECT_EQ(PaletteOf(library, "grey"), GreyPalette());
  std::string error;
  const auto sprite = ReadSavedPicture(library.files.at("frames/BMP-8-0.png"), {}, error);
  ASSERT_TRUE(sprite.has_value()) << error;
  EXPECT_EQ(sprite->alpha[0], 0);
  EXPECT_EQ(sprite->indices, Pattern(5, 5, 70).pixels);
  const std::string objects(library.files.at("objects.json").begin(), library.files.at("objects.json").end());
  EXPECT_EQ(objects,
            "{\"objects\": [\n {\"chunk\":\"OJFF-1\",\"id\":1,\"bitmapId\":7,\"hotspotX\":4,\"hotspotY\":5,"
            "\"word0\":0,\"word6\":0,\"word8\":0,\"byte10\":0,\"byte11\":0,\"word14\":0}\n]}\n");
  PngPalette colours = GreyPalette();
  colours[5] = 77;
  const Unpacked coloured = UnpackOrFail(EditLibrary(), colours);
  EXPECT_EQ(PaletteOf(coloured, "library"), colours);
  EXPECT_EQ(coloured.manifest.pictures.front().palette, "library");
}

TEST(UnpackPack, GimpPalettesGoBothWays) {
  PngPalette palette{};
  for (std::size_t i = 0; i < palette.size(); ++i) {
    palette[i] = static_cast<std::uint8_t>(i * 31);
  }
  const std::string text = GimpPaletteText(palette, "Moor");
  EXPECT_TRUE(text.starts_with("GIMP Palette\nName: Moor\nColumns: 16\n#\n  0  31  62\tIndex 0\n"));
  std::string error;
  EXPECT_EQ(ParseGimpPalette(std::vector<std::uint8_t>(text.begin(), text.end()), error), palette);
  std::string crlf;
  for (const char c : text) {
    crlf += c == '\n' ? "\r\n" : std::string(1, c);
  }
  EXPECT_EQ(ParseGimpPalette(std::vector<std::uint8_t>(crlf.begin(), crlf.end()), error), palette);
  const std::string bad = "GIMP Palette\n1 2 300\n";
  EXPECT_FALSE(ParseGimpPalette(std::vector<std::uint8_t>(bad.begin(), bad.end()), error));
  EXPECT_EQ(error, "line 2 is no colour (three numbers from 0 to 255)");
}

TEST(UnpackPack, ReorderedRgbAndRgbaPicturesPackLikeTheIndexedOne) {
  const Unpacked region = UnpackOrFail(EditRegion());
  const PngPalette& palette = PaletteOf(region, "region");
  IndexedImage tile = Pattern(16, 16, 40);
  std::fill_n(tile.pixels.begin() + 32, 20, std::uint8_t{0});
  FolderFiles files = region.files;
  files["frames/TILE-5-0.png"] = IndexedPng(tile, palette, false);
  const std::vector<std::uint8_t> expected = PackOrFail(files);
  EXPECT_NE(expected, EditRegion());
  for (const auto& png : {ReversedPalettePng(tile, palette), TrueColourPng(tile, palette, 3, false),
                          TrueColourPng(tile, palette, 4, false)}) {
    files["frames/TILE-5-0.png"] = png;
    EXPECT_EQ(PackOrFail(files), expected);
  }
  // A picture saved again without a change is no change.
  files["frames/TILE-5-0.png"] = TrueColourPng(Pattern(16, 16, 40), palette, 3, false);
  EXPECT_EQ(PackOrFail(files), EditRegion());
}

struct MatchCase {
  const char* name;
  std::array<std::uint8_t, 4> colour;  // what the picture's one pixel holds
  std::uint8_t original;               // the frame's pixel before
  bool transparentZero;
  bool sameSize;
  bool nearest;
  int expected;                       // the index taken, or -1 for a refusal
  const char* says = "pixel (0, 0)";  // what a refusal says
  bool fileTransparency = true;       // the file has an alpha channel or a tRNS chunk
  std::optional<std::uint32_t> transparentColour = std::nullopt;
};

TEST(UnpackPack, ColoursMatchBackByTheRules) {
  // Entries 0, 3 and 9 are red; 5 is green; every other entry black. The palette the packed file
  // will have adds orange at 7.
  PngPalette written{};
  for (const int red : {0, 3, 9}) {
    written[3 * red] = 255;
  }
  written[3 * 5 + 1] = 255;
  PngPalette palette = written;
  palette[3 * 7] = 0xca;
  palette[3 * 7 + 1] = 0x65;
  const MatchCase cases[] = {
      {"untouched twin keeps its index", {255, 0, 0, 255}, 9, false, true, false, 9},
      {"changed pixel takes the lowest index", {255, 0, 0, 255}, 5, false, true, false, 0},
      {"sprites skip index 0", {255, 0, 0, 255}, 5, true, true, false, 3},
      {"another size matches by colour only", {255, 0, 0, 255}, 9, false, false, false, 0},
      {"alpha 0 is index 0", {255, 0, 0, 0}, 9, true, true, false, 0},
      {"a transparent pixel stays 0", {7, 7, 7, 0}, 0, true, true, false, 0},
      {"partial alpha is refused", {255, 0, 0, 128}, 9, true, true, false, -1},
      {"a clear pixel in a tile is refused", {255, 0, 0, 0}, 9, false, true, false, -1},
      {"a colour the palette lacks is refused, naming it",
       {250, 10, 0, 255},
       9,
       false,
       true,
       false,
       -1,
       "pixel (0, 0) has the colour #fa0a00, which the palette of the test does not hold"},
      {"a colour the edited palette added", {0xca, 0x65, 0, 255}, 9, false, true, false, 7},
      {"--nearest takes the nearest", {10, 240, 0, 255}, 9, false, true, true, 5},
      {"saved without transparency, a transparent pixel is refused",
       {255, 0, 0, 255},
       0,
       true,
       true,
       false,
       -1,
       "saved without transparency (no alpha channel, no transparent index), so the frame's 1 transparent pixels "
       "would all turn opaque",
       false},
      {"saved without transparency, an opaque frame is taken", {255, 0, 0, 255}, 9, true, true, false, 9, "", false},
      {"the transparent colour is index 0", {255, 0, 0, 255}, 9, true, true, false, 0, "", false, 0xff0000},
      {"only without transparency", {255, 0, 0, 255}, 9, true, true, false, 9, "", true, 0xff0000},
      {"another colour stays opaque", {0, 255, 0, 255}, 0, true, true, false, 5, "", false, 0xff0000},
  };
  for (const MatchCase& test : cases) {
    SCOPED_TRACE(test.name);
    SavedPicture picture;
    picture.width = picture.height = 1;
    picture.rgba.assign(test.colour.begin(), test.colour.end());
    picture.transparency = test.fileTransparency;
    Frame original;
    if (test.sameSize) {
      original.width = original.height = 1;
      original.pixels = {test.original};
    }
    JobProblem problem;
    const MatchRules rules{&palette, test.transparentZero,      test.nearest,
                           &written, "the palette of the test", test.transparentColour};
    const auto matched = MatchPicture(picture, original, rules, problem);
    const std::string& error = problem.words;
    ASSERT_EQ(matched.has_value(), test.expected >= 0) << error;
    if (matched) {
      EXPECT_EQ(matched->image.pixels.at(0), test.expected);
      EXPECT_EQ(matched->nearestPixels, test.nearest ? 1u : 0u);
      EXPECT_EQ(matched->transparentPixels, test.expected == 0 && test.transparentColour ? 1u : 0u);
    } else {
      EXPECT_EQ(error.substr(0, std::strlen(test.says)), test.says);
    }
  }
}

struct CountCase {
  const char* name;
  bool library;  // the edit is to the library's unpack, else the region's
  std::function<void(FolderFiles&)> edit;
  std::vector<std::string> changes;
  std::string note;  // a note the pack must make; empty: none
};

// Every change is said in a modder's words, with its count; and what the check finds in the
// packed file is noted.
TEST(UnpackPack, EveryChangeIsCountedAndEveryNewFindingNoted) {
  const Unpacked region = UnpackOrFail(EditRegion());
  const Unpacked library = UnpackOrFail(EditLibrary());
  const PngPalette& colours = PaletteOf(region, "region");
  const std::vector<CountCase> cases = {
      {"a colour added to the palette and painted into a tile",
       false,
       [&](FolderFiles& f) {
         std::string gpl(f["palette.gpl"].begin(), f["palette.gpl"].end());
         gpl.replace(gpl.find("  4  80  20\tIndex 65"), 11, "255 255 255");
         f["palette.gpl"] = Text(gpl);
         PngPalette painted = colours;
         painted[3 * 65] = painted[3 * 65 + 1] = painted[3 * 65 + 2] = 255;
         IndexedImage tile = Pattern(16, 16, 1);
         tile.pixels[3] = 65;
         f["frames/TILE-4-0.png"] = TrueColourPng(tile, painted, 3, false);
       },
       {"PAL-0: from palette.gpl: 1 colour changed", "TILE-4: from frames/TILE-4-0.png: 1 frame changed"},
       ""},
      {"cells repainted",
       false,
       [](FolderFiles& f) {
         std::string map(f["map.tmj"].begin(), f["map.tmj"].end());
         for (int cell = 0; cell < 3; ++cell) {
           map.replace(map.find("2, 2, 2"), 7, "1, 1, 2");
         }
         f["map.tmj"] = Text(map);
       },
       {"MAP-0: from map.tmj: 6 cells repainted"},
       ""},
      {"a cell naming no tile, and bytes past the cells",
       false,
       [](FolderFiles& f) {
         f["chunks/MAP-0.bin"][5] = 2;
         f["chunks/MAP-0.bin"].push_back(7);
       },
       {"MAP-0: from chunks/MAP-0.bin: taken as it is (12289 bytes, was 12288)"},
       "MAP 0: 1 cell names a tile beyond the region's 2 tiles (indices up to 2; first at column 5, row 0): drawn with "
       "tile 0"},
      {"a tile of 20 x 20",
       false,
       [&](FolderFiles& f) { f["frames/TILE-5-0.png"] = IndexedPng(Pattern(20, 20, 40), colours, false); },
       {"TILE-5: from frames/TILE-5-0.png: 1 frame changed"},
       "TILE 5 (tile 1): frame 0 is 20 x 20, not 16 x 16"},
      {"the name",
       false,
       [](FolderFiles& f) { f["name.txt"] = Text("Fen\n"); },
       {"RNME-0: from name.txt: name changed"},
       ""},
      {"a definition",
       true,
       [](FolderFiles& f) {
         std::string objects(f["objects.json"].begin(), f["objects.json"].end());
         objects.replace(objects.find("\"hotspotX\":4"), 12, "\"hotspotX\":9");
         objects.replace(objects.find("\"bitmapId\":7"), 12, "\"bitmapId\":8");
         f["objects.json"] = Text(objects);
       },
       {"OJFF-1: from objects.json: definition changed (hotspotX, bitmapId)"},
       ""},
  };
  for (const CountCase& test : cases) {
    SCOPED_TRACE(test.name);
    FolderFiles files = test.library ? library.files : region.files;
    test.edit(files);
    JobProblem problem;
    const std::optional<Packed> packed = Pack(files, {}, problem);
    ASSERT_TRUE(packed) << problem.words;
    std::vector<std::string> changes;
    for (const ChunkChange& change : packed->changes) {
      changes.push_back(change.Text());
    }
    EXPECT_EQ(changes, test.changes);
    ASSERT_EQ(packed->notes.size(), test.note.empty() ? 0u : 1u);
    if (!test.note.empty()) {
      EXPECT_EQ(packed->notes[0].substr(0, test.note.size()), test.note);
    }
  }
}

TEST(UnpackPack, PaletteNameAndDefinitionsGoBack) {
  const Unpacked region = UnpackOrFail(EditRegion());
  FolderFiles files = region.files;
  std::string gpl(files["palette.gpl"].begin(), files["palette.gpl"].end());
  ASSERT_NE(gpl.find("  4  80  20\tIndex 65"), std::string::npos) << gpl.substr(0, 200);
  gpl.replace(gpl.find("  4  80  20\tIndex 65"), 11, "255 255 255");
  files["palette.gpl"].assign(gpl.begin(), gpl.end());
  const std::string name = "M\xC3\xB6or\r\n";  // "Möor" as an editor saves it
  files["name.txt"].assign(name.begin(), name.end());
  const Unpacked after = UnpackOrFail(PackOrFail(files));
  std::vector<std::uint8_t> palette = DistinctPalette();
  palette[3 * 65] = palette[3 * 65 + 1] = palette[3 * 65 + 2] = 63;
  EXPECT_EQ(after.files.at("chunks/PAL-0.bin"), palette);
  EXPECT_EQ(after.files.at("chunks/RNME-0.bin"), Bytes({'M', 0xF6, 'o', 'r'}));
  ExpectOnlyChanged(region, after, {"PAL-0", "RNME-0"});

  const Unpacked library = UnpackOrFail(EditLibrary());
  files = library.files;
  std::string objects(files["objects.json"].begin(), files["objects.json"].end());
  ASSERT_NE(objects.find("\"hotspotX\":4"), std::string::npos) << objects;
  objects.replace(objects.find("\"hotspotX\":4"), 12, "\"hotspotX\":300");
  files["objects.json"].assign(objects.begin(), objects.end());
  const Unpacked edited = UnpackOrFail(PackOrFail(files));
  EXPECT_EQ(edited.files.at("chunks/OJFF-1.bin"), Bytes({0, 0, 44, 1, 5, 0, 0, 0, 0, 0, 0, 0, 7, 0, 0, 0}));
}

struct RefusalCase {
  const char* name;
  std::function<void(FolderFiles&)> edit;
  const char* says;
  bool forceWrites;  // --force writes it anyway
};

TEST(UnpackPack, RefusalsNameWhatIsWrong) {
  const Unpacked region = UnpackOrFail(EditRegion());
  const PngPalette colours = PaletteOf(region, "region");
  const std::vector<RefusalCase> cases = {
      {"two forms that disagree",
       [](FolderFiles& f) {
         f["chunks/TILE-4.bin"].push_back(0);
         f["frames/TILE-4-0.png"] = f["frames/TILE-5-0.png"];
       },
       "TILE-4 was changed in two ways, chunks/TILE-4.bin and frames/TILE-4-0.png", false},
      {"a colour the palette lacks",
       [](FolderFiles& f) {
         PngPalette grey = GreyPalette();
         f["frames/TILE-4-0.png"] = TrueColourPng(Pattern(16, 16, 1), grey, 3, false);
       },
       "frames/TILE-4-0.png: pixel (0, 0) has the colour #010101", false},
      {"a pixel NRML cannot reach",
       [&](FolderFiles& f) { f["frames/TILE-4-0.png"] = IndexedPng(Pattern(2, 300, 1), colours, false); },
       "pixel (0, 255) is not index 0 but lies beyond what an NRML frame reaches", false},
      {"a picture too large",
       [&](FolderFiles& f) { f["frames/TILE-4-0.png"] = IndexedPng(Pattern(70000, 1, 1), colours, false); },
       "frames/TILE-4-0.png: 70000 x 1 pixels: larger than a frame may be", false},
      {"a colour 6 bits cannot give",
       [](FolderFiles& f) {
         std::string gpl(f["palette.gpl"].begin(), f["palette.gpl"].end());
         gpl.replace(gpl.find("  4  80  20\tIndex 65"), 11, "  1   2   3");
         f["palette.gpl"] = Text(gpl);
       },
       "colour 65 (1 2 3) cannot be given exactly by the file's 6-bit values; the nearest it can give is 0 0 4", false},
      {"a palette that is not a GIMP palette", [](FolderFiles& f) { f["palette.gpl"] = Text("GIMP Palette\n1 2 3\n"); },
       "palette.gpl: holds 1 colours", false},
      {"a name outside Latin-1", [](FolderFiles& f) { f["name.txt"] = Text("\xE2\x82\xAC"); }, "outside Latin-1",
       false},
      {"a name saved in Latin-1", [](FolderFiles& f) { f["name.txt"] = Text("\xEF\xBB\xBFM\xF6or"); },
       "name.txt: byte 4 (0xF6) is not UTF-8: save the file as UTF-8", false},
      {"rest.bin edited", [](FolderFiles& f) { f["rest.bin"][3] ^= 1; }, "rest.bin was changed", false},
      {"a manifest of another format",
       [](FolderFiles& f) {
         std::string text(f["manifest.json"].begin(), f["manifest.json"].end());
         text.replace(text.find("\"format\": 1"), 11, "\"format\": 2");
         f["manifest.json"] = Text(text);
       },
       "manifest.json is of format 2", false},
      {"a manifest not ours", [](FolderFiles& f) { f["manifest.json"] = Text("{\"format\": 1}"); },
       "not written by karst-gff unpack", false},
      {"a manifest naming a path outside",
       [](FolderFiles& f) {
         std::string text(f["manifest.json"].begin(), f["manifest.json"].end());
         text.replace(text.find("\"name.txt\":"), 11, "\"../x.txt\":");
         f["manifest.json"] = Text(text);
       },
       "leads outside the folder", false},
      {"a manifest that contradicts the files",
       [](FolderFiles& f) {
         std::string text(f["manifest.json"].begin(), f["manifest.json"].end());
         text.replace(text.find("\"number\": 5"), 11, "\"number\": 6");
         f["manifest.json"] = Text(text);
       },
       "does not agree with the directory", false},
      {"a region that would no longer load", [](FolderFiles& f) { f["chunks/MAP-0.bin"].resize(100); },
       "would not load", true},
  };
  for (const RefusalCase& test : cases) {
    SCOPED_TRACE(test.name);
    FolderFiles files = region.files;
    test.edit(files);
    EXPECT_NE(PackError(files).find(test.says), std::string::npos) << PackError(files);
    JobProblem problem;
    EXPECT_EQ(Pack(files, Forced(), problem).has_value(), test.forceWrites) << problem.words;
  }
}

TEST(UnpackPack, EditingAnOverlappingContainerNeedsForce) {
  const Unpacked unpacked = UnpackOrFail(OverlappingAndCutShort());
  FolderFiles files = unpacked.files;
  files["chunks/hex-ff416200-1.bin"][0] ^= 0xFF;
  EXPECT_NE(PackError(files).find("hex-ff416200-3 reaches past the end of the file"), std::string::npos);
  const std::vector<std::uint8_t> forced = PackOrFail(files, Forced());
  EXPECT_EQ(UnpackOrFail(forced).files.at("chunks/hex-ff416200-1.bin"), files["chunks/hex-ff416200-1.bin"]);
}

TEST(UnpackPack, APackRecordThatIsNotOursReadsAsEmpty) {
  const std::string ours = PackRecordText({{{"/g/RGN01.GFF", "0123456789abcdef", {{"name.txt", "fedcba9876543210"}}}}});
  struct Case {
    const char* name;
    std::string text;
    std::size_t packs;
  };
  const std::string entry = R"({"file": "/g/RGN01.GFF", "hash": "01", "edits": {}})";
  const Case cases[] = {
      {"ours, read back", ours, 1},
      {"no JSON", "{\"madeBy\"", 0},
      {"another program's", R"({"madeBy": "someone", "format": 1, "packs": [)" + entry + "]}", 0},
      {"a format of the wrong kind", R"({"madeBy": "karst-gff pack", "format": "1", "packs": [)" + entry + "]}", 0},
      {"another format", R"({"madeBy": "karst-gff pack", "format": 2, "packs": [)" + entry + "]}", 0},
      {"an entry without edits", R"({"madeBy": "karst-gff pack", "format": 1, "packs": [{"file": "x", "hash": "01"}]})",
       0},
      {"an edit's hash of the wrong kind",
       R"({"madeBy": "karst-gff pack", "format": 1, "packs": [{"file": "x", "hash": "01", "edits": {"a": 1}}]})", 0},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const PackRecord record = ParsePackRecord(Text(test.text));
    EXPECT_EQ(record.packs.size(), test.packs);
  }
  const PackRecord record = ParsePackRecord(Text(ours));
  EXPECT_TRUE(record.HoldsEdits("0123456789abcdef", {{"name.txt", "fedcba9876543210"}}));
  EXPECT_FALSE(record.HoldsEdits("0123456789abcdef", {}));
  EXPECT_FALSE(record.HoldsEdits("0123456789abcdee", {{"name.txt", "fedcba9876543210"}}));
}

TEST(UnpackPack, ContentHashIsXxh64) {
  EXPECT_EQ(ContentHash({}), "ef46db3751d8e999");
  const std::vector<std::uint8_t> abc = {'a', 'b', 'c'};
  EXPECT_EQ(ContentHash(abc), "44bc2cf5ad770999");
  std::vector<std::uint8_t> long_(100);
  for (std::size_t i = 0; i < long_.size(); ++i) {
    long_[i] = static_cast<std::uint8_t>((i * 7 + 3) & 255);
  }
  EXPECT_EQ(ContentHash(long_), "a61f8d4c170fe531");
}

}  // namespace
}  // namespace karst::tools
