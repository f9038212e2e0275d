// One frame of a dense view: our display's whole frame (tiles, objects, name, conversion to 32
// bits; the headless flip does not wait), its parts, the same frame through SDL2, and the floor
// that every frame pays in the end: copying the finished 32-bit frame once.
#include <benchmark/benchmark.h>

#include <cstring>
#include <vector>

#include "bench/bench_scene.h"
#include "bench/sdl_peer.h"
#include "data/object_library.h"
#include "data/region.h"
#include "display/display_surface.h"
#include "platform/ddraw_presenter.h"
#include "platform/vector_paths.h"

namespace karst::bench {
namespace {

const Scene& DenseScene() {
  static const Scene scene = MakeDenseScene();
  return scene;
}

// A headless display showing the dense scene; null when it could not be set up.
std::unique_ptr<DisplaySurface> MakeDisplay(benchmark::State& state) {
  auto display = std::make_unique<DisplaySurface>(nullptr, kScreenHeight, kScreenWidth, 8, 0);
  const Scene& scene = DenseScene();
  if (display->InitDirectDraw() != 1) {
    state.SkipWithError("InitDirectDraw failed");
    return nullptr;
  }
  display->objects = SceneLibrary(scene);
  for (const auto& [number, frameSet] : display->objects->bmpSets) {
    display->objectSurfaces[number] = display->CreateObjectSurface(*frameSet);
  }
  if (!display->SwitchToRegion(SceneRegion(scene))) {
    state.SkipWithError("the scene's region was refused");
    return nullptr;
  }
  display->viewX = scene.viewX;
  display->viewY = scene.viewY;
  return display;
}

constexpr std::int64_t kFramePixels = std::int64_t{kScreenWidth} * kScreenHeight;

void BM_Compose(benchmark::State& state) {
  auto display = MakeDisplay(state);
  if (display == nullptr) {
    return;
  }
  for (auto _ : state) {
    display->PresentFrame();
    benchmark::DoNotOptimize(display->primary->presentedFrame().data());
  }
  state.SetItemsProcessed(state.iterations() * kFramePixels);
}
BENCHMARK(BM_Compose);

void BM_ComposeTiles(benchmark::State& state) {
  auto display = MakeDisplay(state);
  if (display == nullptr) {
    return;
  }
  for (auto _ : state) {
    display->DrawTiles();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ComposeTiles);

void BM_ComposeObjects(benchmark::State& state) {
  auto display = MakeDisplay(state);
  if (display == nullptr) {
    return;
  }
  for (auto _ : state) {
    display->DrawObjects();
    benchmark::ClobberMemory();
  }
}
BENCHMARK(BM_ComposeObjects);

void BM_ComposeConversion(benchmark::State& state) {
  auto display = MakeDisplay(state);
  if (display == nullptr) {
    return;
  }
  display->DrawTiles();
  display->DrawObjects();
  const platform::ColourTable colours = platform::MakeColourTable(display->primary->paletteEntries());
  const platform::PixelView frame = display->backBuffer->pixels();
  std::vector<std::uint32_t> out(static_cast<std::size_t>(kFramePixels));
  for (auto _ : state) {
    platform::ConvertFrame(frame.pixels, frame.pitch, out.data(), kScreenWidth, kScreenWidth, kScreenHeight, colours);
    benchmark::DoNotOptimize(out.data());
    benchmark::ClobberMemory();
  }
  state.SetItemsProcessed(state.iterations() * kFramePixels);
}
BENCHMARK(BM_ComposeConversion);

void BM_SdlPeerCompose(benchmark::State& state) {
  SdlPeer peer(DenseScene());
  if (!peer.ready()) {
    state.SkipWithError("SDL2 peer could not be set up");
    return;
  }
  for (auto _ : state) {
    peer.Compose();
    benchmark::DoNotOptimize(peer.frame());
  }
  state.SetItemsProcessed(state.iterations() * kFramePixels);
}
BENCHMARK(BM_SdlPeerCompose);

void BM_FrameMemcpy(benchmark::State& state) {
  std::vector<std::uint32_t> from(static_cast<std::size_t>(kFramePixels), 0xFF102030u);
  std::vector<std::uint32_t> to(from.size());
  for (auto _ : state) {
    std::memcpy(to.data(), from.data(), from.size() * sizeof(std::uint32_t));
    benchmark::DoNotOptimize(to.data());
    benchmark::ClobberMemory();
  }
  state.SetBytesProcessed(state.iterations() * kFramePixels * 4);
}
BENCHMARK(BM_FrameMemcpy);

}  // namespace
}  // namespace karst::bench

// The vector code the blits and the conversion chose on this processor goes into the output's
// context, for the report to name.
int main(int argc, char** argv) {
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) {
    return 1;
  }
  namespace platform = karst::platform;
  const platform::Vectors chosen = platform::ChosenVectors();
  benchmark::AddCustomContext("blit_vectors", platform::VectorsName(platform::BlitVectors(chosen)));
  benchmark::AddCustomContext("conversion_vectors", platform::VectorsName(platform::ConversionVectors(chosen)));
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  return 0;
}
