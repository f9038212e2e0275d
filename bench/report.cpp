// Reads the JSON output of the benchmark programs (--benchmark_format=json, with repetitions)
// and prints the medians, the ratios between figures of one run and the goals they are held
// to, as Markdown tables.
//
//   karst-bench-report FRAME.json DECODE.json ZONE.json [ATLAS.json] [ROUNDTRIP.json] [VIEWER-CPU.json] [MAP.json]
//   [WORKBENCH.json]
#include <nlohmann/json.hpp>

#include <cstdio>
#include <fstream>
#include <map>
#include <optional>
#include <string>

namespace {

using nlohmann::json;

struct Figure {
  double nanoseconds = 0;                  // median CPU time per iteration
  double itemsPerSecond = 0;               // median, when the benchmark counts items
  double realNanoseconds = 0;              // median wall-clock time per iteration (what a manual timing measures)
  std::map<std::string, double> counters;  // the benchmark's own counters, by name
};

double ToNanoseconds(double value, const std::string& unit) {
  if (unit == "us") return value * 1e3;
  if (unit == "ms") return value * 1e6;
  if (unit == "s") return value * 1e9;
  return value;
}

// The viewer's CPU use under Xvfb (scripts/viewer-cpu.sh), percent of one core.
struct ViewerCpu {
  double seconds = 0;
  double atRestPercent = 0;
  double edgeScrollingPercent = 0;
};

// Median figures by benchmark name; without repetitions, the single run. A file of the viewer's
// CPU figures fills `cpu` instead. The programs' own context entries (which vector code they
// chose) go into `context`.
bool ReadFigures(const char* path, std::map<std::string, Figure>& figures, std::optional<ViewerCpu>& cpu,
                 std::map<std::string, std::string>& context) {
  std::ifstream file(path);
  const json document = json::parse(file, nullptr, false);
  if (!document.is_discarded() && document.contains("edge_scrolling_percent")) {
    cpu = ViewerCpu{document.value("seconds", 0.0), document.value("at_rest_percent", 0.0),
                    document.value("edge_scrolling_percent", 0.0)};
    return true;
  }
  if (document.is_discarded() || !document.contains("benchmarks")) {
    std::fprintf(stderr, "karst-bench-report: %s is no benchmark JSON output\n", path);
    return false;
  }
  if (document.contains("context") && document["context"].is_object()) {
    for (const auto& [key, value] : document["context"].items()) {
      if (value.is_string()) {
        context[key] = value.get<std::string>();
      }
    }
  }
  for (const json& run : document["benchmarks"]) {
    const std::string runType = run.value("run_type", "iteration");
    if (runType == "aggregate" && run.value("aggregate_name", "") != "median") {
      continue;
    }
    const std::string name = run.value("run_name", run.value("name", ""));
    if (runType == "iteration" && figures.contains(name)) {
      continue;
    }
    Figure figure;
    figure.nanoseconds = ToNanoseconds(run.value("cpu_time", 0.0), run.value("time_unit", "ns"));
    figure.itemsPerSecond = run.value("items_per_second", 0.0);
    figure.realNanoseconds = ToNanoseconds(run.value("real_time", 0.0), run.value("time_unit", "ns"));
    for (const char* counter : {"first_region_s", "peak_rss_mb", "p95_s"}) {
      if (run.contains(counter) && run[counter].is_number()) {
        figure.counters[counter] = run[counter].get<double>();
      }
    }
    figures[name] = figure;
  }
  return true;
}

std::string Time(double nanoseconds) {
  char text[64];
  if (nanoseconds >= 1e6) {
    std::snprintf(text, sizeof text, "%.3f ms", nanoseconds / 1e6);
  } else {
    std::snprintf(text, sizeof text, "%.1f us", nanoseconds / 1e3);
  }
  return text;
}

}  // namespace

