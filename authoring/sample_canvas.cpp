#include "authoring/sample_canvas.h"

#include <algorithm>
#include <cmath>

#include "authoring/sample_random.h"

namespace karst::authoring {
namespace {

constexpr int kFirstRampIndex = 1;
constexpr int kLastRampIndex = kRampCount * kRampShades;

bool IsRampIndex(std::uint8_t index) { return index >= kFirstRampIndex && index <= kLastRampIndex; }

std::uint8_t DarkestOf(std::uint8_t index) {
  return static_cast<std::uint8_t>(index - (index - kFirstRampIndex) % kRampShades);
}

}  // namespace

Canvas::Canvas(int width, int height)
    : width_(width), height_(height), pixels_(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0) {}

std::uint8_t Canvas::At(int x, int y) const {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) {
    return 0;
  }
  return pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)];
}

void Canvas::Set(int x, int y, std::uint8_t index) {
  if (x < 0 || y < 0 || x >= width_ || y >= height_) {
    return;
  }
  pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] = index;
}

void Canvas::FillRect(int x0, int y0, int x1, int y1, std::uint8_t index) {
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      Set(x, y, index);
    }
  }
}

void Canvas::ShadeRect(int x0, int y0, int x1, int y1, Ramp ramp, int shade) {
  const int span = std::max(1, x1 - x0);
  for (int y = y0; y < y1; ++y) {
    for (int x = x0; x < x1; ++x) {
      const int column = x - x0;
      const int offset = column < span / 4 ? 1 : (column >= span - span / 4 ? -1 : 0);
      Set(x, y, Shade(ramp, shade + offset));
    }
  }
}

void Canvas::FillEllipse(double cx, double cy, double rx, double ry, std::uint8_t index) {
  for (int y = static_cast<int>(std::floor(cy - ry)); y <= static_cast<int>(std::ceil(cy + ry)); ++y) {
    for (int x = static_cast<int>(std::floor(cx - rx)); x <= static_cast<int>(std::ceil(cx + rx)); ++x) {
      const double nx = (x + 0.5 - cx) / rx;
      const double ny = (y + 0.5 - cy) / ry;
      if (nx * nx + ny * ny <= 1.0) {
        Set(x, y, index);
      }
    }
  }
}

void Canvas::ShadeEllipse(double cx, double cy, double rx, double ry, Ramp ramp, int darkest, int lightest,
                          std::uint64_t seed) {
  // Light from the upper left and a little towards the viewer.
  constexpr double kLightX = -0.5;
  constexpr double kLightY = -0.6;
  constexpr double kLightZ = 0.62;
  for (int y = static_cast<int>(std::floor(cy - ry)); y <= static_cast<int>(std::ceil(cy + ry)); ++y) {
    for (int x = static_cast<int>(std::floor(cx - rx)); x <= static_cast<int>(std::ceil(cx + rx)); ++x) {
      const double nx = (x + 0.5 - cx) / rx;
      const double ny = (y + 0.5 - cy) / ry;
      const double d2 = nx * nx + ny * ny;
      if (d2 > 1.0) {
        continue;
      }
      const double nz = std::sqrt(1.0 - d2);
      const double light = std::clamp(nx * kLightX + ny * kLightY + nz * kLightZ, 0.0, 1.0);
      const double dither = HashUnit(seed, x, y) - 0.5;
      const int shade = darkest + static_cast<int>(std::floor(light * (lightest - darkest) + dither * 0.9 + 0.5));
      Set(x, y, Shade(ramp, std::clamp(shade, darkest, lightest)));
    }
  }
}

