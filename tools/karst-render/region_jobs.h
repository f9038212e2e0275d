// What the commands that draw a whole game folder share (`all`, `atlas`): finding the folder's
// regions and its usable object library, and the one loop over the regions: the pool of workers
// that draw them, the queue they take regions from and leave their outcomes on, and what is
// printed of each region, with the progress, while they do.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "gff/load_report.h"
#include "tools/files/output_checks.h"
#include "tools/render/render_region.h"

namespace karst::tools {

inline constexpr std::uint32_t kMaxJobs = 16;

// The region files of `folder` (RGN*.GFF, any case), in the viewer's order. Empty, with the
// problem reported on standard error as `tool`'s, when the folder cannot be read or holds none.
std::vector<std::string> FindRegionFiles(const char* tool, const std::string& folder);

// What a run over the folder reads: its library and the region files `names`, so that no output
// can be one of them.
InputFiles FolderInputs(const std::string& folder, const std::vector<std::string>& names);

// The summary that ends a run over a folder: how many regions were done and into where, each
// region renamed as "RGN01.gff -> what it became", and every failure (on standard error, with
// `failuresNote` after the count).
struct FolderSummary {
  std::string verb;  // "rendered", "mapped"
  std::string destination;
  std::size_t regions = 0;
  std::vector<std::string> renamed;
  std::vector<std::string> failures;
  std::string failuresNote;
};

// Prints the summary; the exit status: 1 when some region failed, else 0.
int ReportSummary(const char* tool, const FolderSummary& summary);

// The folder's library when the viewer could start with it; empty otherwise, with the reason
// reported. Its decoder lines are printed once, here.
std::string UsableLibrary(const char* tool, const std::string& folder);

// The lines the viewer prints for the notes, each distinct one once with how often it came, in
// the order they first came: the tile strip alone repeats its line for every row of every tile
// with several frames.
std::vector<std::string> DistinctTexts(const std::vector<LoadNote>& notes);

// What a worker reports of one region, whatever the command makes of it.
struct RegionOutcome {
  bool written = false;    // everything the command makes of the region was written
  std::string failedFile;  // when not: the region, or the file that could not be written
  std::string error;
  std::vector<std::string> diagnostics;  // the decoders' lines, caught while reading the region
  EntityCount entities;
};

// The regions the workers take, one at a time, and where they leave each one's outcome; the
// main thread takes the outcomes in region order, so what is printed does not depend on which
// worker finished first.
class RegionQueue {
 public:
  explicit RegionQueue(std::size_t count) : outcomes_(count) {}

  // The index of the next region no worker has taken; none when every region is taken.
  std::optional<std::size_t> Take();
  void Post(std::size_t index, RegionOutcome outcome);
  RegionOutcome WaitFor(std::size_t index);

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::size_t next_ = 0;
  std::vector<std::optional<RegionOutcome>> outcomes_;
};

// One run over a folder's regions: for each, its file as found, its path and the output that
// the line of a written region names.
struct RegionLoop {
  const char* tool;
  std::string verb;                  // "rendered", "mapped"
  std::vector<std::string> names;    // the region files as found, shown in the progress
  std::vector<std::string> inputs;   // their paths
  std::vector<std::string> outputs;  // what each region is written as
  std::uint32_t jobs = 0;            // the workers asked for; 0: one per core
};

struct RegionLoopResult {
  std::vector<RegionOutcome> outcomes;  // in region order
  std::vector<std::string> failures;    // "FILE: REASON", in region order
};

// Runs `work` on each of the loop's workers: it sets up what it draws with, then takes regions
// from the queue until none is left and posts each one's outcome. Meanwhile prints each region's
// outcome in region order (the decoders' lines, the undrawn entities' warning, "VERB NAME ->
// OUTPUT" when no bar is shown, or the failure) with the progress. Returns when every worker
// has ended.
RegionLoopResult RunRegionLoop(const RegionLoop& loop, const std::function<void(RegionQueue&)>& work);

}  // namespace karst::tools
