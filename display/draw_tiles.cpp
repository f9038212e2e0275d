#include <cstddef>
#include <span>

#include "data/region.h"
#include "data/zone.h"
#include "display/display_surface.h"
#include "gff/byte_reader.h"
#include "gff/format.h"

namespace karst {

namespace {

// The cells to draw along one axis: every whole cell of the screen, one more for the part cell
// when the view is off the grid, one more when the screen ends in a part cell.
std::int32_t CellsAcross(std::int32_t screenSize, std::int32_t offset) {
  return screenSize / kTileSize + (offset != 0 ? 1 : 0) + (screenSize % kTileSize != 0 ? 1 : 0);
}

}  // namespace

bool DisplaySurface::DrawTiles() {
  if (region == nullptr || backBuffer == nullptr) {
    return true;
  }
  const std::int32_t colStart = viewX / kTileSize;
  const std::int32_t xOffset = viewX % kTileSize;
  const std::int32_t rowStart = viewY / kTileSize;
  const std::int32_t yOffset = viewY % kTileSize;
  const std::int32_t columns = CellsAcross(screenWidth, xOffset);
  const std::int32_t rows = CellsAcross(screenHeight, yOffset);
  if (rows < 1) {
    return true;
  }
  // A cell outside the map's grid, or beyond the bytes the map has, reads as tile 0.
  const std::span<const std::uint8_t> map =
      region->mapData ? std::span<const std::uint8_t>(*region->mapData) : std::span<const std::uint8_t>();
  ByteReader cells(map);
  for (std::int32_t j = 0; j < rows; ++j) {
    const std::int32_t mapRow = rowStart + j;
    for (std::int32_t i = 0; i < columns; ++i) {
      const std::int32_t mapColumn = colStart + i;
      std::int32_t tile = 0;
      if (mapRow >= 0 && mapRow < kMapRows && mapColumn >= 0 && mapColumn < kMapColumns) {
        cells.seek(static_cast<std::size_t>(mapRow) * kMapColumns + static_cast<std::size_t>(mapColumn));
        tile = cells.u8();
      }
      tile = DrawnTile(tile, region->tileCount);
      const platform::Rect source{kTileSize * tile, 0, kTileSize * tile + kTileSize, kTileSize};
      const std::int32_t left = kTileSize * i - xOffset;
      const std::int32_t top = kTileSize * j - yOffset;
      const platform::Rect dest{left, top, left + kTileSize, top + kTileSize};
      backBuffer->Blt(&dest, tileSurface.get(), &source, platform::DDBLT_WAIT, nullptr);
    }
  }
  return true;
}

}  // namespace karst
