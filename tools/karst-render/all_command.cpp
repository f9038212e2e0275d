#include "tools/karst-render/all_command.h"

#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "platform/paths.h"
#include "tools/cli/cli.h"
#include "tools/files/input_file.h"
#include "tools/files/output_checks.h"
#include "tools/files/output_file.h"
#include "tools/files/unique_names.h"
#include "tools/karst-render/region_jobs.h"
#include "tools/karst-render/render_tool.h"
#include "tools/render/render_region.h"

namespace karst::tools {
namespace {

struct AllOptions {
  std::string folder;
  std::string output;
  bool noObjects = false;
  std::uint32_t scale = 1;
  std::uint32_t jobs = 0;  // 0: one per core
};

// One worker: its own display, library and surfaces, so nothing it writes is shared. Takes the
// next region until none is left.
void RenderJobs(const RegionLoop& loop, const std::string& objectsPath, std::uint32_t scale, RegionQueue& queue) {
  RegionRenderer renderer(RegionRenderer::Frame::kWholeRegion);
  const std::string setUpError = renderer.SetUp();
  if (setUpError.empty() && !objectsPath.empty()) {
    // The main thread has loaded the library once already and reported what it found.
    renderer.LoadObjects(objectsPath);
    renderer.TakeNotes();
  }
  for (std::optional<std::size_t> index = queue.Take(); index; index = queue.Take()) {
    const std::string& input = loop.inputs[*index];
    const std::string& output = loop.outputs[*index];
    RegionOutcome result;
    result.failedFile = input;
    if (!setUpError.empty()) {
      result.error = setUpError;
    } else {
      RegionPicture picture;
      bool drawn = false;
      drawn = renderer.Render(input, ViewOrigin{}, picture, result.error);
      result.diagnostics = DistinctTexts(renderer.TakeNotes());
      result.entities = renderer.Entities();
      if (drawn) {
        result.error = WritePicture(output, picture, scale);
        result.written = result.error.empty();
        result.failedFile = output;
      }
    }
    queue.Post(*index, std::move(result));
  }
}

int RunAll(const AllOptions& options) {
  const std::filesystem::path folder = platform::NativePath(options.folder);
  const std::vector<std::string> names = FindRegionFiles(kTool, options.folder);
  if (names.empty()) {
    return kExitFailure;
  }
  const InputFiles inputs = FolderInputs(options.folder, names);
  if (const std::string refusal = RefuseOutputFolder(options.output, inputs); !refusal.empty()) {
    ReportError(kTool, options.output, refusal);
    return kExitUsage;
  }
  // Every output is known, and checked, before the first is written.
  const std::filesystem::path outputFolder = platform::NativePath(options.output);
  RegionLoop loop{kTool, "rendered", names, {}, {}, options.jobs};
  std::vector<std::size_t> renamed;
  UniqueNames pictureNames;
  for (const std::string& name : names) {
    const std::string stem = platform::PathText(platform::NativePath(name).stem());
    const std::string unique = pictureNames.Claim(stem);
    if (unique != stem) {
      renamed.push_back(loop.outputs.size());
    }
    const std::string output = platform::PathText(outputFolder / platform::NativePath(unique + ".png"));
    if (const std::string refusal = RefuseOutput(output, inputs); !refusal.empty()) {
      ReportError(kTool, output, refusal);
      return kExitUsage;
    }
    loop.inputs.push_back(platform::PathText(folder / platform::NativePath(name)));
    loop.outputs.push_back(output);
  }
  std::error_code error;
  std::filesystem::create_directories(outputFolder, error);
  if (error) {
    ReportError(kTool, options.output, "cannot create the directory: " + error.message());
    return kExitFailure;
  }
  if (const std::string problem = FirstOutputProblem(loop.outputs.front()); !problem.empty()) {
    ReportError(kTool, loop.outputs.front(), problem);
    return kExitFailure;
  }
  const std::string objectsPath = options.noObjects ? std::string() : UsableLibrary(kTool, platform::PathText(folder));

  const RegionLoopResult result =
      RunRegionLoop(loop, [&](RegionQueue& queue) { RenderJobs(loop, objectsPath, options.scale, queue); });

  FolderSummary summary{"rendered", platform::PathText(outputFolder), names.size(), {}, result.failures, ""};
  for (const std::size_t index : renamed) {
    summary.renamed.push_back(names[index] + " -> " + loop.outputs[index]);
  }
  return ReportSummary(kTool, summary);
}

}  // namespace

void AddAllCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<AllOptions>();
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
