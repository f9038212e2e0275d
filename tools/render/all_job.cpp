#include "tools/render/all_job.h"

#include <filesystem>
#include <optional>
#include <utility>

#include "platform/paths.h"
#include "tools/files/output_checks.h"
#include "tools/files/output_file.h"
#include "tools/render/render_region.h"

namespace karst::tools {
namespace {

// One worker: its own display, library and surfaces, so nothing it writes is shared. Takes the
// next region until none is left.
void RenderRegions(const FolderRun& run, const std::string& objectsPath, std::uint32_t scale, RegionQueue& queue) {
  RegionRenderer renderer(RegionRenderer::Frame::kWholeRegion);
  const std::string setUpError = renderer.SetUp();
  if (setUpError.empty() && !objectsPath.empty()) {
    // The job has loaded the library once already and kept what it found.
    renderer.LoadObjects(objectsPath);
    renderer.TakeNotes();
  }
  for (std::optional<std::size_t> index = queue.Take(); index; index = queue.Take()) {
    const std::string& input = run.regions[*index].input;
    const std::string& output = run.outputs[*index];
    RegionOutcome result;
    result.failedFile = input;
    if (!setUpError.empty()) {
      result.error = setUpError;
    } else {
      RegionPicture picture;
      const bool drawn = renderer.Render(input, ViewOrigin{}, picture, result.error);
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

}  // namespace

FolderRun RenderAll(const AllRequest& request, JobContext& context) {
  FolderRun run;
  const std::optional<InputFiles> inputs = PlanFolderRun(request.folder, request.output, run);
  if (!inputs) {
    return run;
  }
  // Every output is known, and checked, before the first is written.
  const std::filesystem::path outputFolder = platform::NativePath(request.output);
  for (const PlannedRegion& region : run.regions) {
    std::string output = platform::PathText(outputFolder / platform::NativePath(region.name + ".png"));
    if (std::string refusal = RefuseOutput(output, *inputs); !refusal.empty()) {
      run.problems.push_back({std::move(output), ProblemKind::kOutputRefused, std::move(refusal), {}});
      return run;
    }
    run.outputs.push_back(std::move(output));
  }
  if (std::string problem = MakeOutputFolder(request.output); !problem.empty()) {
    run.problems.push_back({request.output, ProblemKind::kWriteFailed, std::move(problem), {}});
    return run;
  }
  if (std::string problem = FirstOutputProblem(run.outputs.front()); !problem.empty()) {
    run.problems.push_back({run.outputs.front(), ProblemKind::kWriteFailed, std::move(problem), {}});
    return run;
  }
  std::string objectsPath;
  if (!request.noObjects) {
    run.library = UsableLibrary(request.folder);
    objectsPath = run.library->problem ? std::string() : run.library->path;
  }

  run.outcomes = RunRegionLoop(run.regions, request.jobs, context,
                               [&](RegionQueue& queue) { RenderRegions(run, objectsPath, request.scale, queue); });
  for (std::size_t index = 0; index < run.outcomes.size(); ++index) {
    if (run.outcomes[index].written) {
      run.written.push_back(run.outputs[index]);
    }
  }
  if (run.outcomes.size() < run.regions.size()) {
    run.problems.push_back({request.output,
                            ProblemKind::kCancelled,
                            "cancelled after " + std::to_string(run.outcomes.size()) + " of " +
                                std::to_string(run.regions.size()) + " regions",
                            {}});
  }
  return run;
}

}  // namespace karst::tools
