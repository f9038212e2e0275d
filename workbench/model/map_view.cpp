#include "workbench/model/map_view.h"

#include <algorithm>
#include <limits>

#include "gff/format.h"
#include "tools/render/render_region.h"

namespace karst::workbench {
namespace {

std::int64_t FloorDiv(std::int64_t value, std::int64_t divisor) {
  const std::int64_t quotient = value / divisor;
  return (value % divisor != 0 && value < 0) ? quotient - 1 : quotient;
}

std::int32_t Saturated(std::int64_t value) {
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(value, std::numeric_limits<std::int32_t>::min(),
                                                            std::numeric_limits<std::int32_t>::max()));
}

std::int64_t Zoomed(std::int64_t regionSize, Zoom zoom) { return regionSize * zoom.numerator / zoom.denominator; }

// The clamp of the header, on one axis.
std::int32_t ClampAxis(std::int64_t scroll, std::int64_t zoomedSize, std::int32_t viewSize) {
  if (zoomedSize <= viewSize) {
    return static_cast<std::int32_t>(-((viewSize - zoomedSize) / 2));
  }
  return static_cast<std::int32_t>(std::clamp<std::int64_t>(scroll, 0, zoomedSize - viewSize));
}

// The zoomed-region coordinate, whole screen pixels, that holds the centre of region pixel
// `pixel`: (pixel + 1/2) x zoom, rounded down.
std::int64_t ZoomedCentre(std::int32_t pixel, Zoom zoom) {
  return FloorDiv((2 * std::int64_t{pixel} + 1) * zoom.numerator, 2 * std::int64_t{zoom.denominator});
}

}  // namespace

void MapView::Resize(std::int32_t width, std::int32_t height) {
  width_ = std::max(width, 0);
  height_ = std::max(height, 0);
  Clamp();
}

void MapView::Reset() {
  step_ = kZoomOneStep;
  Home();
}

void MapView::Home() {
  scrollX_ = 0;
  scrollY_ = 0;
  Clamp();
}

void MapView::Fit() {
  std::size_t fitting = 0;
  for (std::size_t step = 0; step < kZoomSteps.size(); ++step) {
    if (Zoomed(kRegionWidth, kZoomSteps[step]) <= width_ && Zoomed(kRegionHeight, kZoomSteps[step]) <= height_) {
      fitting = step;
    }
  }
  step_ = fitting;
  scrollX_ = Saturated(Zoomed(kRegionWidth, zoom()) / 2 - width_ / 2);
  scrollY_ = Saturated(Zoomed(kRegionHeight, zoom()) / 2 - height_ / 2);
  Clamp();
}

void MapView::ZoomOne() {
  const ScreenPoint centre{width_ / 2, height_ / 2};
  ZoomTo(kZoomOneStep, centre, MapAt(centre));
}

void MapView::ZoomIn() { ZoomAbout(ScreenPoint{width_ / 2, height_ / 2}, 1); }

void MapView::ZoomOut() { ZoomAbout(ScreenPoint{width_ / 2, height_ / 2}, -1); }

void MapView::ZoomAbout(ScreenPoint pointer, int steps) {
  const auto last = static_cast<std::int64_t>(kZoomSteps.size()) - 1;
  const auto step =
      static_cast<std::size_t>(std::clamp<std::int64_t>(static_cast<std::int64_t>(step_) + steps, 0, last));
  if (step != step_) {
    ZoomTo(step, pointer, MapAt(pointer));
  }
}

void MapView::PanBy(std::int32_t dx, std::int32_t dy) {
  scrollX_ = Saturated(std::int64_t{scrollX_} - dx);
  scrollY_ = Saturated(std::int64_t{scrollY_} - dy);
  Clamp();
}

void MapView::MoveByCells(std::int32_t cellsX, std::int32_t cellsY) {
  const std::int64_t cell = Zoomed(kTileSize, zoom());
  scrollX_ = Saturated(scrollX_ + cellsX * cell);
  scrollY_ = Saturated(scrollY_ + cellsY * cell);
  Clamp();
}

void MapView::CentreOn(MapPoint point) { ZoomTo(step_, ScreenPoint{width_ / 2, height_ / 2}, point); }

MapPoint MapView::MapAt(ScreenPoint point) const {
  const Zoom z = zoom();
  return MapPoint{Saturated(FloorDiv((std::int64_t{scrollX_} + point.x) * z.denominator, z.numerator)),
                  Saturated(FloorDiv((std::int64_t{scrollY_} + point.y) * z.denominator, z.numerator))};
}

ScreenPoint MapView::ScreenAt(MapPoint point) const {
  const Zoom z = zoom();
  return ScreenPoint{Saturated(FloorDiv(std::int64_t{point.x} * z.numerator, z.denominator) - scrollX_),
                     Saturated(FloorDiv(std::int64_t{point.y} * z.numerator, z.denominator) - scrollY_)};
}

MapPoint MapView::ViewerOrigin() const {
  const MapPoint topLeft = MapAt(ScreenPoint{0, 0});
  return MapPoint{std::clamp(topLeft.x, 0, kRegionWidth - tools::kViewWidth),
                  std::clamp(topLeft.y, 0, kRegionHeight - tools::kViewHeight)};
}

void MapView::ZoomTo(std::size_t step, ScreenPoint pointer, MapPoint anchor) {
  step_ = step;
  scrollX_ = Saturated(ZoomedCentre(anchor.x, zoom()) - pointer.x);
  scrollY_ = Saturated(ZoomedCentre(anchor.y, zoom()) - pointer.y);
  Clamp();
}

void MapView::Clamp() {
  scrollX_ = ClampAxis(scrollX_, Zoomed(kRegionWidth, zoom()), width_);
  scrollY_ = ClampAxis(scrollY_, Zoomed(kRegionHeight, zoom()), height_);
}

}  // namespace karst::workbench
