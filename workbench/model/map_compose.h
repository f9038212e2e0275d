// The pixels of the map panel: the region's layers at the view's zoom and scroll, with the
// overlays switched on, as ARGB pixels for the window's streaming texture. This runs every frame
// while the map moves, so it works row by row: each screen column's region column is found once
// a frame, each region row is composed once and copied to the screen rows that show it.
//
// Colours:
//   outside the region                   kOutsideColour, the window's background
//   tiles switched off                   kBackdropColour, a neutral grey under the objects
//   grid (G)                             the map's colour with the top bit of each channel
//                                        flipped, so it reads on dark and light alike
//   boxes and hotspots (B)               dashes of kBoxColour and black
//   the viewer's 640 x 480 frame (V)     dashes of kViewerColour and black
//   the marked entity (always shown)     dashes of kSelectedColour and white, two pixels wide
// Drawn in that order, the marked entity last.
#pragma once

#include <cstddef>
#include <optional>
#include <span>

#include "workbench/model/map_pictures.h"
#include "workbench/model/map_view.h"
#include "workbench/model/screen_colours.h"

namespace karst::workbench {

inline constexpr Argb kOutsideColour = OpaqueArgb(0x0F, 0x0F, 0x0F);
inline constexpr Argb kBackdropColour = OpaqueArgb(0x80, 0x80, 0x80);
inline constexpr Argb kBoxColour = OpaqueArgb(0xFF, 0xE0, 0x00);
inline constexpr Argb kViewerColour = OpaqueArgb(0x00, 0xE0, 0xFF);
inline constexpr Argb kSelectedColour = OpaqueArgb(0xFF, 0x20, 0xFF);

struct MapLayers {
  bool tiles = true;
  bool objects = true;
  bool grid = false;
  bool boxes = false;
  bool viewer = false;

  bool operator==(const MapLayers&) const = default;
};

// What is marked on the map whatever the layers: the selected entity (a position in the
// region's entity rows) gets its box, or its hotspot when it has no box.
struct MapMarks {
  std::optional<std::size_t> selectedEntity;
};

// Fills `pixels` (view.width() x view.height(), row by row) with what the map panel shows. Does
// nothing when `pixels` is not exactly that size; pictures that are not 2048 x 1536 show as
// outside the region.
void ComposeMap(const ShownRegion& region, const MapView& view, const MapLayers& layers, const MapMarks& marks,
                std::span<Argb> pixels);

}  // namespace karst::workbench
