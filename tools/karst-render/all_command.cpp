#include "tools/karst-render/all_command.h"

#include <atomic>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "platform/paths.h"
#include "platform/terminal.h"
#include "tools/common/cli.h"
#include "tools/common/input_file.h"
#include "tools/common/output_checks.h"
#include "tools/common/output_file.h"
#include "tools/common/render_region.h"
#include "tools/common/unique_names.h"
#include "tools/karst-render/region_jobs.h"
#include "tools/karst-render/render_tool.h"

namespace karst::tools {
namespace {

struct AllOptions {
  std::string folder;
  std::string output;
  bool noObjects = false;
  std::uint32_t scale = 1;
  std::uint32_t jobs = 0;  // 0: one per core
};

struct RegionJob {
  std::string input;
  std::string output;
};

struct JobResult {
  bool rendered = false;
  std::string failedFile;  // the region, or the PNG that could not be written
  std::string error;
  std::vector<std::string> diagnostics;  // the decoders' lines, caught while reading the region
  EntityCount entities;
};

// One worker: its own display, library and surfaces, so nothing it writes is shared. Takes the
// next region until none is left.
void RenderJobs(const std::vector<RegionJob>& jobs, const std::string& objectsPath, std::uint32_t scale,
                std::atomic<std::size_t>& next, ResultBoard<JobResult>& board) {
  RegionRenderer renderer(RegionRenderer::Frame::kWholeRegion);
  const std::string setUpError = renderer.SetUp();
  if (setUpError.empty() && !objectsPath.empty()) {
    // The main thread has loaded the library once already and reported what it found.
    renderer.LoadObjects(objectsPath);
    renderer.TakeNotes();
  }
  for (std::size_t index = next++; index < jobs.size(); index = next++) {
    const RegionJob& job = jobs[index];
    JobResult result;
    result.failedFile = job.input;
    if (!setUpError.empty()) {
      result.error = setUpError;
    } else {
      RegionPicture picture;
      bool drawn = false;
      drawn = renderer.Render(job.input, ViewOrigin{}, picture, result.error);
      result.diagnostics = DistinctTexts(renderer.TakeNotes());
      result.entities = renderer.Entities();
      if (drawn) {
        result.error = WritePicture(job.output, picture, scale);
        result.rendered = result.error.empty();
        result.failedFile = job.output;
      }
    }
    board.Post(index, std::move(result));
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
  std::vector<RegionJob> jobs;
  std::vector<std::size_t> renamed;
  UniqueNames pictureNames;
  for (const std::string& name : names) {
    const std::string stem = platform::PathText(platform::NativePath(name).stem());
    const std::string unique = pictureNames.Claim(stem);
    if (unique != stem) {
      renamed.push_back(jobs.size());
    }
    const std::string output = platform::PathText(outputFolder / platform::NativePath(unique + ".png"));
    if (const std::string refusal = RefuseOutput(output, inputs); !refusal.empty()) {
      ReportError(kTool, output, refusal);
      return kExitUsage;
    }
    jobs.push_back({platform::PathText(folder / platform::NativePath(name)), output});
  }
  std::error_code error;
  std::filesystem::create_directories(outputFolder, error);
  if (error) {
    ReportError(kTool, options.output, "cannot create the directory: " + error.message());
    return kExitFailure;
  }
  if (const std::string problem = FirstOutputProblem(jobs.front().output); !problem.empty()) {
    ReportError(kTool, jobs.front().output, problem);
    return kExitFailure;
  }
  const std::string objectsPath = options.noObjects ? std::string() : UsableLibrary(kTool, platform::PathText(folder));

  ResultBoard<JobResult> board(jobs.size());
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> workers;
  const std::uint32_t workerCount = WorkerCount(options.jobs, jobs.size());
  for (std::uint32_t i = 0; i < workerCount; ++i) {
    workers.emplace_back(RenderJobs, std::cref(jobs), std::cref(objectsPath), options.scale, std::ref(next),
                         std::ref(board));
  }

  Progress progress(platform::StandardErrorIsTerminal(), jobs.size());
  std::vector<std::string> failures;
  for (std::size_t index = 0; index < jobs.size(); ++index) {
    const JobResult result = board.WaitFor(index);
    for (const std::string& line : result.diagnostics) {
      progress.Print(std::cout, jobs[index].input + ": " + line);
    }
    if (const std::string warning = UndrawnWarning(jobs[index].input, result.entities); !warning.empty()) {
      progress.Print(std::cerr, std::string(kTool) + ": " + jobs[index].input + ": " + warning);
    }
    if (result.rendered) {
      if (!progress.bar()) {
        progress.Print(std::cout, "rendered " + names[index] + " -> " + jobs[index].output);
      }
    } else {
      const std::string failure = result.failedFile + ": " + result.error;
      failures.push_back(failure);
      progress.Print(std::cerr, std::string(kTool) + ": " + failure);
    }
    progress.Done(names[index]);
  }
  for (std::thread& worker : workers) {
    worker.join();
  }
  progress.Finish();

  FolderSummary summary{"rendered", platform::PathText(outputFolder), jobs.size(), {}, failures, ""};
  for (const std::size_t index : renamed) {
    summary.renamed.push_back(names[index] + " -> " + jobs[index].output);
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
