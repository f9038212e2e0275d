#include "workbench/model/pointer_info.h"

#include <cstdint>

#include "gff/format.h"

namespace karst::workbench {
namespace {

constexpr std::size_t kRegionPixels = std::size_t{kRegionWidth} * kRegionHeight;

bool InRegion(MapPoint pixel) {
  return pixel.x >= 0 && pixel.x < kRegionWidth && pixel.y >= 0 && pixel.y < kRegionHeight;
}

// Whether the blit of `row`'s object left a pixel at `pixel`: inside its rectangle, and not
// index 0 in its shape (read mirrored when the entity is).
bool Covers(const ShownRegion& region, const tools::EntityRow& row, MapPoint pixel) {
  const EntityRectangle& box = *row.rectangle;
  const std::int64_t dx = std::int64_t{pixel.x} - box.left;
  const std::int64_t dy = std::int64_t{pixel.y} - box.top;
  if (dx < 0 || dy < 0 || dx >= box.width || dy >= box.height) {
    return false;
  }
  const auto shape = region.shapes.find(row.objectId);
  if (shape == region.shapes.end() || shape->second.width != static_cast<std::uint32_t>(box.width) ||
      shape->second.height != static_cast<std::uint32_t>(box.height) ||
      shape->second.pixels.size() != std::size_t{shape->second.width} * shape->second.height) {
    // Without its shape the rectangle is all that is known.
    return true;
  }
  const std::int64_t column = row.mirrored ? box.width - 1 - dx : dx;
  return shape->second.pixels[static_cast<std::size_t>(dy * box.width + column)] != 0;
}

}  // namespace

std::optional<PointerInfo> InfoAt(const ShownRegion& region, MapPoint pixel) {
  if (!InRegion(pixel)) {
    return std::nullopt;
  }
  PointerInfo info;
  info.pixel = pixel;
  info.cellX = pixel.x / kTileSize;
  info.cellY = pixel.y / kTileSize;
  const std::size_t cell = static_cast<std::size_t>(info.cellY) * kMapColumns + static_cast<std::size_t>(info.cellX);
  if (cell < region.cellTiles.size()) {
    info.tile = region.cellTiles[cell];
  }
  info.entity = EntityAt(region, pixel);
  return info;
}

std::optional<std::size_t> EntityAt(const ShownRegion& region, MapPoint pixel) {
  if (!InRegion(pixel) || region.pictures.objects.size() != kRegionPixels ||
      region.pictures.objects[static_cast<std::size_t>(pixel.y) * kRegionWidth + static_cast<std::size_t>(pixel.x)] ==
          0) {
    return std::nullopt;
  }
  for (std::size_t i = region.entities.size(); i-- > 0;) {
    const tools::EntityRow& row = region.entities[i];
    if (row.drawn() && row.rectangle && Covers(region, row, pixel)) {
      return i;
    }
  }
  return std::nullopt;
}

std::string StatusText(const ShownRegion& region, const PointerInfo& info) {
  // U+00B7, the middle dot, in UTF-8.
  const std::string separator = " \xC2\xB7 ";
  std::string text = "x " + std::to_string(info.pixel.x) + ", y " + std::to_string(info.pixel.y) + separator + "cell " +
                     std::to_string(info.cellX) + ", " + std::to_string(info.cellY) + separator + "tile " +
                     std::to_string(info.tile);
  if (info.entity && *info.entity < region.entities.size()) {
    const tools::EntityRow& row = region.entities[*info.entity];
    text += separator + "entity " + std::to_string(row.index) + ": object " + std::to_string(row.objectId) + " at " +
            std::to_string(row.x) + ", " + std::to_string(row.y) + ", z " + std::to_string(row.z);
    if (row.mirrored) {
      text += ", mirrored";
    }
  }
  return text;
}

}  // namespace karst::workbench
