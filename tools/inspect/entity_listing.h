// The entities job: every entity of a region as the object layer draws it (tools/inspect/
// entity_rows.h), with the object library the viewer would draw it with.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/inspect/entity_rows.h"
#include "tools/job/job_context.h"
#include "tools/job/job_problem.h"

namespace karst::tools {

struct EntitiesRequest {
  std::string region;
  // The object library, which must be usable. Empty: the OBJEX.GFF beside the region file,
  // found without regard to case, which lends its objects only when it is usable.
  std::string objects;
};

struct EntitiesResult {
  // In the order met: the library's first (the viewer's lines for what its load met, why it lends
  // no objects), then the region's (its lines, why it is not listed), then kCancelled.
  std::vector<JobProblem> problems;
  // How many of `problems` are the library's.
  std::size_t libraryProblems = 0;
  // The library found beside the region that the rows are drawn with; empty when one was named
  // or none is used.
  std::string objectsFrom;
  // The region was read and its rows are listed; false when it could not be, or when the named
  // library is not usable.
  bool listed = false;
  std::vector<EntityRow> rows;
};

// One item: the region, read after its library, as the viewer loads its objects first.
EntitiesResult ListEntities(const EntitiesRequest& request, JobContext& context);

}  // namespace karst::tools
