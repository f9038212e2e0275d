#include "platform/ddraw_presenter.h"

#include <SDL.h>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include <bit>
#include <cstddef>
#include <cstring>
#include <string_view>
#include <utility>

namespace karst::platform {
namespace {

// The display refresh that flips are paced to.
constexpr std::uint64_t kRefreshRate = 60;

// True when an OpenGL renderer draws with a rasteriser in software (Mesa's llvmpipe, softpipe
// or swrast, as on machines without a graphics processor and on virtual screens): it then
// costs several times the CPU of SDL's own software renderer for the same frame.
bool DrawsGlInSoftware(SDL_Renderer* renderer) {
  SDL_RendererInfo info{};
  if (SDL_GetRendererInfo(renderer, &info) != 0 || info.name == nullptr || std::strncmp(info.name, "opengl", 6) != 0) {
    return false;
  }
  constexpr unsigned kGlRenderer = 0x1F01;
  using GetString = const unsigned char* (*)(unsigned);
  const auto getString = reinterpret_cast<GetString>(SDL_GL_GetProcAddress("glGetString"));
  const unsigned char* name = getString != nullptr ? getString(kGlRenderer) : nullptr;
  if (name == nullptr) {
    return false;
  }
  const std::string_view text(reinterpret_cast<const char*>(name));
  for (const std::string_view software : {"llvmpipe", "softpipe", "Software Rasterizer", "swrast"}) {
    if (text.find(software) != std::string_view::npos) {
      return true;
    }
  }
  return false;
}

// The accelerated renderer where a graphics processor draws; otherwise SDL's software
// renderer straight into the window's own framebuffer (not through OpenGL, which would be
// drawn in software again).
SDL_Renderer* CreateRenderer(SDL_Window* window) {
  SDL_Renderer* renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_ACCELERATED | SDL_RENDERER_PRESENTVSYNC);
  if (renderer != nullptr && DrawsGlInSoftware(renderer)) {
    SDL_DestroyRenderer(renderer);
    renderer = nullptr;
    SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, "0");
  }
  if (renderer == nullptr) {
    renderer = SDL_CreateRenderer(window, -1, SDL_RENDERER_SOFTWARE);
  }
  return renderer;
}

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

namespace {

// Eight indices are read at once and every two colours go out as one 64-bit store: the table
// lookups are then the only work per pixel. The colours are assembled in little-endian order,
// which is the order of the 32-bit values in memory on the machines we build for.
void ConvertRow(const std::uint8_t* in, std::uint32_t* out, std::int32_t width, const std::uint32_t* table) {
  static_assert(std::endian::native == std::endian::little);
  std::int32_t x = 0;
  for (; x + 8 <= width; x += 8) {
    std::uint64_t indices = 0;
    std::memcpy(&indices, in + x, sizeof indices);
    for (int pair = 0; pair < 4; ++pair) {
      const std::uint64_t two = table[indices & 0xFF] | (std::uint64_t{table[(indices >> 8) & 0xFF]} << 32);
      std::memcpy(out + x + 2 * pair, &two, sizeof two);
      indices >>= 16;
    }
  }
  for (; x < width; ++x) {
    out[x] = table[in[x]];
  }
}

#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#define KARST_CONVERT_WIDE 1
#define KARST_TARGET_VBMI __attribute__((target("avx512f,avx512bw,avx512vbmi")))

// 64 pixels at a time with byte permutes where the processor has them (AVX-512 VBMI): each of
// blue, green and red is a 256-byte table held in four registers, looked up with two two-table
// permutes on the low seven bits of the index and a blend on its top bit; alpha is always 0xFF.
// The unpacks that interleave the four planes into pixels work within 128-bit lanes, so the
// indices are first reordered (a 4 x 4 transpose of 4-byte groups) for the pixels to come out
// in order.
KARST_TARGET_VBMI void ConvertFrameVbmi(const std::uint8_t* source, std::int32_t sourcePitch, std::uint32_t* dest,
                                        std::int32_t destPitchInPixels, std::int32_t width, std::int32_t height,
                                        const ColourTable& colours) {
  alignas(64) std::uint8_t planes[3][256];
  for (std::size_t i = 0; i < 256; ++i) {
    planes[0][i] = static_cast<std::uint8_t>(colours[i]);
    planes[1][i] = static_cast<std::uint8_t>(colours[i] >> 8);
    planes[2][i] = static_cast<std::uint8_t>(colours[i] >> 16);
  }
  __m512i table[3][4];
  for (int c = 0; c < 3; ++c) {
    for (int q = 0; q < 4; ++q) {
      table[c][q] = _mm512_load_si512(planes[c] + 64 * q);
    }
  }
  alignas(64) std::uint8_t order[64];
  for (int k = 0; k < 4; ++k) {
    for (int m = 0; m < 4; ++m) {
      for (int i = 0; i < 4; ++i) {
        order[16 * k + 4 * m + i] = static_cast<std::uint8_t>(16 * m + 4 * k + i);
      }
    }
  }
  const __m512i reorder = _mm512_load_si512(order);
  const __m512i alpha = _mm512_set1_epi8(static_cast<char>(0xFF));
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint8_t* in = source + static_cast<std::ptrdiff_t>(y) * sourcePitch;
    std::uint32_t* out = dest + static_cast<std::ptrdiff_t>(y) * destPitchInPixels;
    std::int32_t x = 0;
    for (; x + 64 <= width; x += 64) {
      // The zero-masking form: the plain one trips GCC's uninitialised-value warning.
      const __m512i indices = _mm512_maskz_permutexvar_epi8(~__mmask64{0}, reorder, _mm512_loadu_si512(in + x));
      const __mmask64 high = _mm512_movepi8_mask(indices);
      __m512i component[3];
      for (int c = 0; c < 3; ++c) {
        const __m512i low = _mm512_permutex2var_epi8(table[c][0], indices, table[c][1]);
        const __m512i top = _mm512_permutex2var_epi8(table[c][2], indices, table[c][3]);
        component[c] = _mm512_mask_blend_epi8(high, low, top);
      }
      const __m512i blueGreenLow = _mm512_unpacklo_epi8(component[0], component[1]);
      const __m512i blueGreenHigh = _mm512_unpackhi_epi8(component[0], component[1]);
      const __m512i redAlphaLow = _mm512_unpacklo_epi8(component[2], alpha);
      const __m512i redAlphaHigh = _mm512_unpackhi_epi8(component[2], alpha);
      _mm512_storeu_si512(out + x, _mm512_unpacklo_epi16(blueGreenLow, redAlphaLow));
      _mm512_storeu_si512(out + x + 16, _mm512_unpackhi_epi16(blueGreenLow, redAlphaLow));
      _mm512_storeu_si512(out + x + 32, _mm512_unpacklo_epi16(blueGreenHigh, redAlphaHigh));
      _mm512_storeu_si512(out + x + 48, _mm512_unpackhi_epi16(blueGreenHigh, redAlphaHigh));
    }
    ConvertRow(in + x, out + x, width - x, colours.data());
  }
}

