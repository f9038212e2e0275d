// A region as a Tiled map, and the map Tiled saves back into the region's chunks: the pure parts
// of `karst-gff unpack` and `pack` for maps, with no file system (the callers read and write the
// files, all inside the unpack folder).
//
// The files, relative to the unpack folder, as Tiled 1.8 writes them (JsonLayout::kTiled):
//
//   map.tmj            orthogonal, 128 x 96 cells of 16 x 16; the string property "name" (the
//                      region's name, when it has one); three layers, each with opacity 1 and
//                      `visible` (Tiled reads a layer without them as fully transparent):
//     "Tiles"                        tile layer, CSV data: each cell's tile, gid = tile index + 1;
//                                    a byte naming no tile shows tile 0, as the viewer draws it
//     "Objects"                      object group, draworder "index": every entity whose object
//                                    the object layer draws, wherever it stands, as a tile object
//                                    of its definition's tile (gid bit 31: mirrored) whose
//                                    bottom-left corner is the drawn rectangle's; int properties
//                                    "z" and "flags" (the entity's flag byte)
//     "Entities without a picture"   object group, not visible: every other entity, a point at
//                                    its anchor; int "objectId", "z", "flags", string "reason"
//                      object ids: the entity's index + 1
//   tiled/tiles.tsj    the tiles, one image tiles.png, 16 to a row; each tile with the int
//                      property "tile" (the number a map cell names) and the string "frame" (the
//                      picture of the frame it comes from)
//   tiled/tiles.png    frame 0 of every tile in map order, in the region's colours; slots past
//                      the last tile are crossed-out boxes, as no cell should show them
//   tiled/objects.tsj  (with an object library that draws something) one tile per definition the
//                      object layer draws, in chunk number order, image objects/<objectId>.png;
//                      int properties "objectId", "bitmapId", "hotspotX", "hotspotY"
//   tiled/objects/<objectId>.png  frame 0 of the definition's bitmap, index 0 transparent
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/object_library.h"
#include "data/region.h"
#include "tools/pictures/png_file.h"

namespace karst::tools {

inline constexpr std::string_view kTiledMapFile = "map.tmj";
inline constexpr std::string_view kTiledTilesTileset = "tiled/tiles.tsj";
inline constexpr std::string_view kTiledObjectsTileset = "tiled/objects.tsj";
// The folder of the tilesets and their pictures.
inline constexpr std::string_view kTiledFolder = "tiled/";
inline constexpr std::string_view kTiledTileLayer = "Tiles";
inline constexpr std::string_view kTiledObjectLayer = "Objects";
inline constexpr std::string_view kTiledPointLayer = "Entities without a picture";

// One picture of the tilesets, in the region's colours.
struct TiledPicture {
  std::string path;  // relative to the unpack folder, '/' between its parts
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> pixels;  // width x height palette indices
  PngTransparency transparency = PngTransparency::kOpaque;
};

struct TiledFiles {
  std::string map;
  std::string tilesTileset;
  std::optional<std::string> objectsTileset;
  PngPalette palette{};  // the region's colours, as the viewer converts them
  // tiled/tiles.png first, then the objects' pictures in their tileset's order.
  std::vector<TiledPicture> pictures;
};

// The Tiled files of a region the viewer shows (RegionRejections finds nothing), drawn with
// `library` (null: without an object library, every entity is a point). `tileFrames` names, for
// each tile in map order, the frame it comes from ("frames/TILE-9-0.png"); a tile past its end
// gets no "frame" property.
TiledFiles TiledFilesOf(const Region& region, const ObjectLibrary* library,
                        const std::vector<std::string>& tileFrames = {});

// The chunks of a region that a map stands for, as they were unpacked.
struct RegionChunks {
  std::span<const std::uint8_t> map;                      // the "MAP " payload the viewer draws
  std::optional<std::span<const std::uint8_t>> entities;  // "ETAB"; none without the chunk
  std::optional<std::span<const std::uint8_t>> name;      // "RNME"; none without the chunk
  std::int32_t tileCount = 0;
};

// How the map's objects changed against the region's entities, by object id (an entity's place
// in the table + 1; Tiled numbers new objects above them all).
struct EntityChanges {
  std::uint64_t added = 0;
  std::uint64_t removed = 0;
  std::uint64_t moved = 0;    // x or y changed
  std::uint64_t changed = 0;  // only z, flags (the flip among them) or the object changed
  // The layers that held entities and hold none now: a deliberate deletion.
  std::vector<std::string> emptiedLayers;
};

// The payloads `pack` puts back from a map: each only when the map changed it.
struct TiledEdits {
  std::optional<std::vector<std::uint8_t>> map;       // "MAP "
  std::optional<std::vector<std::uint8_t>> entities;  // "ETAB"
  std::optional<std::vector<std::uint8_t>> name;      // "RNME"
  EntityChanges entityChanges;                        // what `entities` changed
  // What was taken otherwise than the map seems to say, one line each, naming the file and object.
  std::vector<std::string> notes;
};

// The texts of the folder's tilesets: tiled/tiles.tsj, and tiled/objects.tsj when it has one.
struct TiledTilesets {
  std::string_view tiles;
  std::optional<std::string_view> objects;
};

// Reads `mapText` (map.tmj, ours or as Tiled saved it, its tilesets referenced or embedded) back
// against `before`. A tileset embedded in the map is taken for one of `tilesets` when it is that
// tileset unchanged. A cell that shows tile 0 where `before` had a byte naming no tile keeps that
// byte; map bytes past the 128 x 96 cells, and the name chunk's bytes from its first zero byte on,
// are kept. Nothing, with the reason in `error` naming the file and the cell, object or layer,
// when the map holds what the region cannot take or lacks one of its layers.
std::optional<TiledEdits> TiledEditsOf(std::string_view mapText, const TiledTilesets& tilesets,
                                       const RegionChunks& before, std::string& error);

}  // namespace karst::tools
