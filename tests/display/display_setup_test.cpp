// Setting up the display step by step, what a failing step leaves for the teardown, and the
// object surfaces made from the library.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "data/object_library.h"
#include "display/display_surface.h"
#include "gff/format.h"
#include "gff/frame_set.h"
#include "platform/fault_injection.h"
#include "tests/display/display_test_support.h"

namespace karst::display_tests {
namespace {

TEST(InitDirectDraw, SetsUpTheModeTheChainAndTheClipper) {
  Quiet quiet;
  DisplaySurface display(nullptr, 480, 640, 8, 0);
  EXPECT_EQ(display.ddraw, nullptr);
  EXPECT_EQ(display.InitDirectDraw(), 1);
  ASSERT_NE(display.primary, nullptr);
  EXPECT_EQ(display.primary->width(), 640);
  EXPECT_EQ(display.primary->height(), 480);
  ASSERT_NE(display.backBuffer, nullptr);
  EXPECT_EQ(display.backBuffer->width(), 640);
  EXPECT_NE(display.clipper, nullptr);
  EXPECT_EQ(display.palette, nullptr);  // made by the first region
  EXPECT_EQ(display.tileSurface, nullptr);
}

// Which objects a failing step leaves behind; every step before it has run.
struct FailingStep {
  const char* call;
  bool ddraw;
  bool primary;
  bool backBuffer;
  bool clipper;
};

void PrintTo(const FailingStep& step, std::ostream* out) { *out << step.call; }

class InitDirectDrawFailure : public ::testing::TestWithParam<FailingStep> {};

TEST_P(InitDirectDrawFailure, StopsAtTheStepAndKeepsWhatWasMade) {
  const FailingStep step = GetParam();
  Quiet quiet;
  auto display = std::make_unique<DisplaySurface>(nullptr, 480, 640, 8, 0);
  platform::FailCall(step.call);
  EXPECT_EQ(display->InitDirectDraw(), 0) << step.call;
  EXPECT_EQ(display->ddraw != nullptr, step.ddraw) << step.call;
  EXPECT_EQ(display->primary != nullptr, step.primary) << step.call;
  EXPECT_EQ(display->backBuffer != nullptr, step.backBuffer) << step.call;
  EXPECT_EQ(display->clipper != nullptr, step.clipper) << step.call;
  // Nothing can be drawn, and the teardown releases what was made.
  display->PresentFrame();
  display.reset();
}

INSTANTIATE_TEST_SUITE_P(Steps, InitDirectDrawFailure,
                         ::testing::Values(FailingStep{"DirectDrawCreate", false, false, false, false},
                                           FailingStep{"SetCooperativeLevel", true, false, false, false},
                                           FailingStep{"SetDisplayMode", true, false, false, false},
                                           FailingStep{"CreateSurface", true, false, false, false},
                                           FailingStep{"GetAttachedSurface", true, true, false, false},
                                           FailingStep{"CreateClipper", true, true, true, false},
                                           FailingStep{"SetHWnd", true, true, true, true},
                                           FailingStep{"SetClipper", true, true, true, true}));

TEST(InitDirectDraw, TheModeComesFromTheConstructor) {
  Quiet quiet;
  DisplaySurface wrongDepth(nullptr, 480, 640, 16, 0);
  EXPECT_EQ(wrongDepth.InitDirectDraw(), 0);
  EXPECT_EQ(wrongDepth.primary, nullptr);
  DisplaySurface nonExclusive(nullptr, 200, 300, 8, 1);
  EXPECT_EQ(nonExclusive.InitDirectDraw(), 1);
  EXPECT_EQ(nonExclusive.primary->width(), 300);
  EXPECT_EQ(nonExclusive.primary->height(), 200);
}

TEST(Teardown, ReleasesEverythingOfAFullyLoadedDisplay) {
  // Run under the leak checker: everything made here must be freed by the destructor.
  Headless headless;
  ASSERT_EQ(headless.LoadObjects({{4, testing::PlainTile(3)}}, {{9, 0, 0, 4}}), 1);
  ASSERT_TRUE(headless.LoadRegion(PlainRegion(std::vector<EntityRecord>{{10, 10, 0, 0, 9}})));
  headless.display->PresentFrame();
  EXPECT_EQ(headless.display->primary->flipCount(), 1u);
  headless.display.reset();
}

// --- Object surfaces ---

std::vector<std::uint8_t> FrameSetOf(const std::vector<std::vector<std::uint8_t>>& frames) {
  return *authoring::WriteFrameSetPayload(frames);
}

std::vector<std::uint8_t> NrmlOf(const testing::IndexedImage& image) { return *authoring::EncodeNrmlFrame(image); }

testing::IndexedImage Stripes(std::uint32_t width, std::uint32_t height) {
  testing::IndexedImage image{width, height, {}};
  for (std::uint32_t i = 0; i < width * height; ++i) {
    image.pixels.push_back(static_cast<std::uint8_t>(i % 5 == 0 ? 0 : i % 256));
  }
  return image;
}

TEST(ObjectSurfaces, FrameZeroInTheTopLeftOfASurfaceTwoPixelsLarger) {
  Headless headless;
  const testing::IndexedImage first = Stripes(7, 3);
  const auto path = headless.dir.Write(
      "OBJEX.GFF",
      authoring::WriteContainer({{kTagBmp, {{4, FrameSetOf({NrmlOf(first), NrmlOf(Stripes(2, 2))})}}, false, 0}}));
  ASSERT_EQ(headless.display->LoadObjects(path.string()), 1);
  ASSERT_EQ(headless.display->objectSurfaces.size(), 1u);
  const platform::Surface& surface = *headless.display->objectSurfaces.at(4);
  EXPECT_EQ(surface.width(), 9);
  EXPECT_EQ(surface.height(), 5);
  for (std::int32_t y = 0; y < 3; ++y) {
    for (std::int32_t x = 0; x < 7; ++x) {
      EXPECT_EQ(surface.pixels().at(x, y), first.pixels[static_cast<std::size_t>(y) * 7 + x]);
    }
  }
}

TEST(ObjectSurfaces, SetsWithoutAFrame0WithPixelsGetNoSurfaceAndAreNotDrawn) {
  Headless headless;
  const std::vector<std::uint8_t> noPixels{0x00, 0x00, 0x04, 0x00, 0xFF};  // a 0 x 4 frame
  std::vector<std::uint8_t> shortDef = testing::ObjectPayload({20, 0, 0, 4});
  shortDef.pop_back();
  const auto path = headless.dir.Write(
      "OBJEX.GFF", authoring::WriteContainer({
                       {kTagBmp,
                        {{4, FrameSetOf({NrmlOf(Stripes(8, 8))})}, {6, FrameSetOf({})}, {7, FrameSetOf({noPixels})}},
                        false,
                        0},
                       {kTagOjff,
                        {{9, testing::ObjectPayload({9, 0, 0, 4})},
                         {20, shortDef},                                // 15 bytes: no definition
                         {21, testing::ObjectPayload({21, 0, 0, 99})},  // no such bitmap
                         {22, testing::ObjectPayload({22, 0, 0, 6})},   // a set without frames
                         {23, testing::ObjectPayload({23, 0, 0, 7})}},  // frame 0 without pixels
                        false,
                        0},
                   }));
  ASSERT_EQ(headless.display->LoadObjects(path.string()), 1);
  const auto& surfaces = headless.display->objectSurfaces;
  ASSERT_EQ(surfaces.size(), 3u);
  EXPECT_NE(surfaces.at(4), nullptr);
  EXPECT_EQ(surfaces.at(6), nullptr);
  EXPECT_EQ(surfaces.at(7), nullptr);

  ASSERT_TRUE(headless.LoadRegion(PlainRegion(std::vector<EntityRecord>{
      {50, 50, 0, 0, 20}, {50, 50, 0, 0, 21}, {50, 50, 0, 0, 22}, {50, 50, 0, 0, 23}, {50, 50, 0, 0, 30}})));
  EXPECT_EQ(CountBlts([&] { headless.display->PresentFrame(); }), 1200);
  EXPECT_EQ(headless.Screen().pixels, std::vector<std::uint8_t>(640 * 480, 1));
}

TEST(ObjectSurfaces, WithoutALibraryOnlyTilesAreDrawn) {
  Headless headless;
  ASSERT_TRUE(headless.LoadRegion(PlainRegion(std::vector<EntityRecord>{{50, 50, 0, 0, 9}})));
  EXPECT_EQ(CountBlts([&] { headless.display->PresentFrame(); }), 1200);
}

TEST(ObjectSurfaces, ALibraryWithoutBitmapsOrNoLibraryFailsToLoad) {
  Headless headless;
  const auto onlyDefs = headless.dir.Write(
      "DEFS.GFF", authoring::WriteContainer({{kTagOjff, {{9, testing::ObjectPayload({9, 0, 0, 4})}}, false, 0}}));
  EXPECT_EQ(headless.display->LoadObjects(onlyDefs.string()), 0);
  EXPECT_NE(headless.display->objects, nullptr);  // kept, with what it loaded
  EXPECT_EQ(headless.display->objects->objectDefs.size(), 1u);
  EXPECT_EQ(headless.display->LoadObjects((headless.dir.path() / "NONE.GFF").string()), 0);
  EXPECT_EQ(headless.display->objects, nullptr);
}

struct SurfaceFailure {
  const char* call;
};

void PrintTo(const SurfaceFailure& failure, std::ostream* out) { *out << failure.call; }

class ObjectSurfaceFailure : public ::testing::TestWithParam<SurfaceFailure> {};

TEST_P(ObjectSurfaceFailure, LeavesThatBitmapWithoutASurfaceAndTheLoadSucceeds) {
  Headless headless;
  platform::FailCall(GetParam().call, 2);  // the second of three bitmaps
  ASSERT_EQ(headless.LoadObjects({{1, Stripes(4, 4)}, {2, Stripes(4, 4)}, {3, Stripes(4, 4)}}, {}), 1);
  const auto& surfaces = headless.display->objectSurfaces;
  ASSERT_EQ(surfaces.size(), 3u);
  EXPECT_NE(surfaces.at(1), nullptr);
  EXPECT_EQ(surfaces.at(2), nullptr);
  EXPECT_NE(surfaces.at(3), nullptr);
}

INSTANTIATE_TEST_SUITE_P(Calls, ObjectSurfaceFailure,
                         ::testing::Values(SurfaceFailure{"CreateSurface"}, SurfaceFailure{"Lock"},
                                           SurfaceFailure{"Unlock"}));

TEST(ObjectSurfaces, IndexZeroIsTransparentAndEveryOtherIndexIncluding255IsDrawn) {
  Headless headless;
  testing::IndexedImage image{3, 1, {0, 255, 7}};
  ASSERT_EQ(headless.LoadObjects({{4, image}}, {{9, 0, 0, 4}}), 1);
  ASSERT_TRUE(headless.LoadRegion(PlainRegion(std::vector<EntityRecord>{{10, 20, 0, 0, 9}})));
  headless.display->PresentFrame();
  const Picture screen = headless.Screen();
  EXPECT_EQ(screen.at(10, 20), 1);
  EXPECT_EQ(screen.at(11, 20), 255);
  EXPECT_EQ(screen.at(12, 20), 7);
}

}  // namespace
}  // namespace karst::display_tests
