// The extract job: the raw payload of one chunk of a container, written whole to one output or
// not at all.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "gff/format.h"
#include "gff/load_report.h"
#include "tools/job/job_context.h"
#include "tools/job/job_problem.h"

namespace karst::tools {

struct ExtractRequest {
  std::string path;
  Tag tag{};
  std::uint32_t number = 0;
  // A file, a device, or "-" for the standard output (tools/files/output_file.h).
  std::string output;
};

struct ExtractResult {
  // What opening the container met, for the viewer's lines (PrintedLineOf).
  std::vector<LoadNote> notes;
  // The one problem that stopped the job: kOutputRefused (the output may never be written: the
  // input, a game file), kUnreadable, kNotContainer, kNotFound (no such chunk), kWriteFailed,
  // kCancelled. Nothing is written then.
  std::vector<JobProblem> problems;
  // The output, once it holds the payload.
  std::vector<std::string> written;
};

// "BMP" stands for "BMP ": a tag as a person types it, padded with blanks to four bytes.
Tag PaddedTag(const std::string& text);

// The first chunk with that tag and number in directory order. One item: reading the chunk and
// writing it, aside and renamed; a cancel before the write leaves nothing.
ExtractResult ExtractChunk(const ExtractRequest& request, JobContext& context);

}  // namespace karst::tools
