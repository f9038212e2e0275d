// Frame presentation: the tile layer pixel for pixel at views on and off the cell grid, the blits
// it makes, scrolling and its clamps, the name band, and a display without a region.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "data/region.h"
#include "display/display_surface.h"
#include "platform/fault_injection.h"
#include "tests/display/display_test_support.h"

namespace karst::display_tests {
namespace {

constexpr std::uint8_t kTileCount = 5;

// Five tiles of distinct patterns; map bytes run through 0 to 6 (5 and 6 lie beyond the tiles)
// with some 255s, so every cell's tile and every pixel's place in it show.
RegionSpec TiledRegion() {
  RegionSpec region;
  region.palette = GreyPalette();
  for (std::uint8_t t = 0; t < kTileCount; ++t) {
    region.tiles.push_back(testing::PatternTile(static_cast<std::uint8_t>(40 * t + 7)));
  }
  std::vector<std::uint8_t> map(12288);
  for (std::size_t row = 0; row < 96; ++row) {
    for (std::size_t column = 0; column < 128; ++column) {
      map[row * 128 + column] = static_cast<std::uint8_t>((column + 2 * row) % 7);
    }
  }
  map[0] = 255;
  map[95 * 128 + 127] = 255;
  region.map = map;
  return region;
}

struct ViewCase {
  std::int32_t x;
  std::int32_t y;
  int blits;
};

void PrintTo(const ViewCase& view, std::ostream* out) { *out << "view (" << view.x << ", " << view.y << ")"; }

class TileLayerViews : public ::testing::TestWithParam<ViewCase> {};

TEST_P(TileLayerViews, EveryScreenPixelIsTheMapPixelUnderIt) {
  const ViewCase view = GetParam();
  Headless headless;
  const RegionSpec region = TiledRegion();
  ASSERT_TRUE(headless.LoadRegion(region));
  DisplaySurface& display = *headless.display;
  const int blits = CountBlts([&] { display.ScrollBy(view.x, view.y); });
  EXPECT_EQ(display.viewX, view.x);
  EXPECT_EQ(display.viewY, view.y);
  EXPECT_EQ(blits, view.blits);
  EXPECT_EQ(FirstDifference(headless.Screen(), testing::ComposeTiles(region, view.x, view.y, 640, 480)), "");
}

INSTANTIATE_TEST_SUITE_P(Views, TileLayerViews,
                         ::testing::Values(ViewCase{0, 0, 40 * 30},          // on the grid
                                           ViewCase{8, 0, 41 * 30},          // half cells at both sides
                                           ViewCase{8, 8, 41 * 31},          // half cells all round
                                           ViewCase{1407, 1055, 41 * 31},    // one short of the far corner
                                           ViewCase{1408, 1056, 40 * 30}));  // the far corner

TEST(TileLayer, HalfCellsAtTheEdgesOfAnOffGridView) {
  Headless headless;
  const RegionSpec region = TiledRegion();
  ASSERT_TRUE(headless.LoadRegion(region));
  headless.display->ScrollBy(8, 0);
  const Picture screen = headless.Screen();
  // Screen column 0 shows column 8 of map cell 0 (byte 255: tile 0); column 632 shows column 0 of
  // map cell 40, whose byte in row 0 is 40 % 7 = 5, beyond the tiles: tile 0 again.
  EXPECT_EQ(screen.at(0, 0), region.tiles[0].pixels[8]);
  EXPECT_EQ(screen.at(7, 0), region.tiles[0].pixels[15]);
  EXPECT_EQ(screen.at(632, 0), region.tiles[0].pixels[0]);
  EXPECT_EQ(screen.at(639, 0), region.tiles[0].pixels[7]);
  // Cell 1 of row 0 is tile 1: its first column lands at x 8.
  EXPECT_EQ(screen.at(8, 3), region.tiles[1].pixels[3 * 16]);
}

TEST(TileLayer, ATileIndexBeyondTheTilesDrawsTileZero) {
  Headless headless;
  RegionSpec region = TiledRegion();
  std::vector<std::uint8_t>& map = *region.map;
  map[0] = kTileCount - 1;  // the last tile
  map[1] = kTileCount;      // just beyond
  map[2] = 0;
  ASSERT_TRUE(headless.LoadRegion(region));
  headless.display->PresentFrame();
  const Picture screen = headless.Screen();
  for (std::int32_t y = 0; y < 16; ++y) {
    for (std::int32_t x = 0; x < 16; ++x) {
      const std::uint8_t tilePixel = region.tiles[0].pixels[static_cast<std::size_t>(y) * 16 + x];
      EXPECT_EQ(screen.at(x, y), region.tiles[kTileCount - 1].pixels[static_cast<std::size_t>(y) * 16 + x]);
      EXPECT_EQ(screen.at(16 + x, y), tilePixel);
      EXPECT_EQ(screen.at(32 + x, y), tilePixel);
    }
  }
}

TEST(Scrolling, ClampsAndPresentsEveryTime) {
  Headless headless;
  ASSERT_TRUE(headless.LoadRegion(TiledRegion()));
  DisplaySurface& display = *headless.display;
  const platform::Surface& primary = *display.primary;

  display.ScrollBy(-16, 0);  // at the left edge already
  EXPECT_EQ(display.viewX, 0);
  EXPECT_EQ(primary.flipCount(), 1u);

  display.ScrollBy(10000, 10000);
  EXPECT_EQ(display.viewX, 1408);
  EXPECT_EQ(display.viewY, 1056);
  EXPECT_EQ(primary.flipCount(), 2u);

  display.ScrollBy(1, 1);  // the view stays, the frame is still presented
  EXPECT_EQ(display.viewX, 1408);
  EXPECT_EQ(display.viewY, 1056);
  EXPECT_EQ(primary.flipCount(), 3u);

  display.ScrollBy(-1408, -1057);
  EXPECT_EQ(display.viewX, 0);
  EXPECT_EQ(display.viewY, 0);

  // Deltas at the ends of the 32-bit range clamp instead of wrapping.
  display.ScrollBy(INT32_MAX, INT32_MIN);
  EXPECT_EQ(display.viewX, 1408);
  EXPECT_EQ(display.viewY, 0);
  display.ScrollBy(INT32_MIN, INT32_MAX);
  EXPECT_EQ(display.viewX, 0);
  EXPECT_EQ(display.viewY, 1056);
}

TEST(Scrolling, AScreenLargerThanTheRegionKeepsTheViewAtZero) {
  Headless headless(2064, 1552);
  ASSERT_TRUE(headless.LoadRegion(TiledRegion()));
  headless.display->ScrollBy(5, 5);
  EXPECT_EQ(headless.display->viewX, 0);
  EXPECT_EQ(headless.display->viewY, 0);
  EXPECT_EQ(headless.display->primary->flipCount(), 1u);
}

TEST(Scrolling, ARegionSwitchPutsTheViewBackAtTheCorner) {
  Headless headless;
  ASSERT_TRUE(headless.LoadRegion(TiledRegion()));
  headless.display->ScrollBy(300, 200);
  ASSERT_TRUE(headless.LoadRegion(TiledRegion(), "RGN02.GFF"));
  EXPECT_EQ(headless.display->viewX, 0);
  EXPECT_EQ(headless.display->viewY, 0);
}

TEST(Presenting, WithoutARegionNothingIsDrawnOrFlipped) {
  Headless headless;
  DisplaySurface& display = *headless.display;
  const int blits = CountBlts([&] {
    display.PresentFrame();
    display.ScrollBy(16, 16);
  });
  EXPECT_EQ(blits, 0);
  EXPECT_EQ(display.viewX, 0);
  EXPECT_EQ(display.viewY, 0);
  EXPECT_EQ(display.primary->flipCount(), 0u);
  // A region switch that failed leaves no region: still nothing.
  EXPECT_FALSE(display.LoadZone((headless.dir.path() / "MISSING.GFF").string().c_str()));
  display.PresentFrame();
  EXPECT_EQ(display.primary->flipCount(), 0u);
}

TEST(Presenting, ADisplayThatWasNeverSetUpDrawsNothing) {
  Quiet quiet;
  DisplaySurface display(nullptr, 480, 640, 8, 0);
  display.region = std::make_unique<Region>();
  display.PresentFrame();
  display.ScrollBy(10, 10);
  EXPECT_EQ(display.viewX, 10);
  EXPECT_EQ(display.primary, nullptr);
}

// Colour 0 black, colour 255 white, the tile's colour 100 neither: the text's cell is filled with
// the index nearest black and its glyphs with the index nearest white.
RegionSpec NamedRegion(std::optional<std::string> name) {
  std::vector<std::uint8_t> palette(768, 20);
  palette[0] = palette[1] = palette[2] = 0;
  palette[765] = palette[766] = palette[767] = 63;
  return RegionSpec{palette, {testing::PlainTile(100)}, UniformMap(0), std::move(name), std::nullopt};
}

int CountIndex(const Picture& picture, std::int32_t top, std::int32_t bottom, std::uint8_t index) {
  int count = 0;
  for (std::int32_t y = top; y < bottom; ++y) {
    for (std::int32_t x = 0; x < picture.width; ++x) {
      count += picture.at(x, y) == index ? 1 : 0;
    }
  }
  return count;
}

TEST(NameText, WhiteOnABlackBandFromRow465) {
  Headless headless;
  ASSERT_TRUE(headless.LoadRegion(NamedRegion("Karst Hollow")));
  headless.display->PresentFrame();
  const Picture screen = headless.Screen();
  EXPECT_EQ(CountIndex(screen, 0, 465, 100), 640 * 465);  // nothing above the band
  EXPECT_GT(CountIndex(screen, 465, 480, 0), 0);          // the band
  EXPECT_GT(CountIndex(screen, 465, 480, 255), 0);        // the glyphs
  EXPECT_TRUE(screen.at(0, 465) == 0 || screen.at(0, 465) == 255);
  EXPECT_EQ(screen.at(639, 479), 100);  // the band is as wide as the text only
}

TEST(NameText, NoNameOrAnEmptyNameWritesNothingButTheFrameIsFlipped) {
  for (const std::optional<std::string>& name : {std::optional<std::string>(), std::optional<std::string>("")}) {
    Headless headless;
    ASSERT_TRUE(headless.LoadRegion(NamedRegion(name)));
    headless.display->PresentFrame();
    EXPECT_EQ(headless.display->primary->flipCount(), 1u);
    EXPECT_EQ(CountIndex(headless.Screen(), 0, 480, 100), 640 * 480) << name.has_value();
  }
}

TEST(NameText, AFailedDeviceContextLosesOnlyTheName) {
  Headless headless;
  ASSERT_TRUE(headless.LoadRegion(NamedRegion("Karst Hollow")));
  platform::FailCall("GetDC");
  headless.display->PresentFrame();
  EXPECT_EQ(headless.display->primary->flipCount(), 1u);
  EXPECT_EQ(CountIndex(headless.Screen(), 0, 480, 100), 640 * 480);
}

TEST(Presenting, AFailedFlipIsIgnored) {
  Headless headless;
  ASSERT_TRUE(headless.LoadRegion(TiledRegion()));
  platform::FailCall("Flip");
  headless.display->PresentFrame();
  EXPECT_EQ(headless.display->primary->flipCount(), 0u);
  headless.display->PresentFrame();
  EXPECT_EQ(headless.display->primary->flipCount(), 1u);
}

}  // namespace
}  // namespace karst::display_tests
