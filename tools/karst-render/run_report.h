// How karst-render prints what its jobs give back: problems as "karst-render: FILE: WORDS" with
// the exit status they call for, and a run over a game folder (`all`, `atlas`): the library's
// lines, each region's outcome in region order, and the summary.
#pragma once

#include <string>
#include <vector>

#include "tools/job/job_problem.h"
#include "tools/render/region_loop.h"

namespace karst::tools {

// Prints each problem; the exit status: 2 when one is a refused output (nothing was written),
// 1 for any other, 0 when there is none.
int ReportProblems(const std::vector<JobProblem>& problems);

// The library's decoder lines on standard output, and why the regions are drawn without it.
void PrintLibrary(const FolderRun& run);

// Each region's outcome in region order: the decoders' lines, the undrawn entities' warning,
// "VERB FILE -> OUTPUT" when no bar was shown, or the failure.
void PrintOutcomes(const FolderRun& run, const std::string& verb, bool barShown);

// The summary that ends a run over a folder: how many regions were done and into where, each
// region renamed as "RGN01.gff -> what it became", and every failure (on standard error, with
// `failuresNote` after the count).
struct FolderSummary {
  std::string verb;  // "rendered", "mapped"
  std::string destination;
  std::vector<std::string> renamed;
  std::string failuresNote;
};

// Prints the summary; the exit status: 1 when some region failed, else 0.
int ReportSummary(const FolderRun& run, const FolderSummary& summary);

}  // namespace karst::tools
