// A picture as a paint program saves it without a palette: RGB (3 channels) or RGBA (4), `pixels`
// holding `channels` bytes a pixel, row after row.
#pragma once

#include <png.h>

#include <cstdint>
#include <cstring>
#include <vector>

#include <gtest/gtest.h>

namespace karst::testing {

inline std::vector<std::uint8_t> TrueColourPngOf(std::uint32_t width, std::uint32_t height,
                                                 const std::vector<std::uint8_t>& pixels, int channels) {
  png_image png;
  std::memset(&png, 0, sizeof png);
  png.version = PNG_IMAGE_VERSION;
  png.width = width;
  png.height = height;
  png.format = channels == 4 ? PNG_FORMAT_RGBA : PNG_FORMAT_RGB;
  png_alloc_size_t size = 0;
  png_image_write_to_memory(&png, nullptr, &size, 0, pixels.data(), 0, nullptr);
  std::vector<std::uint8_t> bytes(size);
  EXPECT_NE(png_image_write_to_memory(&png, bytes.data(), &size, 0, pixels.data(), 0, nullptr), 0);
  bytes.resize(size);
  return bytes;
}

}  // namespace karst::testing
