// The objects job: the definitions of an object library, one row each, with the bitmap that
// draws them as far as the library has it, and what the viewer's load of the library meets.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "data/object_library.h"
#include "tools/inspect/game_check.h"
#include "tools/job/job_context.h"
#include "tools/job/job_problem.h"

namespace karst::tools {

// The bitmap a definition names, as far as the library has it: no frame count when the bitmap is
// missing, no frame 0 when it has no frames, no encoding when frame 0 carries no tag (a blank or
// empty frame).
struct BitmapSummary {
  struct FrameSize {
    std::uint32_t width = 0;
    std::uint32_t height = 0;
  };
  std::optional<std::size_t> frames;
  std::optional<FrameSize> first;
  // The four bytes of frame 0's encoding tag ("NRML", or whatever tag it carries).
  std::optional<std::string> encoding;
};

struct ObjectRow {
  std::uint32_t id = 0;  // the OJFF chunk's number
  // Nothing for a chunk that is not 16 bytes long.
  std::optional<ObjectDef> definition;
  BitmapSummary bitmap;
};

struct ObjectsResult {
  // Why the file is not listed, which stopped the job: kUnreadable, kNotContainer, kWouldNotLoad
  // (a region file, or a container that is no object library), kCancelled.
  std::vector<JobProblem> problems;
  // What the viewer's load meets in the library (the check's findings); warnings when `listed`.
  std::vector<Finding> findings;
  // The library was loaded and its rows are listed.
  bool listed = false;
  // One per definition, in the order of their numbers taken as signed 32-bit values (as the
  // viewer keeps them).
  std::vector<ObjectRow> rows;
};

// One item: the library at `path`.
ObjectsResult ListObjects(const std::string& path, JobContext& context);

}  // namespace karst::tools
