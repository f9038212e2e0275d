#include "tools/common/png_file.h"

#include <png.h>

#include <cstring>

namespace karst::tools {
namespace {

constexpr std::uint32_t kPaletteEntries = 256;

// A png_image as libpng wants it: zeroed, with its version set; freed when it goes.
class PngImage {
 public:
  PngImage() {
    std::memset(&image_, 0, sizeof image_);
    image_.version = PNG_IMAGE_VERSION;
  }
  PngImage(const PngImage&) = delete;
  PngImage& operator=(const PngImage&) = delete;
  ~PngImage() { png_image_free(&image_); }

  png_image* get() { return &image_; }

 private:
  png_image image_;
};

}  // namespace

PngPalette GreyPalette() {
  PngPalette palette{};
  for (std::size_t i = 0; i < kPaletteEntries; ++i) {
    palette[3 * i] = palette[3 * i + 1] = palette[3 * i + 2] = static_cast<std::uint8_t>(i);
  }
  return palette;
}

bool WriteIndexedPng(const std::string& path, std::uint32_t width, std::uint32_t height,
                     std::span<const std::uint8_t> pixels, const PngPalette& palette) {
  if (width == 0 || height == 0 || pixels.size() != std::size_t{width} * height ||
      width > PNG_UINT_31_MAX || height > PNG_UINT_31_MAX) {
    return false;
  }
  PngImage image;
  image.get()->width = width;
  image.get()->height = height;
  image.get()->format = PNG_FORMAT_RGB_COLORMAP;
  // All 256 entries, so libpng keeps 8 bits per pixel.
  image.get()->colormap_entries = kPaletteEntries;
  return png_image_write_to_file(image.get(), path.c_str(), 0, pixels.data(),
                                 static_cast<png_int_32>(width), palette.data()) != 0;
}

std::optional<IndexedPng> ReadIndexedPng(const std::string& path) {
  PngImage image;
  if (png_image_begin_read_from_file(image.get(), path.c_str()) == 0 ||
      (image.get()->format & PNG_FORMAT_FLAG_COLORMAP) == 0 ||
      image.get()->colormap_entries > kPaletteEntries) {
    return std::nullopt;
  }
  IndexedPng result;
  result.width = image.get()->width;
  result.height = image.get()->height;
  result.pixels.resize(std::size_t{result.width} * result.height);
  image.get()->format = PNG_FORMAT_RGB_COLORMAP;
  if (png_image_finish_read(image.get(), nullptr, result.pixels.data(),
                            static_cast<png_int_32>(result.width), result.palette.data()) == 0) {
    return std::nullopt;
  }
  return result;
}

}  // namespace karst::tools
