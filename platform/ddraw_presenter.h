// What a flipping primary shows its frames through: an SDL window or, headless, a 32-bit frame
// in memory. Only the DirectDraw stand-in uses it.
#pragma once

#include <array>
#include <cstdint>
#include <memory>
#include <vector>

#include "platform/ddraw.h"
#include "platform/vector_paths.h"

struct SDL_Window;
struct SDL_Renderer;
struct SDL_Texture;
union SDL_Event;

namespace karst::platform {

// The 0xAARRGGBB value of every palette index.
using ColourTable = std::array<std::uint32_t, 256>;

ColourTable MakeColourTable(const PaletteTable& palette);

// Converts `height` rows of 8-bit indices into 32-bit colours through `colours`, whose alpha
// bytes are all 0xFF (as MakeColourTable makes them). Uses the vector code ChosenVectors() names,
// with results equal to ConvertFramePlain's.
void ConvertFrame(const std::uint8_t* source, std::int32_t sourcePitch, std::uint32_t* dest,
                  std::int32_t destPitchInPixels, std::int32_t width, std::int32_t height, const ColourTable& colours);

// The same with the code for `vectors`, one of AvailableVectors(), whatever KARST_VECTORS says.
void ConvertFrameWith(Vectors vectors, const std::uint8_t* source, std::int32_t sourcePitch, std::uint32_t* dest,
                      std::int32_t destPitchInPixels, std::int32_t width, std::int32_t height,
                      const ColourTable& colours);

// The same conversion one table lookup at a time on every processor.
void ConvertFramePlain(const std::uint8_t* source, std::int32_t sourcePitch, std::uint32_t* dest,
                       std::int32_t destPitchInPixels, std::int32_t width, std::int32_t height,
                       const ColourTable& colours);

class Presenter {
 public:
  struct RendererDeleter {
    void operator()(SDL_Renderer* renderer) const;
  };
  struct TextureDeleter {
    void operator()(SDL_Texture* texture) const;
  };

  // A headless presenter for frames of `width` x `height`.
  Presenter(std::int32_t width, std::int32_t height) : width_(width), height_(height) {}
  Presenter(const Presenter&) = delete;
  Presenter& operator=(const Presenter&) = delete;
  ~Presenter();

  // A presenter for frames of `width` x `height`: into `window`, or headless for a null one.
  // Into a window it draws with the accelerated renderer where a graphics processor draws, and
  // with SDL's software renderer where OpenGL itself would be rasterised in software.
  static int Create(SDL_Window* window, std::int32_t width, std::int32_t height, std::unique_ptr<Presenter>& presenter);

  // Shows one frame of 8-bit indices through `palette`.
  int Present(const PixelView& frame, const PaletteTable& palette);

  // Headless: the last frame shown; windowed: empty.
  const std::vector<std::uint32_t>& frame() const { return frame_; }

  // How often the window was painted again from the last frame after the system uncovered it.
  std::uint64_t repaintCount() const { return repaintCount_; }

 private:
  // Watches the window's events: when the system uncovers or resizes the window, the last frame
  // is shown again at once, since the viewer draws nothing new until a key or the mouse asks.
  static int WatchWindowEvents(void* presenter, SDL_Event* event);
  void Repaint();
  // Integer scaling where the window holds the whole picture at least once.
  void FitScale();
  int PresentToWindow(const PixelView& frame, const ColourTable& colours);
  void WaitForNextRefresh();

  std::int32_t width_;
  std::int32_t height_;
  std::vector<std::uint32_t> frame_;
  std::unique_ptr<SDL_Renderer, RendererDeleter> renderer_;
  std::unique_ptr<SDL_Texture, TextureDeleter> texture_;
  bool integerScale_ = false;
  std::uint64_t nextRefresh_ = 0;  // performance counter ticks
  std::uint32_t windowId_ = 0;
  bool watching_ = false;
  bool hasFrame_ = false;
  std::uint64_t repaintCount_ = 0;
};

}  // namespace karst::platform
