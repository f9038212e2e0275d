#include "tools/karst-render/region_command.h"

#include <cstdint>
#include <iostream>
#include <memory>
#include <optional>
#include <string>

#include "data/region.h"
#include "platform/terminal.h"
#include "tools/cli/cli.h"
#include "tools/cli/progress_bar.h"
#include "tools/cli/shown_notes.h"
#include "tools/files/output_file.h"
#include "tools/karst-render/render_tool.h"
#include "tools/karst-render/run_report.h"
#include "tools/render/region_job.h"
#include "tools/text/name_text.h"

namespace karst::tools {
namespace {

struct RegionOptions {
  std::string path;
  std::string objectsPath;
  bool noObjects = false;
  std::string view;
  std::uint32_t scale = 1;
  std::string output;
};

// The viewer's lines for what the loads met, on their channels, as the viewer prints them but
// with the game's bytes in them shown as names are.
void PrintNotes(const std::vector<LoadNote>& notes) {
  for (const LoadNote& note : notes) {
    PrintShownNote(note);
  }
}

int RunRegion(const RegionOptions& options) {
  // From here on only the picture reaches the standard output when it is the output.
  ReserveStandardOutputFor(options.output);
  const RegionRequest request{options.path,      options.objectsPath,
                              options.noObjects, options.view.empty() ? std::nullopt : ParseView(options.view),
                              options.scale,     options.output};
  ProgressBar bar(platform::StandardErrorIsTerminal());
  JobContext context(bar.Listener());
  const RegionResult result = RenderRegionPicture(request, context);
  bar.Finish();
  // Which library drew the objects is said on standard error when it was found beside the region.
  if (result.libraryBeside && result.library.empty()) {
    std::cerr << kTool << ": no " << kObjectLibraryFileName << " beside " << options.path
              << ": drawing the tiles only\n";
  }
  PrintNotes(result.libraryNotes);
  if (result.libraryProblem) {
    ReportError(kTool, result.libraryProblem->file, result.libraryProblem->words);
  } else if (result.libraryBeside && result.libraryUsed) {
    std::cerr << kTool << ": objects from " << result.library << "\n";
  }
  PrintNotes(result.regionNotes);
  if (const std::string warning = UndrawnWarning(options.path, result.entities); !warning.empty()) {
    ReportError(kTool, options.path, warning);
  }
  return ReportProblems(result.problems);
}

}  // namespace

void AddRegionCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<RegionOptions>();
  CLI::App* command = app.add_subcommand("region", "Draw a region, or one view of it, as an indexed PNG");
  command->footer(
      "Without --view: the whole region, 2048 x 1536, every tile and then every object as the\n"
      "viewer draws them, without the name. With --view X,Y: the 640 x 480 frame the viewer shows\n"
      "with its view origin at X,Y (clamped like scrolling), the name included. The PNG's palette\n"
      "is the region's; its pixels are palette indices. --scale N makes every pixel an N x N\n"
      "square.\n"
      "\n"
      "The objects come from --objects, or else from the OBJEX.GFF beside the region file (in any\n"
      "case), which is named on standard error; --no-objects draws the tiles only. When some\n"
      "entities cannot be drawn (their object definition or bitmap is missing, empty or too\n"
      "large) a warning says how many, and \"karst-gff check\" names them; the exit status stays 0.\n"
      "-o - writes the picture to the standard output. An OUT.png that is one of the inputs, or\n"
      "any file holding a GFF container, is refused (exit status 2) and nothing is written.\n"
      "\n"
      "Examples:\n"
      "  karst-render region RGN01.GFF --objects OBJEX.GFF -o rgn01.png          whole region\n"
      "  karst-render region RGN01.GFF --objects OBJEX.GFF --view 320,160 -o v.png   one view\n"
      "  karst-render region RGN01.GFF --view 0,0 --scale 2 -o big.png           1280 x 960\n"
      "  karst-render region RGN01.GFF --no-objects -o ground.png                 tiles only\n"
      "  karst-render region RGN01.GFF -o - | display                            to a pipe");
  command->add_option("RGN.GFF", options->path, "the region file to draw")->required()->type_name("");
  CLI::Option* objects = command
                             ->add_option("--objects", options->objectsPath,
                                          "the object library; without it, the OBJEX.GFF beside the region file")
                             ->type_name("OBJEX.GFF");
  command->add_flag("--no-objects", options->noObjects, "draw the tiles only")->excludes(objects);
  command->add_option("--view", options->view, "the view origin in map pixels; draws one 640 x 480 frame")
      ->check(CLI::Validator(
          [](std::string& text) {
            return ParseView(text) ? std::string() : std::string("expected X,Y with two whole numbers");
          },
          ""))
      ->option_text("X,Y");
  command->add_option("--scale", options->scale, "enlarge every pixel to N x N")
      ->check(CLI::Range(kMinScale, kMaxScale))
      ->option_text("N (1 to 16)");
  command->add_option("-o,--output", options->output, "the PNG file to write; - for standard output")
      ->required()
      ->type_name("OUT.png");
  command->callback([options, &exitCode] { exitCode = RunRegion(*options); });
}

}  // namespace karst::tools
