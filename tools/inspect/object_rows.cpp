#include "tools/inspect/object_rows.h"

#include <utility>

#include "data/file_problems.h"
#include "gff/gff_file.h"
#include "platform/paths.h"

namespace karst::tools {
namespace {

BitmapSummary SummaryOf(const ObjectLibrary& library, const ObjectDef& definition) {
  BitmapSummary summary;
  const auto bitmap = library.bmpSets.find(static_cast<std::int32_t>(definition.bitmapId));
  if (bitmap == library.bmpSets.end()) {
    return summary;
  }
  summary.frames = bitmap->second->frames.size();
  if (bitmap->second->frames.empty()) {
    return summary;
  }
  const Frame& first = bitmap->second->frames.front();
  summary.first = BitmapSummary::FrameSize{first.width, first.height};
  if (!SameTag(first.encoding, Tag{})) {
    summary.encoding = std::string(first.encoding.data(), 4);
  }
  return summary;
}

// Why the file is no object library to list; empty when it is one.
JobProblem ListingProblem(const std::string& path) {
  if (std::string problem = InputProblem(path); !problem.empty()) {
    return {path, ProblemKind::kUnreadable, std::move(problem), {}};
  }
  GffFile file;
  if (!file.Open(platform::NativePath(path), LoadReport())) {
    return {path, ProblemKind::kNotContainer, std::string(kNotContainer), {}};
  }
  return {path, ProblemKind::kWouldNotLoad, NotLibraryProblem(file.directory()), {}};
}

}  // namespace

ObjectsResult ListObjects(const std::string& path, JobContext& context) {
  ObjectsResult result;
  context.Report(0, 1, path);
  if (context.Cancelled()) {
    result.problems.push_back({path, ProblemKind::kCancelled, "cancelled: nothing listed", {}});
    return result;
  }
  if (JobProblem problem = ListingProblem(path); !problem.words.empty()) {
    result.problems.push_back(std::move(problem));
    return result;
  }
  // The check's own load: its findings are what the viewer would meet in this library.
  LibraryCheck check = CheckLibrary(path);
  result.findings = std::move(check.findings);
  result.listed = check.library != nullptr;
  if (check.library) {
    for (const auto& [key, definition] : check.library->objectDefs) {
      ObjectRow& row = result.rows.emplace_back();
      row.id = static_cast<std::uint32_t>(key);
      if (definition) {
        row.definition = *definition;
        row.bitmap = SummaryOf(*check.library, *definition);
      }
    }
  }
  context.Report(1, 1);
  return result;
}

}  // namespace karst::tools
