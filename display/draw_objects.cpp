#include <algorithm>
#include <cstddef>
#include <vector>

#include "data/entity_placement.h"
#include "data/object_library.h"
#include "data/region.h"
#include "display/display_surface.h"
#include "gff/frame_set.h"

namespace karst {

DisplaySurface::PlacementSource DisplaySurface::CurrentPlacementSource() const {
  return PlacementSource{objects.get(), libraryGeneration_, objects->objectDefs.size(), objects->bmpSets.size()};
}

const std::vector<DisplaySurface::KeyedPlacement>& DisplaySurface::Placements() {
  const PlacementSource source = CurrentPlacementSource();
  if (placementsFrom_ == source) {
    return placements_;
  }
  placements_.clear();
  // The walk is in key order, so the table comes out sorted.
  for (const auto& [key, definition] : objects->objectDefs) {
    if (definition == nullptr) {
      continue;
    }
    // An object is never drawn from a frame it does not have.
    if (const std::optional<ObjectPlacement> placement = ObjectPlacementOf(*objects, *definition)) {
      placements_.push_back(KeyedPlacement{key, *placement});
    }
  }
  placementsFrom_ = source;
  return placements_;
}

void DisplaySurface::DrawObjects() {
  if (region == nullptr || objects == nullptr || backBuffer == nullptr || !region->entities ||
      region->entityCount <= 0) {
    return;
  }
  const std::vector<KeyedPlacement>& placements = Placements();
  for (const Entity& entity : WalkedEntities(*region)) {
    const auto objectKey = static_cast<std::int32_t>(entity.objectId);
    const auto keyed =
        std::lower_bound(placements.begin(), placements.end(), objectKey,
                         [](const KeyedPlacement& candidate, std::int32_t key) { return candidate.objectKey < key; });
    if (keyed == placements.end() || keyed->objectKey != objectKey) {
      continue;
    }
    const EntityPlacement placement = PlaceEntity(entity, keyed->placement);
    const std::int32_t w = placement.rectangle.width;
    const std::int32_t h = placement.rectangle.height;
    const std::int32_t left = placement.rectangle.left;
    const std::int32_t top = placement.rectangle.top;
    // Only what lies wholly outside the view is passed over; an edge on the view's edge still
    // goes to the blit, which the clipper trims.
    if (left + w < viewX || left > viewX + screenWidth || top + h < viewY || top > viewY + screenHeight) {
      continue;
    }
    const auto surface = objectSurfaces.find(keyed->placement.bitmapKey);
    if (surface == objectSurfaces.end() || surface->second == nullptr) {
      continue;
    }
    const platform::Rect source{0, 0, w, h};
    const platform::Rect dest{left - viewX, top - viewY, left - viewX + w, top - viewY + h};
    if (placement.mirrored) {
      const platform::BltFx mirror{platform::DDBLTFX_MIRRORLEFTRIGHT};
      backBuffer->Blt(&dest, surface->second.get(), &source,
                      platform::DDBLT_WAIT | platform::DDBLT_KEYSRC | platform::DDBLT_DDFX, &mirror);
    } else {
      backBuffer->Blt(&dest, surface->second.get(), &source, platform::DDBLT_WAIT | platform::DDBLT_KEYSRC, nullptr);
    }
  }
}

}  // namespace karst
