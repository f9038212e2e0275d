// The workbench's exports, each the job of a `karst-render` command called with what the window
// shows, to be run in a BackgroundJob; and the lines a person reads about what a finished export
// did. The rules for outputs (never over an input, never a game file's name, nothing
// half-written) are the jobs' own.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "tools/job/job_context.h"
#include "tools/render/all_job.h"
#include "tools/render/atlas_job.h"
#include "tools/render/frames_job.h"
#include "tools/render/region_job.h"

namespace karst::workbench {

// The shown region as a PNG: `karst-render region`, with the library beside the region, or with
// `--no-objects` when the objects are hidden.
struct RegionExport {
  std::string region;
  bool objectsShown = true;
  std::uint32_t scale = 1;
  std::string output;  // a PNG file; "-" (the command lines' standard output) is refused
};
tools::RegionResult ExportRegion(const RegionExport& request, tools::JobContext& context);

// Every region of the folder: `karst-render all`.
struct AllExport {
  std::string folder;
  bool objectsShown = true;
  std::string outputFolder;
};
tools::FolderRun ExportAll(const AllExport& request, tools::JobContext& context);

// The atlas of the folder: `karst-render atlas`.
struct AtlasExport {
  std::string folder;
  bool objectsShown = true;
  std::string site;
};
tools::AtlasResult ExportAtlas(const AtlasExport& request, tools::JobContext& context);

// The frames of one object's bitmap ("BMP " chunk `bitmap` of the library) in the colours of the
// region shown.
struct FramesExport {
  std::string library;
  std::uint32_t bitmap = 0;
  std::string region;  // whose colours the pictures get
  std::string outputFolder;
};
tools::FramesResult ExportFrames(const FramesExport& request, tools::JobContext& context);

// What an export did, in lines a person reads: "Wrote OUT.png", "Wrote 12 files to DIR",
// "Cancelled: nothing written", "Cancelled: kept 3 whole files in DIR", and every problem and
// warning as "FILE: words".
std::vector<std::string> ExportSummary(const RegionExport& request, const tools::RegionResult& result);
std::vector<std::string> ExportSummary(const AllExport& request, const tools::FolderRun& run);
std::vector<std::string> ExportSummary(const AtlasExport& request, const tools::AtlasResult& result);
std::vector<std::string> ExportSummary(const FramesExport& request, const tools::FramesResult& result);

}  // namespace karst::workbench
