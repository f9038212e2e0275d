#include <SDL.h>
#include <SDL_ttf.h>

#include <algorithm>
#include <limits>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/ddraw.h"
#include "platform/fault_injection.h"
#include "platform/font_file.h"

namespace karst::platform {
namespace {

// The name is written at y = screen height - 15 and must show whole, descenders included: the
// font's size is the largest whose real ascent and descent fit these rows together.
constexpr int kTextRows = 15;

struct SdlSurfaceDeleter {
  void operator()(SDL_Surface* surface) const { SDL_FreeSurface(surface); }
};

// How far the glyphs a text can hold (printable Latin-1) reach above and below the baseline at
// the font's size: at least the ascent and descent the font declares, and as far as any glyph
// goes. SDL_ttf rounds the declared descent towards zero, so descenders reach a row further.
int RowsAboveAndBelowBaseline(TTF_Font* font) {
  int above = TTF_FontAscent(font);
  int below = -TTF_FontDescent(font);
  for (Uint32 character = 32; character <= 255; ++character) {
    if (character >= 127 && character < 160) {
      continue;  // control characters
    }
    int minX = 0;
    int maxX = 0;
    int minY = 0;
    int maxY = 0;
    int advance = 0;
    if (TTF_GlyphMetrics32(font, character, &minX, &maxX, &minY, &maxY, &advance) == 0) {
      above = std::max(above, maxY);
      below = std::max(below, -minY);
    }
  }
  return above + below;
}

// The font's data for one opening, which SDL_ttf closes with the font; null when it cannot be
// read.
SDL_RWops* FontData(const FontSource& source) {
  if (!source.bytes.empty()) {
    return SDL_RWFromConstMem(source.bytes.data(), static_cast<int>(source.bytes.size()));
  }
  return SDL_RWFromFile(source.path.c_str(), "rb");
}

// The font at the largest pixel size whose glyphs fit `kTextRows` rows; null when none does or
// the font cannot be read.
TTF_Font* OpenFittingFont(const FontSource& source) {
  for (int size = kTextRows; size > 0; --size) {
    TTF_Font* font = TTF_OpenFontRW(FontData(source), 1, size);
    if (font == nullptr) {
      return nullptr;
    }
    TTF_SetFontHinting(font, TTF_HINTING_MONO);
    if (RowsAboveAndBelowBaseline(font) <= kTextRows) {
      return font;
    }
    TTF_CloseFont(font);
  }
  return nullptr;
}

// The one font of every device context, opened on first use and closed at exit. A failed
// attempt is not repeated: the system's fonts do not change while we run.
class SystemFont {
 public:
  SystemFont() {
    const FontSource source = FindSansSerifFont();
    if (source.empty() || TTF_Init() != 0) {
      return;
    }
    ttfStarted_ = true;
    font_ = OpenFittingFont(source);
  }
  ~SystemFont() {
    if (font_ != nullptr) {
      TTF_CloseFont(font_);
    }
    if (ttfStarted_) {
      TTF_Quit();
    }
  }
  SystemFont(const SystemFont&) = delete;
  SystemFont& operator=(const SystemFont&) = delete;

  TTF_Font* font() const { return font_; }

