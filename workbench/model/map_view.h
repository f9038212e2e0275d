// Where the map panel looks into the region and at what zoom: the view's size in screen pixels,
// a zoom step and a scroll position, with the moves a person makes (wheel, keys, drag) and the
// conversions between screen pixels and region pixels. Plain values; the window owns one.
//
// Scrolling is held in whole screen pixels: scrollX, scrollY are the view's top-left corner in
// the pixels of the zoomed region (the region drawn at the zoom, numerator / denominator times
// its 2048 x 1536), so a drag by one screen pixel moves the map by one screen pixel at any zoom.
//
// The clamp, applied after every move and to each axis on its own:
//   zoomed region at least as large as the view   scroll in [0, zoomed size - view size]: the
//                                                 region fills the view, nothing beyond its
//                                                 edges shows
//   zoomed region smaller than the view           centred: scroll = -(view - zoomed) / 2, and
//                                                 moves along that axis do nothing
// So the region never leaves the view, and Home and Reset put its top-left pixel at the view's
// top-left wherever the region is larger than the view.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace karst::workbench {

struct Zoom {
  std::int32_t numerator = 1;
  std::int32_t denominator = 1;

  bool operator==(const Zoom&) const = default;
};

// 1/4, 1/2, 1, 2, 3, 4, 6, 8: from 1 up every region pixel is a whole square of screen pixels.
inline constexpr std::array<Zoom, 8> kZoomSteps{{{1, 4}, {1, 2}, {1, 1}, {2, 1}, {3, 1}, {4, 1}, {6, 1}, {8, 1}}};
inline constexpr std::size_t kZoomOneStep = 2;

// A pixel of the map panel, from its top-left.
struct ScreenPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;

  bool operator==(const ScreenPoint&) const = default;
};

// A region pixel; it may lie outside the region.
struct MapPoint {
  std::int32_t x = 0;
  std::int32_t y = 0;

  bool operator==(const MapPoint&) const = default;
};

class MapView {
 public:
  // The panel's size in screen pixels (negative sizes count as 0); the scroll is kept, clamped.
  void Resize(std::int32_t width, std::int32_t height);
  // A new region: zoom 1, the region's top-left pixel at the view's top-left.
  void Reset();
  // The region's top-left corner at the view's top-left, the zoom kept.
  void Home();
  // The largest step at which the whole region fits the view (the smallest step when none
  // does), centred.
  void Fit();
  // Zoom 1 about the view's centre.
  void ZoomOne();
  // One step in or out about the view's centre; nothing past the first or last step.
  void ZoomIn();
  void ZoomOut();
  // The wheel: `steps` steps (positive: in), stopping at the first and last step. The region
  // pixel under the pointer stays under it, unless the clamp moves the view: at zoom 1 and up,
  // MapAt(pointer) is the same pixel before and after; below 1 the pointer's screen pixel
  // still covers it.
  void ZoomAbout(ScreenPoint pointer, int steps);
  // A drag: the map moves with the pointer by dx, dy screen pixels.
  void PanBy(std::int32_t dx, std::int32_t dy);
  // The arrows: the view moves by whole 16 x 16 cells (16 x zoom screen pixels a cell);
  // positive moves right and down.
  void MoveByCells(std::int32_t cellsX, std::int32_t cellsY);
  // The region pixel `point` at the view's centre, as near as the clamp allows.
  void CentreOn(MapPoint point);

  // The region pixel under a screen pixel: at zoom 1 and up the one whose square holds it,
  // below 1 the top-left one of those it covers (rounded towards minus infinity either way).
  MapPoint MapAt(ScreenPoint point) const;
  // The screen pixel at a region pixel's top-left corner (below zoom 1, of the screen pixel
  // that covers it).
  ScreenPoint ScreenAt(MapPoint point) const;
  // The origin of the 640 x 480 frame the viewer would show if its view began at the map
  // pixel at this view's top-left: that pixel held in [0, 2048 - 640] x [0, 1536 - 480], as the
  // viewer's scrolling holds its view.
  MapPoint ViewerOrigin() const;

  Zoom zoom() const { return kZoomSteps[step_]; }
  std::size_t zoomStep() const { return step_; }
  std::int32_t width() const { return width_; }
  std::int32_t height() const { return height_; }
  // The view's top-left in the zoomed region's pixels: scrollX = 0 shows the region's left edge.
  std::int32_t scrollX() const { return scrollX_; }
  std::int32_t scrollY() const { return scrollY_; }

 private:
  // Changes the step to `step` with the centre of the region pixel `anchor` under the screen
  // pixel `pointer`, then clamps.
  void ZoomTo(std::size_t step, ScreenPoint pointer, MapPoint anchor);
  void Clamp();

  std::int32_t width_ = 0;
  std::int32_t height_ = 0;
  std::size_t step_ = kZoomOneStep;
  std::int32_t scrollX_ = 0;
  std::int32_t scrollY_ = 0;
};

}  // namespace karst::workbench
