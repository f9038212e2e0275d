#include "tools/pictures/png_file.h"

#include <png.h>

#include <algorithm>
#include <array>
#include <csetjmp>
#include <cstring>

#include "tools/files/output_file.h"

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

// Where libpng's calls end up: the bytes go to the output file or into memory, its errors come
// back here.
struct EncodeSink {
  OutputFile* output = nullptr;
  std::vector<std::uint8_t>* memory = nullptr;
  std::string error;
};

void WriteBytes(png_structp png, png_bytep data, std::size_t length) {
  auto& sink = *static_cast<EncodeSink*>(png_get_io_ptr(png));
  if (!sink.error.empty()) {
    return;
  }
  if (sink.memory != nullptr) {
    sink.memory->insert(sink.memory->end(), data, data + length);
  } else {
    sink.error = sink.output->Write(std::span<const std::uint8_t>(data, length));
  }
}

// The output is flushed once, when it is finished.
void FlushNothing(png_structp) {}

[[noreturn]] void FailEncoding(png_structp png, png_const_charp message) {
  auto& sink = *static_cast<EncodeSink*>(png_get_error_ptr(png));
  if (sink.error.empty()) {
    sink.error = std::string("cannot be encoded: ") + message;
  }
  png_longjmp(png, 1);
}

void IgnoreWarning(png_structp, png_const_charp) {}

// libpng's write state and its header, destroyed together.
class PngWriter {
 public:
  explicit PngWriter(EncodeSink& sink)
      : png_(png_create_write_struct(PNG_LIBPNG_VER_STRING, &sink, FailEncoding, IgnoreWarning)),
        info_(png_ != nullptr ? png_create_info_struct(png_) : nullptr) {
    if (png_ != nullptr) {
      png_set_write_fn(png_, &sink, WriteBytes, FlushNothing);
    }
  }
  PngWriter(const PngWriter&) = delete;
  PngWriter& operator=(const PngWriter&) = delete;
  ~PngWriter() { png_destroy_write_struct(&png_, &info_); }

  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

 private:
  png_structp png_;
  png_infop info_;
};

struct ScaledRows {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::span<const std::uint8_t> pixels;
  std::uint32_t scale = 1;
  std::uint8_t* enlarged = nullptr;  // room for one enlarged row
};

// Every row enlarged once, then handed to libpng `scale` times. Stops once a write has failed.
void WriteRows(png_structp png, const ScaledRows& rows, const EncodeSink& sink) {
  for (std::uint32_t y = 0; y < rows.height && sink.error.empty(); ++y) {
    const std::uint8_t* source = rows.pixels.data() + std::size_t{y} * rows.width;
    for (std::uint32_t x = 0; x < rows.width; ++x) {
      std::fill_n(rows.enlarged + std::size_t{x} * rows.scale, rows.scale, source[x]);
    }
    for (std::uint32_t copy = 0; copy < rows.scale && sink.error.empty(); ++copy) {
      png_write_row(png, rows.enlarged);
    }
  }
}

