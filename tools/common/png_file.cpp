#include "tools/common/png_file.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <cstring>
#include <memory>

#include "tools/common/output_file.h"

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

std::string WriteIndexedPng(const std::string& target, std::uint32_t width, std::uint32_t height,
                            std::span<const std::uint8_t> pixels, const PngPalette& palette,
                            PngTransparency transparency) {
  if (width == 0 || height == 0 || pixels.size() != std::size_t{width} * height || width > PNG_UINT_31_MAX ||
      height > PNG_UINT_31_MAX) {
    return "no picture to write";
  }
  // Opened first: a place that cannot be written fails before the compression's work.
  OutputFile output(target);
  if (!output.error().empty()) {
    return output.error();
  }
  PngImage image;
  image.get()->width = width;
  image.get()->height = height;
  // All 256 entries, so libpng keeps 8 bits per pixel. With an alpha channel libpng writes a
  // tRNS chunk up to the last entry that is not opaque: entry 0 alone.
  image.get()->colormap_entries = kPaletteEntries;
  std::array<std::uint8_t, kPaletteEntries * 4> withAlpha{};
  const void* colormap = palette.data();
  if (transparency == PngTransparency::kIndexZero) {
    for (std::size_t i = 0; i < kPaletteEntries; ++i) {
      std::copy_n(palette.begin() + static_cast<std::ptrdiff_t>(3 * i), 3,
                  withAlpha.begin() + static_cast<std::ptrdiff_t>(4 * i));
      withAlpha[4 * i + 3] = i == 0 ? 0 : 255;
    }
    colormap = withAlpha.data();
  }
  image.get()->format =
      transparency == PngTransparency::kIndexZero ? PNG_FORMAT_RGBA_COLORMAP : PNG_FORMAT_RGB_COLORMAP;
  // Room for the largest PNG the image can give: only the pages written are ever touched, so a
  // single compression pass is enough.
  const png_alloc_size_t capacity = PNG_IMAGE_PNG_SIZE_MAX(*image.get());
  const auto buffer = std::make_unique_for_overwrite<std::uint8_t[]>(capacity);
  png_alloc_size_t size = capacity;
  if (png_image_write_to_memory(image.get(), buffer.get(), &size, 0, pixels.data(), static_cast<png_int_32>(width),
                                colormap) == 0) {
    return std::string("cannot be encoded: ") + image.get()->message;
  }
  return output.Finish(std::span<const std::uint8_t>(buffer.get(), size));
}

std::optional<IndexedPng> ReadIndexedPng(const std::string& path) {
  PngImage image;
  if (png_image_begin_read_from_file(image.get(), path.c_str()) == 0 ||
      (image.get()->format & PNG_FORMAT_FLAG_COLORMAP) == 0 || image.get()->colormap_entries > kPaletteEntries) {
    return std::nullopt;
  }
  IndexedPng result;
  result.width = image.get()->width;
  result.height = image.get()->height;
  result.pixels.resize(std::size_t{result.width} * result.height);
  // A tRNS chunk gives the image an alpha channel; read with it, nothing is composed over a
  // background and the indices stay as stored.
  std::array<std::uint8_t, kPaletteEntries * 4> colormap{};
  colormap.fill(255);
  const bool alpha = (image.get()->format & PNG_FORMAT_FLAG_ALPHA) != 0;
  image.get()->format = alpha ? PNG_FORMAT_RGBA_COLORMAP : PNG_FORMAT_RGB_COLORMAP;
  if (png_image_finish_read(image.get(), nullptr, result.pixels.data(), static_cast<png_int_32>(result.width),
                            colormap.data()) == 0) {
    return std::nullopt;
  }
  const std::size_t channels = alpha ? 4 : 3;
  for (std::size_t i = 0; i < kPaletteEntries; ++i) {
    std::copy_n(colormap.begin() + static_cast<std::ptrdiff_t>(channels * i), 3,
                result.palette.begin() + static_cast<std::ptrdiff_t>(3 * i));
    result.alpha[i] = alpha ? colormap[channels * i + 3] : 255;
  }
  return result;
}

}  // namespace karst::tools
