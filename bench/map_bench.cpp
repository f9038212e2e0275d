// The workbench's map panel while panning: a 1920 x 1080 panel at zoom 8 with every layer and a
// marked entity, composed from the sample region with the most entities; and the same panel at
// zoom 1, where every screen row is composed afresh. Each iteration pans by one screen pixel, so
// nothing of the last frame is reused.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

#include "authoring/sample_world.h"
#include "workbench/model/map_compose.h"
#include "workbench/model/map_pictures.h"
#include "workbench/model/map_view.h"

namespace karst::bench {
namespace {

namespace fs = std::filesystem;
using namespace karst::workbench;

// The sample world's region with the most entities, painted with its library; the files are
// written to a temporary directory and removed again before timing.
ShownRegion DensestRegion() {
  std::random_device seed;
  const fs::path directory = fs::temp_directory_path() / ("karst-bench-map-" + std::to_string(seed()));
  fs::create_directories(directory);
  std::vector<std::string> regions;
  for (const authoring::WorldFile& file : authoring::MakeSampleWorld()) {
    std::ofstream(directory / file.name, std::ios::binary)
        .write(reinterpret_cast<const char*>(file.bytes.data()), static_cast<std::streamsize>(file.bytes.size()));
    if (file.name != authoring::kObjectLibraryFileName) {
      regions.push_back((directory / file.name).string());
    }
  }
  MapPainter painter((directory / authoring::kObjectLibraryFileName).string());
  ShownRegion densest;
  for (const std::string& path : regions) {
    ShownRegion region;
    std::string error;
    if (painter.Paint(path, region, error) && region.entities.size() >= densest.entities.size()) {
      densest = std::move(region);
    }
  }
  std::error_code ignored;
  fs::remove_all(directory, ignored);
  return densest;
}

const ShownRegion& Region() {
  static const ShownRegion region = DensestRegion();
  return region;
}

void ComposePanel(benchmark::State& state, std::size_t step) {
  const ShownRegion& region = Region();
  if (region.pictures.tiles.empty()) {
    state.SkipWithError("the sample region could not be painted");
    return;
  }
  MapView view;
  view.Resize(1920, 1080);
  view.Reset();
  view.ZoomAbout(ScreenPoint{}, static_cast<int>(step) - static_cast<int>(kZoomOneStep));
  view.CentreOn(MapPoint{1024, 768});
  const MapLayers layers{true, true, true, true, true};
  const MapMarks marks{region.entities.empty() ? std::nullopt : std::optional<std::size_t>(0)};
  std::vector<Argb> pixels(1920 * 1080);
  std::int32_t direction = 1;
  for (auto _ : state) {
    view.PanBy(direction, 0);
    direction = -direction;
    ComposeMap(region, view, layers, marks, pixels);
    benchmark::DoNotOptimize(pixels.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * 1920 * 1080);
  state.counters["entities"] = static_cast<double>(region.entities.size());
}

void BM_MapPanelZoom8(benchmark::State& state) { ComposePanel(state, kZoomSteps.size() - 1); }
BENCHMARK(BM_MapPanelZoom8);

void BM_MapPanelZoom1(benchmark::State& state) { ComposePanel(state, kZoomOneStep); }
BENCHMARK(BM_MapPanelZoom1);

}  // namespace
}  // namespace karst::bench

BENCHMARK_MAIN();
