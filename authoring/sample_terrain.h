// Terrain tiles for the sample world, and the tile map made from a grid of terrain corners.
//
// A region's ground is described on the corners of its cells: 129 x 97 corners for 128 x 96
// cells, each corner naming one terrain. A cell whose four corners agree gets a solid tile of
// that terrain (now and then a decorated one); a cell whose corners name two terrains gets the
// blend tile of that pair for its pattern of corners, so shores, road sides and field edges run
// smoothly from cell to cell. The region generator keeps every cell to at most two terrains,
// and only to pairs it has asked tiles for.
//
// Every texture repeats every 16 pixels and the blend edges are drawn from one field that is
// continuous across cell borders, so neighbouring tiles join without a seam.
#pragma once

#include <array>
#include <cstdint>
#include <map>
#include <utility>
#include <vector>

#include "authoring/sample_content.h"
#include "authoring/sample_palette.h"
#include "gff/format.h"

namespace karst::authoring {

enum class Texture : std::uint8_t {
  kGrass,
  kForestFloor,
  kWater,
  kDeepWater,
  kSand,
  kDunes,
  kRock,
  kDirt,
  kCobble,
  kMud,
  kMarsh,
  kQuay,
};

// A terrain: how it is drawn, in the colours of its ramp. Its ramp lies in the terrain slot of
// the region's palette whose number is the terrain's position in the region's list.
struct Terrain {
  Texture texture;
  RampColours colours;
};

inline constexpr int kCornerColumns = kMapColumns + 1;
inline constexpr int kCornerRows = kMapRows + 1;

// One terrain (its position in the region's list) per cell corner.
class CornerGrid {
 public:
  CornerGrid() : ids_(static_cast<std::size_t>(kCornerColumns) * kCornerRows, 0) {}
  std::uint8_t At(int x, int y) const {
    return ids_[static_cast<std::size_t>(y) * kCornerColumns + static_cast<std::size_t>(x)];
  }
  void Set(int x, int y, std::uint8_t id) {
    ids_[static_cast<std::size_t>(y) * kCornerColumns + static_cast<std::size_t>(x)] = id;
  }

 private:
  std::vector<std::uint8_t> ids_;
};

// A pair of terrains that may meet inside one cell: `upper` is the one whose corners the blend
// pattern marks (the higher ground, or a road on its ground).
struct TerrainPair {
  std::uint8_t lower = 0;
  std::uint8_t upper = 0;
};

struct TileSet {
  std::vector<SampleFrame> tiles;
  // Per terrain: its solid tiles, the plain one first, then the decorated ones.
  std::vector<std::vector<std::uint8_t>> solids;
  // Per pair (lower, upper): the tile for each pattern of upper corners, bit 0 top-left, bit 1
  // top-right, bit 2 bottom-left, bit 3 bottom-right. Patterns 0 and 15 are solid tiles.
  std::map<std::pair<std::uint8_t, std::uint8_t>, std::array<std::uint8_t, 16>> blends;
};

// The tiles of a region: solids and decorated solids for every terrain, blends for every pair.
TileSet BuildTileSet(const std::vector<Terrain>& terrains, const std::vector<TerrainPair>& pairs, std::uint64_t seed);

// The 128 x 96 tile indices for a corner grid. A cell with a pair of terrains that has no blend
// tiles, or with three or more terrains, gets the solid tile of its top-left corner's terrain.
std::vector<std::uint8_t> PaintMap(const TileSet& tileSet, const CornerGrid& corners, std::uint64_t seed);

}  // namespace karst::authoring
