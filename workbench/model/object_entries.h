// The object library panel's rows: every object definition of the library as `karst-gff objects`
// lists it, with the first frame of its bitmap as a picture in a region's colours; and where a
// folder's regions use an object, as `karst-gff find --object` finds it.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "tools/inspect/folder_search.h"
#include "tools/inspect/object_rows.h"
#include "tools/job/job_context.h"
#include "workbench/model/screen_colours.h"

namespace karst::workbench {

// A frame in screen colours, `width` pixels a row; index 0 transparent (alpha 0), as objects are
// drawn.
struct ObjectPicture {
  std::uint32_t width = 0, height = 0;
  std::vector<Argb> pixels;
};

struct ObjectEntry {
  tools::ObjectRow row;
  // Frame 0 of the bitmap that draws the object, as the viewer picks it; none when the object is
  // not drawn (no definition, bitmap, frame or pixels, or a frame too large).
  std::optional<ObjectPicture> firstFrame;
};

struct ObjectEntries {
  std::vector<ObjectEntry> entries;
  // Why the library is not listed, and what its load met, each line naming the file.
  std::vector<std::string> problems;
};

// ListObjects and frame 0 of each object's bitmap.
ObjectEntries LoadObjectEntries(const std::string& library, const std::array<Argb, 256>& colours);

// One place an object is used: enough for the window to open the region at the entity.
struct UsePlace {
  std::string region;  // the region file's path
  std::size_t entity = 0;
  std::uint32_t x = 0, y = 0;
};

struct ObjectUses {
  std::vector<UsePlace> places;  // in the viewer's order of regions, then table order
  // Why regions were left out or the search stopped, each line naming the file.
  std::vector<std::string> problems;
};

// Every entity of `folder`'s regions that places object `objectId` (FindInFolder), one item per
// region.
ObjectUses FindObjectUses(const std::string& folder, std::uint32_t objectId, tools::JobContext& context);

}  // namespace karst::workbench
