#include "tools/karst-render/all_command.h"

#include <cstdint>
#include <memory>
#include <string>

#include "platform/paths.h"
#include "platform/terminal.h"
#include "tools/cli/cli.h"
#include "tools/cli/progress_bar.h"
#include "tools/karst-render/run_report.h"
#include "tools/render/all_job.h"
#include "tools/render/render_region.h"

namespace karst::tools {
namespace {

int RunAll(const AllRequest& request) {
  ProgressBar bar(platform::StandardErrorIsTerminal());
  JobContext context(bar.Listener());
  const FolderRun run = RenderAll(request, context);
  bar.Finish();
  PrintLibrary(run);
  PrintOutcomes(run, "rendered", bar.shown());
  if (!run.problems.empty()) {
    return ReportProblems(run.problems);
  }
  FolderSummary summary{"rendered", platform::PathText(platform::NativePath(request.output)), {}, ""};
  for (std::size_t index = 0; index < run.regions.size(); ++index) {
    if (run.regions[index].renamed) {
      summary.renamed.push_back(run.regions[index].file + " -> " + run.outputs[index]);
    }
  }
  return ReportSummary(run, summary);
}

}  // namespace

void AddAllCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<AllRequest>();
  CLI::App* command = app.add_subcommand("all", "Draw every region of a game folder as an indexed PNG");
  command->footer(
      "Every RGN*.GFF of GAMEDIR, in the viewer's order, becomes DIR/<name without .GFF>.png: the\n"
      "whole region with its objects from GAMEDIR/OBJEX.GFF, exactly as \"karst-render region\"\n"
      "draws it. A region that cannot be drawn is reported and skipped; the others are still\n"
      "written. On a terminal a progress bar shows on standard error; otherwise one line per\n"
      "region. Regions are drawn on several threads (--jobs); the pictures do not depend on it.\n"
      "Region names that differ only in case (RGN01.GFF, RGN01.gff) give RGN01.png, RGN01-2.png,\n"
      "... in that order; the summary names each one renamed. A picture that would be one of the\n"
      "inputs or any file holding a GFF container is refused (exit status 2), nothing written.\n"
      "\n"
      "Exit status: 1 when some region could not be drawn or written, else 0.\n"
      "\n"
      "Examples:\n"
      "  karst-render all ~/game -o pictures               every region with its objects\n"
      "  karst-render all ~/game -o ground --no-objects    the tiles only\n"
      "  karst-render all ~/game -o big --scale 2          4096 x 3072 pictures");
  command->add_option("GAMEDIR", options->folder, "the game folder")->required()->type_name("");
  command->add_option("-o,--output", options->output, "the directory to write into (created when missing)")
      ->required()
      ->type_name("DIR");
  command->add_flag("--no-objects", options->noObjects, "draw the tiles only");
  command->add_option("--scale", options->scale, "enlarge every pixel to N x N")
      ->check(CLI::Range(kMinScale, kMaxScale))
      ->option_text("N (1 to 16)");
  command->add_option("-j,--jobs", options->jobs, "regions drawn at once (default: one per core)")
      ->check(CLI::Range(1u, kMaxJobs))
      ->option_text("N (1 to 16)");
  command->callback([options, &exitCode] { exitCode = RunAll(*options); });
}

}  // namespace karst::tools
