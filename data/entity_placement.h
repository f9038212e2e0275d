// Where an entity's object is drawn in the region: the one rule the object layer, the tools'
// entity rows, the atlas and the check all place entities by.
//
// An entity is drawn from frame 0 of its object's bitmap (DrawingOf, DrawingFrame) with the
// object's hotspot on the entity's anchor, lifted by its height:
//
//   left   = x - hotspotX
//   top    = y - hotspotY - z
//   width, height: frame 0's
//
// mirrored left to right when bit 7 of its flags is set. The layer walks the first
// min(entities, entityCount) records of the table, in table order.
//
// The rule is split where a caller may cache: ObjectPlacementOf looks the object up once
// (the layer keeps a sorted table of them), PlaceEntity is the arithmetic done per entity.
// Culling is the caller's: the layer's against its view, the tools' against the whole region.
#pragma once

#include <cstdint>
#include <optional>
#include <span>

#include "data/object_library.h"
#include "data/region.h"

namespace karst {

// Bit 7 of an entity's flags: its object is drawn mirrored left to right.
inline constexpr std::uint32_t kEntityMirroredFlag = 0x80;

// What of an object decides where its entities are drawn: the number of the bitmap that draws
// it, its hotspot and the size of that bitmap's frame 0. Every field is at most 16 bits wide.
struct ObjectPlacement {
  std::int32_t bitmapKey = 0;  // the bitmap's chunk number, taken as a signed 32-bit key
  std::int32_t hotspotX = 0;
  std::int32_t hotspotY = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;
};

// Region pixels the blit of frame 0 is aimed at, before any clipping: it may begin at negative
// coordinates or end beyond the region.
struct EntityRectangle {
  std::int32_t left = 0;
  std::int32_t top = 0;
  std::int32_t width = 0;
  std::int32_t height = 0;

  bool operator==(const EntityRectangle&) const = default;
};

struct EntityPlacement {
  EntityRectangle rectangle;
  bool mirrored = false;
};

// The placement of `definition`'s object; none when the object is not drawn (DrawingOf says why).
std::optional<ObjectPlacement> ObjectPlacementOf(const ObjectLibrary& library, const ObjectDef& definition);

constexpr bool IsMirrored(const Entity& entity) { return (entity.flags & kEntityMirroredFlag) != 0; }

// Where `entity` is drawn with its object placed as `object` says. The fields of an entity are at
// most 16 bits wide, so none of this leaves the 32-bit range.
constexpr EntityPlacement PlaceEntity(const Entity& entity, const ObjectPlacement& object) {
  const EntityRectangle rectangle{
      static_cast<std::int32_t>(entity.x) - object.hotspotX,
      static_cast<std::int32_t>(entity.y) - object.hotspotY - static_cast<std::int32_t>(entity.z), object.width,
      object.height};
  return EntityPlacement{rectangle, IsMirrored(entity)};
}

// An entity in one look: whether its object is drawn, the number of the definition's bitmap
// (none without a 16-byte definition), and where it goes (none when there is no frame 0 to draw).
struct EntityDrawing {
  ObjectDrawing drawing = ObjectDrawing::kNoDefinition;
  std::optional<std::uint32_t> bitmapId;
  std::optional<EntityPlacement> placement;
};
EntityDrawing DrawingOfEntity(const Entity& entity, const ObjectLibrary& library);

// The entities the object layer walks: the first min(entities, entityCount) of the table.
std::span<const Entity> WalkedEntities(const Region& region);

}  // namespace karst