// 16 pixels a step with AVX2 where the processor has it but not AVX-512 VBMI: the colours are
// looked up one by one, as in the plain loop, but gathered into 32-byte stores by inserts
// instead of being paired by shifts. The gather instruction would do the lookups in one, but on
// some processors (AMD's before Zen 4, Intel's under the Gather Data Sampling fix) it costs more
// than the eight loads.
#define KARST_TARGET_AVX2 __attribute__((target("avx2")))

// The colours of four indices in one register. The indices are read as a 32-bit word, whose
// bytes come out of the register's low and second-lowest byte with one instruction each.
KARST_TARGET_AVX2 inline __m128i FourColours(const std::uint8_t* in, const std::uint32_t* table) {
  std::uint32_t four = 0;
  std::memcpy(&four, in, sizeof four);
  __m128i colours = _mm_cvtsi32_si128(static_cast<int>(table[four & 0xFF]));
  colours = _mm_insert_epi32(colours, static_cast<int>(table[(four >> 8) & 0xFF]), 1);
  colours = _mm_insert_epi32(colours, static_cast<int>(table[(four >> 16) & 0xFF]), 2);
  return _mm_insert_epi32(colours, static_cast<int>(table[four >> 24]), 3);
}

KARST_TARGET_AVX2 void ConvertFrameAvx2(const std::uint8_t* source, std::int32_t sourcePitch, std::uint32_t* dest,
                                        std::int32_t destPitchInPixels, std::int32_t width, std::int32_t height,
                                        const ColourTable& colours) {
  const std::uint32_t* table = colours.data();
  for (std::int32_t y = 0; y < height; ++y) {
    const std::uint8_t* in = source + static_cast<std::ptrdiff_t>(y) * sourcePitch;
    std::uint32_t* out = dest + static_cast<std::ptrdiff_t>(y) * destPitchInPixels;
    std::int32_t x = 0;
    for (; x + 16 <= width; x += 16) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                          _mm256_set_m128i(FourColours(in + x + 4, table), FourColours(in + x, table)));
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x + 8),
                          _mm256_set_m128i(FourColours(in + x + 12, table), FourColours(in + x + 8, table)));
    }
    ConvertRow(in + x, out + x, width - x, colours.data());
  }
}
#endif

}  // namespace

void ConvertFramePlain(const std::uint8_t* source, std::int32_t sourcePitch, std::uint32_t* dest,
                       std::int32_t destPitchInPixels, std::int32_t width, std::int32_t height,
                       const ColourTable& colours) {
  for (std::int32_t y = 0; y < height; ++y) {
    ConvertRow(source + static_cast<std::ptrdiff_t>(y) * sourcePitch,
               dest + static_cast<std::ptrdiff_t>(y) * destPitchInPixels, width, colours.data());
  }
}

void ConvertFrame(const std::uint8_t* source, std::int32_t sourcePitch, std::uint32_t* dest,
                  std::int32_t destPitchInPixels, std::int32_t width, std::int32_t height, const ColourTable& colours) {
  ConvertFrameWith(ChosenVectors(), source, sourcePitch, dest, destPitchInPixels, width, height, colours);
}

