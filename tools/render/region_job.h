// One region drawn as the viewer draws it, `karst-render region` as a call: the whole region or
// one view (tools/render/render_region.h), with the objects of a library, written as one indexed
// PNG. The picture is written aside and renamed, so a run that is cancelled or fails leaves
// nothing.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gff/load_report.h"
#include "tools/job/job_context.h"
#include "tools/job/job_problem.h"
#include "tools/render/render_region.h"

namespace karst::tools {

struct RegionRequest {
  std::string region;
  std::string objects;             // the library; empty: the one beside the region, when there is one
  bool noObjects = false;          // draw the tiles only
  std::optional<ViewOrigin> view;  // one 640 x 480 view; none: the whole region
  std::uint32_t scale = 1;
  std::string output;  // a PNG file, or "-" for the standard output
};

struct RegionResult {
  // The library, as named or found beside the region; empty when none. One found beside the
  // region that cannot be used leaves the tiles only, and `libraryProblem` says why.
  std::string library;
  bool libraryBeside = false;  // looked for beside the region: no library named, objects wanted
  bool libraryUsed = false;    // loaded, and its objects drawn
  std::vector<LoadNote> libraryNotes;
  std::optional<JobProblem> libraryProblem;
  std::vector<LoadNote> regionNotes;
  EntityCount entities;  // the entities the object layer passed over
  std::vector<std::string> written;
  // What stopped the job: a refused output (kOutputRefused, before anything), a file that
  // cannot be read or shown, a named library the viewer would not start with, the write, a cancel.
  std::vector<JobProblem> problems;
};

RegionResult RenderRegionPicture(const RegionRequest& request, JobContext& context);

}  // namespace karst::tools
