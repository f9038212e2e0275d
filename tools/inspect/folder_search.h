// The find job: where a game folder's regions place an object or a bitmap, or which regions bear
// a name, searched region by region in the viewer's order.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/inspect/entity_rows.h"
#include "tools/job/job_context.h"
#include "tools/job/job_problem.h"

namespace karst::tools {

enum class FindKind {
  kObject,  // entities placing object `number` (its OJFF chunk number)
  kBitmap,  // entities whose object is drawn with bitmap `number` (a BMP chunk number)
  kName,    // regions whose name holds `name`
};

struct FindQuery {
  FindKind kind = FindKind::kObject;
  std::uint32_t number = 0;
  // kName: the Latin-1 bytes a region's name must hold, letters compared without regard to case
  // (HoldsIgnoringCase). Nothing for a text that no name can hold: it matches nothing, and no
  // region is read.
  std::optional<std::string> name;
};

struct EntityMatch {
  std::string file;  // the region file's name in the folder
  EntityRow row;
};

struct NameMatch {
  std::string file;
  std::string name;  // the region's name, Latin-1 bytes
};

struct FindResult {
  // In the order met: why the folder cannot be searched (kUnreadable: not a folder or no region
  // files), the library's (the viewer's lines for its load; why it gives no bitmap numbers), each
  // region's (its lines; why it was not searched), kCancelled.
  std::vector<JobProblem> problems;
  // Every region the folder has was searched, or the query matches nothing; false when the folder,
  // or the library a bitmap search needs, stopped the search, or it was cancelled.
  bool searched = false;
  // A region could not be read or would not be shown, and was left out.
  bool regionLeftOut = false;
  std::vector<EntityMatch> entityMatches;
  std::vector<NameMatch> nameMatches;
};

// One item per region file of `folder`; cancelled between regions, the matches found so far stay.
FindResult FindInFolder(const std::string& folder, const FindQuery& query, JobContext& context);

}  // namespace karst::tools
