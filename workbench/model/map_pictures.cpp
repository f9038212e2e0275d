#include "workbench/model/map_pictures.h"

#include <algorithm>
#include <utility>

#include "data/object_library.h"
#include "data/region.h"
#include "data/zone.h"
#include "gff/format.h"

namespace karst::workbench {
namespace {

constexpr std::size_t kRegionPixels = std::size_t{kRegionWidth} * kRegionHeight;

// The tile every cell draws, as the tile layer picks it: a cell beyond the map's bytes reads as
// tile 0, an index at or past the tile count draws tile 0.
std::vector<std::uint16_t> CellTilesOf(const Region& region) {
  std::vector<std::uint16_t> cells(std::size_t{kMapBytes}, 0);
  if (region.mapData) {
    const std::vector<std::uint8_t>& map = *region.mapData;
    for (std::size_t cell = 0; cell < cells.size() && cell < map.size(); ++cell) {
      cells[cell] = static_cast<std::uint16_t>(DrawnTile(map[cell], region.tileCount));
    }
  }
  return cells;
}

std::map<std::uint32_t, ObjectShape> ShapesOf(const std::vector<tools::EntityRow>& rows, const ObjectLibrary* library) {
  std::map<std::uint32_t, ObjectShape> shapes;
  if (library == nullptr) {
    return shapes;
  }
  for (const tools::EntityRow& row : rows) {
    if (!row.drawn() || shapes.contains(row.objectId)) {
      continue;
    }
    const auto definition = library->objectDefs.find(static_cast<std::int32_t>(row.objectId));
    if (definition == library->objectDefs.end() || definition->second == nullptr) {
      continue;
    }
    const Frame* frame = DrawingFrame(*library, *definition->second);
    if (frame != nullptr) {
      shapes.emplace(row.objectId, ObjectShape{frame->width, frame->height, frame->pixels});
    }
  }
  return shapes;
}

}  // namespace

MapPainter::MapPainter(std::string library) : renderer_(tools::RegionRenderer::Frame::kWholeRegion) {
  setUpProblem_ = renderer_.SetUp();
  if (!setUpProblem_.empty() || library.empty()) {
    return;
  }
  const std::string problem = renderer_.LoadObjects(library);
  if (!problem.empty()) {
    libraryProblem_ = library + ": " + problem;
  }
  libraryNotes_ = renderer_.TakeNotes();
}

bool MapPainter::Paint(const std::string& path, ShownRegion& region, std::string& error) {
  region = ShownRegion{};
  region.path = path;
  if (!setUpProblem_.empty()) {
    error = path + ": " + setUpProblem_;
    return false;
  }
  tools::RegionPicture tiles;
  std::string problem;
  const bool painted = renderer_.RenderLayers(path, tiles, region.pictures.objects, problem);
  region.notes = renderer_.TakeNotes();
  if (!painted) {
    region.pictures.objects.clear();
    error = path + ": " + problem;
    return false;
  }
  const Region& loaded = *renderer_.region();
  region.name = loaded.name.value_or(std::string());
  region.pictures.tiles = std::move(tiles.pixels);
  region.pictures.palette = tiles.palette;
  region.pictures.colours = ArgbColours(tiles.palette);
  region.entities = tools::EntityRows(loaded, renderer_.library());
  region.cellTiles = CellTilesOf(loaded);
  region.shapes = ShapesOf(region.entities, renderer_.library());
  return true;
}

Thumbnail ThumbnailOf(const MapPictures& pictures, std::uint32_t width) {
  Thumbnail thumbnail;
  if (width == 0 || pictures.tiles.size() != kRegionPixels || pictures.objects.size() != kRegionPixels) {
    return thumbnail;
  }
  thumbnail.width = std::min<std::uint32_t>(width, kRegionWidth);
  thumbnail.height = std::max<std::uint32_t>(1, (thumbnail.width * kRegionHeight + kRegionWidth / 2) / kRegionWidth);
  thumbnail.pixels.resize(std::size_t{thumbnail.width} * thumbnail.height);
  // Each thumbnail column covers region columns [bounds[x], bounds[x + 1]); rows likewise.
  std::vector<std::uint32_t> columns(thumbnail.width + 1);
  for (std::uint32_t x = 0; x <= thumbnail.width; ++x) {
    columns[x] = x * std::uint32_t{kRegionWidth} / thumbnail.width;
  }
  std::vector<std::uint64_t> sums(std::size_t{thumbnail.width} * 3);
  for (std::uint32_t ty = 0; ty < thumbnail.height; ++ty) {
    const std::uint32_t top = ty * std::uint32_t{kRegionHeight} / thumbnail.height;
    const std::uint32_t bottom = (ty + 1) * std::uint32_t{kRegionHeight} / thumbnail.height;
    std::fill(sums.begin(), sums.end(), 0);
    for (std::uint32_t y = top; y < bottom; ++y) {
      const std::size_t row = std::size_t{y} * kRegionWidth;
      for (std::uint32_t tx = 0; tx < thumbnail.width; ++tx) {
        for (std::uint32_t x = columns[tx]; x < columns[tx + 1]; ++x) {
          const std::uint8_t object = pictures.objects[row + x];
          const Argb colour = pictures.colours[object != 0 ? object : pictures.tiles[row + x]];
          sums[3 * tx] += (colour >> 16) & 0xFF;
          sums[3 * tx + 1] += (colour >> 8) & 0xFF;
          sums[3 * tx + 2] += colour & 0xFF;
        }
      }
    }
    for (std::uint32_t tx = 0; tx < thumbnail.width; ++tx) {
      const std::uint64_t count = std::uint64_t{bottom - top} * (columns[tx + 1] - columns[tx]);
      const auto channel = [&](std::size_t c) {
        return static_cast<std::uint8_t>((sums[3 * tx + c] + count / 2) / count);
      };
      thumbnail.pixels[std::size_t{ty} * thumbnail.width + tx] = OpaqueArgb(channel(0), channel(1), channel(2));
    }
  }
  return thumbnail;
}

}  // namespace karst::workbench
