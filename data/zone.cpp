#include "data/zone.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdlib>
#include <string>
#include <utility>

#include "data/region.h"
#include "display/display_surface.h"
#include "gff/byte_reader.h"
#include "gff/format.h"
#include "gff/frame_set.h"
#include "platform/message_box.h"

namespace karst {

namespace {

constexpr std::size_t kStripRows = kTileSize;

// Component v becomes v times the 32-bit float nearest to 1/63, times 255, truncated. That float
// lies just above 1/63 and the products are formed in double precision, so a product never
// falls short of a whole number it should reach: the result is floor(v x 255 / 63).
std::uint8_t ScaleComponent(std::uint8_t value) {
  constexpr float kOneSixtyThird = 1.0f / 63.0f;
  const double scaled = static_cast<double>(value) * static_cast<double>(kOneSixtyThird) * 255.0;
  return static_cast<std::uint8_t>(static_cast<std::uint32_t>(scaled) & 0xFF);
}

// The row of a tile's square: what frame 0 has of it, index 0 for the rest.
void CopyTileRow(const FrameSet& tile, std::size_t row, std::uint8_t* out) {
  std::fill(out, out + kTileSize, std::uint8_t{0});
  if (tile.frames.empty()) {
    return;
  }
  const Frame& frame = tile.frames[0];
  const std::size_t width = frame.width;
  if (!frame.HasPixels() || row >= frame.height || frame.pixels.size() < width * frame.height) {
    return;
  }
  const std::size_t columns = std::min<std::size_t>(width, kTileSize);
  const auto first = frame.pixels.begin() + static_cast<std::ptrdiff_t>(row * width);
  std::copy(first, first + static_cast<std::ptrdiff_t>(columns), out);
}

void ShowError(platform::Window* owner, const char* text) {
  platform::MessageBox(owner, text, "Error", platform::MB_OK);
}

// The note for a part whose payload is missing or shorter than `least` bytes.
std::optional<LoadNote> ShortPart(NoteKind kind, const Tag& tag, const std::optional<std::vector<std::uint8_t>>& data,
                                  const std::optional<ChunkEntry>& chunk, std::uint32_t least) {
  if (data && data->size() >= least) {
    return std::nullopt;
  }
  LoadNote note;
  note.kind = kind;
  note.tag = tag;
  if (data) {
    note.chunk = chunk;
    note.value = data->size();
  }
  return note;
}

// The rejection of `kind` among the region's, if it has one.
std::optional<LoadNote> RejectionOf(const Region& region, NoteKind kind) {
  for (LoadNote& note : RegionRejections(region)) {
    if (note.kind == kind) {
      return std::move(note);
    }
  }
  return std::nullopt;
}

}  // namespace

std::vector<LoadNote> RegionRejections(const Region& region) {
  std::vector<LoadNote> rejections;
  if (auto map = ShortPart(NoteKind::kMapRejected, kTagMap, region.mapData, region.mapChunk, kMapBytes)) {
    rejections.push_back(std::move(*map));
  }
  if (auto palette =
          ShortPart(NoteKind::kPaletteRejected, kTagPal, region.paletteData, region.paletteChunk, kPaletteBytes)) {
    rejections.push_back(std::move(*palette));
  }
  if (region.tileCount <= 0 || region.tileCount > kMostTilesInStrip) {
    LoadNote tiles;
    tiles.kind = NoteKind::kTilesRejected;
    tiles.tag = kTagTile;
    tiles.value = static_cast<std::uint64_t>(std::max(region.tileCount, 0));
    rejections.push_back(std::move(tiles));
  }
  return rejections;
}

bool HasSeveralFrames(const FrameSet& tile) { return tile.frameCount > 1; }

platform::PaletteTable ConvertPalette(std::span<const std::uint8_t> paletteData) {
  platform::PaletteTable entries{};
  ByteReader reader(paletteData);
  for (platform::PaletteEntry& entry : entries) {
    entry.red = ScaleComponent(reader.u8());
    entry.green = ScaleComponent(reader.u8());
    entry.blue = ScaleComponent(reader.u8());
    entry.flags = 0;
  }
  return entries;
}

namespace {

// The 6-bit value each 8-bit component comes from; -1 for a component no 6-bit value gives.
const std::array<int, 256>& SixBitSources() {
  static const std::array<int, 256> sources = [] {
    std::array<int, 256> table{};
    table.fill(-1);
    for (int value = 0; value < 64; ++value) {
      table[ScaleComponent(static_cast<std::uint8_t>(value))] = value;
    }
    return table;
  }();
  return sources;
}

}  // namespace

std::optional<std::uint8_t> SixBitComponent(std::uint8_t component) {
  const int source = SixBitSources()[component];
  return source < 0 ? std::nullopt : std::optional<std::uint8_t>(static_cast<std::uint8_t>(source));
}

std::uint8_t NearestConvertedComponent(std::uint8_t component) {
  int best = -1;
  for (int value = 0; value < 256; ++value) {
    if (SixBitSources()[static_cast<std::size_t>(value)] >= 0 &&
        (best < 0 || std::abs(value - component) < std::abs(best - component))) {
      best = value;
    }
  }
  return static_cast<std::uint8_t>(best);
}

bool CopyTilesToStrip(std::span<const FrameSet> tiles, std::span<std::uint8_t> strip, std::size_t pitch,
                      const LoadReport& report) {
  const std::size_t rowBytes = tiles.size() * kTileSize;
  if (pitch < rowBytes || strip.size() < pitch * (kStripRows - 1) + rowBytes) {
    return false;
  }
  for (std::size_t row = 0; row < kStripRows; ++row) {
    std::uint8_t* out = strip.data() + row * pitch;
    for (std::size_t index = 0; index < tiles.size(); ++index) {
      if (HasSeveralFrames(tiles[index])) {
        report.ForType(kTagTile).Note(NoteKind::kTileWithSeveralFrames, index);
      }
      CopyTileRow(tiles[index], row, out);
      out += kTileSize;
    }
  }
  return true;
}

bool DisplaySurface::LoadZone(const char* path) {
  if (path == nullptr) {
    return SwitchToRegion(nullptr);
  }
  // The view and the old region go before the new file is read.
  viewY = 0;
  viewX = 0;
  region.reset();
  return SwitchToRegion(LoadRegion(std::string(path), report), path);
}

bool DisplaySurface::SwitchToRegion(std::unique_ptr<Region> loaded, const std::string& file) {
  viewY = 0;
  viewX = 0;
  regionFile_ = file;
  region = std::move(loaded);
  if (region == nullptr) {
    return false;
  }
  // Every frame reads the whole map, so a region without one is turned away at once, like a
  // file that is no region; the caller's message says the rest.
  if (std::optional<LoadNote> rejection = RejectionOf(*region, NoteKind::kMapRejected)) {
    report.ForFile(regionFile_).Pass(std::move(*rejection));
    region.reset();
    return false;
  }
  if (!LoadPalette()) {
    return false;
  }
  return BuildTileSurface();
}

bool DisplaySurface::LoadPalette() {
  if (region == nullptr) {
    ShowError(window, "Error loading palette!");
    return false;
  }
  if (std::optional<LoadNote> rejection = RejectionOf(*region, NoteKind::kPaletteRejected)) {
    report.ForFile(regionFile_).Pass(std::move(*rejection));
    ShowError(window, "Error loading palette!");
    return false;
  }
  const platform::PaletteTable entries = ConvertPalette(*region->paletteData);
  if (palette != nullptr) {
    // Entries 0 to 254 only: colour 255 keeps the value the first region gave it.
    if (palette->SetEntries(0, 0, 255, entries.data()) == 0) {
      return true;
    }
  } else if (ddraw != nullptr && primary != nullptr &&
             ddraw->CreatePalette(platform::DDPCAPS_8BIT, entries.data(), palette) == 0 &&
             primary->SetPalette(palette.get()) == 0) {
    return true;
  }
  ShowError(window, "Error loading palette!");
  return false;
}

bool DisplaySurface::BuildTileSurface() {
  tileSurface.reset();
  if (region == nullptr) {
    ShowError(window, "Error loading tiles");
    return false;
  }
  if (std::optional<LoadNote> rejection = RejectionOf(*region, NoteKind::kTilesRejected)) {
    report.ForFile(regionFile_).Pass(std::move(*rejection));
    ShowError(window, "Error loading tiles");
    return false;
  }
  const std::uint64_t width = std::uint64_t{kTileSize} * static_cast<std::uint64_t>(region->tileCount);
  if (ddraw == nullptr || static_cast<std::size_t>(region->tileCount) != region->tiles.size()) {
    ShowError(window, "Error loading tiles");
    return false;
  }
  const platform::SurfaceDesc desc{platform::DDSD_CAPS | platform::DDSD_HEIGHT | platform::DDSD_WIDTH,
                                   static_cast<std::uint32_t>(kTileSize), static_cast<std::uint32_t>(width),
                                   platform::DDSCAPS_OFFSCREENPLAIN, 0};
  if (ddraw->CreateSurface(desc, tileSurface) != 0) {
    ShowError(window, "Error loading tiles");
    return false;
  }
  platform::LockedMemory memory{};
  if (tileSurface->Lock(nullptr, memory, platform::DDLOCK_WAIT) != 0) {
    ShowError(window, "Error loading tiles");
    return false;
  }
  const auto pitch = static_cast<std::size_t>(memory.pitch);
  const std::span<std::uint8_t> strip(memory.pixels, pitch * (kStripRows - 1) + static_cast<std::size_t>(width));
  const bool copied = CopyTilesToStrip(region->tiles, strip, pitch, report.ForFile(regionFile_));
  if (tileSurface->Unlock(nullptr) != 0 || !copied) {
    ShowError(window, "Error loading tiles");
    return false;
  }
  return true;
}

}  // namespace karst
