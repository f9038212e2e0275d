// Pictures as paint programs save them, read back from PNG bytes for `karst-gff pack`: a palette
// image keeps its indices and its palette as stored; every other kind (greyscale, RGB, with or
// without alpha, 1 to 16 bits) becomes 8-bit RGBA.
//
// The header is read first and the size checked before any pixel is allocated; libpng's limits
// on ancillary chunks keep a small file from inflating into a large block of text or profile.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

namespace karst::tools {

struct SavedPicture {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  // A palette image: `indices` (one a pixel), `palette` (3 bytes an entry, as many entries as the
  // file has) and `alpha` (one an entry; 255 past the tRNS chunk). Otherwise `rgba`, 4 bytes a pixel.
  bool indexed = false;
  std::vector<std::uint8_t> indices;
  std::vector<std::uint8_t> palette;
  std::vector<std::uint8_t> alpha;
  std::vector<std::uint8_t> rgba;
  // The file can say a pixel is transparent: it has an alpha channel or a tRNS chunk. Without
  // one, every pixel reads as opaque, whatever the picture was before it was saved.
  bool transparency = false;

  // The colour of pixel i as red, green, blue, alpha.
  std::array<std::uint8_t, 4> Colour(std::size_t i) const;
};

// The largest side and pixel count a picture may have; anything larger is refused before its
// pixels are allocated.
struct PictureLimits {
  std::uint32_t side = 65535;
  std::uint64_t pixels = 16ull << 20;
};

// The picture in `bytes`; nothing, with the reason in `error` ("not a PNG picture: ...", "70000 x
// 2 pixels: a side of at most 65535 pixels"), when it cannot be read or is too large.
std::optional<SavedPicture> ReadSavedPicture(std::span<const std::uint8_t> bytes, const PictureLimits& limits,
                                             std::string& error);

}  // namespace karst::tools
