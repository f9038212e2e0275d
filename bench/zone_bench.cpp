// A region switch as the user sees it, in its two parts: LoadZone on the densest sample region
// (most entities), against merely reading the same file's bytes, and the first frame presented
// after it. The files lie in a temporary directory and are read once before timing, so both
// come from the page cache.
#include <benchmark/benchmark.h>

#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <string>
#include <vector>

#include "authoring/sample_world.h"
#include "display/display_surface.h"

namespace karst::bench {
namespace {

namespace fs = std::filesystem;

// The sample world written to a fresh temporary directory, removed at exit.
class WrittenWorld {
 public:
  WrittenWorld() {
    std::random_device seed;
    directory_ = fs::temp_directory_path() / ("karst-bench-" + std::to_string(seed()));
    fs::create_directories(directory_);
    const authoring::SampleWorld world = authoring::MakeSampleWorldContent();
    const std::vector<authoring::WorldFile> files = authoring::WriteSampleWorld(world);
    std::size_t densest = 0;
    std::size_t densestBytes = 0;
    for (std::size_t i = 0; i < world.regions.size(); ++i) {
      const std::size_t entities = world.regions[i].entities.size();
      const std::size_t bytes = files[i].bytes.size();
      if (i == 0 || entities > densest || (entities == densest && bytes > densestBytes)) {
        densest = entities;
        densestBytes = bytes;
        region_ = directory_ / files[i].name;
      }
    }
    for (const authoring::WorldFile& file : files) {
      std::ofstream(directory_ / file.name, std::ios::binary)
          .write(reinterpret_cast<const char*>(file.bytes.data()), static_cast<std::streamsize>(file.bytes.size()));
    }
    library_ = directory_ / authoring::kObjectLibraryFileName;
    entities_ = densest;
    bytes_ = densestBytes;
  }
  ~WrittenWorld() {
    std::error_code ignored;
    fs::remove_all(directory_, ignored);
  }
  WrittenWorld(const WrittenWorld&) = delete;
  WrittenWorld& operator=(const WrittenWorld&) = delete;

  const fs::path& region() const { return region_; }
  const fs::path& library() const { return library_; }
  std::size_t entities() const { return entities_; }
  std::size_t bytes() const { return bytes_; }

 private:
  fs::path directory_;
  fs::path region_;
  fs::path library_;
  std::size_t entities_ = 0;
  std::size_t bytes_ = 0;
};

const WrittenWorld& World() {
  static const WrittenWorld world;
  return world;
}

std::vector<char> ReadBytes(const fs::path& path) {
  std::ifstream file(path, std::ios::binary);
  return std::vector<char>(std::istreambuf_iterator<char>(file), std::istreambuf_iterator<char>());
}

void Describe(benchmark::State& state) {
  state.counters["entities"] = static_cast<double>(World().entities());
  state.counters["file_bytes"] = static_cast<double>(World().bytes());
  state.SetLabel(World().region().filename().string());
}

// A headless display with the sample world's object library; false when it could not be set up.
bool SetUp(DisplaySurface& display, benchmark::State& state) {
  if (display.InitDirectDraw() != 1 || display.LoadObjects(World().library().string()) != 1) {
    state.SkipWithError("display or object library could not be set up");
    return false;
  }
  benchmark::DoNotOptimize(ReadBytes(World().region()).size());
  return true;
}

void BM_LoadZone(benchmark::State& state) {
  DisplaySurface display(nullptr, 480, 640, 8, 0);
  if (!SetUp(display, state)) {
    return;
  }
  const std::string path = World().region().string();
  for (auto _ : state) {
    if (!display.LoadZone(path.c_str())) {
      state.SkipWithError("LoadZone failed");
      return;
    }
    benchmark::DoNotOptimize(display.region.get());
  }
  Describe(state);
}
BENCHMARK(BM_LoadZone);

// Only the frame is timed; the LoadZone before it is not.
void BM_FirstFrame(benchmark::State& state) {
  DisplaySurface display(nullptr, 480, 640, 8, 0);
  if (!SetUp(display, state)) {
    return;
  }
  const std::string path = World().region().string();
  for (auto _ : state) {
    state.PauseTiming();
    const bool loaded = display.LoadZone(path.c_str());
    state.ResumeTiming();
    if (!loaded) {
      state.SkipWithError("LoadZone failed");
      return;
    }
    display.PresentFrame();
    benchmark::DoNotOptimize(display.primary->presentedFrame().data());
  }
  state.SetItemsProcessed(state.iterations() * 640 * 480);
  Describe(state);
}
BENCHMARK(BM_FirstFrame);

void BM_ReadRegionBytes(benchmark::State& state) {
  const WrittenWorld& world = World();
  benchmark::DoNotOptimize(ReadBytes(world.region()).size());
  for (auto _ : state) {
    std::ifstream file(world.region(), std::ios::binary | std::ios::ate);
    std::vector<char> bytes(static_cast<std::size_t>(file.tellg()));
    file.seekg(0);
    file.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    benchmark::DoNotOptimize(bytes.data());
  }
  state.SetBytesProcessed(state.iterations() * static_cast<std::int64_t>(world.bytes()));
  Describe(state);
}
BENCHMARK(BM_ReadRegionBytes);

}  // namespace
}  // namespace karst::bench

BENCHMARK_MAIN();
