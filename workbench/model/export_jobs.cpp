#include "workbench/model/export_jobs.h"

#include <algorithm>
#include <optional>

#include "tools/files/output_file.h"
#include "workbench/model/window_text.h"

namespace karst::workbench {
namespace {

bool WasCancelled(const std::vector<tools::JobProblem>& problems) {
  return std::any_of(problems.begin(), problems.end(),
                     [](const tools::JobProblem& problem) { return problem.kind == tools::ProblemKind::kCancelled; });
}

// The first line: what was written, or that nothing was, or what a cancel kept.
std::string WrittenLine(std::size_t written, const std::string& folder, bool cancelled) {
  const std::string files = std::to_string(written) + (written == 1 ? " file" : " files");
  if (cancelled) {
    return written == 0 ? "Cancelled: nothing written" : "Cancelled: kept " + files + " in " + folder + ", each whole";
  }
  return written == 0 ? "Nothing written" : "Wrote " + files + " to " + folder;
}

// Each problem but the cancel, which the first line says.
void AddProblems(const std::vector<tools::JobProblem>& problems, std::vector<std::string>& lines) {
  for (const tools::JobProblem& problem : problems) {
    if (problem.kind != tools::ProblemKind::kCancelled) {
      lines.push_back(problem.file + ": " + WindowText(problem.words));
    }
  }
}

// What a run over a folder's regions left undone, and why its regions lack their objects.
void AddFolderRun(const tools::FolderRun& run, std::vector<std::string>& lines) {
  AddProblems(run.problems, lines);
  if (run.library && run.library->problem) {
    lines.push_back(run.library->problem->file + ": " + WindowText(run.library->problem->words));
  }
  for (const tools::RegionOutcome& outcome : run.outcomes) {
    if (!outcome.written) {
      lines.push_back(outcome.failedFile + ": " + WindowText(outcome.error));
    }
  }
}

}  // namespace

tools::RegionResult ExportRegion(const RegionExport& request, tools::JobContext& context) {
  // The window has no standard output to write a picture to: "-" would say "Wrote -" and leave
  // no file.
  if (request.output == tools::kStandardOutputName) {
    tools::RegionResult refused;
    refused.problems.push_back({request.output,
                                tools::ProblemKind::kOutputRefused,
                                "is no file name: the picture needs a file to go into; nothing written",
                                {}});
    return refused;
  }
  const tools::RegionRequest job{request.region, {}, !request.objectsShown, std::nullopt, request.scale,
                                 request.output};
  return tools::RenderRegionPicture(job, context);
}

tools::FolderRun ExportAll(const AllExport& request, tools::JobContext& context) {
  return tools::RenderAll({request.folder, request.outputFolder, !request.objectsShown, 1, 0}, context);
}

tools::AtlasResult ExportAtlas(const AtlasExport& request, tools::JobContext& context) {
  return tools::MakeAtlas({request.folder, request.site, !request.objectsShown, 0}, context);
}

tools::FramesResult ExportFrames(const FramesExport& request, tools::JobContext& context) {
  tools::FramesRequest job;
  job.container = request.library;
  job.outputFolder = request.outputFolder;
  job.palette = request.region;
  job.bitmap = request.bitmap;
  return tools::RenderFrames(job, context);
}

std::vector<std::string> ExportSummary(const RegionExport& request, const tools::RegionResult& result) {
  std::vector<std::string> lines;
  if (!result.written.empty()) {
    lines.push_back("Wrote " + result.written.front());
  } else {
    lines.push_back(WasCancelled(result.problems) ? "Cancelled: nothing written" : "Nothing written");
  }
  AddProblems(result.problems, lines);
  if (result.libraryProblem) {
    lines.push_back(result.libraryProblem->file + ": " + WindowText(result.libraryProblem->words));
  } else if (result.libraryBeside && result.library.empty()) {
    lines.push_back(request.region + ": no object library beside it: the tiles only were drawn");
  }
  if (result.entities.undrawn > 0) {
    lines.push_back(request.region + ": warning: " + std::to_string(result.entities.undrawn) + " of " +
                    std::to_string(result.entities.total) +
                    " entities not drawn: their object definition or bitmap is missing, empty or too large "
                    "(the findings name them)");
  }
  return lines;
}

std::vector<std::string> ExportSummary(const AllExport& request, const tools::FolderRun& run) {
  std::vector<std::string> lines{WrittenLine(run.written.size(), request.outputFolder, WasCancelled(run.problems))};
  AddFolderRun(run, lines);
  return lines;
}

std::vector<std::string> ExportSummary(const AtlasExport& request, const tools::AtlasResult& result) {
  std::vector<std::string> lines{
      WrittenLine(result.run.written.size(), request.site, WasCancelled(result.run.problems))};
  AddFolderRun(result.run, lines);
  for (const std::string& file : result.leftInPlace) {
    lines.push_back(file + ": a file of the earlier atlas, left in place");
  }
  return lines;
}

std::vector<std::string> ExportSummary(const FramesExport& request, const tools::FramesResult& result) {
  std::vector<std::string> lines{
      WrittenLine(result.written.size(), request.outputFolder, WasCancelled(result.problems))};
  AddProblems(result.problems, lines);
  for (const tools::FramesChunk& chunk : result.chunks) {
    AddProblems(chunk.problems, lines);
    for (const std::string& skipped : chunk.skipped) {
      lines.push_back(request.library + ": " + skipped);
    }
  }
  return lines;
}

}  // namespace karst::workbench