// The file as libpng's whole-image writer lays it out (png_image_write with a colour map, no
// flags): IHDR, sRGB, PLTE (then tRNS when index 0 shows through), the rows with libpng's default filters and
// compression, IEND. A libpng error jumps back into this function, which holds nothing that needs destroying.
bool Encode(const PngWriter& writer, const ScaledRows& rows, const png_color* colours, PngTransparency transparency,
            const EncodeSink& sink) {
  if (setjmp(png_jmpbuf(writer.png())) != 0) {
    return false;
  }
  png_set_benign_errors(writer.png(), 0);
  png_set_IHDR(writer.png(), writer.info(), rows.width * rows.scale, rows.height * rows.scale, 8,
               PNG_COLOR_TYPE_PALETTE, PNG_INTERLACE_NONE, PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_set_PLTE(writer.png(), writer.info(), colours, static_cast<int>(kPaletteEntries));
  if (transparency == PngTransparency::kIndexZero) {
    png_byte clear = 0;
    png_set_tRNS(writer.png(), writer.info(), &clear, 1, nullptr);
  }
  png_set_sRGB(writer.png(), writer.info(), PNG_sRGB_INTENT_PERCEPTUAL);
  png_write_info(writer.png(), writer.info());
  WriteRows(writer.png(), rows, sink);
  if (!sink.error.empty()) {
    return false;
  }
  png_write_end(writer.png(), writer.info());
  return sink.error.empty();
}

// The colours and one enlarged row for Encode, then the encoding into `sink`.
bool EncodeInto(EncodeSink& sink, ScaledRows rows, const PngPalette& palette, PngTransparency transparency) {
  const PngWriter writer(sink);
  if (writer.info() == nullptr) {
    sink.error = "cannot be encoded: out of memory";
    return false;
  }
  std::array<png_color, kPaletteEntries> colours{};
  for (std::size_t i = 0; i < colours.size(); ++i) {
    colours[i] = png_color{palette[3 * i], palette[3 * i + 1], palette[3 * i + 2]};
  }
  std::vector<std::uint8_t> enlarged(std::size_t{rows.width} * rows.scale);
  rows.enlarged = enlarged.data();
  return Encode(writer, rows, colours.data(), transparency, sink);
}

// An RGB picture as libpng's whole-image writer lays it out: IHDR, sRGB, the rows, IEND. A libpng
// error jumps back into this function, which holds nothing that needs destroying.
bool EncodeRgb(const PngWriter& writer, std::uint32_t width, std::uint32_t height, std::span<const std::uint8_t> rgb,
               const EncodeSink& sink) {
  if (setjmp(png_jmpbuf(writer.png())) != 0) {
    return false;
  }
  png_set_benign_errors(writer.png(), 0);
  png_set_IHDR(writer.png(), writer.info(), width, height, 8, PNG_COLOR_TYPE_RGB, PNG_INTERLACE_NONE,
               PNG_COMPRESSION_TYPE_BASE, PNG_FILTER_TYPE_BASE);
  png_set_sRGB(writer.png(), writer.info(), PNG_sRGB_INTENT_PERCEPTUAL);
  png_write_info(writer.png(), writer.info());
  for (std::uint32_t y = 0; y < height && sink.error.empty(); ++y) {
    // libpng takes the row as writable but only reads it.
    png_write_row(writer.png(), const_cast<std::uint8_t*>(rgb.data() + std::size_t{y} * width * 3));
  }
  if (!sink.error.empty()) {
    return false;
  }
  png_write_end(writer.png(), writer.info());
  return sink.error.empty();
}

}  // namespace

PngPalette GreyPalette() {
  PngPalette palette{};
  for (std::size_t i = 0; i < kPaletteEntries; ++i) {
    palette[3 * i] = palette[3 * i + 1] = palette[3 * i + 2] = static_cast<std::uint8_t>(i);
  }
  return palette;
}

std::string WriteIndexedPng(const std::string& target, std::uint32_t width, std::uint32_t height,
                            std::span<const std::uint8_t> pixels, const PngPalette& palette, std::uint32_t scale,
                            PngTransparency transparency) {
  if (width == 0 || height == 0 || scale == 0 || pixels.size() != std::size_t{width} * height) {
    return "no picture to write";
  }
  if (std::uint64_t{width} * scale > PNG_UINT_31_MAX || std::uint64_t{height} * scale > PNG_UINT_31_MAX) {
    return "too large for a PNG";
  }
  // Opened first: a place that cannot be written fails before the compression's work.
  OutputFile output(target);
  if (!output.error().empty()) {
    return output.error();
  }
  EncodeSink sink{&output, nullptr, {}};
  if (!EncodeInto(sink, ScaledRows{width, height, pixels, scale, nullptr}, palette, transparency)) {
    return sink.error;
  }
  return output.Finish({});
}

std::optional<std::vector<std::uint8_t>> EncodeIndexedPng(std::uint32_t width, std::uint32_t height,
                                                          std::span<const std::uint8_t> pixels,
                                                          const PngPalette& palette, PngTransparency transparency) {
  if (width == 0 || height == 0 || pixels.size() != std::size_t{width} * height || width > PNG_UINT_31_MAX ||
      height > PNG_UINT_31_MAX) {
    return std::nullopt;
  }
  std::vector<std::uint8_t> bytes;
  EncodeSink sink{nullptr, &bytes, {}};
  if (!EncodeInto(sink, ScaledRows{width, height, pixels, 1, nullptr}, palette, transparency)) {
    return std::nullopt;
  }
  return bytes;
}

std::string WriteRgbPng(const std::string& target, std::uint32_t width, std::uint32_t height,
                        std::span<const std::uint8_t> rgb) {
  if (width == 0 || height == 0 || rgb.size() != std::size_t{width} * height * 3) {
    return "no picture to write";
  }
  if (width > PNG_UINT_31_MAX / 3 || height > PNG_UINT_31_MAX) {
    return "too large for a PNG";
  }
  OutputFile output(target);
  if (!output.error().empty()) {
    return output.error();
  }
  EncodeSink sink{&output, nullptr, {}};
  const PngWriter writer(sink);
  if (writer.info() == nullptr) {
    return "cannot be encoded: out of memory";
  }
  if (!EncodeRgb(writer, width, height, rgb, sink)) {
    return sink.error;
  }
  return output.Finish({});
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