int main(int argc, char** argv) {
  std::map<std::string, Figure> figures;
  std::optional<ViewerCpu> cpu;
  std::map<std::string, std::string> context;
  for (int i = 1; i < argc; ++i) {
    if (!ReadFigures(argv[i], figures, cpu, context)) {
      return 1;
    }
  }
  if (context.contains("blit_vectors")) {
    std::printf("Fast paths: keyed and mirrored blits %s, 8-to-32 conversion %s; decoders the same C++ everywhere\n\n",
                context["blit_vectors"].c_str(), context["conversion_vectors"].c_str());
  }
  auto find = [&figures](const std::string& name) -> std::optional<Figure> {
    const auto it = figures.find(name);
    return it == figures.end() ? std::nullopt : std::optional<Figure>(it->second);
  };

  struct Row {
    const char* name;
    const char* what;
  };
  const Row rows[] = {
      {"BM_Compose", "compose: tiles + objects + name + 8-to-32 conversion, dense view"},
      {"BM_ComposeTiles", "  of which tile layer (1271 blits)"},
      {"BM_ComposeObjects", "  of which object layer (300 keyed blits, half mirrored)"},
      {"BM_ComposeConversion", "  of which 8-to-32 conversion"},
      {"BM_SdlPeerCompose", "SDL2 peer: the same frame with SDL_BlitSurface"},
      {"BM_FrameMemcpy", "memcpy of the 1,228,800-byte 32-bit frame"},
      {"BM_DecodeNrml", "decode NRML (sample world tiles and objects)"},
      {"BM_DecodePlan", "decode PLAN (the same images)"},
      {"BM_DecodePlnr", "decode PLNR (the same images)"},
      {"BM_LoadZone", "LoadZone alone, densest sample region"},
      {"BM_FirstFrame", "the first PresentFrame after that LoadZone"},
      {"BM_ReadRegionBytes", "reading the same region file's bytes"},
      {"BM_AtlasSample/jobs:1", "karst-render atlas, sample world (4 regions), 1 job, wall clock"},
      {"BM_AtlasSample/jobs:2", "karst-render atlas, sample world, 2 jobs, wall clock"},
      {"BM_AtlasForty/jobs:1", "karst-render atlas, 40 regions, 1 job, wall clock"},
      {"BM_AtlasForty/jobs:2", "karst-render atlas, 40 regions, 2 jobs, wall clock"},
      {"BM_Unpack", "karst-gff unpack of a generated 37 MB object library, wall clock"},
      {"BM_FramesOfLibrary", "karst-render frames of the same library, wall clock"},
      {"BM_PackUnchanged", "karst-gff pack of its unchanged unpack, wall clock"},
      {"BM_CopyUnpackFolder", "cp -r of the unpack folder + cp of the library, wall clock"},
      {"BM_UnpackRegion", "karst-gff unpack of sample RGN01.GFF with its map (library beside), wall clock"},
      {"BM_RenderRegion", "karst-render region of the same region, wall clock"},
      {"BM_MapPanelZoom8", "workbench map panel 1920 x 1080, zoom 8, every layer, densest sample region"},
      {"BM_MapPanelZoom1", "the same panel at zoom 1"},
  };
  std::printf("| benchmark | what | median time | pixels/s |\n|---|---|---:|---:|\n");
  for (const Row& row : rows) {
    if (const auto figure = find(row.name)) {
      char rate[32] = "";
      if (figure->itemsPerSecond > 0) {
        std::snprintf(rate, sizeof rate, "%.2f G", figure->itemsPerSecond / 1e9);
      }
      std::printf("| %s | %s | %s | %s |\n", row.name, row.what, Time(figure->nanoseconds).c_str(), rate);
    }
  }

  std::printf("\n| goal | measured | target | met |\n|---|---:|---:|---|\n");
  auto ratioGoal = [&](const char* what, const char* numerator, const char* denominator, double target, bool atMost) {
    const auto a = find(numerator);
    const auto b = find(denominator);
    if (!a || !b || b->nanoseconds <= 0) {
      return;
    }
    const double ratio = a->nanoseconds / b->nanoseconds;
    const bool met = atMost ? ratio <= target : ratio >= target;
    std::printf("| %s | %.2f x | %s %.2f x | %s |\n", what, ratio, atMost ? "<=" : ">=", target, met ? "yes" : "no");
  };
  auto rateGoal = [&](const char* what, const char* name, double targetPerSecond) {
    if (const auto figure = find(name)) {
      std::printf("| %s | %.2f Gpixel/s | >= %.1f Gpixel/s | %s |\n", what, figure->itemsPerSecond / 1e9,
                  targetPerSecond / 1e9, figure->itemsPerSecond >= targetPerSecond ? "yes" : "no");
    }
  };
  ratioGoal("compose / memcpy of the 32-bit frame", "BM_Compose", "BM_FrameMemcpy", 3.0, true);
  ratioGoal("compose / SDL2 peer", "BM_Compose", "BM_SdlPeerCompose", 1.0 / 3.0, true);
  if (const auto load = find("BM_LoadZone"), frame = find("BM_FirstFrame"); load && frame) {
    const double both = load->nanoseconds + frame->nanoseconds;
    std::printf("| LoadZone + first frame | %s | <= %s | %s |\n", Time(both).c_str(), Time(2e6).c_str(),
                both <= 2e6 ? "yes" : "no");
  }
  ratioGoal("LoadZone / reading the file", "BM_LoadZone", "BM_ReadRegionBytes", 20.0, true);
  ratioGoal("first frame after LoadZone / memcpy of the 32-bit frame", "BM_FirstFrame", "BM_FrameMemcpy", 3.0, true);
  // Not a goal of its own: the part of those two goals that the conversion alone takes.
  if (const auto conversion = find("BM_ComposeConversion"), copy = find("BM_FrameMemcpy");
      conversion && copy && copy->nanoseconds > 0) {
    std::printf("| (of which the 8-to-32 conversion alone / memcpy) | %.2f x | | |\n",
                conversion->nanoseconds / copy->nanoseconds);
  }
  rateGoal("NRML decoding", "BM_DecodeNrml", 1.2e9);
  rateGoal("PLAN decoding", "BM_DecodePlan", 1.2e9);
  rateGoal("PLNR decoding", "BM_DecodePlnr", 0.8e9);
  ratioGoal("atlas of the sample world, 2 jobs / 1 job", "BM_AtlasSample/jobs:2", "BM_AtlasSample/jobs:1", 0.6, true);
  ratioGoal("atlas of 40 regions, 2 jobs / 1 job", "BM_AtlasForty/jobs:2", "BM_AtlasForty/jobs:1", 0.6, true);
  ratioGoal("pack of an unchanged unpack / cp of folder and library", "BM_PackUnchanged", "BM_CopyUnpackFolder", 1.5,
            true);
  ratioGoal("unpack of a library / karst-render frames of it", "BM_Unpack", "BM_FramesOfLibrary", 2.0, true);
  ratioGoal("unpack of a region with its map / karst-render region of it", "BM_UnpackRegion", "BM_RenderRegion", 3.0,
            true);
  if (const auto panel = find("BM_MapPanelZoom8")) {
    std::printf("| workbench map panel at zoom 8, every layer | %s | <= %s | %s |\n", Time(panel->nanoseconds).c_str(),
                Time(8e6).c_str(), panel->nanoseconds <= 8e6 ? "yes" : "no");
  }
  if (const auto frame = find("BM_WorkbenchPanFrame")) {
    std::printf(
        "| workbench frame panning at zoom 8, every layer, 1920 x 1080, software renderer | %s | <= %s | %s |\n",
        Time(frame->nanoseconds).c_str(), Time(8e6).c_str(), frame->nanoseconds <= 8e6 ? "yes" : "no");
  }
  if (const auto save = find("BM_WorkbenchSaveToMap")) {
    const double p95 = save->counters.contains("p95_s") ? save->counters.at("p95_s") : 0;
    std::printf("| workbench live edit: a save to the map drawn again, 95th percentile of 20 | %s | <= %s | %s |\n",
                Time(p95 * 1e9).c_str(), Time(1e9).c_str(), p95 <= 1.0 ? "yes" : "no");
  }
  if (const auto open = find("BM_WorkbenchOpenForty")) {
    const double first = open->counters.contains("first_region_s") ? open->counters.at("first_region_s") : 0;
    std::printf("| workbench on 40 regions: the first region drawn | %s | <= %s | %s |\n", Time(first * 1e9).c_str(),
                Time(0.5e9).c_str(), first <= 0.5 ? "yes" : "no");
    std::printf("| workbench on 40 regions: every thumbnail | %s | <= %s | %s |\n", Time(open->realNanoseconds).c_str(),
                Time(5e9).c_str(), open->realNanoseconds <= 5e9 ? "yes" : "no");
    const double memory = open->counters.contains("peak_rss_mb") ? open->counters.at("peak_rss_mb") : 0;
    std::printf("| workbench on 40 regions: peak resident memory | %.0f MB | < 300 MB | %s |\n", memory,
                memory < 300 ? "yes" : "no");
  }
  if (cpu) {
    auto cpuGoal = [&](const char* what, double percent, double target) {
      std::printf("| %s (%.0f s) | %.2f %% of a core | <= %.0f %% | %s |\n", what, cpu->seconds, percent, target,
                  percent <= target ? "yes" : "no");
    };
    cpuGoal("viewer at rest under Xvfb", cpu->atRestPercent, 1.0);
    cpuGoal("viewer edge scrolling under Xvfb", cpu->edgeScrollingPercent, 10.0);
  }
  return 0;
}
