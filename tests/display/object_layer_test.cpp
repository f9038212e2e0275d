// The object layer: where an entity's bitmap lands, which entities reach a blit at the edges of
// the view, mirroring, transparency, drawing order, and what is passed over.
#include <gtest/gtest.h>

#include <cstdint>
#include <ostream>
#include <vector>

#include "data/object_library.h"
#include "display/display_surface.h"
#include "tests/display/display_test_support.h"

namespace karst::display_tests {
namespace {

// w x h, pixel (x, y) = 2 + (x + 7y) mod 250, except index 0 on the diagonal x == y: left and
// right differ, so a mirrored copy shows, and the zeros show the tile through.
testing::IndexedImage ObjectImage(std::uint32_t width, std::uint32_t height) {
  testing::IndexedImage image{width, height, {}};
  for (std::uint32_t y = 0; y < height; ++y) {
    for (std::uint32_t x = 0; x < width; ++x) {
      image.pixels.push_back(x == y ? 0 : static_cast<std::uint8_t>(2 + (x + 7 * y) % 250));
    }
  }
  return image;
}

// Object 9 draws with bitmap 4: hotspot (16, 40), frame 0 of 32 x 48. Object 10 draws bitmap 5,
// 20 x 10, with hotspot (0, 0); objects 11 and 12 draw bitmap 4 with their hotspots just at and
// just past its right edge.
const std::vector<BitmapRecord> kBitmaps{{4, ObjectImage(32, 48)}, {5, ObjectImage(20, 10)}};
const std::vector<ObjectRecord> kObjects{{9, 16, 40, 4}, {10, 0, 0, 5}, {11, 32, 0, 4}, {12, 33, 0, 4}};

struct Scene {
  explicit Scene(std::vector<EntityRecord> entities) : region(PlainRegion(std::move(entities))) {
    EXPECT_EQ(headless.LoadObjects(kBitmaps, kObjects), 1);
    EXPECT_TRUE(headless.LoadRegion(region));
  }

  Picture Expected() const {
    Picture picture = testing::ComposeTiles(region, display().viewX, display().viewY, 640, 480);
    testing::ComposeObjects(picture, region, kBitmaps, kObjects, display().viewX, display().viewY);
    return picture;
  }

  DisplaySurface& display() const { return *headless.display; }

