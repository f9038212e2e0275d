// Every region of a game folder as a picture, with its objects, as
// OUTPUT/<region file name without .GFF>.png, drawn on several threads: `karst-render all` as a
// call. Every picture is named and checked before the first is written; each is written aside and
// renamed, so a cancelled run keeps the pictures it finished, each whole.
#pragma once

#include <cstdint>
#include <string>

#include "tools/job/job_context.h"
#include "tools/render/region_loop.h"

namespace karst::tools {

struct AllRequest {
  std::string folder;
  std::string output;      // the folder the pictures go into, made when missing
  bool noObjects = false;  // draw the tiles only
  std::uint32_t scale = 1;
  std::uint32_t jobs = 0;  // regions drawn at once; 0: one per core
};

// The run's outputs are the pictures; a problem of kind kOutputRefused is a picture that may not
// be written, found before any was.
FolderRun RenderAll(const AllRequest& request, JobContext& context);

}  // namespace karst::tools
