#include <algorithm>
#include <cstddef>
#include <map>

#include <nlohmann/json.hpp>

#include "data/entity_placement.h"
#include "data/zone.h"
#include "gff/format.h"
#include "tools/common/entity_rows.h"
#include "tools/common/json_text.h"
#include "tools/common/region_palette.h"
#include "tools/common/tiled_map.h"
#include "tools/common/tiled_map_format.h"

namespace karst::tools {
namespace {

using nlohmann::json;

// The tileset image: every tile's 16 x 16 square as the tile strip holds it, 16 to a row.
TiledPicture TilesPicture(const Region& region, const TiledGrid& grid) {
  const std::size_t count = region.tiles.size();
  const std::size_t stripPitch = count * kTileSize;
  std::vector<std::uint8_t> strip(stripPitch * kTileSize);
  CopyTilesToStrip(region.tiles, strip, stripPitch, LoadReport());
  TiledPicture picture{std::string(kTiledTilesPicture), grid.columns * kTileSize, grid.rows * kTileSize, {}};
  picture.pixels.resize(std::size_t{picture.width} * picture.height);
  for (std::size_t slot = 0; slot < std::size_t{grid.columns} * grid.rows; ++slot) {
    // A slot past the last tile shows what a byte naming no tile shows: tile 0.
    const std::size_t tile = slot < count ? slot : 0;
    const std::size_t left = slot % grid.columns * kTileSize;
    const std::size_t top = slot / grid.columns * kTileSize;
    for (std::size_t row = 0; row < kTileSize; ++row) {
      const auto from = strip.begin() + static_cast<std::ptrdiff_t>(row * stripPitch + tile * kTileSize);
      std::copy(from, from + kTileSize,
                picture.pixels.begin() + static_cast<std::ptrdiff_t>((top + row) * picture.width + left));
    }
  }
  return picture;
}

json TilesTileset(const TiledGrid& grid) {
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

TiledFiles TiledFilesOf(const Region& region, const ObjectLibrary* library) {
  TiledFiles files;
  files.palette = PngPaletteOf(ConvertPalette(*region.paletteData));
  const TiledGrid grid = TiledGridOf(region.tiles.size());
  files.pictures.push_back(TilesPicture(region, grid));
  files.tilesTileset = JsonText(TilesTileset(grid), JsonLayout::kTiled);

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
