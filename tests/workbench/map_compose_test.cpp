#include "workbench/model/map_compose.h"

#include <algorithm>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "gff/format.h"
#include "tests/support/temp_dir.h"
#include "tools/pictures/png_file.h"
#include "tools/render/render_region.h"
#include "workbench/model/map_pictures.h"
#include "workbench/model/map_view.h"

namespace karst::workbench {
namespace {

constexpr std::size_t kPixels = std::size_t{kRegionWidth} * kRegionHeight;

// The sample world on disk, and its region with the most entities painted with its library.
struct PaintedWorld {
  testing::TempDir folder;
  std::vector<std::string> regions;
  std::string library;
  ShownRegion densest;
};

const PaintedWorld& World() {
  static const PaintedWorld* const world = [] {
    auto* made = new PaintedWorld;
    testing::WriteSampleWorld(made->folder.path());
    for (const auto& entry : std::filesystem::directory_iterator(made->folder.path())) {
      if (entry.path().filename().string().starts_with("RGN")) {
        made->regions.push_back(entry.path().string());
      }
    }
    std::sort(made->regions.begin(), made->regions.end());
    made->library = (made->folder.path() / "OBJEX.GFF").string();
    MapPainter painter(made->library);
    for (const std::string& path : made->regions) {
      ShownRegion region;
      std::string error;
      EXPECT_TRUE(painter.Paint(path, region, error)) << error;
      if (region.entities.size() >= made->densest.entities.size()) {
        made->densest = std::move(region);
      }
    }
    return made;
  }();
  return *world;
}

std::uint8_t Composed(const MapPictures& pictures, std::size_t i) {
  return pictures.objects[i] != 0 ? pictures.objects[i] : pictures.tiles[i];
}

std::vector<Argb> Compose(const ShownRegion& region, const MapView& view, const MapLayers& layers,
                          const MapMarks& marks = {}) {
  std::vector<Argb> pixels(static_cast<std::size_t>(view.width()) * static_cast<std::size_t>(view.height()));
  ComposeMap(region, view, layers, marks, pixels);
  return pixels;
}

// Every region's two layers composed are the renderer's picture, palette included; the tile layer
// is the picture drawn without objects, and the object layer holds pixels only inside the
// rectangles of the entities drawn.
TEST(MapPicturesTest, LayersComposeToTheRenderersPicture) {
  MapPainter withObjects(World().library);
  EXPECT_EQ(withObjects.libraryProblem(), "");
  MapPainter withoutObjects("");
  tools::RegionRenderer renderer(tools::RegionRenderer::Frame::kWholeRegion);
  ASSERT_EQ(renderer.SetUp(), "");
  ASSERT_EQ(renderer.LoadObjects(World().library), "");
  for (const std::string& path : World().regions) {
    SCOPED_TRACE(path);
    ShownRegion shown;
    ShownRegion ground;
    std::string error;
    ASSERT_TRUE(withObjects.Paint(path, shown, error)) << error;
    ASSERT_TRUE(withoutObjects.Paint(path, ground, error)) << error;
    tools::RegionPicture picture;
    ASSERT_TRUE(renderer.Render(path, {}, picture, error)) << error;
    ASSERT_EQ(shown.pictures.tiles.size(), kPixels);
    ASSERT_EQ(shown.pictures.objects.size(), kPixels);
    EXPECT_EQ(shown.pictures.tiles, ground.pictures.tiles);
    EXPECT_EQ(ground.pictures.objects, std::vector<std::uint8_t>(kPixels, 0));
    std::vector<bool> covered(kPixels, false);
    for (const tools::EntityRow& row : shown.entities) {
      if (!row.drawn() || !row.rectangle) {
        continue;
      }
      const EntityRectangle& box = *row.rectangle;
      for (std::int32_t y = std::max(box.top, 0); y < std::min(box.top + box.height, kRegionHeight); ++y) {
        for (std::int32_t x = std::max(box.left, 0); x < std::min(box.left + box.width, kRegionWidth); ++x) {
          covered[static_cast<std::size_t>(y) * kRegionWidth + static_cast<std::size_t>(x)] = true;
        }
      }
    }
    std::size_t objectPixels = 0;
    for (std::size_t i = 0; i < kPixels; ++i) {
      ASSERT_EQ(Composed(shown.pictures, i), picture.pixels[i]) << i;
      ASSERT_TRUE(shown.pictures.objects[i] == 0 || covered[i]) << i;
      objectPixels += shown.pictures.objects[i] != 0 ? 1 : 0;
    }
    EXPECT_GT(objectPixels, 0u);
    EXPECT_EQ(shown.pictures.palette, picture.palette);
    EXPECT_EQ(shown.pictures.colours[255],
              OpaqueArgb(picture.palette[765], picture.palette[766], picture.palette[767]));
  }
}

TEST(MapPicturesTest, AFileThatIsNoRegionIsNamedInTheError) {
  MapPainter painter(World().library);
  ShownRegion shown;
  std::string error;
  EXPECT_FALSE(painter.Paint(World().library, shown, error));
  EXPECT_TRUE(error.starts_with(World().library + ": ")) << error;
  EXPECT_TRUE(shown.pictures.tiles.empty());
  MapPainter broken((World().folder.path() / "missing.GFF").string());
  EXPECT_TRUE(broken.libraryProblem().starts_with((World().folder.path() / "missing.GFF").string() + ": "))
      << broken.libraryProblem();
}

// From zoom 1 up the map is `karst-render region --scale N` read back, at a scroll that is not a
// multiple of the zoom, with objects.
TEST(MapComposeTest, ZoomedMapIsTheScaledPicture) {
  const ShownRegion& region = World().densest;
  tools::RegionPicture picture{kRegionWidth, kRegionHeight, {}, region.pictures.palette};
  for (std::size_t i = 0; i < kPixels; ++i) {
    picture.pixels.push_back(Composed(region.pictures, i));
  }
  testing::TempDir out;
  for (const std::size_t step : {kZoomOneStep, kZoomOneStep + 1, kZoomOneStep + 2}) {
    const auto scale = static_cast<std::uint32_t>(kZoomSteps[step].numerator);
    SCOPED_TRACE(scale);
    const std::string path = (out.path() / ("scale" + std::to_string(scale) + ".png")).string();
    ASSERT_EQ(tools::WritePicture(path, picture, scale), "");
    const std::optional<tools::IndexedPng> png = tools::ReadIndexedPng(path);
    ASSERT_TRUE(png.has_value());
    MapView view;
    view.Resize(331, 257);
    view.Reset();
    view.ZoomAbout(ScreenPoint{}, static_cast<int>(step - kZoomOneStep));
    view.Home();
    view.PanBy(-static_cast<std::int32_t>(scale) * 1000 - 1, -static_cast<std::int32_t>(scale) * 700 - 2);
    ASSERT_EQ(view.scrollX(), static_cast<std::int32_t>(scale) * 1000 + 1);
    const std::vector<Argb> pixels = Compose(region, view, MapLayers{});
    for (std::int32_t sy = 0; sy < view.height(); ++sy) {
      for (std::int32_t sx = 0; sx < view.width(); ++sx) {
        const std::size_t at =
            static_cast<std::size_t>(view.scrollY() + sy) * png->width + static_cast<std::size_t>(view.scrollX() + sx);
        const std::size_t index = png->pixels[at];
        const Argb expected =
            OpaqueArgb(png->palette[3 * index], png->palette[3 * index + 1], png->palette[3 * index + 2]);
        ASSERT_EQ(pixels[static_cast<std::size_t>(sy) * view.width() + sx], expected) << sx << "," << sy;
      }
    }
  }
}

struct LayerCase {
  std::string name;
  const MapView* view;
  MapLayers layers;
  MapMarks marks;
  // The colour a screen pixel must have, given the same view with tiles and objects only; none
  // where the case does not say.
  std::function<std::optional<Argb>(ScreenPoint, Argb)> expected;
};

// Each layer and mark changes exactly what it should: whole views where the rule is simple,
// chosen pixels of the overlays.
TEST(MapComposeTest, EachLayerChangesWhatItShould) {
  const ShownRegion& region = World().densest;
  const MapPictures& pictures = region.pictures;
  std::size_t marked = 0;
  while (marked < region.entities.size() &&
         !(region.entities[marked].drawn() && region.entities[marked].rectangle &&
           region.entities[marked].rectangle->left > 100 && region.entities[marked].rectangle->top > 100)) {
    ++marked;
  }
  ASSERT_LT(marked, region.entities.size());
  const EntityRectangle box = *region.entities[marked].rectangle;
  MapView atTwo;
  atTwo.Resize(400, 300);
  atTwo.Reset();
  atTwo.ZoomIn();
  atTwo.CentreOn(MapPoint{box.left, box.top});
  MapView atHalf;
  atHalf.Resize(800, 600);
  atHalf.Reset();
  atHalf.ZoomOut();
  MapView atQuarter;
  atQuarter.Resize(800, 600);
  atQuarter.Reset();
  atQuarter.Fit();
  const auto at = [&](const MapView& view, ScreenPoint point) {
    const MapPoint pixel = view.MapAt(point);
    return static_cast<std::size_t>(pixel.y) * kRegionWidth + static_cast<std::size_t>(pixel.x);
  };
  const ScreenPoint corner = atTwo.ScreenAt(MapPoint{box.left, box.top});
  const auto& row = region.entities[marked];
  const ScreenPoint hotspot = atTwo.ScreenAt(
      MapPoint{static_cast<std::int32_t>(row.x), static_cast<std::int32_t>(row.y) - static_cast<std::int32_t>(row.z)});
  const auto only = [](std::vector<std::pair<ScreenPoint, Argb>> points) {
    return [points](ScreenPoint p, Argb) -> std::optional<Argb> {
      for (const auto& [point, colour] : points) {
        if (point == p) {
          return colour;
        }
      }
      return std::nullopt;
    };
  };
  const std::vector<LayerCase> cases{
      {"tiles off: the backdrop under the objects",
       &atTwo,
       MapLayers{false, true},
       {},
       [&](ScreenPoint p, Argb) -> std::optional<Argb> {
         const std::uint8_t object = pictures.objects[at(atTwo, p)];
         return object != 0 ? pictures.colours[object] : kBackdropColour;
       }},
      {"objects off: the tiles alone",
       &atTwo,
       MapLayers{true, false},
       {},
       [&](ScreenPoint p, Argb) -> std::optional<Argb> { return pictures.colours[pictures.tiles[at(atTwo, p)]]; }},
      {"grid: the first screen line of every cell flipped, nothing else",
       &atTwo,
       MapLayers{true, true, true},
       {},
       [&](ScreenPoint p, Argb base) -> std::optional<Argb> {
         const MapPoint here = atTwo.MapAt(p);
         const bool column = here.x % 16 == 0 && atTwo.MapAt(ScreenPoint{p.x - 1, p.y}).x != here.x;
         const bool line = here.y % 16 == 0 && atTwo.MapAt(ScreenPoint{p.x, p.y - 1}).y != here.y;
         return column || line ? base ^ 0x00808080u : base;
       }},
      {"boxes: the corner and the hotspot",
       &atTwo,
       MapLayers{true, true, false, true},
       {},
       only({{corner, kBoxColour},
             {ScreenPoint{corner.x + 4, corner.y}, OpaqueArgb(0, 0, 0)},
             {ScreenPoint{hotspot.x + 1, hotspot.y + 1}, kBoxColour},
             {ScreenPoint{hotspot.x + 2, hotspot.y + 1}, OpaqueArgb(0, 0, 0)}})},
      {"marked: two pixels wide with the boxes off", &atTwo, MapLayers{}, MapMarks{marked},
       [&](ScreenPoint p, Argb base) -> std::optional<Argb> {
         if (p == corner || p == ScreenPoint{corner.x + 1, corner.y + 1}) {
           return kSelectedColour;
         }
         if (p == ScreenPoint{corner.x + 2, corner.y + 2} || p == ScreenPoint{corner.x - 1, corner.y - 1}) {
           return base;
         }
         return std::nullopt;
       }},
      {"a mark past the rows draws nothing", &atTwo, MapLayers{}, MapMarks{region.entities.size()},
       [](ScreenPoint, Argb base) -> std::optional<Argb> { return base; }},
      {"viewer: its frame from the view's top-left",
       &atHalf,
       MapLayers{true, true, false, false, true},
       {},
       only({{ScreenPoint{0, 0}, kViewerColour},
             {ScreenPoint{4, 0}, OpaqueArgb(0, 0, 0)},
             {ScreenPoint{319, 96}, kViewerColour},
             {ScreenPoint{320, 100}, pictures.colours[Composed(pictures, at(atHalf, ScreenPoint{320, 100}))]},
             {ScreenPoint{96, 239}, kViewerColour}})},
      {"outside the region: the window's background",
       &atQuarter,
       MapLayers{},
       {},
       only({{ScreenPoint{143, 300}, kOutsideColour},
             {ScreenPoint{144, 107}, kOutsideColour},
             {ScreenPoint{144, 108}, pictures.colours[Composed(pictures, 0)]},
             {ScreenPoint{655, 491}, pictures.colours[Composed(pictures, at(atQuarter, ScreenPoint{655, 491}))]},
             {ScreenPoint{656, 491}, kOutsideColour}})},
  };
  for (const LayerCase& c : cases) {
    SCOPED_TRACE(c.name);
    const std::vector<Argb> base = Compose(region, *c.view, MapLayers{});
    const std::vector<Argb> pixels = Compose(region, *c.view, c.layers, c.marks);
    std::size_t checked = 0;
    for (std::int32_t y = 0; y < c.view->height(); ++y) {
      for (std::int32_t x = 0; x < c.view->width(); ++x) {
        const std::size_t i = static_cast<std::size_t>(y) * c.view->width() + x;
        if (const std::optional<Argb> expected = c.expected(ScreenPoint{x, y}, base[i])) {
          ASSERT_EQ(pixels[i], *expected) << x << "," << y;
          ++checked;
        }
      }
    }
    EXPECT_GE(checked, 4u);
  }
}

}  // namespace
}  // namespace karst::workbench
