// The pieces of Tiled's JSON formats that the map's writer and reader share (tiled_map.h): the
// version Tiled 1.8 writes, the flip bits of a gid, the tiles' grid and the property names.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

#include <nlohmann/json.hpp>

namespace karst::tools {

// What Tiled 1.8.2 writes as "tiledversion" and "version".
inline constexpr std::string_view kTiledVersion = "1.8.2";
inline constexpr std::string_view kTiledFormatVersion = "1.8";

inline constexpr std::string_view kTiledTilesPicture = "tiled/tiles.png";
inline constexpr std::string_view kTiledObjectPictures = "tiled/objects/";

// A gid's top bits: flipped horizontally, vertically, diagonally (a quarter turn with a flip),
// and turned by 120 degrees (hexagonal maps); the rest is the tile.
inline constexpr std::uint32_t kFlippedHorizontally = 0x80000000u;
inline constexpr std::uint32_t kFlippedVertically = 0x40000000u;
inline constexpr std::uint32_t kFlippedDiagonally = 0x20000000u;
inline constexpr std::uint32_t kRotatedHexagonal120 = 0x10000000u;
inline constexpr std::uint32_t kGidTileBits = 0x0FFFFFFFu;

// The tiles' tileset comes first: gid = tile index + 1.
inline constexpr std::uint32_t kTilesFirstGid = 1;

inline constexpr std::string_view kPropertyName = "name";
inline constexpr std::string_view kPropertyObjectId = "objectId";
inline constexpr std::string_view kPropertyBitmapId = "bitmapId";
inline constexpr std::string_view kPropertyHotspotX = "hotspotX";
inline constexpr std::string_view kPropertyHotspotY = "hotspotY";
inline constexpr std::string_view kPropertyZ = "z";
inline constexpr std::string_view kPropertyFlags = "flags";
inline constexpr std::string_view kPropertyReason = "reason";
inline constexpr std::string_view kPropertyTile = "tile";
inline constexpr std::string_view kPropertyFrame = "frame";

// The tiles' image: 16 tiles to a row (fewer when there are fewer), as many rows as they need.
// Tiled counts every slot of the image as a tile, so the objects' tiles begin after them all.
struct TiledGrid {
  std::uint32_t columns = 0;
  std::uint32_t rows = 0;
};
constexpr std::uint32_t kTilesPerRow = 16;
constexpr TiledGrid TiledGridOf(std::size_t tileCount) {
  const auto count = static_cast<std::uint32_t>(tileCount);
  return TiledGrid{count < kTilesPerRow ? count : kTilesPerRow, (count + kTilesPerRow - 1) / kTilesPerRow};
}

// One entry of a "properties" list, as Tiled writes it.
inline nlohmann::json TiledProperty(std::string_view name, std::uint32_t value) {
  return nlohmann::json{{"name", name}, {"type", "int"}, {"value", value}};
}
inline nlohmann::json TiledProperty(std::string_view name, const std::string& value) {
  return nlohmann::json{{"name", name}, {"type", "string"}, {"value", value}};
}

}  // namespace karst::tools