void Canvas::Crown(double cx, double cy, double rx, double ry, Ramp ramp, std::uint64_t seed) {
  SampleRandom random(seed);
  ShadeEllipse(cx, cy, rx, ry, ramp, 1, 4, seed);
  const int bumps = 7 + static_cast<int>(random.Below(4));
  for (int i = 0; i < bumps; ++i) {
    // Bumps around the rim, the lit ones towards the top left drawn last so they stand out.
    const double angle = 3.2 + 6.283 * (static_cast<double>(i) + random.Unit() * 0.5) / bumps;
    const double bx = cx + std::cos(angle) * rx * 0.62;
    const double by = cy + std::sin(angle) * ry * 0.58;
    const double size = 0.34 + random.Unit() * 0.14;
    ShadeEllipse(bx, by, rx * size, ry * size, ramp, 1, 7, seed + static_cast<std::uint64_t>(i) + 1);
  }
  ShadeEllipse(cx - rx * 0.2, cy - ry * 0.25, rx * 0.4, ry * 0.38, ramp, 3, 7, seed + 99);
}

void Canvas::FillPolygon(const std::vector<Point>& points, std::uint8_t index) {
  if (points.size() < 3) {
    return;
  }
  for (int y = 0; y < height_; ++y) {
    const double sy = y + 0.5;
    for (int x = 0; x < width_; ++x) {
      const double sx = x + 0.5;
      bool inside = false;
      for (std::size_t i = 0, j = points.size() - 1; i < points.size(); j = i++) {
        const Point& a = points[i];
        const Point& b = points[j];
        if ((a.y > sy) != (b.y > sy) && sx < (b.x - a.x) * (sy - a.y) / (b.y - a.y) + a.x) {
          inside = !inside;
        }
      }
      if (inside) {
        Set(x, y, index);
      }
    }
  }
}

void Canvas::Line(double x0, double y0, double x1, double y1, std::uint8_t index) {
  const int steps = std::max(1, static_cast<int>(std::ceil(std::max(std::abs(x1 - x0), std::abs(y1 - y0)))));
  for (int i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    Set(static_cast<int>(std::floor(x0 + (x1 - x0) * t)), static_cast<int>(std::floor(y0 + (y1 - y0) * t)), index);
  }
}

void Canvas::ThickLine(double x0, double y0, double x1, double y1, double thickness, std::uint8_t index) {
  const int steps = std::max(1, static_cast<int>(std::ceil(std::max(std::abs(x1 - x0), std::abs(y1 - y0)))));
  for (int i = 0; i <= steps; ++i) {
    const double t = static_cast<double>(i) / steps;
    FillEllipse(x0 + (x1 - x0) * t, y0 + (y1 - y0) * t, thickness / 2, thickness / 2, index);
  }
}

void Canvas::Outline() {
  std::vector<std::uint8_t> result = pixels_;
  for (int y = 0; y < height_; ++y) {
    for (int x = 0; x < width_; ++x) {
      const std::uint8_t index = At(x, y);
      if (!IsRampIndex(index)) {
        continue;
      }
      const bool edge = At(x - 1, y) == 0 || At(x + 1, y) == 0 || At(x, y - 1) == 0 || At(x, y + 1) == 0;
      if (edge) {
        result[static_cast<std::size_t>(y) * static_cast<std::size_t>(width_) + static_cast<std::size_t>(x)] =
            DarkestOf(index);
      }
    }
  }
  pixels_ = std::move(result);
}

void Canvas::Shadow(double cx, double cy, double rx, double ry) {
  for (int y = static_cast<int>(std::floor(cy - ry)); y <= static_cast<int>(std::ceil(cy + ry)); ++y) {
    for (int x = static_cast<int>(std::floor(cx - rx)); x <= static_cast<int>(std::ceil(cx + rx)); ++x) {
      const double nx = (x + 0.5 - cx) / rx;
      const double ny = (y + 0.5 - cy) / ry;
      if (nx * nx + ny * ny <= 1.0 && (x + y) % 2 == 0 && At(x, y) == 0 && x >= 0 && y >= 0) {
        Set(x, y, kShadowIndex);
      }
    }
  }
}

IndexedImage Canvas::Image() const {
  return IndexedImage{static_cast<std::uint32_t>(width_), static_cast<std::uint32_t>(height_), pixels_};
}

}  // namespace karst::authoring
