#include "workbench/model/map_compose.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <vector>

#include "gff/format.h"
#include "tools/render/render_region.h"

namespace karst::workbench {
namespace {

constexpr std::size_t kRegionPixels = std::size_t{kRegionWidth} * kRegionHeight;
constexpr Argb kBlack = OpaqueArgb(0, 0, 0);
constexpr Argb kWhite = OpaqueArgb(0xFF, 0xFF, 0xFF);
// Flipping the top bit of each channel moves every colour by half the range.
constexpr Argb kGridFlip = 0x00808080u;
constexpr std::int32_t kDash = 4;
constexpr std::int32_t kHotspotArm = 3;

// The panel being drawn on: overlays clip here, once per line.
class Canvas {
 public:
  Canvas(std::span<Argb> pixels, std::int32_t width, std::int32_t height)
      : pixels_(pixels), width_(width), height_(height) {}

  Argb* row(std::int32_t y) const {
    return pixels_.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(width_);
  }

  // Dashes of `first` and `second`, kDash pixels each, counted from `from`.
  void Across(std::int32_t y, std::int32_t from, std::int32_t to, Argb first, Argb second) const {
    if (y < 0 || y >= height_) {
      return;
    }
    Argb* line = row(y);
    for (std::int32_t x = std::max(from, 0); x <= std::min(to, width_ - 1); ++x) {
      line[x] = ((x - from) / kDash) % 2 == 0 ? first : second;
    }
  }
  void Down(std::int32_t x, std::int32_t from, std::int32_t to, Argb first, Argb second) const {
    if (x < 0 || x >= width_) {
      return;
    }
    for (std::int32_t y = std::max(from, 0); y <= std::min(to, height_ - 1); ++y) {
      row(y)[x] = ((y - from) / kDash) % 2 == 0 ? first : second;
    }
  }
  void Put(std::int32_t x, std::int32_t y, Argb colour) const {
    if (x >= 0 && x < width_ && y >= 0 && y < height_) {
      row(y)[x] = colour;
    }
  }

