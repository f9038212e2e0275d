// The pieces of the region switch that do not need a display: what a region must hold to be
// shown, the palette conversion, and the copy of the tiles into the locked tile strip.
//
// RegionRejections is the one rule for what a region must hold: the switch (LoadZone) turns a
// region away by it, and the tools name what it finds.
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
#include <vector>

#include "gff/format.h"
#include "gff/frame_set.h"
#include "gff/load_report.h"
#include "platform/ddraw.h"

namespace karst {

struct FrameSet;
struct Region;

// The tile strip is one surface, 16 pixels wide for every tile.
inline constexpr std::int32_t kMostTilesInStrip = static_cast<std::int32_t>(platform::kLargestSurfaceSide) / kTileSize;

// Every reason `LoadZone` has to turn a loaded region away, in the order it looks; empty when the
// region can be shown:
//   kMapRejected      no map of 12288 bytes: the switch fails without a box of its own
//   kPaletteRejected  no palette of 768 bytes: "Error loading palette!"
//   kTilesRejected    no tiles, or more than kMostTilesInStrip: "Error loading tiles"
// A note names the chunk taken and has its size as value, or no chunk when there was none; the
// tiles' note has their number as value.
std::vector<LoadNote> RegionRejections(const Region& region);

// The tile a map cell's index draws: an index at or past the tile count draws tile 0.
constexpr std::int32_t DrawnTile(std::int32_t index, std::int32_t tileCount) { return index < tileCount ? index : 0; }

// Whether a tile's frame is the whole square the strip copies; any other size gives the part that
// overlaps the square, and index 0 for the rest.
constexpr bool FillsTileSquare(const Frame& frame) { return frame.width == kTileSize && frame.height == kTileSize; }

// Whether a tile is one the strip sends its diagnostic for, once per row: it has several frames.
bool HasSeveralFrames(const FrameSet& tile);

// The 256 entries made from a palette payload of at least 768 bytes: each 6-bit component v
// becomes floor(v x 255 / 63) kept to 8 bits (64 wraps to 3); the flags are 0.
platform::PaletteTable ConvertPalette(std::span<const std::uint8_t> paletteData);

// ConvertPalette's inverse, for a palette edited in 8-bit colours: the 6-bit value that gives the
// 8-bit component `component`, or nothing when none gives it exactly.
std::optional<std::uint8_t> SixBitComponent(std::uint8_t component);

// The 8-bit component nearest `component` that a 6-bit value gives (of two as near, the lower).
std::uint8_t NearestConvertedComponent(std::uint8_t component);

// Copies frame 0 of every tile into the 16 rows of `strip`, `pitch` bytes apart; `strip` must
// hold 16 rows of at least 16 x `tiles.size()` bytes. A tile whose frame 0 is not 16 x 16 gives
// the part that overlaps the square, the rest index 0; a tile without frames or pixels is all
// index 0. A tile with several frames is noted (kTileWithSeveralFrames, its index as the value)
// once for every row. False, with nothing written, when `strip` is too small.
bool CopyTilesToStrip(std::span<const FrameSet> tiles, std::span<std::uint8_t> strip, std::size_t pitch,
                      const LoadReport& report);

}  // namespace karst
