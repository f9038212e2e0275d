#include "tools/render/render_region.h"

#include <algorithm>
#include <charconv>
#include <filesystem>
#include <memory>
#include <span>
#include <utility>
#include <vector>

#include "data/object_library.h"
#include "data/region.h"
#include "gff/format.h"
#include "tools/files/input_file.h"
#include "tools/pictures/region_palette.h"

namespace karst::tools {
namespace {

std::optional<std::int32_t> ParseInt(std::string_view text) {
  std::int32_t value = 0;
  const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
  if (error != std::errc{} || end != text.data() + text.size()) {
    return std::nullopt;
  }
  return value;
}

std::vector<std::uint8_t> PixelsOf(const platform::Surface& surface) {
  const platform::PixelView view = surface.pixels();
  std::vector<std::uint8_t> pixels;
  pixels.reserve(static_cast<std::size_t>(view.width) * static_cast<std::size_t>(view.height));
  for (std::int32_t y = 0; y < view.height; ++y) {
    for (std::int32_t x = 0; x < view.width; ++x) {
      pixels.push_back(view.at(x, y));
    }
  }
  return pixels;
}

}  // namespace

std::optional<ViewOrigin> ParseView(std::string_view text) {
  const std::size_t comma = text.find(',');
  if (comma == std::string_view::npos) {
    return std::nullopt;
  }
  const std::optional<std::int32_t> x = ParseInt(text.substr(0, comma));
  const std::optional<std::int32_t> y = ParseInt(text.substr(comma + 1));
  if (!x || !y) {
    return std::nullopt;
  }
  return ViewOrigin{*x, *y};
}

std::string WritePicture(const std::string& path, const RegionPicture& picture, std::uint32_t scale) {
  return WriteIndexedPng(path, picture.width, picture.height, picture.pixels, picture.palette, scale);
}

RegionRenderer::RegionRenderer(Frame frame)
    : frame_(frame),
      display_(nullptr, frame == Frame::kView ? kViewHeight : kRegionHeight,
               frame == Frame::kView ? kViewWidth : kRegionWidth, 8, 0) {
  display_.report = LoadReport::Into(notes_);
}

std::vector<LoadNote> RegionRenderer::TakeNotes() { return std::exchange(notes_, {}); }

std::string RegionRenderer::SetUp() {
  if (display_.InitDirectDraw() != 1) {
    return "the off-screen display cannot be set up";
  }
  return {};
}

std::string RegionRenderer::LoadObjects(const std::string& path) {
  std::string error;
  // A library the viewer would not start with draws nothing: the renderer keeps none.
  display_.UseObjectLibrary(ReadLibraryInput(path, display_.report, error));
  return error;
}

bool RegionRenderer::Load(const std::string& path, std::string& error) {
  std::unique_ptr<Region> region = ReadRegionInput(path, display_.report, error);
  if (region == nullptr) {
    return false;
  }
  // Every picture carries all 256 colours of its own region, as the viewer's first region does;
  // a palette kept from an earlier picture would keep that picture's colour 255.
  display_.palette.reset();
  if (!display_.SwitchToRegion(std::move(region), path)) {
    error = "the region cannot be shown";
    return false;
  }
  return true;
}

bool RegionRenderer::Render(const std::string& path, const ViewOrigin& view, RegionPicture& picture,
                            std::string& error) {
  if (!Load(path, error)) {
    return false;
  }
  if (frame_ == Frame::kView) {
    // From (0, 0) like the viewer after a region switch, clamped like its scrolling; the frame
    // on screen after the flip is the primary's.
    display_.ScrollBy(view.x, view.y);
    picture.pixels = PixelsOf(*display_.primary);
  } else {
    display_.DrawTiles();
    display_.DrawObjects();
    picture.pixels = PixelsOf(*display_.backBuffer);
  }
  picture.width = static_cast<std::uint32_t>(display_.screenWidth);
  picture.height = static_cast<std::uint32_t>(display_.screenHeight);
  picture.palette = PngPaletteOf(display_.primary->paletteEntries());
  return true;
}

bool RegionRenderer::RenderLayers(const std::string& path, RegionPicture& tiles, std::vector<std::uint8_t>& objects,
                                  std::string& error) {
  if (frame_ != Frame::kWholeRegion) {
    error = "only a whole-region renderer draws the layers apart";
    return false;
  }
  if (!Load(path, error)) {
    return false;
  }
  display_.DrawTiles();
  tiles.pixels = PixelsOf(*display_.backBuffer);
  tiles.width = static_cast<std::uint32_t>(display_.screenWidth);
  tiles.height = static_cast<std::uint32_t>(display_.screenHeight);
  tiles.palette = PngPaletteOf(display_.primary->paletteEntries());
  // The object layer's blits skip index 0, so on a buffer of 0 they leave exactly the pixels
  // they draw over the tiles.
  platform::LockedMemory memory{};
  if (display_.backBuffer->Lock(nullptr, memory, platform::DDLOCK_WAIT) != 0) {
    error = "the off-screen display cannot be drawn on";
    return false;
  }
  std::fill_n(memory.pixels, static_cast<std::size_t>(memory.pitch) * static_cast<std::size_t>(display_.screenHeight),
              std::uint8_t{0});
  display_.backBuffer->Unlock(nullptr);
  display_.DrawObjects();
  objects = PixelsOf(*display_.backBuffer);
  return true;
}

std::string UndrawnWarning(const std::string& regionPath, const EntityCount& count) {
  if (count.undrawn == 0) {
    return {};
  }
  return "warning: " + std::to_string(count.undrawn) + " of " + std::to_string(count.total) +
         (count.total == 1 ? " entity" : " entities") +
         " not drawn: their object definition or bitmap is missing, empty or too large (karst-gff check " + regionPath +
         " names them)";
}

EntityCount RegionRenderer::Entities() const {
  EntityCount count;
  if (display_.objects == nullptr || display_.region == nullptr || !display_.region->entities) {
    return count;
  }
  const std::vector<Entity>& entities = *display_.region->entities;
  count.total = std::min(entities.size(), static_cast<std::size_t>(std::max(display_.region->entityCount, 0)));
  count.undrawn = NoteUndrawnEntities(std::span(entities).first(count.total), *display_.objects, LoadReport());
  return count;
}

}  // namespace karst::tools
