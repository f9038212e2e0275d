// What the jobs that draw a whole game folder share (`all`, the atlas): the plan that names each
// region's outputs, the folder's usable object library, and the one loop over the regions: the
// pool of workers that draw them and the queue they take regions from and leave their outcomes
// on. It prints nothing: each region's outcome is a value, and the progress goes to the job's
// context in region order.
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
#include "tools/job/job_context.h"
#include "tools/job/job_problem.h"
#include "tools/render/render_region.h"

namespace karst::tools {

inline constexpr std::uint32_t kMaxJobs = 16;

// One region of a run over a folder, named before anything is written.
struct PlannedRegion {
  std::string file;      // as found: "RGN01.gff"
  std::string input;     // its path
  std::string name;      // what its outputs are called: the file's name without .GFF, made unique
  bool renamed = false;  // `name` is not the file's own, as an earlier name differs from it only in case
};

// The folder's object library as a run over the folder takes it.
struct FolderLibrary {
  std::string path;                   // the file looked at (where it would be, when it is missing)
  std::vector<std::string> lines;     // what its decoders said, each distinct line once
  std::optional<JobProblem> problem;  // why the regions are drawn without objects; none when they have them
};

FolderLibrary UsableLibrary(const std::string& folder);

// The lines the viewer prints for the notes, each distinct one once with how often it came, in
// the order they first came: the tile strip alone repeats its line for every row of every tile
// with several frames.
std::vector<std::string> DistinctTexts(const std::vector<LoadNote>& notes);

// What a worker reports of one region, whatever the job makes of it.
struct RegionOutcome {
  bool written = false;    // everything the job makes of the region was written
  std::string failedFile;  // when not: the region, or the file that could not be written
  std::string error;
  std::vector<std::string> diagnostics;  // the decoders' lines, caught while reading the region
  EntityCount entities;
};

// What a run over a folder's regions gives back, whatever it makes of each.
struct FolderRun {
  std::vector<PlannedRegion> regions;    // every region of the folder, as planned
  std::vector<std::string> outputs;      // for each region, the file its outcome names: a picture, a map
  std::optional<FolderLibrary> library;  // the folder's library, once the run has read it
  std::vector<RegionOutcome> outcomes;   // the regions done, in order: every one unless cancelled
  std::vector<std::string> written;      // every file written, as its path
  std::vector<JobProblem> problems;      // what stopped the run (a refusal, a file not written, a cancel)
};

// The start of a run over `folder` into the folder `output`: the folder's regions, found in the
// viewer's order, into `run.regions`, each named for its outputs (the first of names that differ
// only in case keeps its own, the later ones get -2, -3, ... in that order), and `output` checked
// against the folder's files. The folder's files, against which each output is to be checked;
// none, with the problem in `run.problems`, when the folder has no regions or `output` may not
// be written into.
std::optional<InputFiles> PlanFolderRun(const std::string& folder, const std::string& output, FolderRun& run);

// The regions the workers take, one at a time, and where they leave each one's outcome; the
// caller takes the outcomes in region order, so the order of the results and of the progress
// does not depend on which worker finished first.
class RegionQueue {
 public:
  RegionQueue(std::size_t count, const JobContext& context) : context_(context), outcomes_(count) {}

  // The index of the next region no worker has taken; none when every region is taken or the job
  // was cancelled.
  std::optional<std::size_t> Take();
  void Post(std::size_t index, RegionOutcome outcome);
  // The outcome of region `index`; none when no worker will take it, as the job was cancelled.
  std::optional<RegionOutcome> WaitFor(std::size_t index);

 private:
  const JobContext& context_;
  std::mutex mutex_;
  std::condition_variable posted_;
  std::size_t next_ = 0;
  bool stopped_ = false;
  std::vector<std::optional<RegionOutcome>> outcomes_;
};

// Runs `work` on `jobs` workers (0: one per core, never more than regions): it sets up what it
// draws with, then takes regions from the queue until none is left and posts each one's outcome.
// Reports each region done, in region order, to `context`. Returns the outcomes in region order
// when every worker has ended: after a cancel, those of the regions taken before it.
std::vector<RegionOutcome> RunRegionLoop(const std::vector<PlannedRegion>& regions, std::uint32_t jobs,
                                         JobContext& context, const std::function<void(RegionQueue&)>& work);

}  // namespace karst::tools
