#include "tools/karst-render/atlas_command.h"

#include <memory>
#include <string>

#include "platform/paths.h"
#include "platform/terminal.h"
#include "tools/cli/cli.h"
#include "tools/cli/progress_bar.h"
#include "tools/karst-render/render_tool.h"
#include "tools/karst-render/run_report.h"
#include "tools/render/atlas_job.h"

namespace karst::tools {
namespace {

int RunAtlas(const AtlasRequest& request) {
  ProgressBar bar(platform::StandardErrorIsTerminal());
  JobContext context(bar.Listener());
  const AtlasResult result = MakeAtlas(request, context);
  bar.Finish();
  const FolderRun& run = result.run;
  PrintLibrary(run);
  PrintOutcomes(run, "mapped", bar.shown());
  for (const std::string& file : result.leftInPlace) {
    ReportError(kTool, file, "left in place: it is no longer part of the atlas");
  }
  if (!run.problems.empty()) {
    return ReportProblems(run.problems);
  }
  FolderSummary summary{"mapped",
                        platform::PathText(platform::NativePath(request.site) / "index.html"),
                        {},
                        " (listed on the index page)"};
  for (const PlannedRegion& region : run.regions) {
    if (region.renamed) {
      summary.renamed.push_back(region.file + " -> " + region.name);
    }
  }
  return ReportSummary(run, summary);
}

}  // namespace

void AddAtlasCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<AtlasRequest>();
  CLI::App* command = app.add_subcommand("atlas", "Make a game folder into a web site of zoomable maps");
  command->footer(
      "SITE/index.html lists every RGN*.GFF of GAMEDIR in the viewer's order, with a thumbnail and a\n"
      "search for regions by name and entities by object or bitmap number; each region opens as a\n"
      "map that pans and zooms (1/8 to 8 screen pixels a map pixel, never smoothed), with layers\n"
      "for the objects, entity markers and the 16-pixel map cells. Links #REGION/X/Y/ZOOM open a\n"
      "view. The site needs nothing else: open it from disk, or copy the folder to any web host.\n"
      "A region that cannot be drawn is listed on the index page and in the summary; the others\n"
      "are still written. SITE must be missing, empty or an earlier atlas (it holds the marker\n"
      ".karst-atlas, which lists its files): anything else is refused (exit status 2), nothing\n"
      "written. Replacing an atlas removes only the files its marker lists.\n"
      "\n"
      "Exit status: 1 when some region could not be drawn or a file not written, else 0.\n"
      "\n"
      "Examples:\n"
      "  karst-render atlas ~/game -o site                 open site/index.html in a browser\n"
      "  karst-render atlas ~/game -o site --no-objects    the tiles only\n"
      "  karst-render atlas ~/game -o site -j 2            two regions drawn at once");
  command->add_option("GAMEDIR", options->folder, "the game folder")->required()->type_name("");
  command->add_option("-o,--output", options->site, "the site's folder (created when missing)")
      ->required()
      ->type_name("SITE");
  command->add_flag("--no-objects", options->noObjects, "draw the tiles only");
  command->add_option("-j,--jobs", options->jobs, "regions drawn at once (default: one per core)")
      ->check(CLI::Range(1u, kMaxJobs))
      ->option_text("N (1 to 16)");
  command->callback([options, &exitCode] { exitCode = RunAtlas(*options); });
}

}  // namespace karst::tools
