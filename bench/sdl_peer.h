// The frame of bench_scene.h drawn the way a plain SDL2 port would draw it, as the yardstick for
// our own display: 8-bit SDL surfaces, SDL_BlitSurface for tiles (opaque) and objects (colour key
// 0, mirrored objects from copies mirrored once at load), the name rendered with SDL_ttf onto a
// black band, and the frame turned into ARGB8888 by a blit.
#pragma once

#include <SDL.h>
#include <SDL_ttf.h>

#include <cstdint>
#include <memory>
#include <vector>

#include "bench/bench_scene.h"

namespace karst::bench {

class SdlPeer {
 public:
  // False from `ready()` when SDL could not make a surface or no font was found.
  explicit SdlPeer(const Scene& scene);
  ~SdlPeer();
  SdlPeer(const SdlPeer&) = delete;
  SdlPeer& operator=(const SdlPeer&) = delete;

  bool ready() const { return ready_; }
  // Draws the whole frame and converts it to 32 bits.
  void Compose();
  // The 32-bit frame of the last `Compose`.
  const std::uint32_t* frame() const { return static_cast<const std::uint32_t*>(screen32_->pixels); }
  // The 8-bit frame of the last `Compose`.
  const SDL_Surface* screen8() const { return screen8_; }

 private:
  const Scene& scene_;
  bool ready_ = false;
  SDL_Palette* palette_ = nullptr;
  SDL_Surface* screen8_ = nullptr;
  SDL_Surface* screen32_ = nullptr;
  SDL_Surface* tiles_ = nullptr;
  std::vector<SDL_Surface*> objects_;  // plain or mirrored, as each object is drawn
  TTF_Font* font_ = nullptr;
};

}  // namespace karst::bench
