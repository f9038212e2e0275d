#include "workbench/model/object_entries.h"

#include <memory>

#include "data/object_library.h"
#include "platform/paths.h"
#include "tools/files/input_file.h"
#include "tools/inspect/game_check.h"
#include "workbench/model/window_text.h"

namespace karst::workbench {
namespace {

std::string ProblemLine(const tools::JobProblem& problem) { return problem.file + ": " + WindowText(problem.words); }

ObjectPicture PictureOf(const Frame& frame, const std::array<Argb, 256>& colours) {
  ObjectPicture picture{frame.width, frame.height, std::vector<Argb>(frame.pixels.size())};
  for (std::size_t at = 0; at < frame.pixels.size(); ++at) {
    // Index 0 is the objects' colour key: nothing of it is drawn.
    picture.pixels[at] = frame.pixels[at] == 0 ? Argb{0} : colours[frame.pixels[at]];
  }
  return picture;
}

}  // namespace

ObjectEntries LoadObjectEntries(const std::string& library, const std::array<Argb, 256>& colours) {
  ObjectEntries loaded;
  tools::JobContext context;
  tools::ObjectsResult listed = tools::ListObjects(library, context);
  for (const tools::JobProblem& problem : listed.problems) {
    loaded.problems.push_back(ProblemLine(problem));
  }
  for (const tools::Finding& finding : listed.findings) {
    loaded.problems.push_back(finding.file + ": " + WindowText(tools::FindingLine(finding)));
  }
  if (!listed.listed) {
    return loaded;
  }
  // The pictures come from the library as the viewer loads it; what that load meets is what the
  // listing said already.
  std::vector<LoadNote> quiet;
  std::string error;
  const std::unique_ptr<ObjectLibrary> objects = tools::ReadLibraryInput(library, LoadReport::Into(quiet), error);
  for (tools::ObjectRow& row : listed.rows) {
    ObjectEntry& entry = loaded.entries.emplace_back();
    if (objects != nullptr && row.definition) {
      if (const Frame* frame = DrawingFrame(*objects, *row.definition)) {
        entry.firstFrame = PictureOf(*frame, colours);
      }
    }
    entry.row = std::move(row);
  }
  return loaded;
}

ObjectUses FindObjectUses(const std::string& folder, std::uint32_t objectId, tools::JobContext& context) {
  const tools::FindResult found =
      tools::FindInFolder(folder, {tools::FindKind::kObject, objectId, std::nullopt}, context);
  ObjectUses uses;
  for (const tools::EntityMatch& match : found.entityMatches) {
    uses.places.push_back({platform::PathText(platform::NativePath(folder) / platform::NativePath(match.file)),
                           match.row.index, match.row.x, match.row.y});
  }
  for (const tools::JobProblem& problem : found.problems) {
    uses.problems.push_back(ProblemLine(problem));
  }
  return uses;
}

}  // namespace karst::workbench
