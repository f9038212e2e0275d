#include "tools/inspect/folder_search.h"

#include <filesystem>
#include <memory>
#include <system_error>
#include <utility>

#include "data/file_problems.h"
#include "data/object_library.h"
#include "data/region.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tools/files/game_folder.h"
#include "tools/files/input_file.h"
#include "tools/inspect/load_notes.h"
#include "tools/text/name_text.h"

namespace karst::tools {
namespace {

bool Matches(const FindQuery& query, const EntityRow& row) {
  if (query.kind == FindKind::kObject) {
    return row.objectId == query.number;
  }
  return row.bitmapId && *row.bitmapId == query.number;
}

}  // namespace

FindResult FindInFolder(const std::string& folder, const FindQuery& query, JobContext& context) {
  FindResult result;
  const std::filesystem::path root = platform::NativePath(folder);
  const RegionFileList regionFiles = RegionFilesIn(folder);
  if (!regionFiles.problem.empty()) {
    result.problems.push_back({folder, ProblemKind::kUnreadable, regionFiles.problem, {}});
    return result;
  }
  const std::vector<std::string>& names = regionFiles.names;
  if (query.kind == FindKind::kName && !query.name) {
    context.Report(0, names.size());
    result.searched = true;
    context.Report(names.size(), names.size());
    return result;
  }
  std::vector<LoadNote> notes;
  const LoadReport report = LoadReport::Into(notes);
  std::unique_ptr<ObjectLibrary> library;
  if (query.kind != FindKind::kName) {
    const std::string libraryPath = ObjectLibraryIn(platform::PathText(root));
    JobProblem problem;
    library = ReadLibraryInput(libraryPath, report, problem);
    MoveNoteProblems(notes, result.problems);
    if (library == nullptr && query.kind == FindKind::kBitmap) {
      problem.words += ": the bitmap numbers come from it";
      result.problems.push_back(std::move(problem));
      return result;
    }
    if (library == nullptr) {
      problem.words += ": the matches have no bitmap numbers";
      result.problems.push_back(std::move(problem));
    }
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string& name = names[i];
    context.Report(i, names.size(), name);
    if (context.Cancelled()) {
      result.problems.push_back(
          {folder,
           ProblemKind::kCancelled,
           "cancelled after " + std::to_string(i) + " of " + std::to_string(names.size()) + " regions, before " + name,
           {}});
      return result;
    }
    const std::string path = platform::PathText(root / platform::NativePath(name));
    JobProblem problem;
    const std::unique_ptr<Region> region = ReadRegionInput(path, report, problem);
    MoveNoteProblems(notes, result.problems);
    if (region == nullptr) {
      problem.words += ": not searched";
      result.problems.push_back(std::move(problem));
      result.regionLeftOut = true;
      continue;
    }
    if (query.kind == FindKind::kName) {
      if (region->name && HoldsIgnoringCase(*region->name, *query.name)) {
        result.nameMatches.push_back({name, *region->name});
      }
      continue;
    }
    for (const EntityRow& row : EntityRows(*region, library.get())) {
      if (Matches(query, row)) {
        result.entityMatches.push_back({name, row});
      }
    }
  }
  result.searched = true;
  context.Report(names.size(), names.size());
  return result;
}

}  // namespace karst::tools
