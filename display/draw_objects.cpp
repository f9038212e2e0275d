#include <algorithm>
#include <cstddef>
#include <vector>

#include "data/object_library.h"
#include "data/region.h"
#include "display/display_surface.h"
#include "gff/frame_set.h"

namespace karst {

namespace {

constexpr std::uint32_t kMirroredFlag = 0x80;

}  // namespace

DisplaySurface::PlacementSource DisplaySurface::CurrentPlacementSource() const {
  return PlacementSource{objects.get(), libraryGeneration_, objects->objectDefs.size(), objects->bmpSets.size()};
}

const std::vector<DisplaySurface::ObjectPlacement>& DisplaySurface::Placements() {
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
    const Frame* frame = DrawingFrame(*objects, *definition);
    if (frame == nullptr) {
      continue;
    }
    // Chunk numbers are keys taken as signed 32-bit values.
    const auto bitmapKey = static_cast<std::int32_t>(definition->bitmapId);
    // Every field is at most 16 bits wide, so none of this leaves the 32-bit range.
    placements_.push_back(ObjectPlacement{key, bitmapKey, static_cast<std::int32_t>(definition->hotspotX),
                                          static_cast<std::int32_t>(definition->hotspotY),
                                          static_cast<std::int32_t>(frame->width),
                                          static_cast<std::int32_t>(frame->height)});
  }
  placementsFrom_ = source;
  return placements_;
}

void DisplaySurface::DrawObjects() {
  if (region == nullptr || objects == nullptr || backBuffer == nullptr || !region->entities ||
      region->entityCount <= 0) {
    return;
  }
  const std::vector<Entity>& entities = *region->entities;
  const std::size_t count = std::min(entities.size(), static_cast<std::size_t>(region->entityCount));
  const std::vector<ObjectPlacement>& placements = Placements();
  for (std::size_t index = 0; index < count; ++index) {
    const Entity& entity = entities[index];
    const auto objectKey = static_cast<std::int32_t>(entity.objectId);
    const auto placement =
        std::lower_bound(placements.begin(), placements.end(), objectKey,
                         [](const ObjectPlacement& candidate, std::int32_t key) { return candidate.objectKey < key; });
    if (placement == placements.end() || placement->objectKey != objectKey) {
      continue;
    }
    const std::int32_t w = placement->width;
    const std::int32_t h = placement->height;
    const std::int32_t left = static_cast<std::int32_t>(entity.x) - placement->hotspotX;
    const std::int32_t top =
        static_cast<std::int32_t>(entity.y) - placement->hotspotY - static_cast<std::int32_t>(entity.z);
    // Only what lies wholly outside the view is passed over; an edge on the view's edge still
    // goes to the blit, which the clipper trims.
    if (left + w < viewX || left > viewX + screenWidth || top + h < viewY || top > viewY + screenHeight) {
      continue;
    }
    const auto surface = objectSurfaces.find(placement->bitmapKey);
    if (surface == objectSurfaces.end() || surface->second == nullptr) {
      continue;
    }
    const platform::Rect source{0, 0, w, h};
    const platform::Rect dest{left - viewX, top - viewY, left - viewX + w, top - viewY + h};
    if ((entity.flags & kMirroredFlag) != 0) {
      const platform::BltFx mirror{platform::DDBLTFX_MIRRORLEFTRIGHT};
      backBuffer->Blt(&dest, surface->second.get(), &source,
                      platform::DDBLT_WAIT | platform::DDBLT_KEYSRC | platform::DDBLT_DDFX, &mirror);
    } else {
      backBuffer->Blt(&dest, surface->second.get(), &source, platform::DDBLT_WAIT | platform::DDBLT_KEYSRC, nullptr);
    }
  }
}

}  // namespace karst