 private:
  bool ttfStarted_ = false;
  TTF_Font* font_ = nullptr;
};

TTF_Font* Font() {
  static SystemFont font;
  return font.font();
}

// A line of text as glyph coverage: `width` x `height` bytes, non-zero on the glyphs.
struct GlyphImage {
  std::int32_t width = 0;
  std::int32_t height = 0;
  std::vector<std::uint8_t> coverage;
};

// The glyphs of `line` that can reach a surface with `room` columns left of the text's start:
// only those characters are rendered, one more for the glyph the right edge cuts through. The
// rest would be clipped anyway, and a text of many thousand characters would otherwise make a
// glyph image of as many columns. Empty (width 0) when nothing shows; null on a font failure.
std::optional<GlyphImage> RenderGlyphs(TTF_Font* font, const std::string& text, std::int64_t room) {
  int fittingWidth = 0;
  int fitting = 0;
  const auto measureWidth = static_cast<int>(std::min<std::int64_t>(room, std::numeric_limits<int>::max()));
  if (TTF_MeasureText(font, text.c_str(), measureWidth, &fittingWidth, &fitting) != 0) {
    return std::nullopt;
  }
  // Only the characters that can show are copied, however long the text.
  const std::string line = text.substr(0, static_cast<std::size_t>(fitting) + 1);
  int textWidth = 0;
  if (TTF_SizeText(font, line.c_str(), &textWidth, nullptr) != 0) {
    return std::nullopt;
  }
  if (textWidth == 0) {
    return GlyphImage{};
  }
  // Solid rendering gives one byte per pixel: 0 around the glyphs, 1 on them.
  const std::unique_ptr<SDL_Surface, SdlSurfaceDeleter> glyphs(
      TTF_RenderText_Solid(font, line.c_str(), SDL_Color{255, 255, 255, 255}));
  if (glyphs == nullptr) {
    return std::nullopt;
  }
  GlyphImage image{glyphs->w, glyphs->h, {}};
  image.coverage.resize(static_cast<std::size_t>(image.width) * static_cast<std::size_t>(image.height));
  const auto* pixels = static_cast<const std::uint8_t*>(glyphs->pixels);
  for (std::int32_t row = 0; row < image.height; ++row) {
    std::copy_n(pixels + static_cast<std::ptrdiff_t>(row) * glyphs->pitch, image.width,
                image.coverage.begin() + static_cast<std::ptrdiff_t>(row) * image.width);
  }
  return image;
}

// The viewer writes the same name every frame: the last line rendered on this thread is kept,
// with the room it was rendered for, and used again while both stay the same.
struct LastLine {
  std::string text;
  std::int64_t room = 0;
  GlyphImage glyphs;
};

const GlyphImage* GlyphsFor(TTF_Font* font, std::string_view line, std::int64_t room) {
  thread_local std::optional<LastLine> last;
  if (last.has_value() && last->room == room && last->text == line) {
    return &last->glyphs;
  }
  last.reset();
  std::string text(line);
  std::optional<GlyphImage> glyphs = RenderGlyphs(font, text, room);
  if (!glyphs.has_value()) {
    return nullptr;
  }
  last = LastLine{std::move(text), room, std::move(*glyphs)};
  return &last->glyphs;
}

// The index whose colour lies nearest to a COLORREF (0x00BBGGRR); ties go to the lower index.
std::uint8_t NearestIndex(const PaletteTable& palette, std::uint32_t colorRef) {
  const int red = static_cast<int>(colorRef & 0xFF);
  const int green = static_cast<int>((colorRef >> 8) & 0xFF);
  const int blue = static_cast<int>((colorRef >> 16) & 0xFF);
  std::size_t best = 0;
  int bestDistance = std::numeric_limits<int>::max();
  for (std::size_t i = 0; i < palette.size(); ++i) {
    const int dr = palette[i].red - red;
    const int dg = palette[i].green - green;
    const int db = palette[i].blue - blue;
    const int distance = dr * dr + dg * dg + db * db;
    if (distance < bestDistance) {
      best = i;
      bestDistance = distance;
    }
  }
  return static_cast<std::uint8_t>(best);
}

}  // namespace

int Surface::GetDC(DeviceContext& context) {
  if (ShouldFail("GetDC")) {
    return 1;
  }
  if (access_ != Access::Free || context.surface_ != nullptr || Font() == nullptr) {
    return 1;
  }
  access_ = Access::Context;
  context = DeviceContext{};
  context.surface_ = this;
  return 0;
}

int Surface::ReleaseDC(DeviceContext& context) {
  if (context.surface_ != this || access_ != Access::Context) {
    return 1;
  }
  access_ = Access::Free;
  context.surface_ = nullptr;
  return 0;
}

int DeviceContext::TextOut(std::int32_t x, std::int32_t y, const char* text, std::int32_t length) {
  if (surface_ == nullptr || length < 0 || (length > 0 && text == nullptr)) {
    return 1;
  }
  if (length == 0) {
    return 0;
  }
  const std::string_view line(text, static_cast<std::size_t>(std::find(text, text + length, '\0') - text));
  if (line.empty()) {
    return 0;
  }
  TTF_Font* font = Font();
  if (font == nullptr) {
    return 1;
  }
  const std::int64_t room = std::int64_t{surface_->width_} - x;
  if (room <= 0) {
    return 0;
  }
  const GlyphImage* glyphs = GlyphsFor(font, line, room);
  if (glyphs == nullptr) {
    return 1;
  }
  if (glyphs->width == 0) {
    return 0;
  }
  const PaletteTable* palette = surface_->drawingPalette();
  const std::uint8_t ink = palette != nullptr ? NearestIndex(*palette, text_) : 0;
  const std::uint8_t paper = palette != nullptr ? NearestIndex(*palette, background_) : 0;

  const std::int64_t left = std::max<std::int64_t>(x, 0);
  const std::int64_t top = std::max<std::int64_t>(y, 0);
  const std::int64_t right = std::min<std::int64_t>(std::int64_t{x} + glyphs->width, surface_->width_);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{y} + glyphs->height, surface_->height_);
  for (std::int64_t row = top; row < bottom; ++row) {
    const std::uint8_t* in = glyphs->coverage.data() + (row - y) * glyphs->width;
    std::uint8_t* out = surface_->row(static_cast<std::int32_t>(row));
    for (std::int64_t column = left; column < right; ++column) {
      out[column] = in[column - x] != 0 ? ink : paper;
    }
  }
  return 0;
}

}  // namespace karst::platform
