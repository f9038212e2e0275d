#include <algorithm>
#include <cstddef>
#include <map>
#include <utility>

#include <nlohmann/json.hpp>

#include "data/entity_placement.h"
#include "data/zone.h"
#include "gff/format.h"
#include "tools/inspect/entity_rows.h"
#include "tools/pictures/region_palette.h"
#include "tools/text/json_text.h"
#include "tools/tiled/tiled_map.h"
#include "tools/tiled/tiled_map_format.h"

namespace karst::tools {
namespace {

using nlohmann::json;

// The darkest and the lightest entry of `palette` (by the sum of red, green and blue; the lowest
// index on a tie).
std::pair<std::uint8_t, std::uint8_t> DarkestAndLightest(const PngPalette& palette) {
  std::size_t darkest = 0;
  std::size_t lightest = 0;
  const auto sum = [&](std::size_t i) { return palette[3 * i] + palette[3 * i + 1] + palette[3 * i + 2]; };
  for (std::size_t i = 1; i < palette.size() / 3; ++i) {
    darkest = sum(i) < sum(darkest) ? i : darkest;
    lightest = sum(i) > sum(lightest) ? i : lightest;
  }
  return {static_cast<std::uint8_t>(darkest), static_cast<std::uint8_t>(lightest)};
}

// The tileset image: every tile's 16 x 16 square as the tile strip holds it, 16 to a row. A slot
// past the last tile is a box crossed out in the lightest colour on the darkest, so that it is
// not taken for a tile: a cell painted with it names no tile.
TiledPicture TilesPicture(const Region& region, const TiledGrid& grid, const PngPalette& palette) {
  const std::size_t count = region.tiles.size();
  const std::size_t stripPitch = count * kTileSize;
  std::vector<std::uint8_t> strip(stripPitch * kTileSize);
  CopyTilesToStrip(region.tiles, strip, stripPitch, LoadReport());
  const auto [darkest, lightest] = DarkestAndLightest(palette);
  TiledPicture picture{std::string(kTiledTilesPicture), grid.columns * kTileSize, grid.rows * kTileSize, {}};
  picture.pixels.resize(std::size_t{picture.width} * picture.height);
  for (std::size_t slot = 0; slot < std::size_t{grid.columns} * grid.rows; ++slot) {
    const std::size_t left = slot % grid.columns * kTileSize;
    const std::size_t top = slot / grid.columns * kTileSize;
    for (std::size_t row = 0; row < kTileSize; ++row) {
      const auto to = picture.pixels.begin() + static_cast<std::ptrdiff_t>((top + row) * picture.width + left);
      if (slot < count) {
        const auto from = strip.begin() + static_cast<std::ptrdiff_t>(row * stripPitch + slot * kTileSize);
        std::copy(from, from + kTileSize, to);
        continue;
      }
      for (std::size_t column = 0; column < kTileSize; ++column) {
        const bool edge = row == 0 || column == 0 || row == kTileSize - 1 || column == kTileSize - 1;
        const bool cross = row == column || row + column == kTileSize - 1;
        to[static_cast<std::ptrdiff_t>(column)] = edge || cross ? lightest : darkest;
      }
    }
  }
  return picture;
}

json TilesTileset(const TiledGrid& grid, std::size_t count, const std::vector<std::string>& tileFrames) {
  json tiles = json::array();
  for (std::size_t slot = 0; slot < std::size_t{grid.columns} * grid.rows; ++slot) {
    json properties = json::array();
    if (slot >= count) {
      properties.push_back(TiledProperty(kPropertyFrame, "none: past the region's " + std::to_string(count) +
                                                             " tiles, a cell painted with it names no tile and is "
                                                             "drawn with tile 0"));
    } else if (slot < tileFrames.size()) {
      properties.push_back(TiledProperty(kPropertyFrame, tileFrames[slot]));
    }
    properties.push_back(TiledProperty(kPropertyTile, static_cast<std::uint32_t>(slot)));
    tiles.push_back(json{{"id", slot}, {"properties", std::move(properties)}});
  }
  return json{{"columns", grid.columns},
              {"image", "tiles.png"},
              {"imageheight", grid.rows * kTileSize},
              {"imagewidth", grid.columns * kTileSize},
              {"margin", 0},
              {"name", "tiles"},
              {"spacing", 0},
              {"tilecount", grid.columns * grid.rows},
              {"tiledversion", kTiledVersion},
              {"tileheight", kTileSize},
              {"tiles", std::move(tiles)},
              {"tilewidth", kTileSize},
              {"type", "tileset"},
              {"version", kTiledFormatVersion}};
}

// One tile of the objects' tileset: a definition the object layer draws.
struct ObjectTile {
  std::uint32_t tileId = 0;
  ObjectPlacement placement;
};

// The tileset of every definition the object layer draws, with its pictures; the tiles by
// definition key.
std::map<std::int32_t, ObjectTile> ObjectTiles(const ObjectLibrary& library, json& tileset,
                                               std::vector<TiledPicture>& pictures) {
  std::map<std::int32_t, ObjectTile> tiles;
  json entries = json::array();
  std::int32_t widest = 0;
  std::int32_t tallest = 0;
  for (const auto& [key, definition] : library.objectDefs) {
    if (definition == nullptr) {
      continue;
    }
    const std::optional<ObjectPlacement> placement = ObjectPlacementOf(library, *definition);
    if (!placement) {
      continue;
    }
    const Frame& frame = *DrawingFrame(library, *definition);
    const auto tileId = static_cast<std::uint32_t>(tiles.size());
    tiles.emplace(key, ObjectTile{tileId, *placement});
    const std::string name = std::to_string(definition->id) + ".png";
    pictures.push_back(
        TiledPicture{std::string(kTiledObjectPictures) + name, frame.width, frame.height,
                     std::vector<std::uint8_t>(frame.pixels.begin(),
                                               frame.pixels.begin() + std::ptrdiff_t{frame.width} * frame.height),
                     PngTransparency::kIndexZero});
    entries.push_back(json{{"id", tileId},
                           {"image", "objects/" + name},
                           {"imageheight", frame.height},
                           {"imagewidth", frame.width},
                           {"properties", json::array({TiledProperty(kPropertyBitmapId, definition->bitmapId),
                                                       TiledProperty(kPropertyHotspotX, definition->hotspotX),
                                                       TiledProperty(kPropertyHotspotY, definition->hotspotY),
                                                       TiledProperty(kPropertyObjectId, definition->id)})}});
    widest = std::max(widest, placement->width);
    tallest = std::max(tallest, placement->height);
  }
  tileset = json{{"columns", 0},
                 {"grid", json{{"height", 1}, {"orientation", "orthogonal"}, {"width", 1}}},
                 {"margin", 0},
                 {"name", "objects"},
                 {"spacing", 0},
                 {"tilecount", tiles.size()},
                 {"tiledversion", kTiledVersion},
                 {"tileheight", tallest},
                 {"tiles", std::move(entries)},
                 {"tilewidth", widest},
                 {"type", "tileset"},
                 {"version", kTiledFormatVersion}};
  return tiles;
}

json TileObject(const EntityRow& row, std::uint32_t gid) {
  const EntityRectangle& rectangle = *row.rectangle;
  return json{{"gid", row.mirrored ? gid | kFlippedHorizontally : gid},
              {"height", rectangle.height},
              {"id", row.index + 1},
              {"name", ""},
              {"properties", json::array({TiledProperty(kPropertyFlags, row.flags), TiledProperty(kPropertyZ, row.z)})},
              {"rotation", 0},
              {"type", ""},
              {"visible", true},
              {"width", rectangle.width},
              // Tiled stands a tile object on its bottom-left corner.
              {"x", rectangle.left},
              {"y", std::int64_t{rectangle.top} + rectangle.height}};
}

json PointObject(const EntityRow& row) {
  return json{{"height", 0},
              {"id", row.index + 1},
              {"name", ""},
              {"point", true},
              {"properties",
               json::array({TiledProperty(kPropertyFlags, row.flags), TiledProperty(kPropertyObjectId, row.objectId),
                            TiledProperty(kPropertyReason, std::string(ReasonText(row.reason))),
                            TiledProperty(kPropertyZ, row.z)})},
              {"rotation", 0},
              {"type", ""},
              {"visible", true},
              {"width", 0},
              {"x", row.x},
              {"y", row.y}};
}

json ObjectLayer(std::uint32_t id, std::string_view name, json objects, bool visible) {
  return json{{"draworder", "index"},
              {"id", id},
              {"name", name},
              {"objects", std::move(objects)},
              {"opacity", 1},
              {"type", "objectgroup"},
              {"visible", visible},
              {"x", 0},
              {"y", 0}};
}

}  // namespace

TiledFiles TiledFilesOf(const Region& region, const ObjectLibrary* library,
                        const std::vector<std::string>& tileFrames) {
  TiledFiles files;
  files.palette = PngPaletteOf(ConvertPalette(*region.paletteData));
  const TiledGrid grid = TiledGridOf(region.tiles.size());
  files.pictures.push_back(TilesPicture(region, grid, files.palette));
  files.tilesTileset = JsonText(TilesTileset(grid, region.tiles.size(), tileFrames), JsonLayout::kTiled);

  std::map<std::int32_t, ObjectTile> objectTiles;
  if (library != nullptr) {
    json tileset;
    objectTiles = ObjectTiles(*library, tileset, files.pictures);
    if (!objectTiles.empty()) {
      files.objectsTileset = JsonText(tileset, JsonLayout::kTiled);
    }
  }
  const std::uint32_t objectsFirstGid = kTilesFirstGid + grid.columns * grid.rows;

  json cells = json::array();
  const std::vector<std::uint8_t>& map = *region.mapData;
  for (std::size_t cell = 0; cell < kMapBytes; ++cell) {
    cells.push_back(kTilesFirstGid + static_cast<std::uint32_t>(DrawnTile(map[cell], region.tileCount)));
  }
  json drawn = json::array();
  json points = json::array();
  for (const EntityRow& row : EntityRows(region, library)) {
    if (row.rectangle) {
      const ObjectTile& tile = objectTiles.at(static_cast<std::int32_t>(row.objectId));
      drawn.push_back(TileObject(row, objectsFirstGid + tile.tileId));
    } else {
      points.push_back(PointObject(row));
    }
  }
  const std::size_t entityCount = drawn.size() + points.size();

  json tilesets = json::array({json{{"firstgid", kTilesFirstGid}, {"source", kTiledTilesTileset}}});
  if (files.objectsTileset) {
    tilesets.push_back(json{{"firstgid", objectsFirstGid}, {"source", kTiledObjectsTileset}});
  }
  json mapJson{{"compressionlevel", -1},
               {"height", kMapRows},
               {"infinite", false},
               {"layers", json::array({json{{"data", std::move(cells)},
                                            {"height", kMapRows},
                                            {"id", 1},
                                            {"name", kTiledTileLayer},
                                            {"opacity", 1},
                                            {"type", "tilelayer"},
                                            {"visible", true},
                                            {"width", kMapColumns},
                                            {"x", 0},
                                            {"y", 0}},
                                       ObjectLayer(2, kTiledObjectLayer, std::move(drawn), true),
                                       ObjectLayer(3, kTiledPointLayer, std::move(points), false)})},
               {"nextlayerid", 4},
               {"nextobjectid", entityCount + 1},
               {"orientation", "orthogonal"},
               {"renderorder", "right-down"},
               {"tiledversion", kTiledVersion},
               {"tileheight", kTileSize},
               {"tilesets", std::move(tilesets)},
               {"tilewidth", kTileSize},
               {"type", "map"},
               {"version", kTiledFormatVersion},
               {"width", kMapColumns}};
  if (region.name) {
    mapJson["properties"] = json::array({TiledProperty(kPropertyName, ByteText(*region.name))});
  }
  files.map = JsonText(mapJson, JsonLayout::kTiled);
  return files;
}

}  // namespace karst::tools
