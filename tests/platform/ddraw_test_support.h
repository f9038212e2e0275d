// Helpers for the DirectDraw tests: a headless display, small surfaces painted from pictures
// (one character per pixel, its code is the palette index) and read back the same way.
#pragma once

#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ddraw.h"
#include "platform/fault_injection.h"

namespace karst::platform::testing {

// A headless DirectDraw object in a mode of `width` x `height`.
inline std::unique_ptr<DirectDraw> MakeHeadless(std::uint32_t width = 640, std::uint32_t height = 480) {
  std::unique_ptr<DirectDraw> ddraw;
  EXPECT_EQ(DirectDrawCreate(ddraw), 0);
  EXPECT_EQ(ddraw->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), 0);
  EXPECT_EQ(ddraw->SetDisplayMode(width, height, 8), 0);
  return ddraw;
}

inline std::unique_ptr<Surface> MakeSurface(DirectDraw& ddraw, std::uint32_t width, std::uint32_t height) {
  std::unique_ptr<Surface> surface;
  EXPECT_EQ(ddraw.CreateSurface(
                SurfaceDesc{DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH, height, width, DDSCAPS_OFFSCREENPLAIN, 0}, surface),
            0);
  return surface;
}

inline std::unique_ptr<Surface> MakePrimary(DirectDraw& ddraw) {
  std::unique_ptr<Surface> primary;
  EXPECT_EQ(ddraw.CreateSurface(SurfaceDesc{DDSD_CAPS | DDSD_BACKBUFFERCOUNT, 0, 0,
                                            DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX, 1},
                                primary),
            0);
  return primary;
}

// Writes the picture's characters into the top-left corner of the surface through a lock.
inline void Paint(Surface& surface, const std::vector<std::string>& rows) {
  LockedMemory memory{};
  ASSERT_EQ(surface.Lock(nullptr, memory, DDLOCK_WAIT), 0);
  for (std::size_t y = 0; y < rows.size(); ++y) {
    for (std::size_t x = 0; x < rows[y].size(); ++x) {
      memory.pixels[y * static_cast<std::size_t>(memory.pitch) + x] = static_cast<std::uint8_t>(rows[y][x]);
    }
  }
  ASSERT_EQ(surface.Unlock(nullptr), 0);
}

// Fills every pixel with `value`.
inline void Fill(Surface& surface, char value) {
  Paint(surface, std::vector<std::string>(static_cast<std::size_t>(surface.height()),
                                          std::string(static_cast<std::size_t>(surface.width()), value)));
}

// The surface's pixels as a picture.
inline std::vector<std::string> Picture(const Surface& surface) {
  const PixelView view = surface.pixels();
  std::vector<std::string> rows;
  for (std::int32_t y = 0; y < view.height; ++y) {
    std::string row;
    for (std::int32_t x = 0; x < view.width; ++x) {
      row += static_cast<char>(view.at(x, y));
    }
    rows.push_back(row);
  }
  return rows;
}

// Every byte of the surface's memory, the bytes between a row's end and the next row included.
inline std::vector<std::uint8_t> Bytes(const Surface& surface) {
  const PixelView view = surface.pixels();
  return std::vector<std::uint8_t>(view.pixels, view.pixels + static_cast<std::size_t>(view.pitch) * view.height);
}

// Disarms the fault switch before and after a test.
class CleanFaults {
 public:
  CleanFaults() { ClearFailures(); }
  ~CleanFaults() { ClearFailures(); }
  CleanFaults(const CleanFaults&) = delete;
  CleanFaults& operator=(const CleanFaults&) = delete;
};

}  // namespace karst::platform::testing
