// Helpers for the display tests: a headless display set up like the viewer's, regions and object
// libraries loaded into it from files written with authoring/, the frame on screen as a picture,
// and a count of the blits a piece of drawing makes.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "display/display_surface.h"
#include "platform/ddraw.h"
#include "platform/fault_injection.h"
#include "platform/message_box.h"
#include "tests/support/region_picture.h"
#include "tests/support/temp_dir.h"

namespace karst::display_tests {

using testing::BitmapRecord;
using testing::EntityRecord;
using testing::ObjectRecord;
using testing::Picture;
using testing::RegionSpec;

// A palette payload whose colour i is (i, i, i) in 6 bits, wrapped at 64.
inline std::vector<std::uint8_t> GreyPalette() {
  std::vector<std::uint8_t> bytes;
  for (int i = 0; i < 256; ++i) {
    for (int component = 0; component < 3; ++component) {
      bytes.push_back(static_cast<std::uint8_t>(i % 64));
    }
  }
  return bytes;
}

// A map whose every cell holds `tile`.
inline std::vector<std::uint8_t> UniformMap(std::uint8_t tile) { return std::vector<std::uint8_t>(12288, tile); }

// A region of one tile of index 1 everywhere, for drawing objects on.
inline RegionSpec PlainRegion(std::optional<std::vector<EntityRecord>> entities) {
  return RegionSpec{GreyPalette(), {testing::PlainTile(1)}, UniformMap(0), std::nullopt, std::move(entities)};
}

// Captures message boxes and disarms the fault switch for the test's duration.
class Quiet {
 public:
  Quiet() {
    platform::ClearFailures();
    platform::CaptureMessageBoxes(true);
  }
  ~Quiet() {
    platform::ClearFailures();
    platform::CaptureMessageBoxes(false);
  }
  Quiet(const Quiet&) = delete;
  Quiet& operator=(const Quiet&) = delete;
};

// A display as the shell makes it, but without a window: flips do not wait and the presented
// frame stays in memory.
class Headless {
 public:
  explicit Headless(std::int32_t width = 640, std::int32_t height = 480)
      : display(std::make_unique<DisplaySurface>(nullptr, height, width, 8, 0)) {
    display->report = LoadReport::Into(notes);
    EXPECT_EQ(display->InitDirectDraw(), 1);
  }

  bool LoadRegion(const RegionSpec& region, const std::string& name = "RGN01.GFF") {
    const auto path = dir.Write(name, testing::WriteRegionFile(region));
    return display->LoadZone(path.string().c_str());
  }

  std::int32_t LoadObjects(const std::vector<BitmapRecord>& bitmaps, const std::vector<ObjectRecord>& objects) {
    const auto path = dir.Write("OBJEX.GFF", testing::WriteObjectFile(bitmaps, objects));
    return display->LoadObjects(path.string());
  }

  // The frame on screen: the primary's pixels after the last flip.
  Picture Screen() const { return PictureOf(*display->primary); }

  static Picture PictureOf(const platform::Surface& surface) {
    const platform::PixelView view = surface.pixels();
    Picture picture{view.width, view.height, {}};
    for (std::int32_t y = 0; y < view.height; ++y) {
      for (std::int32_t x = 0; x < view.width; ++x) {
        picture.pixels.push_back(view.at(x, y));
      }
    }
    return picture;
  }

  testing::TempDir dir;
  Quiet quiet;
  // What the display's loads noted.
  std::vector<LoadNote> notes;
  std::unique_ptr<DisplaySurface> display;
};

// The blits `action` makes. A failure armed far ahead is never reached; how far ahead it still
// lies afterwards tells how many blits went by.
inline int CountBlts(const std::function<void()>& action) {
  constexpr int kFarAhead = 100000;
  platform::FailCall("Blt", kFarAhead);
  action();
  int probes = 1;
  while (!platform::ShouldFail("Blt")) {
    ++probes;
  }
  return kFarAhead - probes;
}

// Where two pictures first differ, for a readable failure.
inline std::string FirstDifference(const Picture& actual, const Picture& expected) {
  if (actual.width != expected.width || actual.height != expected.height) {
    return "size " + std::to_string(actual.width) + " x " + std::to_string(actual.height) + " instead of " +
           std::to_string(expected.width) + " x " + std::to_string(expected.height);
  }
  for (std::int32_t y = 0; y < actual.height; ++y) {
    for (std::int32_t x = 0; x < actual.width; ++x) {
      if (actual.at(x, y) != expected.at(x, y)) {
        return "pixel (" + std::to_string(x) + ", " + std::to_string(y) + ") is " + std::to_string(actual.at(x, y)) +
               ", expected " + std::to_string(expected.at(x, y));
      }
    }
  }
  return "";
}

}  // namespace karst::display_tests
