// The pieces of the region switch that do not need a display: what a region must hold to be
// shown, the palette conversion, and the copy of the tiles into the locked tile strip.
//
// PAL payload, read from its first byte (768 bytes):
//
//   bytes          width   content
//   3i, 3i+1, 3i+2 u8 x 3  red, green, blue of colour i (0-255), 6-bit values 0-63
//
// Tile strip: 16 rows; tile i is the 16 x 16 square whose left column is 16 x i. Row r of the
// strip starts r x pitch bytes after the first byte; the bytes behind the last tile of a row
// belong to the surface and are not written.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "platform/ddraw.h"

namespace karst {

struct FrameSet;
struct Region;

inline constexpr std::string_view kTileDiagnostic = "Tile with more than one frame!";

// Why `LoadZone` turns a loaded region away, in the order it looks: no map of 12288 bytes, no
// palette of 768 bytes, no tiles. Nothing when the region can be shown.
std::optional<std::string_view> RegionRejection(const Region& region);

// The 256 entries made from a palette payload of at least 768 bytes: each 6-bit component v
// becomes floor(v x 255 / 63) kept to 8 bits (64 wraps to 3); the flags are 0.
platform::PaletteTable ConvertPalette(std::span<const std::uint8_t> paletteData);

// Copies frame 0 of every tile into the 16 rows of `strip`, `pitch` bytes apart; `strip` must
// hold 16 rows of at least 16 x `tiles.size()` bytes. A tile whose frame 0 is not 16 x 16 gives
// the part that overlaps the square, the rest index 0; a tile without frames or pixels is all
// index 0. A tile with more than one frame sends `kTileDiagnostic` to the debug channel once
// for every row. False, with nothing written, when `strip` is too small.
bool CopyTilesToStrip(std::span<const FrameSet> tiles, std::span<std::uint8_t> strip,
                      std::size_t pitch);

}  // namespace karst
