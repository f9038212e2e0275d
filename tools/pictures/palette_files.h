// A region's 256 colours as the palette files paint programs read, and the palette job that
// writes one: GIMP palette text (tools/pictures/gimp_palette.h), JASC
// palette text, an Adobe colour table, and a 16 x 16 indexed PNG swatch.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/job/job_context.h"
#include "tools/job/job_problem.h"
#include "tools/pictures/png_file.h"

namespace karst::tools {

enum class PaletteFormat {
  kGimp,    // gpl: GIMP palette (text; Name: the region's name, 16 columns)
  kJasc,    // pal: JASC palette (text, CRLF line ends)
  kAct,     // act: Adobe colour table (768 bytes: red, green, blue of each colour)
  kSwatch,  // png: a 16 x 16 indexed swatch, one pixel per colour in index order
};

// The format a name stands for, "gpl", "pal", "act" or "png" in any case; nothing for another.
std::optional<PaletteFormat> PaletteFormatNamed(const std::string& name);

// The format a file's extension names ("rgn01.GPL"); nothing without one that names a format,
// and for "-".
std::optional<PaletteFormat> PaletteFormatOfFile(const std::string& output);

struct PaletteRequest {
  std::string region;
  // A file, a device, or "-" for the standard output (tools/files/output_file.h).
  std::string output;
  PaletteFormat format = PaletteFormat::kGimp;
};

struct PaletteResult {
  // The one problem that stopped the job: kOutputRefused (the input, a game file, a PNG under
  // another extension), kUnreadable, kNotContainer or kWouldNotLoad (no colours to write),
  // kWriteFailed, kCancelled. Nothing is written then.
  std::vector<JobProblem> problems;
  // The output, once it holds the palette.
  std::vector<std::string> written;
};

// The palette job: the region's colours, converted as the viewer converts them, all 256, into one
// file written aside and renamed. One item; a cancel before the write leaves nothing.
PaletteResult WritePaletteFile(const PaletteRequest& request, JobContext& context);

}  // namespace karst::tools
