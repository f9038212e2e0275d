#include "platform/ddraw.h"

#include <SDL.h>

#include <algorithm>
#include <utility>

#include "platform/ddraw_presenter.h"
#include "platform/fault_injection.h"
#include "platform/native_window.h"

namespace karst::platform {
namespace {

constexpr std::int32_t kLargestMode = 16384;
constexpr std::uint64_t kLargestSurfaceBytes = std::uint64_t{256} << 20;

constexpr std::uint64_t PitchFor(std::uint64_t width) { return (width + 7) & ~std::uint64_t{7}; }

bool RectInside(const Rect& rect, std::int32_t width, std::int32_t height) {
  return rect.left >= 0 && rect.left < rect.right && rect.right <= width && rect.top >= 0 && rect.top < rect.bottom &&
         rect.bottom <= height;
}

bool SameRect(const Rect& a, const Rect& b) {
  return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}

}  // namespace

Palette::Palette(CreationKey, const PaletteEntry* entries) : entries_(std::make_shared<PaletteTable>()) {
  std::copy(entries, entries + entries_->size(), entries_->begin());
}

int Palette::SetEntries(std::uint32_t flags, std::uint32_t first, std::uint32_t count, const PaletteEntry* entries) {
  if (ShouldFail("SetEntries")) {
    return 1;
  }
  if (flags != 0 || first > entries_->size() || count > entries_->size() - first || (count > 0 && entries == nullptr)) {
    return 1;
  }
  std::copy(entries, entries + count, entries_->begin() + first);
  return 0;
}

Clipper::Clipper(CreationKey, std::int32_t screenWidth, std::int32_t screenHeight)
    : clipList_(std::make_shared<ClipList>(ClipList{false, Rect{0, 0, screenWidth, screenHeight}})) {}

int Clipper::SetHWnd(std::uint32_t flags, Window* window) {
  if (ShouldFail("SetHWnd")) {
    return 1;
  }
  if (flags != 0 || (window != nullptr && !IsWindowHandle(window))) {
    return 1;
  }
  clipList_->bound = true;
  return 0;
}

Surface::Surface(CreationKey, std::int32_t width, std::int32_t height)
    : width_(width),
      height_(height),
      pitch_(static_cast<std::int32_t>(PitchFor(static_cast<std::uint64_t>(width)))),
      pixels_(static_cast<std::size_t>(pitch_) * static_cast<std::size_t>(height)) {}

Surface::~Surface() = default;

int Surface::Lock(const Rect* rect, LockedMemory& memory, std::uint32_t) {
  if (ShouldFail("Lock")) {
    return 1;
  }
  const Rect whole{0, 0, width_, height_};
  if (access_ != Access::Free || (rect != nullptr && !RectInside(*rect, width_, height_))) {
    return 1;
  }
  access_ = Access::Locked;
  lockedRect_ = rect != nullptr ? *rect : whole;
  memory.pixels = row(lockedRect_.top) + lockedRect_.left;
  memory.pitch = pitch_;
  return 0;
}

int Surface::Unlock(const Rect* rect) {
  if (ShouldFail("Unlock")) {
    return 1;
  }
  if (access_ != Access::Locked || (rect != nullptr && !SameRect(*rect, lockedRect_))) {
    return 1;
  }
  access_ = Access::Free;
  return 0;
}

int Surface::SetColorKey(std::uint32_t flags, std::uint32_t low, std::uint32_t high) {
  if (flags != DDCKEY_SRCBLT) {
    return 1;
  }
  hasColorKey_ = true;
  colorKeyLow_ = low;
  colorKeyHigh_ = high;
  return 0;
}

int Surface::SetClipper(Clipper* clipper) {
  if (ShouldFail("SetClipper")) {
    return 1;
  }
  clipList_ = clipper != nullptr ? clipper->clipList_ : nullptr;
  return 0;
}

int Surface::SetPalette(Palette* palette) {
  if (ShouldFail("SetPalette")) {
    return 1;
  }
  palette_ = palette != nullptr ? palette->entries_ : nullptr;
  return 0;
}

int Surface::GetAttachedSurface(std::uint32_t caps, Surface*& attached) {
  if (ShouldFail("GetAttachedSurface")) {
    return 1;
  }
  if (caps != DDSCAPS_BACKBUFFER || backBuffer_ == nullptr) {
    return 1;
  }
  attached = backBuffer_.get();
  return 0;
}

int Surface::Flip(Surface* target, std::uint32_t flags) {
  if (ShouldFail("Flip")) {
    return 1;
  }
  if (presenter_ == nullptr || (target != nullptr && target != backBuffer_.get()) || (flags & ~DDFLIP_WAIT) != 0 ||
      access_ != Access::Free || backBuffer_->access_ != Access::Free) {
    return 1;
  }
  std::swap(pixels_, backBuffer_->pixels_);
  if (presenter_->Present(pixels(), paletteEntries()) != 0) {
    return 1;
  }
  ++flipCount_;
  return 0;
}

PixelView Surface::pixels() const { return PixelView{pixels_.data(), pitch_, width_, height_}; }

PaletteTable Surface::paletteEntries() const { return palette_ != nullptr ? *palette_ : PaletteTable{}; }

std::uint64_t Surface::repaintCount() const { return presenter_ != nullptr ? presenter_->repaintCount() : 0; }

const std::vector<std::uint32_t>& Surface::presentedFrame() const {
  static const std::vector<std::uint32_t> kNoFrame;
  return presenter_ != nullptr ? presenter_->frame() : kNoFrame;
}

void Surface::MakeFlippingPrimary(std::unique_ptr<Surface> backBuffer, std::unique_ptr<Presenter> presenter) {
  backBuffer->primary_ = this;
  backBuffer_ = std::move(backBuffer);
  presenter_ = std::move(presenter);
}

// GDI draws on a back buffer in the screen's colours, which are the primary's palette.
const PaletteTable* Surface::drawingPalette() const {
  if (palette_ != nullptr) {
    return palette_.get();
  }
  if (primary_ != nullptr && primary_->palette_ != nullptr) {
    return primary_->palette_.get();
  }
  return nullptr;
}

int DirectDrawCreate(std::unique_ptr<DirectDraw>& ddraw) {
  if (ShouldFail("DirectDrawCreate")) {
    return 1;
  }
  ddraw = std::make_unique<DirectDraw>();
  return 0;
}

int DirectDraw::SetCooperativeLevel(Window* window, std::uint32_t flags) {
  if (ShouldFail("SetCooperativeLevel")) {
    return 1;
  }
  constexpr std::uint32_t kExclusiveFullScreen = DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN;
  if (flags != 0 && flags != kExclusiveFullScreen) {
    return 1;
  }
  // The display takes the window here: this starts the video driver, and without a screen to
  // show the window on, the set-up fails now rather than leave the program waiting unseen.
  if (window != nullptr && OpenNativeWindow(window) == nullptr) {
    return 1;
  }
  window_ = window;
  exclusive_ = flags == kExclusiveFullScreen;
  return 0;
}

int DirectDraw::SetDisplayMode(std::uint32_t width, std::uint32_t height, std::uint32_t bitsPerPixel) {
  if (ShouldFail("SetDisplayMode")) {
    return 1;
  }
  constexpr auto kLargest = static_cast<std::uint32_t>(kLargestMode);
  if (bitsPerPixel != 8 || width == 0 || width > kLargest || height == 0 || height > kLargest) {
    return 1;
  }
  if (window_ != nullptr) {
    SDL_Window* native = NativeWindow(window_);
    if (native == nullptr) {
      return 1;
    }
    if (exclusive_) {
      // The window covers its display by its own size too: without a window manager, asking
      // for full screen changes nothing on the screen while SDL draws for the whole display.
      SDL_Rect bounds{};
      const int display = SDL_GetWindowDisplayIndex(native);
      if (display < 0 || SDL_GetDisplayBounds(display, &bounds) != 0) {
        return 1;
      }
      SDL_SetWindowPosition(native, bounds.x, bounds.y);
      SDL_SetWindowSize(native, bounds.w, bounds.h);
      // The screen stays ours while the user looks at another program.
      SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
      if (SDL_SetWindowFullscreen(native, SDL_WINDOW_FULLSCREEN_DESKTOP) != 0) {
        return 1;
      }
    }
    SetPictureSize(window_, static_cast<int>(width), static_cast<int>(height));
    SDL_ShowWindow(native);
  }
  modeWidth_ = static_cast<std::int32_t>(width);
  modeHeight_ = static_cast<std::int32_t>(height);
  return 0;
}

int DirectDraw::CreateSurface(const SurfaceDesc& desc, std::unique_ptr<Surface>& surface) {
  if (ShouldFail("CreateSurface")) {
    return 1;
  }
  if ((desc.caps & DDSCAPS_PRIMARYSURFACE) != 0) {
    constexpr std::uint32_t kChainCaps = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
    if (desc.flags != (DDSD_CAPS | DDSD_BACKBUFFERCOUNT) || desc.caps != kChainCaps || desc.backBufferCount != 1 ||
        modeWidth_ == 0) {
      return 1;
    }
    SDL_Window* native = nullptr;
    if (window_ != nullptr) {
      native = NativeWindow(window_);
      if (native == nullptr) {
        return 1;
      }
    }
    std::unique_ptr<Presenter> presenter;
    if (Presenter::Create(native, modeWidth_, modeHeight_, presenter) != 0) {
      return 1;
    }
    auto primary = std::make_unique<Surface>(CreationKey{}, modeWidth_, modeHeight_);
    primary->MakeFlippingPrimary(std::make_unique<Surface>(CreationKey{}, modeWidth_, modeHeight_),
                                 std::move(presenter));
    surface = std::move(primary);
    return 0;
  }
  if (desc.flags != (DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH) || (desc.caps & ~DDSCAPS_OFFSCREENPLAIN) != 0 ||
      desc.width == 0 || desc.width > kLargestSurfaceSide || desc.height == 0 || desc.height > kLargestSurfaceSide ||
      PitchFor(desc.width) * desc.height > kLargestSurfaceBytes) {
    return 1;
  }
  surface = std::make_unique<Surface>(CreationKey{}, static_cast<std::int32_t>(desc.width),
                                      static_cast<std::int32_t>(desc.height));
  return 0;
}

int DirectDraw::CreatePalette(std::uint32_t flags, const PaletteEntry* entries, std::unique_ptr<Palette>& palette) {
  if (ShouldFail("CreatePalette")) {
    return 1;
  }
  if (flags != DDPCAPS_8BIT || entries == nullptr) {
    return 1;
  }
  palette = std::make_unique<Palette>(CreationKey{}, entries);
  return 0;
}

int DirectDraw::CreateClipper(std::uint32_t flags, std::unique_ptr<Clipper>& clipper) {
  if (ShouldFail("CreateClipper")) {
    return 1;
  }
  if (flags != 0) {
    return 1;
  }
  clipper = std::make_unique<Clipper>(CreationKey{}, modeWidth_, modeHeight_);
  return 0;
}

}  // namespace karst::platform
