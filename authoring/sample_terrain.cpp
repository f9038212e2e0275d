#include "authoring/sample_terrain.h"

#include <algorithm>
#include <cmath>
#include <set>

#include "authoring/sample_random.h"

namespace karst::authoring {
namespace {

constexpr int kTile = kTileSize;
// Lattice periods (in lattice cells) that make a noise repeat every 16 pixels.
constexpr double kFineCell = 4.0;
constexpr std::int64_t kFinePeriod = kTile / 4;
constexpr double kCoarseCell = 8.0;
constexpr std::int64_t kCoarsePeriod = kTile / 8;
// How often a cell of solid ground shows one of its decorated tiles.
constexpr double kDecoratedShare = 0.16;
// Width, in blend-field units, of a one-pixel band along a straight edge.
constexpr double kEdgeBand = 1.0 / kTile;

int Wrap(int v) { return ((v % kTile) + kTile) % kTile; }

double Fine(std::uint64_t seed, int x, int y) { return ValueNoise(seed, x + 0.5, y + 0.5, kFineCell, kFinePeriod); }
double Coarse(std::uint64_t seed, int x, int y) {
  return ValueNoise(seed, x + 0.5, y + 0.5, kCoarseCell, kCoarsePeriod);
}
double Speck(std::uint64_t seed, int x, int y) { return HashUnit(seed, Wrap(x), Wrap(y)); }

bool IsLiquid(Texture texture) { return texture == Texture::kWater || texture == Texture::kDeepWater; }

// The shade (0-15) of a terrain's texture at a pixel of a tile; repeats every 16 pixels.
int TextureShade(Texture texture, std::uint64_t seed, int x, int y) {
  const double fine = Fine(seed, x, y);
  const double coarse = Coarse(seed + 1, x, y);
  const double mottle = fine * 0.55 + coarse * 0.45;
  const double speck = Speck(seed + 2, x, y);
  switch (texture) {
    case Texture::kGrass:
      if (speck < 0.09) {
        return 11;
      }
      if (Speck(seed + 2, x, y - 1) < 0.09) {
        return 5;
      }
      return 6 + static_cast<int>(mottle * 4);
    case Texture::kForestFloor:
      if (speck < 0.07) {
        return 10;
      }
      return 3 + static_cast<int>(mottle * 5);
    case Texture::kMarsh:
      if (speck < 0.08) {
        return 10;
      }
      if (Speck(seed + 2, x, y - 1) < 0.08 || Speck(seed + 2, x, y - 2) < 0.08) {
        return 4;
      }
      return 6 + static_cast<int>(mottle * 3);
    case Texture::kWater:
      return 6 + static_cast<int>(coarse * 2.6) + (Speck(seed + 3, x / 3, y) < 0.04 ? 2 : 0);
    case Texture::kDeepWater:
      return 3 + static_cast<int>(coarse * 2.5);
    case Texture::kSand:
      return 9 + static_cast<int>(mottle * 2.5) + (speck < 0.08 ? -2 : (speck > 0.94 ? 2 : 0));
    case Texture::kDunes: {
      constexpr double kTau = 6.283185307179586;
      const double wave = y + 1.6 * std::sin(kTau * (x + 0.5) / kTile) + 0.8 * std::sin(2 * kTau * (x + 0.5) / kTile);
      const double phase = wave / 4.0 - std::floor(wave / 4.0);
      const int ripple = phase < 0.22 ? 3 : (phase < 0.45 ? 1 : (phase > 0.85 ? -1 : 0));
      return 9 + ripple + static_cast<int>(mottle * 1.5);
    }
    case Texture::kRock: {
      const double cracks = std::abs(coarse - 0.5);
      if (cracks < 0.035) {
        return 3;
      }
      return 6 + static_cast<int>(mottle * 5) + (speck > 0.93 ? 2 : 0);
    }
    case Texture::kDirt:
      if (speck > 0.95) {
        return 12;
      }
      return 7 + static_cast<int>(mottle * 3.5) + (speck < 0.06 ? -2 : 0);
    case Texture::kMud:
      if (speck < 0.03) {
        return 12;
      }
      return 4 + static_cast<int>(mottle * 5);
    case Texture::kCobble: {
      const int row = y / 4;
      const int column = Wrap(x + (row % 2) * 2) / 4;
      const int inX = Wrap(x + (row % 2) * 2) % 4;
      const int inY = y % 4;
      if (inX == 3 || inY == 3) {
        return 4;
      }
      const int stone = 8 + static_cast<int>(HashUnit(seed + 4, column, row) * 4);
      return stone + ((inX == 0 && inY == 0) ? 2 : 0) - ((inX == 2 && inY == 2) ? 1 : 0);
    }
    case Texture::kQuay: {
      const int row = y / 4;
      const int column = Wrap(x + (row % 2) * 4) / 8;
      const int inX = Wrap(x + (row % 2) * 4) % 8;
      if (inX == 7 || y % 4 == 3) {
        return 4;
      }
      return 8 + static_cast<int>(HashUnit(seed + 4, column, row) * 3) + (y % 4 == 0 ? 1 : 0);
    }
  }
  return 8;
}

// How a terrain shows where it meets another inside a cell.
struct EdgeLook {
  int upperShade = -1;  // a band on this terrain's side when it is the upper one
  int upperWidth = 0;
  int foamShade = -1;  // a band on this liquid's side against dry ground
  int castDarken = 0;  // as the upper terrain: a shadow band this much darker on the lower side
};

EdgeLook EdgeOf(Texture texture) {
  switch (texture) {
    case Texture::kGrass:
      return {4, 1, -1};
    case Texture::kForestFloor:
      return {2, 1, -1};
    case Texture::kMarsh:
      return {4, 1, -1};
    case Texture::kWater:
      return {-1, 0, 14};
    case Texture::kDeepWater:
      return {-1, 0, 12};
    case Texture::kSand:
      return {6, 2, -1};
    case Texture::kDunes:
      return {13, 1, -1, 3};
    case Texture::kRock:
      return {2, 2, -1, 4};
    case Texture::kDirt:
      return {5, 1, -1};
    case Texture::kCobble:
      return {3, 1, -1};
    case Texture::kMud:
      return {3, 1, -1};
    case Texture::kQuay:
      return {3, 2, -1};
  }
  return {};
}

// Small things strewn over a solid tile, kept off its border so that they never cut in two.
void Decorate(std::vector<std::uint8_t>& pixels, Texture texture, int slot, int variant, std::uint64_t seed) {
  SampleRandom random(seed);
  auto put = [&pixels](int x, int y, std::uint8_t index) {
    if (x >= 1 && y >= 1 && x < kTile - 1 && y < kTile - 1) {
      pixels[static_cast<std::size_t>(y * kTile + x)] = index;
    }
  };
  const int cx = random.Between(4, 11);
  const int cy = random.Between(4, 11);
  switch (texture) {
    case Texture::kGrass:
    case Texture::kMarsh:
      if (variant % 3 == 1) {
        static constexpr std::uint8_t kBlossoms[] = {kRedIndex, kYellowIndex, kWhiteFlowerIndex, kVioletIndex};
        for (int i = 0; i < 4; ++i) {
          const int fx = cx + random.Between(-3, 3);
          const int fy = cy + random.Between(-3, 3);
          put(fx, fy + 1, TerrainIndex(slot, 3));
          put(fx, fy, kBlossoms[random.Below(4)]);
        }
      } else if (variant % 3 == 2) {
        for (int i = 0; i < 7; ++i) {
          const int fx = cx + random.Between(-3, 3);
          put(fx, cy - random.Between(0, 3), TerrainIndex(slot, 12));
          put(fx, cy + 1, TerrainIndex(slot, 3));
        }
      } else {
        put(cx, cy, Shade(Ramp::kStone, 6));
        put(cx + 1, cy, Shade(Ramp::kStone, 4));
        put(cx, cy + 1, Shade(Ramp::kStone, 2));
        put(cx + 1, cy + 1, Shade(Ramp::kStone, 1));
      }
      break;
    case Texture::kWater:
    case Texture::kDeepWater:
      for (int i = 0; i < 2; ++i) {
        const int wy = cy + i * 4 - 2;
        const int wx = cx + random.Between(-3, 1) + i * 2;
        for (int k = 0; k < 4; ++k) {
          put(wx + k, wy - (k == 1 || k == 2 ? 1 : 0), TerrainIndex(slot, 13));
        }
      }
      break;
    case Texture::kSand:
    case Texture::kDunes:
    case Texture::kDirt:
    case Texture::kMud:
      for (int i = 0; i < 3; ++i) {
        const int px = cx + random.Between(-4, 4);
        const int py = cy + random.Between(-4, 4);
        put(px, py, TerrainIndex(slot, 13));
        put(px + 1, py, TerrainIndex(slot, 5));
        put(px, py + 1, TerrainIndex(slot, 4));
      }
      break;
    case Texture::kForestFloor:
      for (int i = 0; i < 5; ++i) {
        put(cx + random.Between(-4, 4), cy + random.Between(-4, 4), Shade(Ramp::kStraw, random.Between(2, 5)));
      }
      break;
    case Texture::kRock:
    case Texture::kCobble:
    case Texture::kQuay:
      for (int k = -3; k <= 3; ++k) {
        put(cx + k, cy + (k * k) / 4, TerrainIndex(slot, 3));
      }
      break;
  }
}

int DecorationCount(Texture texture) {
  switch (texture) {
    case Texture::kGrass:
      return 3;
    case Texture::kMarsh:
    case Texture::kWater:
    case Texture::kSand:
    case Texture::kDirt:
      return 2;
    default:
      return 1;
  }
}

std::uint64_t TextureSeed(std::uint64_t seed, int slot) {
  return seed + 0x1000u * static_cast<std::uint64_t>(slot + 1);
}

std::vector<std::uint8_t> SolidPixels(const Terrain& terrain, int slot, std::uint64_t seed) {
  std::vector<std::uint8_t> pixels(kTile * kTile);
  for (int y = 0; y < kTile; ++y) {
    for (int x = 0; x < kTile; ++x) {
      pixels[static_cast<std::size_t>(y * kTile + x)] =
          TerrainIndex(slot, TextureShade(terrain.texture, TextureSeed(seed, slot), x, y));
    }
  }
  return pixels;
}

std::vector<std::uint8_t> BlendPixels(const std::vector<Terrain>& terrains, TerrainPair pair, int mask,
                                      std::uint64_t seed) {
  const Terrain& lower = terrains[pair.lower];
  const Terrain& upper = terrains[pair.upper];
  const EdgeLook upperEdge = EdgeOf(upper.texture);
  const EdgeLook lowerEdge = EdgeOf(lower.texture);
  const bool foam = IsLiquid(lower.texture) && !IsLiquid(upper.texture) && lowerEdge.foamShade >= 0;
  const std::uint64_t fieldSeed = seed + 0x77u * pair.lower + 0x7777u * pair.upper;
  const double corner[4] = {(mask & 1) ? 1.0 : 0.0, (mask & 2) ? 1.0 : 0.0, (mask & 4) ? 1.0 : 0.0,
                            (mask & 8) ? 1.0 : 0.0};
  std::vector<std::uint8_t> pixels(kTile * kTile);
  for (int y = 0; y < kTile; ++y) {
    for (int x = 0; x < kTile; ++x) {
      const double u = (x + 0.5) / kTile;
      const double v = (y + 0.5) / kTile;
      const double top = corner[0] + (corner[1] - corner[0]) * u;
      const double bottom = corner[2] + (corner[3] - corner[2]) * u;
      // The edge wanders a little, the same way in every tile of the pair.
      const double wander = 0.2 * (Fine(fieldSeed, x, y) - 0.5) + 0.12 * (Coarse(fieldSeed + 1, x, y) - 0.5);
      const double field = top + (bottom - top) * v + wander;
      std::uint8_t index = 0;
      if (field >= 0.5) {
        const bool onEdge = upperEdge.upperShade >= 0 && field < 0.5 + kEdgeBand * upperEdge.upperWidth;
        index = TerrainIndex(pair.upper, onEdge ? upperEdge.upperShade
                                                : TextureShade(upper.texture, TextureSeed(seed, pair.upper), x, y));
      } else {
        const bool onFoam = foam && field >= 0.5 - kEdgeBand;
        const bool inShadow = upperEdge.castDarken > 0 && field >= 0.5 - 2 * kEdgeBand;
        const int shade = TextureShade(lower.texture, TextureSeed(seed, pair.lower), x, y);
        index =
            TerrainIndex(pair.lower, onFoam ? lowerEdge.foamShade : (inShadow ? shade - upperEdge.castDarken : shade));
      }
      pixels[static_cast<std::size_t>(y * kTile + x)] = index;
    }
  }
  return pixels;
}

SampleFrame TileFrame(std::vector<std::uint8_t> pixels, FrameEncoding encoding) {
  return {IndexedImage{kTile, kTile, std::move(pixels)}, encoding};
}

}  // namespace

TileSet BuildTileSet(const std::vector<Terrain>& terrains, const std::vector<TerrainPair>& pairs, std::uint64_t seed) {
  TileSet set;
  set.solids.resize(terrains.size());
  for (std::size_t slot = 0; slot < terrains.size(); ++slot) {
    const int id = static_cast<int>(slot);
    const std::vector<std::uint8_t> plain = SolidPixels(terrains[slot], id, seed);
    set.solids[slot].push_back(static_cast<std::uint8_t>(set.tiles.size()));
    set.tiles.push_back(TileFrame(plain, FrameEncoding::kPlnr));
    for (int variant = 1; variant <= DecorationCount(terrains[slot].texture); ++variant) {
      std::vector<std::uint8_t> decorated = plain;
      Decorate(decorated, terrains[slot].texture, id, variant, seed + 31u * slot + static_cast<std::uint64_t>(variant));
      set.solids[slot].push_back(static_cast<std::uint8_t>(set.tiles.size()));
      set.tiles.push_back(TileFrame(std::move(decorated), FrameEncoding::kNrml));
    }
  }
  for (std::size_t p = 0; p < pairs.size(); ++p) {
    const TerrainPair pair = pairs[p];
    std::array<std::uint8_t, 16> patterns{};
    patterns[0] = set.solids[pair.lower][0];
    patterns[15] = set.solids[pair.upper][0];
    for (int mask = 1; mask < 15; ++mask) {
      patterns[static_cast<std::size_t>(mask)] = static_cast<std::uint8_t>(set.tiles.size());
      set.tiles.push_back(
          TileFrame(BlendPixels(terrains, pair, mask, seed), p % 2 == 0 ? FrameEncoding::kPlan : FrameEncoding::kNrml));
    }
    set.blends[{pair.lower, pair.upper}] = patterns;
  }
  return set;
}

std::vector<std::uint8_t> PaintMap(const TileSet& tileSet, const CornerGrid& corners, std::uint64_t seed) {
  std::vector<std::uint8_t> map(kMapBytes);
  for (int y = 0; y < kMapRows; ++y) {
    for (int x = 0; x < kMapColumns; ++x) {
      const std::uint8_t ids[4] = {corners.At(x, y), corners.At(x + 1, y), corners.At(x, y + 1),
                                   corners.At(x + 1, y + 1)};
      const std::set<std::uint8_t> distinct(std::begin(ids), std::end(ids));
      std::uint8_t tile = tileSet.solids[ids[0]][0];
      if (distinct.size() == 1) {
        const std::vector<std::uint8_t>& solids = tileSet.solids[ids[0]];
        const double pick = HashUnit(seed, x, y);
        if (pick < kDecoratedShare && solids.size() > 1) {
          tile = solids[1 + static_cast<std::size_t>(pick / kDecoratedShare * static_cast<double>(solids.size() - 1))];
        }
      } else if (distinct.size() == 2) {
        const std::uint8_t a = *distinct.begin();
        const std::uint8_t b = *distinct.rbegin();
        for (const auto& [lower, upper] : {std::pair{a, b}, std::pair{b, a}}) {
          const auto found = tileSet.blends.find({lower, upper});
          if (found == tileSet.blends.end()) {
            continue;
          }
          int mask = 0;
          for (int corner = 0; corner < 4; ++corner) {
            mask |= ids[corner] == upper ? 1 << corner : 0;
          }
          tile = found->second[static_cast<std::size_t>(mask)];
          break;
        }
      }
      map[static_cast<std::size_t>(y) * kMapColumns + static_cast<std::size_t>(x)] = tile;
    }
  }
  return map;
}

}  // namespace karst::authoring
