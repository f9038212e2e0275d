#include "platform/ddraw_presenter.h"

#include <SDL.h>

#include <utility>

namespace karst::platform {
namespace {

// The display refresh that flips are paced to.
constexpr std::uint64_t kRefreshRate = 60;

}  // namespace

ColourTable MakeColourTable(const PaletteTable& palette) {
  ColourTable colours{};
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const PaletteEntry& entry = palette[i];
    colours[i] = 0xFF000000u | (static_cast<std::uint32_t>(entry.red) << 16) |
                 (static_cast<std::uint32_t>(entry.green) << 8) | entry.blue;
  }
  return colours;
}

void ConvertFrame(const std::uint8_t* source, std::int32_t sourcePitch, std::uint32_t* dest,
                  std::int32_t destPitchInPixels, std::int32_t width, std::int32_t height,
                  const ColourTable& colours) {
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint8_t* in = source + static_cast<std::ptrdiff_t>(y) * sourcePitch;
    std::uint32_t* out = dest + static_cast<std::ptrdiff_t>(y) * destPitchInPixels;
    for (std::int32_t x = 0; x < width; ++x) {
      out[x] = colours[in[x]];
    }
  }
}

void Presenter::RendererDeleter::operator()(SDL_Renderer* renderer) const {
  SDL_DestroyRenderer(renderer);
}

void Presenter::TextureDeleter::operator()(SDL_Texture* texture) const {
  SDL_DestroyTexture(texture);
}

int Presenter::Create(SDL_Window* window, std::int32_t width, std::int32_t height,
                      std::unique_ptr<Presenter>& presenter) {
  auto made = std::make_unique<Presenter>(width, height);
  if (window != nullptr) {
    SDL_Renderer* renderer =
        SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
    if (renderer == nullptr) {
      renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
    }
    if (renderer == nullptr) {
      return 1;
    }
    made->renderer_.reset(renderer);
    if (SDL_RenderSetLogicalSize(renderer, width, height) != 0) {
      return 1;
    }
    made->texture_.reset(SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888,
                                           SDL_TEXTUREACCESS_STREAMING, width, height));
    if (made->texture_ == nullptr ||
        SDL_SetTextureScaleMode(made->texture_.get(), SDL_ScaleModeNearest) != 0) {
      return 1;
    }
    made->nextRefresh_ = SDL_GetPerformanceCounter() + SDL_GetPerformanceFrequency() / kRefreshRate;
  }
  presenter = std::move(made);
  return 0;
}

int Presenter::Present(const PixelView& frame, const PaletteTable& palette) {
  const ColourTable colours = MakeColourTable(palette);
  if (renderer_ == nullptr) {
    frame_.resize(static_cast<std::size_t>(width_) * static_cast<std::size_t>(height_));
    ConvertFrame(frame.pixels, frame.pitch, frame_.data(), width_, width_, height_, colours);
    return 0;
  }
  return PresentToWindow(frame, colours);
}

int Presenter::PresentToWindow(const PixelView& frame, const ColourTable& colours) {
  SDL_Renderer* renderer = renderer_.get();
  // Whole multiples of the picture stay sharp; a screen smaller than the picture still
  // shows all of it, scaled down.
  int outputWidth = 0;
  int outputHeight = 0;
  if (SDL_GetRendererOutputSize(renderer, &outputWidth, &outputHeight) == 0) {
    const bool fits = outputWidth >= width_ && outputHeight >= height_;
    if (fits != integerScale_ &&
        SDL_RenderSetIntegerScale(renderer, fits ? SDL_TRUE : SDL_FALSE) == 0) {
      integerScale_ = fits;
    }
  }
  void* texels = nullptr;
  int texturePitch = 0;
  if (SDL_LockTexture(texture_.get(), nullptr, &texels, &texturePitch) != 0) {
    return 1;
  }
  ConvertFrame(frame.pixels, frame.pitch, static_cast<std::uint32_t*>(texels), texturePitch / 4,
               width_, height_, colours);
  SDL_UnlockTexture(texture_.get());
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
  SDL_RenderClear(renderer);
  if (SDL_RenderCopy(renderer, texture_.get(), nullptr, nullptr) != 0) {
    return 1;
  }
  SDL_RenderPresent(renderer);
  WaitForNextRefresh();
  return 0;
}

// Flips keep a 60 Hz cadence: a vsync present has usually waited already, but renderers also
// report vsync that they do not deliver (SDL's software renderer, covered windows), and a
// flip must never come back early enough to let the caller's loop spin. A frame that is a
// little late keeps the cadence; after a long stall it starts afresh.
void Presenter::WaitForNextRefresh() {
  const std::uint64_t frequency = SDL_GetPerformanceFrequency();
  const std::uint64_t period = frequency / kRefreshRate;
  std::uint64_t now = SDL_GetPerformanceCounter();
  while (now < nextRefresh_) {
    const std::uint64_t milliseconds = ((nextRefresh_ - now) * 1000 + frequency - 1) / frequency;
    SDL_Delay(static_cast<Uint32>(milliseconds));
    now = SDL_GetPerformanceCounter();
  }
  nextRefresh_ = now - nextRefresh_ < period ? nextRefresh_ + period : now + period;
}

}  // namespace karst::platform