void ConvertFrameWith(Vectors vectors, const std::uint8_t* source, std::int32_t sourcePitch, std::uint32_t* dest,
                      std::int32_t destPitchInPixels, std::int32_t width, std::int32_t height,
                      const ColourTable& colours) {
#if defined(KARST_CONVERT_WIDE)
  switch (ConversionVectors(vectors)) {
    case Vectors::Avx512:
      // Alpha is 0xFF in every table MakeColourTable makes; the wide path relies on it.
      ConvertFrameVbmi(source, sourcePitch, dest, destPitchInPixels, width, height, colours);
      return;
    case Vectors::Avx2:
      ConvertFrameAvx2(source, sourcePitch, dest, destPitchInPixels, width, height, colours);
      return;
    default:
      break;
  }
#else
  (void)vectors;
#endif
  ConvertFramePlain(source, sourcePitch, dest, destPitchInPixels, width, height, colours);
}

void Presenter::RendererDeleter::operator()(SDL_Renderer* renderer) const { SDL_DestroyRenderer(renderer); }

void Presenter::TextureDeleter::operator()(SDL_Texture* texture) const { SDL_DestroyTexture(texture); }

Presenter::~Presenter() {
  if (watching_) {
    SDL_DelEventWatch(&Presenter::WatchWindowEvents, this);
  }
}

int Presenter::WatchWindowEvents(void* presenter, SDL_Event* event) {
  auto* self = static_cast<Presenter*>(presenter);
  if (event->type == SDL_WINDOWEVENT && event->window.windowID == self->windowId_ &&
      (event->window.event == SDL_WINDOWEVENT_EXPOSED || event->window.event == SDL_WINDOWEVENT_SIZE_CHANGED)) {
    self->Repaint();
  }
  return 0;
}

// Whole multiples of the picture stay sharp; a window or screen smaller than the picture still
// shows all of it, scaled down.
void Presenter::FitScale() {
  int outputWidth = 0;
  int outputHeight = 0;
  if (SDL_GetRendererOutputSize(renderer_.get(), &outputWidth, &outputHeight) == 0) {
    const bool fits = outputWidth >= width_ && outputHeight >= height_;
    if (fits != integerScale_ && SDL_RenderSetIntegerScale(renderer_.get(), fits ? SDL_TRUE : SDL_FALSE) == 0) {
      integerScale_ = fits;
    }
  }
}

void Presenter::Repaint() {
  if (!hasFrame_) {
    return;
  }
  SDL_Renderer* renderer = renderer_.get();
  FitScale();
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
  SDL_RenderClear(renderer);
  if (SDL_RenderCopy(renderer, texture_.get(), nullptr, nullptr) == 0) {
    SDL_RenderPresent(renderer);
    ++repaintCount_;
  }
}

int Presenter::Create(SDL_Window* window, std::int32_t width, std::int32_t height,
                      std::unique_ptr<Presenter>& presenter) {
  auto made = std::make_unique<Presenter>(width, height);
  if (window != nullptr) {
    SDL_Renderer* renderer = CreateRenderer(window);
    if (renderer == nullptr) {
      return 1;
    }
    made->renderer_.reset(renderer);
    if (SDL_RenderSetLogicalSize(renderer, width, height) != 0) {
      return 1;
    }
    made->texture_.reset(
        SDL_CreateTexture(renderer, SDL_PIXELFORMAT_ARGB8888, SDL_TEXTUREACCESS_STREAMING, width, height));
    if (made->texture_ == nullptr || SDL_SetTextureScaleMode(made->texture_.get(), SDL_ScaleModeNearest) != 0) {
      return 1;
    }
    // SDL turns the mouse's window pixels into the picture's as each motion event is queued, from
    // here on. A motion queued before, as when the window appeared under a resting pointer (on
    // Windows), is in window pixels: taken for picture pixels it would rest at the picture's
    // right or bottom edge and scroll the view away. The next motion gives the position.
    SDL_FlushEvent(SDL_MOUSEMOTION);
    made->nextRefresh_ = SDL_GetPerformanceCounter() + SDL_GetPerformanceFrequency() / kRefreshRate;
    made->windowId_ = SDL_GetWindowID(window);
    SDL_AddEventWatch(&Presenter::WatchWindowEvents, made.get());
    made->watching_ = true;
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
  FitScale();
  void* texels = nullptr;
  int texturePitch = 0;
  if (SDL_LockTexture(texture_.get(), nullptr, &texels, &texturePitch) != 0) {
    return 1;
  }
  ConvertFrame(frame.pixels, frame.pitch, static_cast<std::uint32_t*>(texels), texturePitch / 4, width_, height_,
               colours);
  SDL_UnlockTexture(texture_.get());
  SDL_SetRenderDrawColor(renderer, 0, 0, 0, 255);
  SDL_RenderClear(renderer);
  if (SDL_RenderCopy(renderer, texture_.get(), nullptr, nullptr) != 0) {
    return 1;
  }
  SDL_RenderPresent(renderer);
  hasFrame_ = true;
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
