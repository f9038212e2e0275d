// The workbench's own CPU per frame and its start on a large folder.
//
// BM_WorkbenchPanFrame: one whole frame of the window (every panel, the map composed and
// uploaded, all of it drawn by SDL's software renderer into a 1920 x 1080 picture, as under
// Xvfb) while the map pans by a screen pixel a frame at zoom 8, every layer on and an entity
// marked, on the sample region with the most entities. The X server's share of a real frame (the
// picture's trip to the screen) is not in it.
// BM_WorkbenchSaveToMap: the live edit of the first sample region: from a save of its name in
// the edit folder (a temporary file and a rename, as editors save) to the map drawn again from the
// packed game file, the settling of the save (300 ms) included; 20 saves, the 95th percentile
// (counter p95_s) and the median (the figure).
// BM_WorkbenchOpenForty: a folder of 40 regions made from the sample world opened by the model:
// the time to the first region drawn (counter first_region_s), to every thumbnail (the figure),
// and the process's peak resident memory afterwards (peak_rss_mb).
#include <SDL.h>
#include <backends/imgui_impl_sdlrenderer.h>
#include <benchmark/benchmark.h>
#include <imgui.h>

#include <algorithm>
#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>

#include "authoring/sample_world.h"
#include "workbench/model/workbench.h"
#include "workbench/window/panels.h"
#include "workbench/window/workbench_window.h"

namespace karst::bench {
namespace {

namespace fs = std::filesystem;
using namespace karst::workbench;

// A folder of its own under the temporary folder, removed with everything in it at the end.
class ScratchFolder {
 public:
  ScratchFolder() {
    std::random_device seed;
    path_ = fs::temp_directory_path() / ("karst-bench-workbench-" + std::to_string(seed()));
    fs::create_directories(path_);
  }
  ~ScratchFolder() {
    std::error_code ignored;
    fs::remove_all(path_, ignored);
  }
  ScratchFolder(const ScratchFolder&) = delete;
  ScratchFolder& operator=(const ScratchFolder&) = delete;
  const fs::path& path() const { return path_; }

