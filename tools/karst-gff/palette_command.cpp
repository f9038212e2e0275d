#include "tools/karst-gff/palette_command.h"

#include <memory>
#include <optional>
#include <string>

#include "tools/cli/cli.h"
#include "tools/files/output_file.h"
#include "tools/job/job_context.h"
#include "tools/karst-gff/gff_tool.h"
#include "tools/pictures/palette_files.h"

namespace karst::tools {
namespace {

constexpr const char* kAcceptedFormats = "gpl, pal, act or png";

struct PaletteOptions {
  std::string path;
  std::string output;
  std::string format;
};

// --format when given, else OUT's extension; nothing when neither names a format.
std::optional<PaletteFormat> ChosenFormat(const PaletteOptions& options) {
  return options.format.empty() ? PaletteFormatOfFile(options.output) : PaletteFormatNamed(options.format);
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
  ReserveStandardOutputFor(options.output);
  JobContext context;
  const PaletteResult result = WritePaletteFile({options.path, options.output, *format}, context);
  for (const JobProblem& problem : result.problems) {
    ReportError(kTool, problem.file, problem.words);
  }
  if (result.problems.empty()) {
    return kExitSuccess;
  }
  return result.problems.front().kind == ProblemKind::kOutputRefused ? kExitUsage : kExitFailure;
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
        return PaletteFormatNamed(text) ? std::string() : std::string("expected ") + kAcceptedFormats;
      });
  command->callback([options, &exitCode] { exitCode = RunPalette(*options); });
}

}  // namespace karst::tools
