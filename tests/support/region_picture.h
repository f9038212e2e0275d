// Regions and object libraries written for the drawing tests, and the pictures they should
// give, composed pixel by pixel straight from the images that went into the files (no surface,
// no blit), so the viewer's drawing is checked against an independent result.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "authoring/frame_encoders.h"
#include "authoring/record_writers.h"

namespace karst::testing {

using authoring::IndexedImage;

using authoring::EntityRecord;

// What a region file holds; a missing value leaves its chunk out. Each tile is one TILE chunk
// whose frame set holds the image as its only frame (NRML).
struct RegionSpec {
  std::optional<std::vector<std::uint8_t>> palette;
  std::vector<IndexedImage> tiles;
  std::optional<std::vector<std::uint8_t>> map;
  std::optional<std::string> name;
  std::optional<std::vector<EntityRecord>> entities;
};

// One OJFF chunk: the fields the viewer reads, the rest 0.
struct ObjectRecord {
  std::uint32_t number = 0;
  std::uint16_t hotspotX = 0;
  std::uint16_t hotspotY = 0;
  std::uint16_t bitmapId = 0;
};

// One "BMP " chunk whose frame set holds `image` as frame 0 (NRML).
struct BitmapRecord {
  std::uint32_t number = 0;
  IndexedImage image;
};

std::vector<std::uint8_t> WriteRegionFile(const RegionSpec& region);
std::vector<std::uint8_t> WriteObjectFile(const std::vector<BitmapRecord>& bitmaps,
                                          const std::vector<ObjectRecord>& objects);

// The 16-byte OJFF payload and the 8-byte ETAB record.
std::vector<std::uint8_t> ObjectPayload(const ObjectRecord& object);

// A 16 x 16 tile whose pixel (x, y) is (seed + 3x + 17y) mod 256.
IndexedImage PatternTile(std::uint8_t seed);
// A 16 x 16 tile of one index.
IndexedImage PlainTile(std::uint8_t index);

// A picture of palette indices, `width` bytes a row.
struct Picture {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> pixels;

  std::uint8_t at(std::int32_t x, std::int32_t y) const {
    return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
  }
};

// The tile layer of `region` seen from (viewX, viewY) on a screen of width x height: every
// screen pixel is the pixel of the map cell under it; a map byte at or beyond the tile count
// shows tile 0.
Picture ComposeTiles(const RegionSpec& region, std::int32_t viewX, std::int32_t viewY, std::int32_t width,
                     std::int32_t height);

// Puts every entity's bitmap over `picture` in table order: anchored at its hotspot, lifted by
// z, reversed left to right when flag bit 7 is set, index 0 left out, cut at the picture's edges.
void ComposeObjects(Picture& picture, const RegionSpec& region, const std::vector<BitmapRecord>& bitmaps,
                    const std::vector<ObjectRecord>& objects, std::int32_t viewX, std::int32_t viewY);

}  // namespace karst::testing