  Headless headless;
  RegionSpec region;
};

TEST(ObjectLayer, HotspotAndHeightPutTheEntityOn34_55To66_103) {
  Scene scene({{100, 200, 5, 0, 9}});
  scene.display().ScrollBy(50, 100);
  const Picture screen = scene.headless.Screen();
  const testing::IndexedImage& image = kBitmaps[0].image;
  for (std::int32_t y = 0; y < 48; ++y) {
    for (std::int32_t x = 0; x < 32; ++x) {
      const std::uint8_t pixel = image.pixels[static_cast<std::size_t>(y) * 32 + x];
      EXPECT_EQ(screen.at(34 + x, 55 + y), pixel == 0 ? 1 : pixel) << x << ", " << y;
    }
  }
  // Just outside the rectangle: the tile.
  for (std::int32_t x = 33; x <= 66; ++x) {
    EXPECT_EQ(screen.at(x, 54), 1);
    EXPECT_EQ(screen.at(x, 103), 1);
  }
  for (std::int32_t y = 54; y <= 103; ++y) {
    EXPECT_EQ(screen.at(33, y), 1);
    EXPECT_EQ(screen.at(66, y), 1);
  }
  EXPECT_EQ(FirstDifference(screen, scene.Expected()), "");
}

TEST(ObjectLayer, ZLiftsTheBitmap) {
  Scene lifted({{100, 200, 5, 0, 9}});
  Scene grounded({{100, 200, 0, 0, 9}});
  lifted.display().PresentFrame();
  grounded.display().PresentFrame();
  const Picture up = lifted.headless.Screen();
  const Picture down = grounded.headless.Screen();
  // Top-left pixel (0, 1) of the bitmap: at y 161 lifted, 166 on the ground.
  EXPECT_EQ(up.at(84 + 0, 160 + 1 - 5), kBitmaps[0].image.pixels[32]);
  EXPECT_EQ(down.at(84 + 0, 160 + 1), kBitmaps[0].image.pixels[32]);
  EXPECT_EQ(FirstDifference(up, lifted.Expected()), "");
  EXPECT_EQ(FirstDifference(down, grounded.Expected()), "");
}

TEST(ObjectLayer, MirroredReversesWithinTheSameRectangle) {
  Scene plain({{100, 200, 0, 0, 9}});
  Scene mirrored({{100, 200, 0, 0x80, 9}});
  plain.display().PresentFrame();
  mirrored.display().PresentFrame();
  const Picture a = plain.headless.Screen();
  const Picture b = mirrored.headless.Screen();
  const testing::IndexedImage& image = kBitmaps[0].image;
  for (std::int32_t y = 0; y < 48; ++y) {
    for (std::int32_t x = 0; x < 32; ++x) {
      const std::uint8_t reversed = image.pixels[static_cast<std::size_t>(y) * 32 + (31 - x)];
      EXPECT_EQ(b.at(84 + x, 160 + y), reversed == 0 ? 1 : reversed) << x << ", " << y;
    }
  }
  // Both cover exactly the same rectangle: outside it, both frames are the tile.
  for (std::int32_t y = 0; y < 480; ++y) {
    for (std::int32_t x = 0; x < 640; ++x) {
      if (x < 84 || x >= 116 || y < 160 || y >= 208) {
        ASSERT_EQ(a.at(x, y), 1);
        ASSERT_EQ(b.at(x, y), 1);
      }
    }
  }
  EXPECT_EQ(FirstDifference(b, mirrored.Expected()), "");
}

TEST(ObjectLayer, FlagBitsOtherThanBit7ChangeNothing) {
  Scene none({{100, 200, 0, 0x00, 9}});
  Scene others({{100, 200, 0, 0x7F, 9}});
  Scene mirrored({{100, 200, 0, 0x80, 9}});
  Scene all({{100, 200, 0, 0xFF, 9}});
  for (Scene* scene : {&none, &others, &mirrored, &all}) {
    scene->display().PresentFrame();
  }
  EXPECT_EQ(others.headless.Screen().pixels, none.headless.Screen().pixels);
  EXPECT_EQ(all.headless.Screen().pixels, mirrored.headless.Screen().pixels);
  EXPECT_NE(none.headless.Screen().pixels, mirrored.headless.Screen().pixels);
}

TEST(ObjectLayer, TheLaterEntityIsOnTop) {
  // Object 10 (20 x 10, hotspot 0) at the place where object 9's rectangle starts, then the other
  // way round.
  Scene tenLast({{100, 200, 0, 0, 9}, {84, 160, 0, 0, 10}});
  Scene nineLast({{84, 160, 0, 0, 10}, {100, 200, 0, 0, 9}});
  tenLast.display().PresentFrame();
  nineLast.display().PresentFrame();
  const testing::IndexedImage& nine = kBitmaps[0].image;
  const testing::IndexedImage& ten = kBitmaps[1].image;
  // (5, 3) is drawn (not index 0) in both bitmaps.
  EXPECT_EQ(tenLast.headless.Screen().at(84 + 5, 160 + 3), ten.pixels[3 * 20 + 5]);
  EXPECT_EQ(nineLast.headless.Screen().at(84 + 5, 160 + 3), nine.pixels[3 * 32 + 5]);
  // Where the top one is transparent (its diagonal), the one beneath shows.
  EXPECT_EQ(tenLast.headless.Screen().at(84 + 2, 160 + 2), nine.pixels[2 * 32 + 2] == 0 ? 1 : nine.pixels[2 * 32 + 2]);
  EXPECT_EQ(FirstDifference(tenLast.headless.Screen(), tenLast.Expected()), "");
  EXPECT_EQ(FirstDifference(nineLast.headless.Screen(), nineLast.Expected()), "");
}

TEST(ObjectLayer, AnObjectHangingOffTheRegionEdgeIsClipped) {
  // Hotspot x 16 at x 0: the leftmost 16 columns lie left of the region.
  Scene scene({{0, 40, 0, 0, 9}});
  scene.display().PresentFrame();
  const Picture screen = scene.headless.Screen();
  EXPECT_EQ(screen.at(0, 5), kBitmaps[0].image.pixels[5 * 32 + 16]);
  EXPECT_EQ(FirstDifference(screen, scene.Expected()), "");
}

TEST(ObjectLayer, ALibraryLoadedInPlaceOfAnotherDrawsItsOwnObjects) {
  Scene scene({{100, 200, 0, 0, 9}, {300, 100, 0, 0x80, 10}});
  scene.display().PresentFrame();
  const Picture before = scene.headless.Screen();
  // The same numbers and table sizes, other hotspots and other pictures.
  const std::vector<BitmapRecord> bitmaps{{4, ObjectImage(20, 30)}, {5, ObjectImage(40, 12)}};
  const std::vector<ObjectRecord> objects{{9, 3, 7, 5}, {10, 1, 2, 4}, {11, 0, 0, 4}, {12, 0, 0, 5}};
  ASSERT_EQ(scene.headless.LoadObjects(bitmaps, objects), 1);
  scene.display().PresentFrame();
  Picture expected = testing::ComposeTiles(scene.region, 0, 0, 640, 480);
  testing::ComposeObjects(expected, scene.region, bitmaps, objects, 0, 0);
  EXPECT_EQ(FirstDifference(scene.headless.Screen(), expected), "");
  EXPECT_NE(scene.headless.Screen().pixels, before.pixels);
}

// Which entities reach a blit with the view at (0, 0). Object 10 is 20 x 10 with hotspot (0, 0),
// so x and y are the rectangle's left and top; z lifts it.
struct EdgeCase {
  const char* what;
  EntityRecord entity;
  bool blitted;
};

void PrintTo(const EdgeCase& edge, std::ostream* out) { *out << edge.what; }

class ObjectCulling : public ::testing::TestWithParam<EdgeCase> {};

TEST_P(ObjectCulling, OnlyWhatLiesWhollyOutsideIsPassedOver) {
  const EdgeCase edge = GetParam();
  Scene scene({edge.entity});
  const int blits = CountBlts([&] { scene.display().PresentFrame(); });
  EXPECT_EQ(blits, 1200 + (edge.blitted ? 1 : 0)) << edge.what;
}

INSTANTIATE_TEST_SUITE_P(Edges, ObjectCulling,
                         ::testing::Values(EdgeCase{"left 640, on the right edge", {640, 100, 0, 0, 10}, true},
                                           EdgeCase{"left 641", {641, 100, 0, 0, 10}, false},
                                           EdgeCase{"top 480, on the bottom edge", {100, 480, 0, 0, 10}, true},
                                           EdgeCase{"top 481", {100, 481, 0, 0, 10}, false},
                                           EdgeCase{"top 485 lifted by 5 to 480", {100, 485, 5, 0, 10}, true},
                                           EdgeCase{"top 486 lifted by 5 to 481", {100, 486, 5, 0, 10}, false}));

// Left and top below 0 come from the hotspot and from z; objects 11 and 12 are 32 x 48.
INSTANTIATE_TEST_SUITE_P(
    NegativeEdges, ObjectCulling,
    ::testing::Values(EdgeCase{"left -32, right edge on the screen's left edge", {0, 100, 0, 0, 11}, true},
                      EdgeCase{"left -33", {0, 100, 0, 0, 12}, false},
                      EdgeCase{"top -48, bottom edge on the screen's top edge", {100, 0, 48, 0, 11}, true},
                      EdgeCase{"top -49", {100, 0, 49, 0, 11}, false}));

}  // namespace
}  // namespace karst::display_tests
