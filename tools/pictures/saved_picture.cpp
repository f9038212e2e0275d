#include "tools/pictures/saved_picture.h"

#include <png.h>

#include <csetjmp>
#include <cstring>

namespace karst::tools {
namespace {

// Ancillary chunks (text, colour profiles) may not inflate beyond this; a frame's pixels are
// bounded by the size check instead.
constexpr png_alloc_size_t kMostChunkBytes = 8u << 20;
constexpr png_uint_32 kMostCachedChunks = 1000;

struct ReadSource {
  std::span<const std::uint8_t> bytes;
  std::size_t position = 0;
  std::string error;
};

void ReadBytes(png_structp png, png_bytep into, std::size_t length) {
  auto& source = *static_cast<ReadSource*>(png_get_io_ptr(png));
  if (source.bytes.size() - source.position < length) {
    png_error(png, "the file ends early");
  }
  std::memcpy(into, source.bytes.data() + source.position, length);
  source.position += length;
}

[[noreturn]] void FailReading(png_structp png, png_const_charp message) {
  auto& source = *static_cast<ReadSource*>(png_get_error_ptr(png));
  if (source.error.empty()) {
    source.error = message;
  }
  png_longjmp(png, 1);
}

void IgnoreReadWarning(png_structp, png_const_charp) {}

class PngReader {
 public:
  explicit PngReader(ReadSource& source)
      : png_(png_create_read_struct(PNG_LIBPNG_VER_STRING, &source, FailReading, IgnoreReadWarning)),
        info_(png_ != nullptr ? png_create_info_struct(png_) : nullptr) {
    if (png_ != nullptr) {
      png_set_read_fn(png_, &source, ReadBytes);
    }
  }
  PngReader(const PngReader&) = delete;
  PngReader& operator=(const PngReader&) = delete;
  ~PngReader() { png_destroy_read_struct(&png_, &info_, nullptr); }

  png_structp png() const { return png_; }
  png_infop info() const { return info_; }

 private:
  png_structp png_;
  png_infop info_;
};

enum class ReadOutcome { kRead, kTooLarge, kFailed };

// Reads header, size check, transformations and rows. A libpng error jumps back here; the
// vectors it fills are the caller's, so nothing here needs destroying.
ReadOutcome ReadInto(const PngReader& reader, const PictureLimits& limits, SavedPicture& picture) {
  png_structp png = reader.png();
  png_infop info = reader.info();
  if (setjmp(png_jmpbuf(png)) != 0) {
    return ReadOutcome::kFailed;
  }
  png_set_chunk_malloc_max(png, kMostChunkBytes);
  png_set_chunk_cache_max(png, kMostCachedChunks);
  png_read_info(png, info);
  picture.width = png_get_image_width(png, info);
  picture.height = png_get_image_height(png, info);
  if (picture.width > limits.side || picture.height > limits.side ||
      std::uint64_t{picture.width} * picture.height > limits.pixels) {
    return ReadOutcome::kTooLarge;
  }
  const int colourType = png_get_color_type(png, info);
  picture.transparency = (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
  picture.indexed = colourType == PNG_COLOR_TYPE_PALETTE;
  std::size_t channels = 1;
  if (picture.indexed) {
    png_set_packing(png);
    png_colorp entries = nullptr;
    int count = 0;
    png_get_PLTE(png, info, &entries, &count);
    picture.palette.resize(static_cast<std::size_t>(count) * 3);
    for (int i = 0; i < count; ++i) {
      picture.palette[3 * static_cast<std::size_t>(i)] = entries[i].red;
      picture.palette[3 * static_cast<std::size_t>(i) + 1] = entries[i].green;
      picture.palette[3 * static_cast<std::size_t>(i) + 2] = entries[i].blue;
    }
    picture.alpha.assign(static_cast<std::size_t>(count), 255);
    png_bytep transparency = nullptr;
    int transparent = 0;
    if (png_get_tRNS(png, info, &transparency, &transparent, nullptr) != 0) {
      for (int i = 0; i < transparent && i < count; ++i) {
        picture.alpha[static_cast<std::size_t>(i)] = transparency[i];
      }
    }
  } else {
    png_set_expand(png);
    png_set_strip_16(png);
    png_set_gray_to_rgb(png);
    png_set_add_alpha(png, 0xFF, PNG_FILLER_AFTER);
    channels = 4;
  }
  png_set_interlace_handling(png);
  png_read_update_info(png, info);
  std::vector<std::uint8_t>& pixels = picture.indexed ? picture.indices : picture.rgba;
  const std::size_t rowBytes = std::size_t{picture.width} * channels;
  if (png_get_rowbytes(png, info) != rowBytes) {
    png_error(png, "unexpected row layout");
  }
  pixels.resize(rowBytes * picture.height);
  std::vector<png_bytep> rows(picture.height);
  for (std::size_t y = 0; y < rows.size(); ++y) {
    rows[y] = pixels.data() + y * rowBytes;
  }
  png_read_image(png, rows.data());
  png_read_end(png, nullptr);
  return ReadOutcome::kRead;
}

}  // namespace

std::array<std::uint8_t, 4> SavedPicture::Colour(std::size_t i) const {
  if (!indexed) {
    return {rgba[4 * i], rgba[4 * i + 1], rgba[4 * i + 2], rgba[4 * i + 3]};
  }
  const std::size_t entry = indices[i];
  if (3 * entry + 2 >= palette.size()) {
    return {0, 0, 0, 255};
  }
  return {palette[3 * entry], palette[3 * entry + 1], palette[3 * entry + 2], alpha[entry]};
}

std::optional<SavedPicture> ReadSavedPicture(std::span<const std::uint8_t> bytes, const PictureLimits& limits,
                                             std::string& error) {
  if (bytes.size() < 8 || png_sig_cmp(bytes.data(), 0, 8) != 0) {
    error = "not a PNG picture";
    return std::nullopt;
  }
  ReadSource source{bytes, 0, {}};
  const PngReader reader(source);
  if (reader.info() == nullptr) {
    error = "cannot be read: out of memory";
    return std::nullopt;
  }
  SavedPicture picture;
  switch (ReadInto(reader, limits, picture)) {
    case ReadOutcome::kRead:
      return picture;
    case ReadOutcome::kTooLarge:
      error = std::to_string(picture.width) + " x " + std::to_string(picture.height) + " pixels: larger than a frame " +
              "may be (at most " + std::to_string(limits.side) + " pixels a side and " +
              std::to_string(limits.pixels >> 20) + " Mi pixels in all)";
      return std::nullopt;
    case ReadOutcome::kFailed:
      break;
  }
  error = "not a readable PNG picture: " + source.error;
  return std::nullopt;
}

}  // namespace karst::tools
