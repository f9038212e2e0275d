#include "tools/karst-gff/palette_command.h"

#include <cstdint>
#include <cstdio>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "tools/cli/cli.h"
#include "tools/files/output_checks.h"
#include "tools/files/output_file.h"
#include "tools/files/unique_names.h"
#include "tools/karst-gff/gff_tool.h"
#include "tools/pictures/gimp_palette.h"
#include "tools/pictures/png_file.h"
#include "tools/pictures/region_palette.h"

namespace karst::tools {
namespace {

constexpr const char* kAcceptedFormats = "gpl, pal, act or png";
constexpr std::uint32_t kSwatchSide = 16;

enum class PaletteFormat { kGimp, kJasc, kAct, kSwatch };

struct PaletteOptions {
  std::string path;
  std::string output;
  std::string format;
};

std::optional<PaletteFormat> FormatNamed(const std::string& name) {
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

// --format when given, else OUT's extension; nothing when neither names a format.
std::optional<PaletteFormat> ChosenFormat(const PaletteOptions& options) {
  if (!options.format.empty()) {
    return FormatNamed(options.format);
  }
  if (options.output == kStandardOutputName) {
    return std::nullopt;
  }
  const std::string extension = platform::PathText(platform::NativePath(options.output).extension());
  return extension.empty() ? std::nullopt : FormatNamed(extension.substr(1));
}

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

int RunPalette(const PaletteOptions& options) {
  const std::optional<PaletteFormat> format = ChosenFormat(options);
  if (!format) {
    ReportError(kTool, options.output,
                std::string("cannot tell which palette format to write: name OUT .gpl, .pal, .act or .png, or give "
                            "--format ") +
                    kAcceptedFormats);
    return kExitUsage;
  }
  const InputFiles inputs({options.path});
  if (const std::string refusal = RefuseOutput(options.output, inputs); !refusal.empty()) {
    ReportError(kTool, options.output, refusal);
    return kExitUsage;
  }
  if (const std::string refusal = *format == PaletteFormat::kSwatch ? RefuseNonPngName(options.output) : "";
      !refusal.empty()) {
    ReportError(kTool, options.output, refusal);
    return kExitUsage;
  }
  ReserveStandardOutputFor(options.output);
  std::string error;
  const std::optional<RegionColours> colours = ReadRegionColours(options.path, error);
  if (!colours) {
    ReportError(kTool, options.path, error);
    return kExitFailure;
  }
  if (const std::string failure = WritePalette(options.output, *format, *colours); !failure.empty()) {
    ReportError(kTool, options.output, failure);
    return kExitFailure;
  }
  return kExitSuccess;
}

}  // namespace

void AddPaletteCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<PaletteOptions>();
  CLI::App* command = app.add_subcommand("palette", "Write a region's 256 colours as a palette file");
  command->footer(
      "The colours are the region's own, converted from its \"PAL \" chunk as the viewer shows\n"
      "them, all 256 (entry 255 included). The format follows OUT's extension, in any case, or\n"
      "--format, which -o - and names without one need:\n"
      "  gpl   GIMP palette (text; Name: the region's name, 16 columns)\n"
      "  pal   JASC palette (text, CRLF line ends)\n"
      "  act   Adobe colour table (768 bytes: red, green, blue of each colour)\n"
      "  png   a 16 x 16 indexed swatch, one pixel per colour in index order\n"
      "A region without a \"PAL \" chunk of 768 bytes is an error (exit status 1). OUT is written\n"
      "whole or not at all; one that is the input or holds a GFF container is refused (exit\n"
      "status 2) and nothing is written.\n"
      "\n"
      "Examples:\n"
      "  karst-gff palette RGN01.GFF -o rgn01.gpl                    for GIMP, Krita, Inkscape\n"
      "  karst-gff palette RGN01.GFF -o rgn01.pal                    JASC palette\n"
      "  karst-gff palette RGN01.GFF -o - --format act | xxd | head  to standard output");
  command->add_option("RGN.GFF", options->path, "the region file to read")->required()->type_name("");
  command->add_option("-o,--output", options->output, "the palette file to write; - for standard output")
      ->required()
      ->type_name("OUT");
  command->add_option("--format", options->format, "gpl, pal, act or png; without it, OUT's extension")
      ->type_name("FORMAT")
      ->check([](const std::string& text) {
        return FormatNamed(text) ? std::string() : std::string("expected ") + kAcceptedFormats;
      });
  command->callback([options, &exitCode] { exitCode = RunPalette(*options); });
}

}  // namespace karst::tools
