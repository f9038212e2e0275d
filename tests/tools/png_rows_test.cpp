// Indexed PNGs written row by row with every pixel enlarged: byte for byte the file libpng's
// whole-image writer makes of the picture enlarged in memory, at every scale; and a failed write
// leaves nothing behind.
#include <png.h>

#include <gtest/gtest.h>

#include <cstdint>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tools/pictures/png_file.h"

namespace karst {
namespace {

using karst::testing::ReadFileBytes;
using karst::testing::TempDir;

// Pixels from a fixed seed: runs of one index beside noise, so the rows filter and compress
// unlike each other.
std::vector<std::uint8_t> Pixels(std::uint32_t width, std::uint32_t height, std::uint32_t seed) {
  std::vector<std::uint8_t> pixels(std::size_t{width} * height);
  std::uint32_t state = seed;
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    state = state * 1664525u + 1013904223u;
    pixels[i] = (i / 7) % 3 == 0 ? static_cast<std::uint8_t>(i / 7) : static_cast<std::uint8_t>(state >> 24);
  }
  return pixels;
}

tools::PngPalette Palette(std::uint32_t seed) {
  tools::PngPalette palette{};
  for (std::size_t i = 0; i < palette.size(); ++i) {
    palette[i] = static_cast<std::uint8_t>(i * 37 + seed);
  }
  return palette;
}

// The plain way: the whole picture enlarged in memory, then libpng's whole-image writer.
std::vector<std::uint8_t> Reference(std::uint32_t width, std::uint32_t height, const std::vector<std::uint8_t>& pixels,
                                    const tools::PngPalette& palette, std::uint32_t scale) {
  std::vector<std::uint8_t> enlarged;
  for (std::uint32_t y = 0; y < height * scale; ++y) {
    for (std::uint32_t x = 0; x < width * scale; ++x) {
      enlarged.push_back(pixels[std::size_t{y / scale} * width + x / scale]);
    }
  }
  png_image image;
  std::memset(&image, 0, sizeof image);
  image.version = PNG_IMAGE_VERSION;
  image.width = width * scale;
  image.height = height * scale;
  image.format = PNG_FORMAT_RGB_COLORMAP;
  image.colormap_entries = 256;
  png_alloc_size_t size = 0;
  EXPECT_NE(png_image_write_to_memory(&image, nullptr, &size, 0, enlarged.data(), 0, palette.data()), 0);
  std::vector<std::uint8_t> file(size);
  EXPECT_NE(png_image_write_to_memory(&image, file.data(), &size, 0, enlarged.data(), 0, palette.data()), 0);
  png_image_free(&image);
  file.resize(size);
  return file;
}

struct ScaleCase {
  std::uint32_t width;
  std::uint32_t height;
  std::uint32_t scale;
};

TEST(PngRows, EveryScaleGivesTheBytesOfThePictureEnlargedWhole) {
  const TempDir dir;
  const std::string path = (dir.path() / "out.png").string();
  for (const ScaleCase& c :
       {ScaleCase{1, 1, 1}, ScaleCase{1, 1, 16}, ScaleCase{2, 3, 2}, ScaleCase{17, 5, 3}, ScaleCase{640, 480, 1},
        ScaleCase{640, 48, 2}, ScaleCase{128, 96, 7}, ScaleCase{2048, 6, 15}, ScaleCase{2048, 6, 16},
        ScaleCase{300, 1, 11}, ScaleCase{62'500, 1, 16}}) {
    const std::vector<std::uint8_t> pixels = Pixels(c.width, c.height, c.width + c.scale);
    const tools::PngPalette palette = Palette(c.scale);
    ASSERT_EQ(tools::WriteIndexedPng(path, c.width, c.height, pixels, palette, c.scale), "");
    EXPECT_TRUE(ReadFileBytes(path) == Reference(c.width, c.height, pixels, palette, c.scale))
        << c.width << " x " << c.height << " at scale " << c.scale;
  }
}

// POSIX only: /dev/full.
#ifndef _WIN32
struct FailureCase {
  std::string target;
  std::uint32_t width;
  std::uint32_t height;
  std::uint32_t scale;
  std::string error;
};

TEST(PngRows, AFailedWriteSaysWhyAndLeavesNoFile) {
  const TempDir dir;
  const std::string missing = (dir.path() / "no such folder" / "out.png").string();
  const std::string out = (dir.path() / "out.png").string();
  for (const FailureCase& c : {
           // A full device fails on the first bytes the encoder hands over, and the rows stop.
           FailureCase{"/dev/full", 64, 64, 16, "cannot be written: No space left on device"},
           FailureCase{missing, 4, 4, 1, "cannot be created: No such file or directory"},
           FailureCase{out, 4, 4, 0, "no picture to write"},
           FailureCase{out, 0, 4, 2, "no picture to write"},
           // 1,000,000 columns is the most libpng writes by default; one more is refused.
           FailureCase{out, 62'501, 1, 16, "cannot be encoded: Invalid IHDR data"},
       }) {
    const std::vector<std::uint8_t> pixels = Pixels(c.width, c.height, 1);
    EXPECT_EQ(tools::WriteIndexedPng(c.target, c.width, c.height, pixels, Palette(0), c.scale), c.error) << c.target;
    EXPECT_TRUE(std::filesystem::is_empty(dir.path())) << c.target;
  }
}
#endif  // _WIN32

}  // namespace
}  // namespace karst
