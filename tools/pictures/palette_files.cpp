#include "tools/pictures/palette_files.h"

#include "tools/pictures/gimp_palette.h"

#include <cstdio>
#include <utility>

#include "data/file_problems.h"
#include "platform/paths.h"
#include "tools/files/output_checks.h"
#include "tools/files/output_file.h"
#include "tools/files/unique_names.h"
#include "tools/pictures/region_palette.h"

namespace karst::tools {
namespace {

constexpr std::uint32_t kSwatchSide = 16;

struct Colour {
  unsigned red;
  unsigned green;
  unsigned blue;
};

Colour ColourAt(const PngPalette& palette, std::size_t index) {
  return {palette[3 * index], palette[3 * index + 1], palette[3 * index + 2]};
}

std::vector<std::uint8_t> Bytes(const std::string& text) { return {text.begin(), text.end()}; }

// JASC palette text, with the CRLF line ends the paint programs that read it write.
std::vector<std::uint8_t> JascPalette(const PngPalette& palette) {
  std::string text = "JASC-PAL\r\n0100\r\n256\r\n";
  for (std::size_t i = 0; i < 256; ++i) {
    const Colour colour = ColourAt(palette, i);
    char line[32];
    std::snprintf(line, sizeof line, "%u %u %u\r\n", colour.red, colour.green, colour.blue);
    text += line;
  }
  return Bytes(text);
}

std::string WritePalette(const std::string& target, PaletteFormat format, const RegionColours& colours) {
  switch (format) {
    case PaletteFormat::kGimp:
      return WriteOutput(target, Bytes(GimpPaletteText(colours.palette, colours.name)));
    case PaletteFormat::kJasc:
      return WriteOutput(target, JascPalette(colours.palette));
    case PaletteFormat::kAct:
      // The colour table alone, 768 bytes: without the optional count trailer every entry counts.
      return WriteOutput(target, colours.palette);
    case PaletteFormat::kSwatch: {
      std::vector<std::uint8_t> pixels(kSwatchSide * kSwatchSide);
      for (std::size_t i = 0; i < pixels.size(); ++i) {
        pixels[i] = static_cast<std::uint8_t>(i);
      }
      return WriteIndexedPng(target, kSwatchSide, kSwatchSide, pixels, colours.palette);
    }
  }
  return "unknown format";
}

// What kind of problem keeps the region's colours from being read, given ReadRegionColours' words.
ProblemKind ColoursProblemKind(const std::string& path, const std::string& error) {
  if (!InputProblem(path).empty()) {
    return ProblemKind::kUnreadable;
  }
  return error == kNotContainer ? ProblemKind::kNotContainer : ProblemKind::kWouldNotLoad;
}

}  // namespace

std::optional<PaletteFormat> PaletteFormatNamed(const std::string& name) {
  const std::string folded = FoldCase(name);
  if (folded == "gpl") {
    return PaletteFormat::kGimp;
  }
  if (folded == "pal") {
    return PaletteFormat::kJasc;
  }
  if (folded == "act") {
    return PaletteFormat::kAct;
  }
  if (folded == "png") {
    return PaletteFormat::kSwatch;
  }
  return std::nullopt;
}

std::optional<PaletteFormat> PaletteFormatOfFile(const std::string& output) {
  if (output == kStandardOutputName) {
    return std::nullopt;
  }
  const std::string extension = platform::PathText(platform::NativePath(output).extension());
  return extension.empty() ? std::nullopt : PaletteFormatNamed(extension.substr(1));
}

PaletteResult WritePaletteFile(const PaletteRequest& request, JobContext& context) {
  PaletteResult result;
  context.Report(0, 1, request.output);
  const auto fail = [&result](const std::string& file, ProblemKind kind, std::string words) {
    result.problems.push_back({file, kind, std::move(words), {}});
    return std::move(result);
  };
  const InputFiles sources({request.region});
  if (std::string refusal = RefuseOutput(request.output, sources); !refusal.empty()) {
    return fail(request.output, ProblemKind::kOutputRefused, std::move(refusal));
  }
  if (std::string refusal = request.format == PaletteFormat::kSwatch ? RefuseNonPngName(request.output) : "";
      !refusal.empty()) {
    return fail(request.output, ProblemKind::kOutputRefused, std::move(refusal));
  }
  std::string error;
  const std::optional<RegionColours> colours = ReadRegionColours(request.region, error);
  if (!colours) {
    const ProblemKind kind = ColoursProblemKind(request.region, error);
    return fail(request.region, kind, std::move(error));
  }
  // The last moment a cancel can leave nothing behind: the write puts the file in place whole.
  if (context.Cancelled()) {
    return fail(request.output, ProblemKind::kCancelled, "cancelled: nothing written");
  }
  if (std::string failure = WritePalette(request.output, request.format, *colours); !failure.empty()) {
    return fail(request.output, ProblemKind::kWriteFailed, std::move(failure));
  }
  result.written.push_back(request.output);
  context.Report(1, 1);
  return result;
}

}  // namespace karst::tools
