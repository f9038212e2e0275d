#include "tools/inspect/entity_listing.h"

#include <memory>
#include <utility>

#include "data/object_library.h"
#include "data/region.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tools/files/game_folder.h"
#include "tools/files/input_file.h"
#include "tools/inspect/load_notes.h"

namespace karst::tools {
namespace {

// What follows a library that lends no objects.
constexpr std::string_view kNoObjectDrawn = ": no object is drawn (\"no object library\")";

}  // namespace

EntitiesResult ListEntities(const EntitiesRequest& request, JobContext& context) {
  EntitiesResult result;
  context.Report(0, 1, request.region);
  std::vector<LoadNote> notes;
  const LoadReport report = LoadReport::Into(notes);
  // The viewer loads its objects before its first region. The library named must be usable;
  // the one found beside the region only lends its objects when it is.
  const bool named = !request.objects.empty();
  const std::string libraryPath = named ? request.objects : LibraryBeside(request.region);
  std::unique_ptr<ObjectLibrary> library;
  if (libraryPath.empty()) {
    const std::string words = std::string("no ") + kObjectLibraryFileName + " beside it" + std::string(kNoObjectDrawn);
    result.problems.push_back({request.region, ProblemKind::kNote, words, ProblemPlace()});
  } else {
    JobProblem problem;
    library = ReadLibraryInput(libraryPath, report, problem);
    MoveNoteProblems(notes, result.problems);
    if (library == nullptr && named) {
      result.problems.push_back(std::move(problem));
      result.libraryProblems = result.problems.size();
      return result;
    }
    if (library == nullptr) {
      problem.words += kNoObjectDrawn;
      result.problems.push_back(std::move(problem));
    } else if (!named) {
      result.objectsFrom = libraryPath;
    }
  }
  result.libraryProblems = result.problems.size();
  if (context.Cancelled()) {
    result.problems.push_back({request.region, ProblemKind::kCancelled, "cancelled: nothing listed", {}});
    return result;
  }
  JobProblem problem;
  const std::unique_ptr<Region> region = ReadRegionInput(request.region, report, problem);
  MoveNoteProblems(notes, result.problems);
  if (region == nullptr) {
    result.problems.push_back(std::move(problem));
    return result;
  }
  result.rows = EntityRows(*region, library.get());
  result.listed = true;
  context.Report(1, 1);
  return result;
}

}  // namespace karst::tools
