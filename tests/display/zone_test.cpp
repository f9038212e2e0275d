// The region switch: the palette conversion and how the screen's palette is set and updated, the
// tile strip's layout, the regions that are turned away, and every failing display call with its
// message box and what it leaves behind.
#include "data/zone.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <ostream>
#include <string>
#include <tuple>
#include <vector>

#include "authoring/container_writer.h"
#include "data/region.h"
#include "display/display_surface.h"
#include "display/printed_notes.h"
#include "gff/format.h"
#include "gff/frame_set.h"
#include "platform/fault_injection.h"
#include "platform/message_box.h"
#include "tests/display/display_test_support.h"

namespace karst::display_tests {
namespace {

using platform::CapturedMessageBoxes;

RegionSpec ThreeTileRegion(std::vector<std::uint8_t> palette) {
  return RegionSpec{std::move(palette),
                    {testing::PatternTile(10), testing::PatternTile(90), testing::PatternTile(170)},
                    UniformMap(1),
                    "Three",
                    std::nullopt};
}

std::vector<std::string> BoxTexts() {
  std::vector<std::string> texts;
  for (const platform::CapturedMessageBox& box : CapturedMessageBoxes()) {
    EXPECT_EQ(box.caption, "Error");
    EXPECT_EQ(box.owner, nullptr);
    EXPECT_EQ(box.type, platform::MB_OK);
    texts.push_back(box.text);
  }
  return texts;
}

// --- Palette conversion ---

TEST(PaletteConversion, SixBitValuesScaleTo255AndRoundDown) {
  const std::vector<std::pair<int, int>> table{{0, 0},    {1, 4},    {2, 8},    {3, 12},   {21, 85},
                                               {31, 125}, {32, 129}, {42, 170}, {62, 250}, {63, 255}};
  for (const auto& [six, eight] : table) {
    const std::vector<std::uint8_t> payload(768, static_cast<std::uint8_t>(six));
    const platform::PaletteTable entries = ConvertPalette(payload);
    EXPECT_EQ(entries[7].red, eight) << six;
    EXPECT_EQ(entries[7].green, eight) << six;
    EXPECT_EQ(entries[7].blue, eight) << six;
  }
}

TEST(PaletteConversion, EveryByteValueIsFloorOfTimes255Over63KeptTo8Bits) {
  std::vector<std::uint8_t> payload(768);
  for (std::size_t i = 0; i < payload.size(); ++i) {
    payload[i] = static_cast<std::uint8_t>(i);
  }
  const platform::PaletteTable entries = ConvertPalette(payload);
  for (std::size_t i = 0; i < 256; ++i) {
    const auto expected = [](std::size_t v) { return static_cast<std::uint8_t>((v % 256) * 255 / 63 % 256); };
    EXPECT_EQ(entries[i].red, expected(3 * i)) << i;
    EXPECT_EQ(entries[i].green, expected(3 * i + 1)) << i;
    EXPECT_EQ(entries[i].blue, expected(3 * i + 2)) << i;
    EXPECT_EQ(entries[i].flags, 0);
  }
  // 64 wraps: floor(64 x 255 / 63) = 259, kept to 8 bits.
  EXPECT_EQ(ConvertPalette(std::vector<std::uint8_t>(768, 64))[0].red, 3);
}

TEST(PaletteConversion, FirstTripleOfAPayload) {
  std::vector<std::uint8_t> payload(768, 0);
  payload[0] = 63;
  payload[1] = 0;
  payload[2] = 32;
  const platform::PaletteEntry entry = ConvertPalette(payload)[0];
  EXPECT_EQ(entry.red, 255);
  EXPECT_EQ(entry.green, 0);
  EXPECT_EQ(entry.blue, 129);
  EXPECT_EQ(entry.flags, 0);
}

// Every component ConvertPalette gives goes back to its 6-bit value; one between two of them has
// none, and the nearest is the lower of two as near.
TEST(PaletteConversion, EightBitComponentsGoBackToTheirSixBitValues) {
  std::vector<std::uint8_t> payload(768);
  for (std::size_t v = 0; v < 64; ++v) {
    payload[3 * v] = static_cast<std::uint8_t>(v);
  }
  const platform::PaletteTable entries = ConvertPalette(payload);
  for (std::size_t v = 0; v < 64; ++v) {
    EXPECT_EQ(SixBitComponent(entries[v].red), v) << v;
    EXPECT_EQ(NearestConvertedComponent(entries[v].red), entries[v].red) << v;
  }
  const std::tuple<int, bool, int> table[] = {{4, true, 4}, {5, false, 4},     {6, false, 4},   {7, false, 8},
                                              {8, true, 8}, {254, false, 255}, {255, true, 255}};
  for (const auto& [component, exact, nearest] : table) {
    EXPECT_EQ(SixBitComponent(static_cast<std::uint8_t>(component)).has_value(), exact) << component;
    EXPECT_EQ(NearestConvertedComponent(static_cast<std::uint8_t>(component)), nearest) << component;
  }
}

// --- The screen's palette ---

TEST(ScreenPalette, TheFirstRegionSetsAll256AndLaterOnesKeepColour255) {
  Headless headless;
  std::vector<std::uint8_t> a(768, 10);
  a[765] = a[766] = a[767] = 63;
  std::vector<std::uint8_t> b(768, 20);
  ASSERT_TRUE(headless.LoadRegion(ThreeTileRegion(a), "RGNA.GFF"));
  const platform::Surface& primary = *headless.display->primary;
  EXPECT_EQ(primary.paletteEntries()[0].red, 40);
  EXPECT_EQ(primary.paletteEntries()[255].red, 255);
  platform::Palette* first = headless.display->palette.get();

  ASSERT_TRUE(headless.LoadRegion(ThreeTileRegion(b), "RGNB.GFF"));
  EXPECT_EQ(headless.display->palette.get(), first);  // updated, not made again
  for (std::size_t i = 0; i < 255; ++i) {
    EXPECT_EQ(primary.paletteEntries()[i].green, 80) << i;
  }
  EXPECT_EQ(primary.paletteEntries()[255].green, 255);
  EXPECT_TRUE(BoxTexts().empty());
}

struct PaletteFailure {
  const char* call;
  bool secondRegion;  // fails while updating, not making, the palette
  bool paletteMade;
  bool attached;
};

void PrintTo(const PaletteFailure& failure, std::ostream* out) { *out << failure.call; }

class ScreenPaletteFailure : public ::testing::TestWithParam<PaletteFailure> {};

TEST_P(ScreenPaletteFailure, ShowsItsBoxAndFails) {
  const PaletteFailure failure = GetParam();
  Headless headless;
  if (failure.secondRegion) {
    ASSERT_TRUE(headless.LoadRegion(ThreeTileRegion(std::vector<std::uint8_t>(768, 10)), "RGNA.GFF"));
  }
  platform::FailCall(failure.call);
  EXPECT_FALSE(headless.LoadRegion(ThreeTileRegion(std::vector<std::uint8_t>(768, 20)), "RGNB.GFF"));
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Error loading palette!"});
  DisplaySurface& display = *headless.display;
  EXPECT_EQ(display.palette != nullptr, failure.paletteMade);
  // The colours on screen: the old ones (10 -> 40), the new ones (20 -> 80), or none.
  const int expectedRed = !failure.attached ? 0 : failure.secondRegion ? 40 : 80;
  EXPECT_EQ(display.primary->paletteEntries()[3].red, expectedRed);
  // The region stays, and no strip was built for it.
  EXPECT_NE(display.region, nullptr);
  EXPECT_EQ(display.region->tileCount, 3);
}

INSTANTIATE_TEST_SUITE_P(Calls, ScreenPaletteFailure,
                         ::testing::Values(PaletteFailure{"CreatePalette", false, false, false},
                                           PaletteFailure{"SetPalette", false, true, false},
                                           PaletteFailure{"SetEntries", true, true, true}));

// --- The tile strip ---

TEST(TileStrip, ThreeTilesMakeA48By16StripInOrder) {
  Headless headless;
  const RegionSpec region = ThreeTileRegion(GreyPalette());
  ASSERT_TRUE(headless.LoadRegion(region));
  const platform::Surface& strip = *headless.display->tileSurface;
  EXPECT_EQ(strip.width(), 48);
  EXPECT_EQ(strip.height(), 16);
  const platform::PixelView pixels = strip.pixels();
  EXPECT_EQ(pixels.at(17, 5), region.tiles[1].pixels[5 * 16 + 1]);
  for (std::int32_t y = 0; y < 16; ++y) {
    for (std::int32_t x = 0; x < 48; ++x) {
      ASSERT_EQ(pixels.at(x, y),
                region.tiles[static_cast<std::size_t>(x / 16)].pixels[static_cast<std::size_t>(y * 16 + x % 16)]);
    }
  }
}

TEST(TileStrip, MoreThan256TilesAllGoIntoTheStrip) {
  Headless headless;
  RegionSpec region{GreyPalette(), {}, UniformMap(255), std::nullopt, std::nullopt};
  for (int t = 0; t < 300; ++t) {
    region.tiles.push_back(testing::PlainTile(static_cast<std::uint8_t>(t % 251 + 1)));
  }
  ASSERT_TRUE(headless.LoadRegion(region));
  const platform::Surface& strip = *headless.display->tileSurface;
  EXPECT_EQ(strip.width(), 300 * 16);
  EXPECT_EQ(strip.pixels().at(299 * 16 + 15, 15), 299 % 251 + 1);
  EXPECT_EQ(strip.pixels().at(256 * 16, 0), 256 % 251 + 1);
  // A map byte names only the first 256: 255 is tile 255.
  headless.display->PresentFrame();
  EXPECT_EQ(headless.Screen().at(0, 0), 255 % 251 + 1);
}

TEST(TileStrip, EachNewRegionGetsANewStrip) {
  Headless headless;
  ASSERT_TRUE(headless.LoadRegion(ThreeTileRegion(GreyPalette())));
  RegionSpec two{
      GreyPalette(), {testing::PlainTile(7), testing::PlainTile(8)}, UniformMap(1), std::nullopt, std::nullopt};
  ASSERT_TRUE(headless.LoadRegion(two, "RGN02.GFF"));
  EXPECT_EQ(headless.display->tileSurface->width(), 32);
  EXPECT_EQ(headless.display->tileSurface->pixels().at(16, 0), 8);
}

TEST(TileStrip, ATileWithSeveralFramesIsReportedOncePerRowAndDrawnWithFrame0) {
  Headless headless;
  const testing::IndexedImage first = testing::PatternTile(5);
  const testing::IndexedImage second = testing::PlainTile(200);
  const std::vector<std::uint8_t> twoFrames =
      *authoring::WriteFrameSetPayload({*authoring::EncodeNrmlFrame(first), *authoring::EncodeNrmlFrame(second)});
  const auto path =
      headless.dir.Write("RGN01.GFF", authoring::WriteContainer({{kTagPal, {{1, GreyPalette()}}, false, 0},
                                                                 {kTagTile, {{1, twoFrames}}, false, 0},
                                                                 {kTagMap, {{2, UniformMap(0)}}, false, 0}}));
  headless.display->report = PrintedNotes();
  ::testing::internal::CaptureStderr();
  ASSERT_TRUE(headless.display->LoadZone(path.string().c_str()));
  const std::string debug = ::testing::internal::GetCapturedStderr();
  std::string expected;
  for (int row = 0; row < 16; ++row) {
    expected += "Tile with more than one frame!";
  }
  EXPECT_EQ(debug, expected);
  EXPECT_EQ(headless.display->tileSurface->pixels().at(3, 2), first.pixels[2 * 16 + 3]);
}

// The copy into locked memory, with a pitch wider than the strip and every byte marked first.
std::vector<std::uint8_t> CopyIntoMarked(const std::vector<FrameSet>& tiles, std::size_t pitch) {
  std::vector<std::uint8_t> memory(pitch * 16, 0xEE);
  EXPECT_TRUE(CopyTilesToStrip(tiles, memory, pitch, LoadReport()));
  return memory;
}

FrameSet OneFrame(std::uint32_t width, std::uint32_t height, std::uint8_t seed) {
  Frame frame;
  frame.width = width;
  frame.height = height;
  for (std::uint32_t i = 0; i < width * height; ++i) {
    frame.pixels.push_back(static_cast<std::uint8_t>(seed + i));
  }
  FrameSet set;
  set.frameCount = 1;
  set.frames.push_back(std::move(frame));
  return set;
}

TEST(TileStripCopy, APitchWiderThanTheStripLeavesTheBytesBehindTheLastTile) {
  std::vector<FrameSet> tiles;
  tiles.push_back(OneFrame(16, 16, 1));
  tiles.push_back(OneFrame(16, 16, 100));
  const std::size_t pitch = 32 + 5;
  const std::vector<std::uint8_t> memory = CopyIntoMarked(tiles, pitch);
  for (std::size_t row = 0; row < 16; ++row) {
    for (std::size_t x = 0; x < 32; ++x) {
      const std::uint8_t seed = x < 16 ? 1 : 100;
      ASSERT_EQ(memory[row * pitch + x], static_cast<std::uint8_t>(seed + row * 16 + x % 16));
    }
    for (std::size_t x = 32; x < pitch; ++x) {
      ASSERT_EQ(memory[row * pitch + x], 0xEE) << row << ", " << x;
    }
  }
}

TEST(TileStripCopy, FramesThatAreNot16By16GiveTheOverlapAndZerosElsewhere) {
  std::vector<FrameSet> tiles;
  tiles.push_back(OneFrame(20, 10, 1));  // wider, shorter
  tiles.push_back(OneFrame(8, 20, 50));  // narrower, taller
  tiles.push_back(FrameSet{});           // no frames
  tiles.push_back(OneFrame(0, 4, 0));    // frame 0 without pixels
  const std::size_t pitch = 64;
  const std::vector<std::uint8_t> memory = CopyIntoMarked(tiles, pitch);
  for (std::size_t row = 0; row < 16; ++row) {
    for (std::size_t x = 0; x < 16; ++x) {
      ASSERT_EQ(memory[row * pitch + x], row < 10 ? static_cast<std::uint8_t>(1 + row * 20 + x) : 0);
      ASSERT_EQ(memory[row * pitch + 16 + x], x < 8 ? static_cast<std::uint8_t>(50 + row * 8 + x) : 0);
      ASSERT_EQ(memory[row * pitch + 32 + x], 0);
      ASSERT_EQ(memory[row * pitch + 48 + x], 0);
    }
  }
}

TEST(TileStripCopy, MemoryTooSmallForTheTilesIsNotWritten) {
  std::vector<FrameSet> tiles;
  tiles.push_back(OneFrame(16, 16, 1));
  tiles.push_back(OneFrame(16, 16, 1));
  std::vector<std::uint8_t> narrow(31 * 16, 0xEE);
  EXPECT_FALSE(CopyTilesToStrip(tiles, narrow, 31, LoadReport()));
  std::vector<std::uint8_t> shortMemory(32 * 15 + 31, 0xEE);
  EXPECT_FALSE(CopyTilesToStrip(tiles, shortMemory, 32, LoadReport()));
  std::vector<std::uint8_t> exact(32 * 15 + 32, 0xEE);
  EXPECT_TRUE(CopyTilesToStrip(tiles, exact, 32, LoadReport()));
  EXPECT_EQ(narrow, std::vector<std::uint8_t>(31 * 16, 0xEE));
}

TEST(TileStrip, APixelLessTileDrawsAsIndex0) {
  Headless headless;
  const auto path = headless.dir.Write(
      "RGN01.GFF", authoring::WriteContainer({{kTagPal, {{1, GreyPalette()}}, false, 0},
                                              {kTagTile, {{1, *authoring::WriteFrameSetPayload({})}}, false, 0},
                                              {kTagMap, {{2, UniformMap(0)}}, false, 0}}));
  ASSERT_TRUE(headless.display->LoadZone(path.string().c_str()));
  headless.display->PresentFrame();
  const Picture screen = headless.Screen();
  EXPECT_EQ(screen.pixels, std::vector<std::uint8_t>(640 * 480, 0));
}

struct StripFailure {
  const char* call;
  bool stripKept;
};

void PrintTo(const StripFailure& failure, std::ostream* out) { *out << failure.call; }

class TileStripFailure : public ::testing::TestWithParam<StripFailure> {};

TEST_P(TileStripFailure, ShowsItsBoxAndFails) {
  const StripFailure failure = GetParam();
  Headless headless;
  ASSERT_TRUE(headless.LoadRegion(ThreeTileRegion(GreyPalette()), "RGNA.GFF"));
  platform::FailCall(failure.call);
  EXPECT_FALSE(headless.LoadRegion(ThreeTileRegion(GreyPalette()), "RGNB.GFF"));
  EXPECT_EQ(BoxTexts(), std::vector<std::string>{"Error loading tiles"});
  // The old strip is gone either way.
  EXPECT_EQ(headless.display->tileSurface != nullptr, failure.stripKept);
  EXPECT_NE(headless.display->region, nullptr);
}

INSTANTIATE_TEST_SUITE_P(Calls, TileStripFailure,
                         ::testing::Values(StripFailure{"CreateSurface", false}, StripFailure{"Lock", true},
                                           StripFailure{"Unlock", true}));

// --- Regions that are turned away ---

struct Rejection {
  const char* what;
  RegionSpec region;
  std::vector<std::string> boxes;
  bool regionKept;
  NoteKind note;  // the one note the switch hands on
};

void PrintTo(const Rejection& rejection, std::ostream* out) { *out << rejection.what; }

class TurnedAwayRegions : public ::testing::TestWithParam<Rejection> {};

TEST_P(TurnedAwayRegions, FailTheSwitchWithTheirOwnBoxOrNone) {
  const Rejection& rejection = GetParam();
  Headless headless;
  EXPECT_FALSE(headless.LoadRegion(rejection.region)) << rejection.what;
  EXPECT_EQ(BoxTexts(), rejection.boxes) << rejection.what;
  ASSERT_EQ(headless.notes.size(), 1u) << rejection.what;
  EXPECT_EQ(headless.notes[0].kind, rejection.note) << rejection.what;
  EXPECT_NE(headless.notes[0].file.find("RGN01.GFF"), std::string::npos);
  EXPECT_EQ(headless.display->region != nullptr, rejection.regionKept) << rejection.what;
  EXPECT_EQ(headless.display->viewX, 0);
  // Whatever stayed, presenting is safe.
  headless.display->PresentFrame();
}

RegionSpec WithPalette(std::optional<std::vector<std::uint8_t>> palette) {
  RegionSpec region = ThreeTileRegion(GreyPalette());
  region.palette = std::move(palette);
  return region;
}

RegionSpec WithMap(std::optional<std::vector<std::uint8_t>> map) {
  RegionSpec region = ThreeTileRegion(GreyPalette());
  region.map = std::move(map);
  return region;
}

RegionSpec WithoutTiles() {
  RegionSpec region = ThreeTileRegion(GreyPalette());
  region.tiles.clear();
  return region;
}

INSTANTIATE_TEST_SUITE_P(
    Regions, TurnedAwayRegions,
    ::testing::Values(
        Rejection{
            "no palette", WithPalette(std::nullopt), {"Error loading palette!"}, true, NoteKind::kPaletteRejected},
        Rejection{"palette of 767 bytes",
                  WithPalette(std::vector<std::uint8_t>(767, 1)),
                  {"Error loading palette!"},
                  true,
                  NoteKind::kPaletteRejected},
        Rejection{"no TILE chunk", WithoutTiles(), {"Error loading tiles"}, true, NoteKind::kTilesRejected},
        Rejection{"no map", WithMap(std::nullopt), {}, false, NoteKind::kMapRejected},
        Rejection{
            "map of 12287 bytes", WithMap(std::vector<std::uint8_t>(12287, 0)), {}, false, NoteKind::kMapRejected}));

TEST(RegionRejection, TheBoundariesJustFit) {
  Headless headless;
  RegionSpec region = WithPalette(std::vector<std::uint8_t>(768, 1));
  region.map = std::vector<std::uint8_t>(12288, 0);
  EXPECT_TRUE(headless.LoadRegion(region));
  // Longer payloads are read from their first byte.
  region.palette = std::vector<std::uint8_t>(800, 2);
  region.map = std::vector<std::uint8_t>(12300, 0);
  EXPECT_TRUE(headless.LoadRegion(region, "RGN02.GFF"));
  EXPECT_TRUE(BoxTexts().empty());
}

std::vector<NoteKind> KindsOf(const std::vector<LoadNote>& notes) {
  std::vector<NoteKind> kinds;
  for (const LoadNote& note : notes) {
    kinds.push_back(note.kind);
  }
  return kinds;
}

TEST(RegionRejection, NamesEveryReasonInTheOrderTheSwitchLooks) {
  Region region;
  EXPECT_EQ(KindsOf(RegionRejections(region)),
            (std::vector{NoteKind::kMapRejected, NoteKind::kPaletteRejected, NoteKind::kTilesRejected}));
  EXPECT_FALSE(RegionRejections(region)[0].chunk.has_value());
  region.mapData = std::vector<std::uint8_t>(12287);
  region.mapChunk = ChunkEntry{4, 100, 12287};
  EXPECT_EQ(RegionRejections(region)[0].value, 12287u);
  EXPECT_EQ(RegionRejections(region)[0].chunk->number, 4u);
  region.mapData = std::vector<std::uint8_t>(12288);
  EXPECT_EQ(KindsOf(RegionRejections(region)), (std::vector{NoteKind::kPaletteRejected, NoteKind::kTilesRejected}));
  region.paletteData = std::vector<std::uint8_t>(768);
  EXPECT_EQ(KindsOf(RegionRejections(region)), std::vector{NoteKind::kTilesRejected});
  // The strip holds at most kMostTilesInStrip tiles: one more is turned away with their number.
  for (const std::int32_t tiles : {1, kMostTilesInStrip, kMostTilesInStrip + 1}) {
    region.tileCount = tiles;
    const std::vector<LoadNote> rejections = RegionRejections(region);
    EXPECT_EQ(rejections.size(), tiles > kMostTilesInStrip ? 1u : 0u) << tiles;
    if (!rejections.empty()) {
      EXPECT_EQ(rejections[0].value, static_cast<std::uint64_t>(tiles));
    }
  }
}

TEST(RegionSwitch, NoPathOrAMissingFileLeavesNoRegion) {
  Headless headless;
  ASSERT_TRUE(headless.LoadRegion(ThreeTileRegion(GreyPalette())));
  headless.display->ScrollBy(100, 100);
  EXPECT_FALSE(headless.display->LoadZone(nullptr));
  EXPECT_EQ(headless.display->region, nullptr);
  EXPECT_EQ(headless.display->viewX, 0);
  EXPECT_FALSE(headless.display->LoadZone((headless.dir.path() / "NONE.GFF").string().c_str()));
  EXPECT_TRUE(BoxTexts().empty());
}

}  // namespace
}  // namespace karst::display_tests
