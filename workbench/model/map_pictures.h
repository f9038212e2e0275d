// A region as the map panel needs it: its tile layer and its object layer apart (so each can be
// switched off), its colours, its entities, the tile each cell draws and what its loading met,
// drawn by the same code as `karst-render region` (tools/render/render_region.h).
//
// Composed, `objects[i] != 0 ? objects[i] : tiles[i]`, the layers are that command's whole-region
// picture, byte for byte. A ShownRegion owns everything it holds; the file is not needed once it
// is painted.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

#include "gff/load_report.h"
#include "tools/inspect/entity_rows.h"
#include "tools/pictures/png_file.h"
#include "tools/render/render_region.h"
#include "workbench/model/screen_colours.h"

namespace karst::workbench {

// 2048 x 1536 palette indices each, row by row.
struct MapPictures {
  std::vector<std::uint8_t> tiles;    // the tile layer alone
  std::vector<std::uint8_t> objects;  // the object layer alone, on index 0 (0: no object pixel there)
  std::array<Argb, 256> colours{};    // the region's colours
  tools::PngPalette palette{};        // the same, for PNG export
};

// Frame 0 of an object as the object layer copies it: `width` x `height` palette indices, 0 left
// out.
struct ObjectShape {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> pixels;
};

struct ShownRegion {
  std::string path;
  std::string name;  // Latin-1 bytes as the region holds them; empty for a region without a name
  MapPictures pictures;
  std::vector<tools::EntityRow> entities;  // as `karst-gff entities` lists them
  std::vector<std::uint16_t> cellTiles;    // the tile each 16 x 16 cell draws, row by row (128 x 96)
  // The shape of every object a drawn entity names, by object number: what each entity covers.
  std::map<std::uint32_t, ObjectShape> shapes;
  std::vector<LoadNote> notes;  // what loading the region met
};

// Paints regions with one object library. It owns a headless renderer with the library loaded
// once; one painter for each thread that paints, never shared between threads.
class MapPainter {
 public:
  // `library`: the object library's path; empty: regions are painted without objects.
  explicit MapPainter(std::string library);
  MapPainter(const MapPainter&) = delete;
  MapPainter& operator=(const MapPainter&) = delete;

  // Why the library lends no objects (naming its file); empty when it does or none was given.
  const std::string& libraryProblem() const { return libraryProblem_; }
  // What loading the library met.
  const std::vector<LoadNote>& libraryNotes() const { return libraryNotes_; }

  // Reads and draws one region into `region` (replacing all it held); false with the reason,
  // naming the file, when it cannot be shown (then `region` holds the path and the notes only).
  bool Paint(const std::string& path, ShownRegion& region, std::string& error);

 private:
  tools::RegionRenderer renderer_;
  std::string setUpProblem_;
  std::string libraryProblem_;
  std::vector<LoadNote> libraryNotes_;
};

// A small picture of a region: ARGB pixels, `width` a row.
struct Thumbnail {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<Argb> pixels;
};

// Tiles and objects composed and scaled down to `width` (at most 2048) pixels across, the height
// in the region's 4:3 proportion (at least 1); each thumbnail pixel the average of the region
// pixels it covers. Empty for a width of 0 or pictures that are not 2048 x 1536.
Thumbnail ThumbnailOf(const MapPictures& pictures, std::uint32_t width);

}  // namespace karst::workbench
