#include "display/display_surface.h"

#include <algorithm>
#include <limits>

#include "data/object_library.h"
#include "data/region.h"
#include "gff/format.h"

namespace karst {

using platform::DDFLIP_WAIT;

namespace {

// The view may move from 0 to `regionSize - screenSize`; the upper bound is applied first, so a
// screen larger than the region keeps the view at 0. The sum is formed in 64 bits: a delta near
// the ends of the 32-bit range must clamp, not wrap.
std::int32_t ClampView(std::int32_t view, std::int32_t delta, std::int32_t regionSize, std::int32_t screenSize) {
  std::int64_t moved = std::int64_t{view} + delta;
  const std::int64_t upper = std::int64_t{regionSize} - screenSize;
  if (moved > upper) {
    moved = upper;
  }
  if (moved < 0) {
    moved = 0;
  }
  return static_cast<std::int32_t>(moved);
}

}  // namespace

DisplaySurface::DisplaySurface(platform::Window* mainWindow, std::int32_t height, std::int32_t width,
                               std::uint8_t depth, std::uint32_t nonExclusiveFlag)
    : screenHeight(height),
      screenWidth(width),
      bitsPerPixel(depth),
      nonExclusive(nonExclusiveFlag),
      window(mainWindow) {}

DisplaySurface::~DisplaySurface() {
  clipper.reset();
  palette.reset();
  tileSurface.reset();
  // The back buffer is the primary's and goes with it.
  backBuffer = nullptr;
  primary.reset();
  ddraw.reset();
  objects.reset();
  region.reset();
  objectSurfaces.clear();
}

std::int32_t DisplaySurface::InitDirectDraw() {
  using namespace platform;
  if (DirectDrawCreate(ddraw) != 0) {
    return 0;
  }
  const std::uint32_t level = nonExclusive == 0 ? (DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN) : 0;
  if (ddraw->SetCooperativeLevel(window, level) != 0) {
    return 0;
  }
  if (ddraw->SetDisplayMode(static_cast<std::uint32_t>(screenWidth), static_cast<std::uint32_t>(screenHeight),
                            bitsPerPixel) != 0) {
    return 0;
  }
  const SurfaceDesc primaryDesc{DDSD_CAPS | DDSD_BACKBUFFERCOUNT, 0, 0,
                                DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX, 1};
  if (ddraw->CreateSurface(primaryDesc, primary) != 0) {
    return 0;
  }
  if (primary->GetAttachedSurface(DDSCAPS_BACKBUFFER, backBuffer) != 0) {
    return 0;
  }
  if (ddraw->CreateClipper(0, clipper) != 0) {
    return 0;
  }
  if (clipper->SetHWnd(0, window) != 0) {
    return 0;
  }
  if (backBuffer->SetClipper(clipper.get()) != 0) {
    return 0;
  }
  return 1;
}

void DisplaySurface::PresentFrame() {
  // A display whose set-up failed part way has nothing to draw on.
  if (region == nullptr || primary == nullptr || backBuffer == nullptr) {
    return;
  }
  DrawTiles();
  DrawObjects();
  // A region without a name is shown without text.
  if (region->name) {
    platform::DeviceContext context;
    if (backBuffer->GetDC(context) == 0) {
      context.SetBkColor(0x000000);
      context.SetTextColor(0xFFFFFF);
      const std::string& name = *region->name;
      const auto length =
          static_cast<std::int32_t>(std::min<std::size_t>(name.size(), std::numeric_limits<std::int32_t>::max()));
      context.TextOut(0, screenHeight - 15, name.c_str(), length);
      backBuffer->ReleaseDC(context);
    }
  }
  primary->Flip(backBuffer, DDFLIP_WAIT);
}

void DisplaySurface::ScrollBy(std::int32_t dx, std::int32_t dy) {
  if (region == nullptr) {
    return;
  }
  viewX = ClampView(viewX, dx, kRegionWidth, screenWidth);
  viewY = ClampView(viewY, dy, kRegionHeight, screenHeight);
  PresentFrame();
}

}  // namespace karst
