// The entities of a region as the object layer draws them in the whole-region picture: one row per
// entity, with the bitmap of its object and the rectangle the blit covers, or why nothing of it is
// drawn. `karst-gff entities`, `karst-gff find` and the atlas report these rows and their JSON.
//
// The rows follow the layer's own walk and place every entity by the layer's own rule
// (data/entity_placement.h); what the rows add is the cull against the whole region.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "data/entity_placement.h"
#include "data/object_library.h"
#include "data/region.h"

namespace karst::tools {

// Why an entity leaves no pixel in the picture; kDrawn when it does.
enum class EntityReason {
  kDrawn,
  kNoLibrary,            // drawn without an object library: no object is drawn
  kNoDefinition,         // no OJFF chunk under the entity's objectId
  kWrongSizeDefinition,  // an OJFF chunk that is not 16 bytes long
  kNoBitmap,             // no BMP frame set under the definition's bitmapId, or one without frames
  kNoPixels,             // frame 0 of the bitmap has no pixels
  kTooLarge,             // frame 0 is larger than an object surface can be
  kOutsideRegion,        // no pixel of the rectangle lies inside the region
};

// A short fixed text for each reason ("no definition", "outside the region"); empty for kDrawn.
std::string_view ReasonText(EntityReason reason);

struct EntityRow {
  std::size_t index = 0;  // position in the entity table
  std::uint32_t x = 0;
  std::uint32_t y = 0;
  std::uint32_t z = 0;
  std::uint32_t flags = 0;
  bool mirrored = false;
  std::uint32_t objectId = 0;
  // The definition's bitmap number; none without a library or a 16-byte definition.
  std::optional<std::uint32_t> bitmapId;
  // Where frame 0 goes; none when there is no frame 0 with pixels to draw.
  std::optional<EntityRectangle> rectangle;
  EntityReason reason = EntityReason::kDrawn;

  bool drawn() const { return reason == EntityReason::kDrawn; }
};

// True when at least one pixel of `rectangle` lies in the 2048 x 1536 region. A rectangle that
// only touches an edge from outside has none.
bool InsideRegion(const EntityRectangle& rectangle);

// The rows of every entity the object layer walks. `library` is the library the picture is drawn
// with; null when it is drawn without one.
std::vector<EntityRow> EntityRows(const Region& region, const ObjectLibrary* library);

// One region's rows as compact JSON, printable ASCII:
// {"entities":[{"bitmapId":3,"drawn":true,"flags":0,"height":40,"index":0,"left":-5,"mirrored":false,
//   "objectId":7,"top":12,"width":32,"x":10,"y":60,"z":0}],"file":"RGN01.GFF"}
// `bitmapId` and the four rectangle fields are null where the row has none; `reason` is there only
// when the entity is not drawn.
std::string EntityRowsJson(std::string_view file, std::span<const EntityRow> rows);

}  // namespace karst::tools