 private:
  fs::path path_;
};

void WriteFile(const fs::path& path, const std::vector<std::uint8_t>& bytes) {
  std::ofstream(path, std::ios::binary)
      .write(reinterpret_cast<const char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
}

// The sample world, its regions repeated under the names RGN01.GFF to RGN<count>.GFF.
void WriteWorld(const fs::path& folder, std::size_t count) {
  std::vector<const authoring::WorldFile*> regions;
  const std::vector<authoring::WorldFile> world = authoring::MakeSampleWorld();
  for (const authoring::WorldFile& file : world) {
    if (file.name == authoring::kObjectLibraryFileName) {
      WriteFile(folder / file.name, file.bytes);
    } else {
      regions.push_back(&file);
    }
  }
  for (std::size_t index = 0; index < count; ++index) {
    char name[16];
    std::snprintf(name, sizeof name, "RGN%02zu.GFF", index + 1);
    WriteFile(folder / name, regions[index % regions.size()]->bytes);
  }
}

bool Settle(Workbench& model) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(120);
  model.Poll();
  while (model.Busy() && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    model.Poll();
  }
  return !model.Busy();
}

double PeakResidentMegabytes() {
  std::ifstream status("/proc/self/status");
  std::string line;
  while (std::getline(status, line)) {
    if (line.rfind("VmHWM:", 0) == 0) {
      return std::stod(line.substr(6)) / 1024.0;
    }
  }
  return 0;
}

void BM_WorkbenchOpenForty(benchmark::State& state) {
  ScratchFolder folder;
  WriteWorld(folder.path(), 40);
  for (auto _ : state) {
    Workbench model([] {});
    model.view().Resize(1280, 900);
    const auto start = std::chrono::steady_clock::now();
    model.Open(folder.path().string());
    double firstRegion = 0;
    while (model.Busy()) {
      model.Poll();
      if (firstRegion == 0 && model.shown() != nullptr) {
        firstRegion = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
      model.Poll();
    }
    const double all = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    if (model.regions().size() != 40 || model.shown() == nullptr || !model.regions().back().thumbnail) {
      state.SkipWithError("the forty regions were not all drawn");
      return;
    }
    state.SetIterationTime(all);
    state.counters["first_region_s"] = firstRegion;
  }
  state.counters["peak_rss_mb"] = PeakResidentMegabytes();
}
void BM_WorkbenchSaveToMap(benchmark::State& state) {
  ScratchFolder folder;
  fs::create_directories(folder.path() / "world");
  WriteWorld(folder.path() / "world", 4);
  // The edit folder goes under this run's own data folder.
  setenv("XDG_DATA_HOME", (folder.path() / "data").c_str(), 1);
  Workbench model([] {});
  model.view().Resize(1280, 900);
  model.Open((folder.path() / "world").string());
  if (!Settle(model)) {
    state.SkipWithError("the world did not open");
    return;
  }
  model.StartLiveEdit(false);
  if (model.liveEdit() == nullptr) {
    state.SkipWithError("no region to edit");
    return;
  }
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(60);
  while ((model.liveEdit()->status() == LiveEditStatus::kStarting) && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
    model.Poll();
  }
  if (model.liveEdit()->status() != LiveEditStatus::kWatching) {
    state.SkipWithError("the edit did not start");
    return;
  }
  const fs::path nameFile = fs::path(model.liveEdit()->folder()) / "name.txt";
  std::vector<double> seconds;
  int save = 0;
  for (auto _ : state) {
    const std::string name = "Saved " + std::to_string(++save);
    const auto start = std::chrono::steady_clock::now();
    std::ofstream(nameFile.string() + ".part") << name << "\n";
    fs::rename(nameFile.string() + ".part", nameFile);
    while (std::chrono::steady_clock::now() < start + std::chrono::seconds(30)) {
      model.Poll();
      if (model.shown() != nullptr && model.shown()->name == name && !model.RegionLoading()) {
        break;
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double took = std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    state.SetIterationTime(took);
    seconds.push_back(took);
  }
  std::sort(seconds.begin(), seconds.end());
  state.counters["p95_s"] = seconds[std::min(seconds.size() - 1, seconds.size() * 95 / 100)];
  model.EndLiveEdit();
}
BENCHMARK(BM_WorkbenchSaveToMap)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(20);

BENCHMARK(BM_WorkbenchOpenForty)->UseManualTime()->Unit(benchmark::kMillisecond)->Iterations(3);

void BM_WorkbenchPanFrame(benchmark::State& state) {
  ScratchFolder folder;
  WriteWorld(folder.path(), 4);
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, 1920, 1080, 32, SDL_PIXELFORMAT_ARGB8888);
  SDL_Renderer* renderer = surface != nullptr ? SDL_CreateSoftwareRenderer(surface) : nullptr;
  if (renderer == nullptr) {
    state.SkipWithError("no software renderer");
    return;
  }
  ImGui::CreateContext();
  ImGuiIO& io = ImGui::GetIO();
  io.IniFilename = nullptr;
  io.DisplaySize = ImVec2(1920, 1080);
  ImGui_ImplSDLRenderer_Init(renderer);
  UseInterfaceFont(1.0f);
  {
    Workbench model([] {});
    Settings settings;
    settings.layers = "TOGBV";
    model.UseSettings(settings);
    model.Open(folder.path().string());
    Settle(model);
    std::size_t densest = 0;
    std::size_t most = 0;
    for (std::size_t index = 0; index < model.regions().size(); ++index) {
      model.ShowRegion(index);
      Settle(model);
      if (model.shown() != nullptr && model.shown()->entities.size() >= most) {
        most = model.shown()->entities.size();
        densest = index;
      }
    }
    model.ShowRegion(densest);
    Settle(model);
    WindowState window;
    window.renderer = renderer;
    DrawFrame(model, window);
    while (model.view().zoomStep() + 1 < kZoomSteps.size()) {
      model.view().ZoomIn();
    }
    model.SelectEntity(most / 2, true);
    // The pointer rests on the map, so the status bar says what is under it every frame.
    io.MousePos = ImVec2(static_cast<float>(window.map.x + window.map.width / 2),
                         static_cast<float>(window.map.y + window.map.height / 2));
    std::int32_t direction = 1;
    for (auto _ : state) {
      const std::int32_t before = model.view().scrollX();
      model.view().PanBy(-direction, 0);
      if (model.view().scrollX() == before) {
        direction = -direction;
      }
      io.DeltaTime = 1.0f / 60.0f;
      DrawFrame(model, window);
    }
    state.counters["entities"] = static_cast<double>(most);
  }
  ImGui_ImplSDLRenderer_Shutdown();
  ImGui::DestroyContext();
  SDL_DestroyRenderer(renderer);
  SDL_FreeSurface(surface);
}
BENCHMARK(BM_WorkbenchPanFrame)->Unit(benchmark::kMillisecond);

}  // namespace
}  // namespace karst::bench

BENCHMARK_MAIN();
