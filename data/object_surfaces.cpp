#include <algorithm>
#include <cstddef>
#include <utility>

#include "data/object_library.h"
#include "display/display_surface.h"
#include "gff/frame_set.h"

namespace karst {

std::int32_t DisplaySurface::LoadObjects(const std::string& path) {
  return UseObjectLibrary(LoadObjectLibrary(path, report));
}

std::int32_t DisplaySurface::UseObjectLibrary(std::unique_ptr<ObjectLibrary> loaded) {
  objectSurfaces.clear();
  objects = std::move(loaded);
  ++libraryGeneration_;
  if (objects == nullptr || objects->bmpSets.empty()) {
    return 0;
  }
  for (const auto& [number, frameSet] : objects->bmpSets) {
    objectSurfaces[number] = frameSet != nullptr ? CreateObjectSurface(*frameSet) : nullptr;
  }
  return 1;
}

std::unique_ptr<platform::Surface> DisplaySurface::CreateObjectSurface(const FrameSet& frameSet) {
  // Only frame 0 is ever drawn; a set without it, or a frame 0 without pixels, gets no surface.
  if (ddraw == nullptr || frameSet.frames.empty() || !frameSet.frames[0].HasPixels()) {
    return nullptr;
  }
  const Frame& frame = frameSet.frames[0];
  const std::size_t width = frame.width;
  const std::size_t height = frame.height;
  if (frame.pixels.size() < width * height) {
    return nullptr;
  }
  // Two spare columns and rows, never written and never blitted from. Frame sides are 16-bit
  // values, so the sums cannot wrap.
  const platform::SurfaceDesc desc{platform::DDSD_CAPS | platform::DDSD_HEIGHT | platform::DDSD_WIDTH, frame.height + 2,
                                   frame.width + 2, platform::DDSCAPS_OFFSCREENPLAIN, 0};
  std::unique_ptr<platform::Surface> surface;
  if (ddraw->CreateSurface(desc, surface) != 0) {
    return nullptr;
  }
  // Index 0 is transparent in every keyed blit from the surface.
  surface->SetColorKey(platform::DDCKEY_SRCBLT, 0, 0);
  platform::LockedMemory memory{};
  if (surface->Lock(nullptr, memory, platform::DDLOCK_WAIT) == 0) {
    const auto pitch = static_cast<std::size_t>(memory.pitch);
    for (std::size_t row = 0; row < height; ++row) {
      const auto first = frame.pixels.begin() + static_cast<std::ptrdiff_t>(row * width);
      std::copy(first, first + static_cast<std::ptrdiff_t>(width), memory.pixels + row * pitch);
    }
  }
  // The unlock decides, whether or not the lock succeeded.
  if (surface->Unlock(nullptr) != 0) {
    return nullptr;
  }
  return surface;
}

}  // namespace karst
