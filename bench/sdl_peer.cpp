#include "bench/sdl_peer.h"

#include <fontconfig/fontconfig.h>

#include <string>

#include "gff/format.h"

namespace karst::bench {
namespace {

std::string SansSerifFontFile() {
  FcPattern* pattern = FcNameParse(reinterpret_cast<const FcChar8*>("sans-serif"));
  if (pattern == nullptr) {
    return {};
  }
  FcConfigSubstitute(nullptr, pattern, FcMatchPattern);
  FcDefaultSubstitute(pattern);
  FcResult result = FcResultNoMatch;
  FcPattern* match = FcFontMatch(nullptr, pattern, &result);
  std::string file;
  FcChar8* name = nullptr;
  if (match != nullptr && FcPatternGetString(match, FC_FILE, 0, &name) == FcResultMatch) {
    file = reinterpret_cast<const char*>(name);
  }
  if (match != nullptr) {
    FcPatternDestroy(match);
  }
  FcPatternDestroy(pattern);
  return file;
}

SDL_Surface* IndexedSurface(int width, int height, SDL_Palette* palette) {
  SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormat(0, width, height, 8, SDL_PIXELFORMAT_INDEX8);
  if (surface != nullptr) {
    SDL_SetSurfacePalette(surface, palette);
  }
  return surface;
}

// Copies an image into a new 8-bit surface, mirrored left to right when asked.
SDL_Surface* ImageSurface(const SceneImage& image, SDL_Palette* palette, bool mirrored) {
  SDL_Surface* surface = IndexedSurface(image.width, image.height, palette);
  if (surface == nullptr) {
    return nullptr;
  }
  auto* pixels = static_cast<std::uint8_t*>(surface->pixels);
  for (int y = 0; y < image.height; ++y) {
    for (int x = 0; x < image.width; ++x) {
      const int from = mirrored ? image.width - 1 - x : x;
      pixels[y * surface->pitch + x] = image.pixels[static_cast<std::size_t>(y * image.width + from)];
    }
  }
  SDL_SetColorKey(surface, SDL_TRUE, 0);
  return surface;
}

}  // namespace

SdlPeer::SdlPeer(const Scene& scene) : scene_(scene) {
  palette_ = SDL_AllocPalette(256);
  if (palette_ == nullptr) {
    return;
  }
  SDL_Color colours[256];
  for (int i = 0; i < 256; ++i) {
    auto scale = [](std::uint8_t v) { return static_cast<Uint8>(v * 255 / 63); };
    colours[i] = SDL_Color{scale(scene.palette[static_cast<std::size_t>(3 * i)]),
                           scale(scene.palette[static_cast<std::size_t>(3 * i + 1)]),
                           scale(scene.palette[static_cast<std::size_t>(3 * i + 2)]), 255};
  }
  SDL_SetPaletteColors(palette_, colours, 0, 256);
  screen8_ = IndexedSurface(kScreenWidth, kScreenHeight, palette_);
  screen32_ = SDL_CreateRGBSurfaceWithFormat(0, kScreenWidth, kScreenHeight, 32, SDL_PIXELFORMAT_ARGB8888);
  const int tileCount = static_cast<int>(scene.tiles.size());
  tiles_ = IndexedSurface(kTileSize * tileCount, kTileSize, palette_);
  if (screen8_ == nullptr || screen32_ == nullptr || tiles_ == nullptr) {
    return;
  }
  auto* strip = static_cast<std::uint8_t*>(tiles_->pixels);
  for (int t = 0; t < tileCount; ++t) {
    for (int y = 0; y < kTileSize; ++y) {
      for (int x = 0; x < kTileSize; ++x) {
        strip[y * tiles_->pitch + t * kTileSize + x] =
            scene.tiles[static_cast<std::size_t>(t)].pixels[static_cast<std::size_t>(y * kTileSize + x)];
      }
    }
  }
  for (const SceneObject& object : scene.objects) {
    SDL_Surface* surface = ImageSurface(object.image, palette_, object.mirrored);
    if (surface == nullptr) {
      return;
    }
    objects_.push_back(surface);
  }
  const std::string fontFile = SansSerifFontFile();
  if (fontFile.empty() || (TTF_WasInit() == 0 && TTF_Init() != 0)) {
    return;
  }
  font_ = TTF_OpenFont(fontFile.c_str(), 13);
  ready_ = font_ != nullptr;
}

SdlPeer::~SdlPeer() {
  if (font_ != nullptr) {
    TTF_CloseFont(font_);
  }
  for (SDL_Surface* surface : objects_) {
    SDL_FreeSurface(surface);
  }
  SDL_FreeSurface(tiles_);
  SDL_FreeSurface(screen32_);
  SDL_FreeSurface(screen8_);
  if (palette_ != nullptr) {
    SDL_FreePalette(palette_);
  }
}

void SdlPeer::Compose() {
  const int xOffset = scene_.viewX % kTileSize;
  const int yOffset = scene_.viewY % kTileSize;
  const int columns = kScreenWidth / kTileSize + (xOffset != 0 ? 1 : 0);
  const int rows = kScreenHeight / kTileSize + (yOffset != 0 ? 1 : 0);
  const int tileCount = static_cast<int>(scene_.tiles.size());
  for (int j = 0; j < rows; ++j) {
    const int mapRow = scene_.viewY / kTileSize + j;
    for (int i = 0; i < columns; ++i) {
      int tile = scene_.map[static_cast<std::size_t>(mapRow * kMapColumns + scene_.viewX / kTileSize + i)];
      if (tile >= tileCount) {
        tile = 0;
      }
      SDL_Rect from{tile * kTileSize, 0, kTileSize, kTileSize};
      SDL_Rect to{i * kTileSize - xOffset, j * kTileSize - yOffset, kTileSize, kTileSize};
      SDL_BlitSurface(tiles_, &from, screen8_, &to);
    }
  }
  for (std::size_t i = 0; i < objects_.size(); ++i) {
    const SceneObject& object = scene_.objects[i];
    SDL_Rect to{object.screenLeft, object.screenTop, object.image.width, object.image.height};
    SDL_BlitSurface(objects_[i], nullptr, screen8_, &to);
  }
  SDL_Surface* text = TTF_RenderText_Solid(font_, scene_.name.c_str(), SDL_Color{255, 255, 255, 255});
  if (text != nullptr) {
    SDL_Rect band{0, kScreenHeight - 15, text->w, text->h};
    SDL_FillRect(screen8_, &band, 0);
    SDL_BlitSurface(text, nullptr, screen8_, &band);
    SDL_FreeSurface(text);
  }
  SDL_BlitSurface(screen8_, nullptr, screen32_, nullptr);
}

}  // namespace karst::bench
