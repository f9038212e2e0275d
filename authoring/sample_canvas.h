// A small paint box for the sample world's pictures: object sprites and tile decorations are
// drawn with filled shapes on an indexed image, then outlined and given a dithered shadow.
//
// Index 0 is "nothing here": transparent in object bitmaps. Drawing outside the canvas is
// dropped, so shapes may hang over the edges.
#pragma once

#include <cstdint>
#include <vector>

#include "authoring/frame_encoders.h"
#include "authoring/sample_palette.h"

namespace karst::authoring {

struct Point {
  double x = 0;
  double y = 0;
};

class Canvas {
 public:
  Canvas(int width, int height);

  int width() const { return width_; }
  int height() const { return height_; }
  // 0 outside the canvas.
  std::uint8_t At(int x, int y) const;
  void Set(int x, int y, std::uint8_t index);

  // Pixels x0 <= x < x1, y0 <= y < y1.
  void FillRect(int x0, int y0, int x1, int y1, std::uint8_t index);
  // A box on one ramp, lit from the left: lighter on its left columns, darker on its right.
  void ShadeRect(int x0, int y0, int x1, int y1, Ramp ramp, int shade);
  void FillEllipse(double cx, double cy, double rx, double ry, std::uint8_t index);
  // An ellipse shaded like a ball lit from the upper left, shades `darkest` to `lightest` of one
  // ramp, with a little dither from `seed`.
  void ShadeEllipse(double cx, double cy, double rx, double ry, Ramp ramp, int darkest, int lightest,
                    std::uint64_t seed);
  // A leafy crown: a shaded ellipse with bumps of smaller shaded blobs around its rim.
  void Crown(double cx, double cy, double rx, double ry, Ramp ramp, std::uint64_t seed);
  void FillPolygon(const std::vector<Point>& points, std::uint8_t index);
  void Line(double x0, double y0, double x1, double y1, std::uint8_t index);
  // A line `thickness` pixels wide.
  void ThickLine(double x0, double y0, double x1, double y1, double thickness, std::uint8_t index);

  // Every ramp pixel that borders an empty pixel (or the canvas edge) becomes its ramp's darkest
  // shade: the dark rim that makes a sprite read against any ground.
  void Outline();
  // A dithered shadow: the shadow index on every other empty pixel inside the ellipse.
  void Shadow(double cx, double cy, double rx, double ry);

  const std::vector<std::uint8_t>& pixels() const { return pixels_; }
  IndexedImage Image() const;

 private:
  int width_;
  int height_;
  std::vector<std::uint8_t> pixels_;
};

}  // namespace karst::authoring
