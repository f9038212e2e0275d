#include "data/entity_placement.h"

#include <algorithm>
#include <cstddef>

namespace karst {

std::optional<ObjectPlacement> ObjectPlacementOf(const ObjectLibrary& library, const ObjectDef& definition) {
  const Frame* frame = DrawingFrame(library, definition);
  if (frame == nullptr) {
    return std::nullopt;
  }
  // Chunk numbers are keys taken as signed 32-bit values.
  return ObjectPlacement{static_cast<std::int32_t>(definition.bitmapId), static_cast<std::int32_t>(definition.hotspotX),
                         static_cast<std::int32_t>(definition.hotspotY), static_cast<std::int32_t>(frame->width),
                         static_cast<std::int32_t>(frame->height)};
}

EntityDrawing DrawingOfEntity(const Entity& entity, const ObjectLibrary& library) {
  EntityDrawing result;
  result.drawing = DrawingOf(library, entity.objectId);
  const auto definition = library.objectDefs.find(static_cast<std::int32_t>(entity.objectId));
  if (definition == library.objectDefs.end() || definition->second == nullptr) {
    return result;
  }
  result.bitmapId = definition->second->bitmapId;
  if (const std::optional<ObjectPlacement> object = ObjectPlacementOf(library, *definition->second)) {
    result.placement = PlaceEntity(entity, *object);
  }
  return result;
}

std::span<const Entity> WalkedEntities(const Region& region) {
  if (!region.entities || region.entityCount <= 0) {
    return {};
  }
  const std::size_t count = std::min(region.entities->size(), static_cast<std::size_t>(region.entityCount));
  return std::span<const Entity>(*region.entities).first(count);
}

}  // namespace karst
