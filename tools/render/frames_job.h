// Every frame of a container's TILE, "BMP " and CBMP chunks as an indexed PNG,
// `karst-render frames` as a call: one picture a frame, DIR/<TAG>-<number>-<frame>.png, or with
// sheets one picture and its JSON description a chunk, DIR/<TAG>-<number>.png and .json; a later
// chunk with the same tag and number as an earlier one gets -2, -3, ... after its number.
//
// Every output is checked before the first is written, and each is written aside and renamed.
// The chunks are the job's items: a cancel comes between two of them, so a cancelled run keeps
// the chunks it finished, each file whole.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "gff/load_report.h"
#include "tools/job/job_context.h"
#include "tools/job/job_problem.h"

namespace karst::tools {

struct FramesRequest {
  std::string container;
  std::string outputFolder;  // made when missing
  std::string palette;       // a region whose colours the pictures get; empty: greys, every index opaque
  std::uint32_t scale = 1;
  bool sheet = false;
  // The "BMP " chunk of that number alone (every one of them, when several share it); none: every
  // frame-set chunk. A number the container has no such chunk for is a problem of kind kNotFound.
  std::optional<std::uint32_t> bitmap = std::nullopt;
};

// What became of one chunk, in the order it was met.
struct FramesChunk {
  std::string name;  // TAG-number
  std::string stem;  // the name its files begin with: `name`, made unique
  std::uint32_t offset = 0;
  bool read = false;                 // false: its payload lies beyond the end of the file
  std::vector<LoadNote> notes;       // what its decoding met
  std::vector<std::string> skipped;  // "TILE-3-1: no pixels (0 x 0), skipped": frames without pixels
  std::vector<JobProblem> problems;  // its pictures that could not be made or written
  std::size_t written = 0;           // its pictures (or sheets) written
  bool withoutSheet = false;         // with sheets: no frame has pixels, so it has none
};

struct FramesResult {
  std::vector<LoadNote> openNotes;             // what reading the container's directory met
  std::vector<std::string> directoryWarnings;  // what the end of the file hides from the directory
  std::vector<FramesChunk> chunks;             // the chunks done, in directory order: all unless cancelled
  std::vector<std::string> written;            // every file written, as its path
  // What stopped the job: a container that cannot be read, a refused output (kOutputRefused,
  // before anything was written), a palette that cannot be read, an output folder that takes no
  // file, a cancel.
  std::vector<JobProblem> problems;
};

FramesResult RenderFrames(const FramesRequest& request, JobContext& context);

}  // namespace karst::tools
