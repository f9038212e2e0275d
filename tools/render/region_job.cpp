#include "tools/render/region_job.h"

#include <utility>

#include "tools/files/game_folder.h"
#include "tools/files/output_checks.h"

namespace karst::tools {
namespace {

// The job's items: the drawing, then the writing.
constexpr std::size_t kSteps = 2;

JobProblem Cancelled(const std::string& output) {
  return {output, ProblemKind::kCancelled, "cancelled before the picture was written: nothing written", {}};
}

}  // namespace

RegionResult RenderRegionPicture(const RegionRequest& request, JobContext& context) {
  RegionResult result;
  result.libraryBeside = !request.noObjects && request.objects.empty();
  result.library = request.noObjects      ? std::string()
                   : result.libraryBeside ? LibraryBeside(request.region)
                                          : request.objects;
  const InputFiles inputs({request.region, result.library});
  for (std::string refusal : {RefuseOutput(request.output, inputs), RefuseNonPngName(request.output)}) {
    if (!refusal.empty()) {
      result.problems.push_back({request.output, ProblemKind::kOutputRefused, std::move(refusal), {}});
      return result;
    }
  }
  context.Report(0, kSteps, request.region);
  // One headless display draws both pictures through the viewer's own layers: a screen of the
  // region's size for the whole region, the viewer's screen for a view.
  RegionRenderer renderer(request.view ? RegionRenderer::Frame::kView : RegionRenderer::Frame::kWholeRegion);
  std::string error = renderer.SetUp();
  if (!error.empty()) {
    result.problems.push_back({request.region, ProblemKind::kWriteFailed, std::move(error), {}});
    return result;
  }
  // The viewer loads its objects before its first region.
  if (!result.library.empty()) {
    error = renderer.LoadObjects(result.library);
    result.libraryNotes = renderer.TakeNotes();
    if (!error.empty() && !result.libraryBeside) {
      result.problems.push_back({result.library, ProblemKind::kWouldNotLoad, std::move(error), {}});
      return result;
    }
    if (!error.empty()) {
      result.libraryProblem =
          JobProblem{result.library, ProblemKind::kWouldNotLoad, error + ": drawing the tiles only", {}};
    }
    result.libraryUsed = error.empty();
  }
  if (context.Cancelled()) {
    result.problems.push_back(Cancelled(request.output));
    return result;
  }
  RegionPicture picture;
  const bool rendered = renderer.Render(request.region, request.view.value_or(ViewOrigin{}), picture, error);
  result.regionNotes = renderer.TakeNotes();
  if (!rendered) {
    result.problems.push_back({request.region, ProblemKind::kWouldNotLoad, std::move(error), {}});
    return result;
  }
  result.entities = renderer.Entities();
  context.Report(1, kSteps, request.output);
  if (context.Cancelled()) {
    result.problems.push_back(Cancelled(request.output));
    return result;
  }
  error = WritePicture(request.output, picture, request.scale);
  if (!error.empty()) {
    result.problems.push_back({request.output, ProblemKind::kWriteFailed, std::move(error), {}});
    return result;
  }
  result.written.push_back(request.output);
  context.Report(kSteps, kSteps);
  return result;
}

}  // namespace karst::tools
