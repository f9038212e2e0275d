// What lies under the pointer, for the status bar and for picking an entity with a click: the
// region pixel, its cell, the tile that cell draws and the entity seen there.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>

#include "workbench/model/map_pictures.h"
#include "workbench/model/map_view.h"

namespace karst::workbench {

struct PointerInfo {
  MapPoint pixel;
  std::int32_t cellX = 0;
  std::int32_t cellY = 0;
  std::uint16_t tile = 0;
  std::optional<std::size_t> entity;  // a position in the region's entity rows
};

// None outside the 2048 x 1536 region.
std::optional<PointerInfo> InfoAt(const ShownRegion& region, MapPoint pixel);

// The topmost drawn entity seen at `pixel`: the last in table order (drawn last, so on top) whose
// picture has an object pixel there. Where the object layer holds nothing at `pixel` (a
// transparent corner, or objects drawn without a library) no entity is seen. None outside the
// region.
std::optional<std::size_t> EntityAt(const ShownRegion& region, MapPoint pixel);

// One line: "x 100, y 40 · cell 6, 2 · tile 17 · entity 3: object 7 at 100, 60, z 0, mirrored"
// (the entity part only when there is one; "mirrored" only when it is). UTF-8.
std::string StatusText(const ShownRegion& region, const PointerInfo& info);

}  // namespace karst::workbench