 private:
  std::span<Argb> pixels_;
  std::int32_t width_;
  std::int32_t height_;
};

// The outline of region pixels [left, left + width) x [top, top + height), `thickness` screen
// pixels wide inwards; at least one screen pixel across however small the zoom.
void DrawBox(const Canvas& canvas, const MapView& view, const EntityRectangle& box, Argb first, Argb second,
             std::int32_t thickness) {
  const ScreenPoint topLeft = view.ScreenAt(MapPoint{box.left, box.top});
  const ScreenPoint end = view.ScreenAt(MapPoint{box.left + box.width, box.top + box.height});
  std::int32_t x0 = topLeft.x;
  std::int32_t y0 = topLeft.y;
  std::int32_t x1 = std::max(x0, end.x - 1);
  std::int32_t y1 = std::max(y0, end.y - 1);
  for (std::int32_t ring = 0; ring < thickness && x0 <= x1 && y0 <= y1; ++ring, ++x0, ++y0, --x1, --y1) {
    canvas.Across(y0, x0, x1, first, second);
    canvas.Across(y1, x0, x1, first, second);
    canvas.Down(x0, y0, y1, first, second);
    canvas.Down(x1, y0, y1, first, second);
  }
}

// A cross on the middle of the anchor's square, arms alternating `first` and `second`.
void DrawHotspot(const Canvas& canvas, const MapView& view, const tools::EntityRow& row, Argb first, Argb second) {
  const std::int64_t lifted = std::int64_t{row.y} - row.z;
  const MapPoint anchor{static_cast<std::int32_t>(row.x), static_cast<std::int32_t>(lifted)};
  const ScreenPoint corner = view.ScreenAt(anchor);
  const std::int32_t half = view.zoom().numerator / view.zoom().denominator / 2;
  const std::int32_t cx = corner.x + half;
  const std::int32_t cy = corner.y + half;
  for (std::int32_t d = -kHotspotArm; d <= kHotspotArm; ++d) {
    const Argb colour = d % 2 == 0 ? first : second;
    canvas.Put(cx + d, cy, colour);
    canvas.Put(cx, cy + d, colour);
  }
}

// The region column each screen column shows, -1 outside the region.
std::vector<std::int32_t> SourceColumns(const MapView& view, bool inside) {
  std::vector<std::int32_t> columns(static_cast<std::size_t>(view.width()), -1);
  for (std::int32_t sx = 0; sx < view.width() && inside; ++sx) {
    const std::int32_t x = view.MapAt(ScreenPoint{sx, 0}).x;
    if (x >= 0 && x < kRegionWidth) {
      columns[static_cast<std::size_t>(sx)] = x;
    }
  }
  return columns;
}

// One region row in colours, for the region columns [first, last] the view shows.
void ComposeLine(const MapPictures& pictures, const MapLayers& layers, std::int32_t y, std::int32_t first,
                 std::int32_t last, Argb* line) {
  const std::size_t start = static_cast<std::size_t>(y) * kRegionWidth;
  const std::uint8_t* tiles = pictures.tiles.data() + start;
  const std::uint8_t* objects = pictures.objects.data() + start;
  for (std::int32_t x = first; x <= last; ++x) {
    const std::uint8_t object = layers.objects ? objects[x] : 0;
    if (object != 0) {
      line[x] = pictures.colours[object];
    } else {
      line[x] = layers.tiles ? pictures.colours[tiles[x]] : kBackdropColour;
    }
  }
}

void DrawGrid(const Canvas& canvas, const MapView& view, const std::vector<std::int32_t>& columns) {
  // A line on the first screen column and row of every cell.
  std::vector<std::int32_t> lineColumns;
  std::int32_t before = view.MapAt(ScreenPoint{-1, 0}).x;
  for (std::int32_t sx = 0; sx < view.width(); ++sx) {
    const std::int32_t x = columns[static_cast<std::size_t>(sx)];
    if (x >= 0 && x % kTileSize == 0 && x != before) {
      lineColumns.push_back(sx);
    }
    before = view.MapAt(ScreenPoint{sx, 0}).x;
  }
  std::int32_t above = view.MapAt(ScreenPoint{0, -1}).y;
  for (std::int32_t sy = 0; sy < view.height(); ++sy) {
    const std::int32_t y = view.MapAt(ScreenPoint{0, sy}).y;
    const bool lineRow = y % kTileSize == 0 && y != above;
    above = y;
    if (y < 0 || y >= kRegionHeight) {
      continue;
    }
    Argb* row = canvas.row(sy);
    if (lineRow) {
      for (std::int32_t sx = 0; sx < view.width(); ++sx) {
        if (columns[static_cast<std::size_t>(sx)] >= 0) {
          row[sx] ^= kGridFlip;
        }
      }
    } else {
      for (const std::int32_t sx : lineColumns) {
        row[sx] ^= kGridFlip;
      }
    }
  }
}

}  // namespace

void ComposeMap(const ShownRegion& region, const MapView& view, const MapLayers& layers, const MapMarks& marks,
                std::span<Argb> pixels) {
  const std::int32_t width = view.width();
  const std::int32_t height = view.height();
  if (pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height) || pixels.empty()) {
    return;
  }
  const MapPictures& pictures = region.pictures;
  const bool inside = pictures.tiles.size() == kRegionPixels && pictures.objects.size() == kRegionPixels;
  const std::vector<std::int32_t> columns = SourceColumns(view, inside);
  std::int32_t first = kRegionWidth;
  std::int32_t last = -1;
  for (const std::int32_t x : columns) {
    if (x >= 0) {
      first = std::min(first, x);
      last = std::max(last, x);
    }
  }
  const Canvas canvas(pixels, width, height);
  std::vector<Argb> line(kRegionWidth);
  std::int32_t composedRow = -1;
  for (std::int32_t sy = 0; sy < height; ++sy) {
    Argb* row = canvas.row(sy);
    const std::int32_t y = view.MapAt(ScreenPoint{0, sy}).y;
    if (!inside || y < 0 || y >= kRegionHeight || last < 0) {
      std::fill_n(row, width, kOutsideColour);
      continue;
    }
    // Screen rows that show the same region row are copies of the first.
    if (y == composedRow) {
      std::memcpy(row, canvas.row(sy - 1), static_cast<std::size_t>(width) * sizeof(Argb));
      continue;
    }
    ComposeLine(pictures, layers, y, first, last, line.data());
    for (std::int32_t sx = 0; sx < width; ++sx) {
      const std::int32_t x = columns[static_cast<std::size_t>(sx)];
      row[sx] = x >= 0 ? line[static_cast<std::size_t>(x)] : kOutsideColour;
    }
    composedRow = y;
  }
  if (layers.grid && inside) {
    DrawGrid(canvas, view, columns);
  }
  if (layers.boxes) {
    for (const tools::EntityRow& entity : region.entities) {
      if (entity.drawn() && entity.rectangle) {
        DrawBox(canvas, view, *entity.rectangle, kBoxColour, kBlack, 1);
        DrawHotspot(canvas, view, entity, kBoxColour, kBlack);
      }
    }
  }
  if (layers.viewer) {
    const MapPoint origin = view.ViewerOrigin();
    DrawBox(canvas, view, EntityRectangle{origin.x, origin.y, tools::kViewWidth, tools::kViewHeight}, kViewerColour,
            kBlack, 1);
  }
  if (marks.selectedEntity && *marks.selectedEntity < region.entities.size()) {
    const tools::EntityRow& entity = region.entities[*marks.selectedEntity];
    if (entity.rectangle) {
      DrawBox(canvas, view, *entity.rectangle, kSelectedColour, kWhite, 2);
    }
    DrawHotspot(canvas, view, entity, kSelectedColour, kWhite);
  }
}

}  // namespace karst::workbench
