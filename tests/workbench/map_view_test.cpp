#include "workbench/model/map_view.h"

#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

namespace karst::workbench {
namespace {

struct ViewCase {
  std::string name;
  std::int32_t width;
  std::int32_t height;
  std::function<void(MapView&)> moves;  // after Resize and Reset
  std::size_t step;
  std::int32_t scrollX;
  std::int32_t scrollY;
};

void ZoomToStep(MapView& view, std::size_t step) {
  view.ZoomAbout(ScreenPoint{}, static_cast<int>(step) - static_cast<int>(view.zoomStep()));
}

TEST(MapViewTest, MovesEndWhereTheClampSays) {
  const std::vector<ViewCase> cases{
      {"reset: top-left at top-left", 800, 600, [](MapView&) {}, 2, 0, 0},
      {"reset: a view larger than the region centres it", 2560, 1600, [](MapView&) {}, 2, -256, -32},
      {"fit: a quarter", 800, 600, [](MapView& v) { v.Fit(); }, 0, -144, -108},
      {"fit: a half", 1100, 800, [](MapView& v) { v.Fit(); }, 1, -38, -16},
      {"fit: exactly the region at 1", 2048, 1536, [](MapView& v) { v.Fit(); }, 2, 0, 0},
      {"fit: one pixel short of 1", 2047, 1536, [](MapView& v) { v.Fit(); }, 1, -511, -384},
      {"fit: nothing fits, the smallest step centred", 100, 100, [](MapView& v) { v.Fit(); }, 0, 206, 142},
      {"pan past the top-left", 800, 600, [](MapView& v) { v.PanBy(10, 10); }, 2, 0, 0},
      {"pan past the bottom-right", 800, 600, [](MapView& v) { v.PanBy(-5000, -5000); }, 2, 1248, 936},
      {"pan by one screen pixel at 8", 800, 600,
       [](MapView& v) {
         ZoomToStep(v, 7);
         v.Home();
         v.PanBy(-1, -3);
       },
       7, 1, 3},
      {"cells at 1", 800, 600, [](MapView& v) { v.MoveByCells(1, 2); }, 2, 16, 32},
      {"cells at 3", 800, 600,
       [](MapView& v) {
         ZoomToStep(v, 4);
         v.Home();
         v.MoveByCells(1, 2);
       },
       4, 48, 96},
      {"cells at a half", 400, 300,
       [](MapView& v) {
         ZoomToStep(v, 1);
         v.Home();
         v.MoveByCells(3, 1);
       },
       1, 24, 8},
      {"cells before the left edge", 800, 600, [](MapView& v) { v.MoveByCells(-1, -1); }, 2, 0, 0},
      {"zoom in stops at 8, pixel 0's middle under the pointer", 800, 600,
       [](MapView& v) { v.ZoomAbout(ScreenPoint{}, 20); }, 7, 4, 4},
      {"zoom out stops at a quarter", 400, 300, [](MapView& v) { v.ZoomAbout(ScreenPoint{}, -20); }, 0, 0, 0},
      {"centre on a pixel at 2", 800, 600,
       [](MapView& v) {
         v.ZoomIn();
         v.CentreOn(MapPoint{1024, 768});
       },
       3, 1649, 1237},
      {"zoom 1 about the centre", 800, 600,
       [](MapView& v) {
         ZoomToStep(v, 5);
         v.CentreOn(MapPoint{1000, 700});
         v.ZoomOne();
       },
       2, 600, 400},
      {"home keeps the zoom", 800, 600,
       [](MapView& v) {
         ZoomToStep(v, 6);
         v.PanBy(-300, -300);
         v.Home();
       },
       6, 0, 0},
      {"a smaller panel keeps the view in the region", 800, 600,
       [](MapView& v) {
         v.PanBy(-5000, -5000);
         v.Resize(2000, 1000);
       },
       2, 48, 536},
  };
  for (const ViewCase& c : cases) {
    SCOPED_TRACE(c.name);
    MapView view;
    view.Resize(c.width, c.height);
    view.Reset();
    c.moves(view);
    EXPECT_EQ(view.zoomStep(), c.step);
    EXPECT_EQ(view.scrollX(), c.scrollX);
    EXPECT_EQ(view.scrollY(), c.scrollY);
  }
}

// The wheel, from every step to every other: the region pixel under the pointer stays under it.
TEST(MapViewTest, WheelKeepsThePixelUnderThePointer) {
  const ScreenPoint pointer{37, 151};
  for (std::size_t from = 0; from < kZoomSteps.size(); ++from) {
    for (std::size_t to = 0; to < kZoomSteps.size(); ++to) {
      SCOPED_TRACE(std::to_string(from) + " to " + std::to_string(to));
      MapView view;
      view.Resize(300, 200);
      ZoomToStep(view, from);
      view.CentreOn(MapPoint{1000, 700});
      const MapPoint under = view.MapAt(pointer);
      view.ZoomAbout(pointer, static_cast<int>(to) - static_cast<int>(from));
      ASSERT_EQ(view.zoomStep(), to);
      const MapPoint after = view.MapAt(pointer);
      const std::int32_t covered = kZoomSteps[to].denominator;
      EXPECT_TRUE(under.x >= after.x && under.x < after.x + covered) << under.x << " " << after.x;
      EXPECT_TRUE(under.y >= after.y && under.y < after.y + covered) << under.y << " " << after.y;
    }
  }
}

struct PointCase {
  std::string name;
  std::size_t step;
  std::int32_t panX;  // PanBy(-panX, -panY) after Reset
  std::int32_t panY;
  ScreenPoint screen;
  MapPoint map;
  MapPoint viewer;
};

// MapAt rounds towards minus infinity (a centred view starts left of the region), ScreenAt is
// its inverse at each pixel's corner, and the viewer's frame stays in the region.
TEST(MapViewTest, PointsConvertAndTheViewerFrameStaysInside) {
  const std::vector<PointCase> cases{
      {"zoom 1 at the start", 2, 0, 0, {5, 7}, {5, 7}, {0, 0}},
      {"zoom 3 scrolled by a non-multiple", 4, 100, 50, {2, 1}, {34, 17}, {33, 16}},
      {"zoom 8 at the far end", 7, 99999, 99999, {0, 0}, {1948, 1461}, {1408, 1056}},
      {"a quarter, centred, left of the region", 0, 0, 0, {0, 0}, {-576, -432}, {0, 0}},
      {"a quarter, centred, one pixel in", 0, 0, 0, {145, 109}, {4, 4}, {0, 0}},
      {"a half, two region pixels a screen pixel", 1, 0, 0, {39, 17}, {78, 34}, {0, 0}},
  };
  for (const PointCase& c : cases) {
    SCOPED_TRACE(c.name);
    MapView view;
    view.Resize(800, 600);
    view.Reset();
    ZoomToStep(view, c.step);
    view.Home();
    view.PanBy(-c.panX, -c.panY);
    EXPECT_EQ(view.MapAt(c.screen), c.map);
    const ScreenPoint corner = view.ScreenAt(c.map);
    EXPECT_LE(corner.x, c.screen.x);
    EXPECT_LE(corner.y, c.screen.y);
    EXPECT_EQ(view.MapAt(corner), c.map);
    EXPECT_EQ(view.ViewerOrigin(), c.viewer);
  }
}

}  // namespace
}  // namespace karst::workbench
