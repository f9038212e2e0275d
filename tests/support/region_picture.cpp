#include "tests/support/region_picture.h"

#include <gtest/gtest.h>

#include "authoring/container_writer.h"
#include "gff/format.h"

namespace karst::testing {
namespace {

std::vector<std::uint8_t> SingleFrameSet(const IndexedImage& image) {
  const std::optional<std::vector<std::uint8_t>> frame = authoring::EncodeNrmlFrame(image);
  EXPECT_TRUE(frame.has_value());
  const std::optional<std::vector<std::uint8_t>> payload =
      authoring::WriteFrameSetPayload({frame.value_or(std::vector<std::uint8_t>{})});
  EXPECT_TRUE(payload.has_value());
  return payload.value_or(std::vector<std::uint8_t>{});
}

const ObjectRecord* FindObject(const std::vector<ObjectRecord>& objects, std::uint32_t number) {
  for (const ObjectRecord& object : objects) {
    if (object.number == number) {
      return &object;
    }
  }
  return nullptr;
}

const IndexedImage* FindBitmap(const std::vector<BitmapRecord>& bitmaps, std::uint32_t number) {
  for (const BitmapRecord& bitmap : bitmaps) {
    if (bitmap.number == number) {
      return &bitmap.image;
    }
  }
  return nullptr;
}

}  // namespace

std::vector<std::uint8_t> ObjectPayload(const ObjectRecord& object) {
  return authoring::WriteObjectDef({0, object.hotspotX, object.hotspotY, object.bitmapId});
}

std::vector<std::uint8_t> WriteRegionFile(const RegionSpec& region) {
  std::vector<authoring::ChunkTypeSpec> types;
  if (region.palette) {
    types.push_back({kTagPal, {{1, *region.palette}}, false, 0});
  }
  if (!region.tiles.empty()) {
    authoring::ChunkTypeSpec tiles{kTagTile, {}, false, 0};
    for (std::size_t i = 0; i < region.tiles.size(); ++i) {
      tiles.chunks.push_back({static_cast<std::uint32_t>(100 + i), SingleFrameSet(region.tiles[i])});
    }
    types.push_back(std::move(tiles));
  }
  if (region.map) {
    types.push_back({kTagMap, {{2, *region.map}}, false, 0});
  }
  if (region.name) {
    types.push_back({kTagRnme, {{3, std::vector<std::uint8_t>(region.name->begin(), region.name->end())}}, false, 0});
  }
  if (region.entities) {
    types.push_back({kTagEtab, {{4, authoring::WriteEntityTable(*region.entities)}}, false, 0});
  }
  return authoring::WriteContainer(types);
}

std::vector<std::uint8_t> WriteObjectFile(const std::vector<BitmapRecord>& bitmaps,
                                          const std::vector<ObjectRecord>& objects) {
  authoring::ChunkTypeSpec bmp{kTagBmp, {}, false, 0};
  for (const BitmapRecord& bitmap : bitmaps) {
    bmp.chunks.push_back({bitmap.number, SingleFrameSet(bitmap.image)});
  }
  authoring::ChunkTypeSpec ojff{kTagOjff, {}, false, 0};
  for (const ObjectRecord& object : objects) {
    ojff.chunks.push_back({object.number, ObjectPayload(object)});
  }
  return authoring::WriteContainer({bmp, ojff});
}

IndexedImage PatternTile(std::uint8_t seed) {
  IndexedImage tile{16, 16, std::vector<std::uint8_t>(256)};
  for (std::uint32_t y = 0; y < 16; ++y) {
    for (std::uint32_t x = 0; x < 16; ++x) {
      tile.pixels[y * 16 + x] = static_cast<std::uint8_t>(seed + 3 * x + 17 * y);
    }
  }
  return tile;
}

IndexedImage PlainTile(std::uint8_t index) { return IndexedImage{16, 16, std::vector<std::uint8_t>(256, index)}; }

Picture ComposeTiles(const RegionSpec& region, std::int32_t viewX, std::int32_t viewY, std::int32_t width,
                     std::int32_t height) {
  Picture picture{width, height, std::vector<std::uint8_t>(static_cast<std::size_t>(width) * height)};
  const std::vector<std::uint8_t>& map = *region.map;
  for (std::int32_t y = 0; y < height; ++y) {
    for (std::int32_t x = 0; x < width; ++x) {
      const std::int32_t mapX = viewX + x;
      const std::int32_t mapY = viewY + y;
      std::size_t tile = map[static_cast<std::size_t>(mapY / 16) * 128 + static_cast<std::size_t>(mapX / 16)];
      if (tile >= region.tiles.size()) {
        tile = 0;
      }
      picture.pixels[static_cast<std::size_t>(y) * width + x] =
          region.tiles[tile].pixels[static_cast<std::size_t>(mapY % 16) * 16 + static_cast<std::size_t>(mapX % 16)];
    }
  }
  return picture;
}

void ComposeObjects(Picture& picture, const RegionSpec& region, const std::vector<BitmapRecord>& bitmaps,
                    const std::vector<ObjectRecord>& objects, std::int32_t viewX, std::int32_t viewY) {
  if (!region.entities) {
    return;
  }
  for (const EntityRecord& entity : *region.entities) {
    const ObjectRecord* object = FindObject(objects, entity.objectId);
    const IndexedImage* image = object != nullptr ? FindBitmap(bitmaps, object->bitmapId) : nullptr;
    if (image == nullptr) {
      continue;
    }
    const std::int32_t left = entity.x - object->hotspotX - viewX;
    const std::int32_t top = entity.y - object->hotspotY - entity.z - viewY;
    const auto w = static_cast<std::int32_t>(image->width);
    const auto h = static_cast<std::int32_t>(image->height);
    for (std::int32_t y = 0; y < h; ++y) {
      for (std::int32_t x = 0; x < w; ++x) {
        const std::int32_t sourceX = (entity.flags & 0x80) != 0 ? w - 1 - x : x;
        const std::uint8_t pixel = image->pixels[static_cast<std::size_t>(y) * w + sourceX];
        const std::int32_t screenX = left + x;
        const std::int32_t screenY = top + y;
        if (pixel != 0 && screenX >= 0 && screenX < picture.width && screenY >= 0 && screenY < picture.height) {
          picture.pixels[static_cast<std::size_t>(screenY) * picture.width + screenX] = pixel;
        }
      }
    }
  }
}

}  // namespace karst::testing
