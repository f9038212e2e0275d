#include "authoring/sample_regions.h"

#include <algorithm>
#include <cmath>
#include <functional>
#include <initializer_list>

#include "authoring/byte_writer.h"
#include "authoring/sample_objects.h"
#include "authoring/sample_random.h"
#include "authoring/sample_terrain.h"
#include "gff/format.h"

namespace karst::authoring {
namespace {

constexpr int kTile = kTileSize;
constexpr std::size_t kMaxEntities = 600;

// A road or river centre line, as a function of one coordinate: y of x for a road that runs
// across the map, x of y for one that runs down it.
struct Path {
  bool across = true;
  double start = 0;  // the centre line's other coordinate at the first end
  double end = 0;
  double wobble = 0;  // how far it wanders, in corners
  double cell = 20;   // how long its bends are, in corners
  std::uint64_t seed = 0;
  double from = -2;  // the range it covers along its own coordinate
  double to = 200;

  // The centre line's cross coordinate at `along`.
  double At(double along) const {
    const double span = to - from;
    const double t = std::clamp((along - from) / span, 0.0, 1.0);
    const double taper = std::sin(3.141592653589793 * t);
    return start + (end - start) * t + (ValueNoise(seed, along, 0.5, cell) - 0.5) * 2.0 * wobble * taper;
  }
  // Distance of a corner from the centre line, measured across (good enough for gentle bends).
  double Distance(double x, double y) const {
    const double along = across ? x : y;
    if (along < from || along > to) {
      return 1e9;
    }
    return std::abs((across ? y : x) - At(along));
  }
};

// A rectangle of the region in pixels, for scattering things over part of it.
struct Area {
  int left = 8;
  int top = 12;
  int right = kRegionWidth - 8;
  int bottom = kRegionHeight - 4;
};

struct Placed {
  int x;
  int y;
  int radius;
};

// A region while it is being made.
class RegionMaker {
 public:
  RegionMaker(std::vector<Terrain> terrains, std::vector<TerrainPair> pairs, std::uint64_t seed)
      : terrains_(std::move(terrains)), pairs_(std::move(pairs)), seed_(seed), random_(seed) {}

  CornerGrid& corners() { return corners_; }
  SampleRandom& random() { return random_; }
  std::uint64_t seed() const { return seed_; }

  // Every corner gets the terrain `level` returns for it.
  void FillLevels(const std::function<int(int, int)>& level) {
    for (int y = 0; y < kCornerRows; ++y) {
      for (int x = 0; x < kCornerColumns; ++x) {
        corners_.Set(x, y, static_cast<std::uint8_t>(level(x, y)));
      }
    }
  }

  // Majority vote over each corner's 3 x 3 neighbourhood, to wipe out specks.
  void Smooth(int passes) {
    for (int pass = 0; pass < passes; ++pass) {
      CornerGrid next = corners_;
      for (int y = 0; y < kCornerRows; ++y) {
        for (int x = 0; x < kCornerColumns; ++x) {
          int votes[kTerrainSlots] = {};
          for (int dy = -1; dy <= 1; ++dy) {
            for (int dx = -1; dx <= 1; ++dx) {
              ++votes[corners_.At(std::clamp(x + dx, 0, kCornerColumns - 1), std::clamp(y + dy, 0, kCornerRows - 1))];
            }
          }
          const int best = static_cast<int>(std::max_element(votes, votes + kTerrainSlots) - votes);
          if (votes[best] >= 5) {
            next.Set(x, y, static_cast<std::uint8_t>(best));
          }
        }
      }
      corners_ = next;
    }
  }

  // The levels 0 .. top form a chain in which only neighbours may meet: every corner is lowered
  // to at most one above its lowest neighbour (two sweeps of a chessboard distance transform).
  void ClampSteps(int top) {
    for (int sweep = 0; sweep < 2; ++sweep) {
      for (int i = 0; i < kCornerColumns * kCornerRows; ++i) {
        const int index = sweep == 0 ? i : kCornerColumns * kCornerRows - 1 - i;
        const int x = index % kCornerColumns;
        const int y = index / kCornerColumns;
        int level = corners_.At(x, y);
        if (level > top) {
          continue;
        }
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = x + dx;
            const int ny = y + dy;
            if (nx >= 0 && ny >= 0 && nx < kCornerColumns && ny < kCornerRows && corners_.At(nx, ny) <= top) {
              level = std::min(level, corners_.At(nx, ny) + 1);
            }
          }
        }
        corners_.Set(x, y, static_cast<std::uint8_t>(level));
      }
    }
  }

  // Lays `overlay` on the corners of `host` that `wanted` picks, but only where the overlay
  // meets nothing but its host, so each cell still holds one pair.
  void Overlay(int overlay, int host, const std::function<bool(int, int)>& wanted) {
    for (int y = 0; y < kCornerRows; ++y) {
      for (int x = 0; x < kCornerColumns; ++x) {
        if (corners_.At(x, y) == host && wanted(x, y)) {
          corners_.Set(x, y, static_cast<std::uint8_t>(overlay));
        }
      }
    }
    CornerGrid next = corners_;
    for (int y = 0; y < kCornerRows; ++y) {
      for (int x = 0; x < kCornerColumns; ++x) {
        if (corners_.At(x, y) != overlay) {
          continue;
        }
        for (int dy = -1; dy <= 1; ++dy) {
          for (int dx = -1; dx <= 1; ++dx) {
            const int nx = std::clamp(x + dx, 0, kCornerColumns - 1);
            const int ny = std::clamp(y + dy, 0, kCornerRows - 1);
            const int id = corners_.At(nx, ny);
            if (id != overlay && id != host) {
              next.Set(x, y, static_cast<std::uint8_t>(host));
            }
          }
        }
      }
    }
    corners_ = next;
  }

  // Corners of terrain `from` close to a path become `to` (a clearing along a road).
  void Replace(int from, int to, const std::function<bool(int, int)>& where) {
    for (int y = 0; y < kCornerRows; ++y) {
      for (int x = 0; x < kCornerColumns; ++x) {
        if (corners_.At(x, y) == from && where(x, y)) {
          corners_.Set(x, y, static_cast<std::uint8_t>(to));
        }
      }
    }
  }

  // True when all four corners of the cell under pixel (x, y) are among `ids`.
  bool Ground(int x, int y, std::initializer_list<int> ids) const {
    const int cx = x / kTile;
    const int cy = y / kTile;
    if (x < 0 || y < 0 || cx >= kMapColumns || cy >= kMapRows) {
      return false;
    }
    for (int dy = 0; dy <= 1; ++dy) {
      for (int dx = 0; dx <= 1; ++dx) {
        if (std::find(ids.begin(), ids.end(), corners_.At(cx + dx, cy + dy)) == ids.end()) {
          return false;
        }
      }
    }
    return true;
  }

  // True when some corner within `radius` corners of pixel (x, y) is among `ids`.
  bool Near(int x, int y, int radius, std::initializer_list<int> ids) const {
    const int cx = x / kTile;
    const int cy = y / kTile;
    for (int dy = -radius; dy <= radius + 1; ++dy) {
      for (int dx = -radius; dx <= radius + 1; ++dx) {
        const int nx = std::clamp(cx + dx, 0, kCornerColumns - 1);
        const int ny = std::clamp(cy + dy, 0, kCornerRows - 1);
        if (std::find(ids.begin(), ids.end(), corners_.At(nx, ny)) != ids.end()) {
          return true;
        }
      }
    }
    return false;
  }

  bool Free(int x, int y, int radius) const {
    for (const Placed& other : placed_) {
      const int reach = radius + other.radius;
      if ((x - other.x) * (x - other.x) + (y - other.y) * (y - other.y) < reach * reach) {
        return false;
      }
    }
    return true;
  }

  void Add(Prop prop, int x, int y, int radius, int z = 0, bool mirrored = false) {
    placed_.push_back({x, y, radius});
    entities_.push_back({static_cast<std::uint16_t>(std::clamp(x, 0, 65535)),
                         static_cast<std::uint16_t>(std::clamp(y, 0, 65535)), static_cast<std::uint8_t>(z),
                         mirrored ? kMirroredFlag : std::uint8_t{0}, ObjectIdOf(prop)});
  }

  // Up to `wanted` props at random free places that `fits` accepts; `pick` chooses each prop.
  void Scatter(int wanted, int radius, double mirrorChance, const std::function<bool(int, int)>& fits,
               const std::function<Prop()>& pick, Area area = {}) {
    int added = 0;
    for (int attempt = 0; attempt < wanted * 40 && added < wanted; ++attempt) {
      const int x = random_.Between(area.left, area.right);
      const int y = random_.Between(area.top, area.bottom);
      if (fits(x, y) && Free(x, y, radius)) {
        Add(pick(), x, y, radius, 0, random_.Chance(mirrorChance));
        ++added;
      }
    }
  }

  // Groups of props around a few centres, for woods, reed beds and graveyards.
  void Clusters(int groups, int perGroup, int spread, int radius, const std::function<bool(int, int)>& fits,
                const std::function<Prop()>& pick) {
    for (int group = 0; group < groups; ++group) {
      int cx = 0;
      int cy = 0;
      bool found = false;
      for (int attempt = 0; attempt < 200 && !found; ++attempt) {
        cx = random_.Between(32, kRegionWidth - 32);
        cy = random_.Between(32, kRegionHeight - 16);
        found = fits(cx, cy);
      }
      if (!found) {
        continue;
      }
      for (int attempt = 0, added = 0; attempt < perGroup * 12 && added < perGroup; ++attempt) {
        const int x = cx + random_.Between(-spread, spread);
        const int y = cy + random_.Between(-spread * 2 / 3, spread * 2 / 3);
        if (fits(x, y) && Free(x, y, radius)) {
          Add(pick(), x, y, radius, 0, random_.Chance(0.5));
          ++added;
        }
      }
    }
  }

  // Flying things: lifted by z above their spot on the ground.
  void Fliers(Prop prop, int count, int lowest, int highest) {
    for (int i = 0; i < count; ++i) {
      Add(prop, random_.Between(64, kRegionWidth - 64), random_.Between(64, kRegionHeight - 16), 0,
          random_.Between(lowest, highest), random_.Chance(0.5));
    }
  }

  // Decks across every cell where the path runs over ground of `wet` (water and shore), laid
  // from one dry bank to the other.
  void Bridges(const Path& path, std::initializer_list<int> wet) {
    const Prop deck = path.across ? Prop::kBridgeAcross : Prop::kBridgeDown;
    const int cells = path.across ? kMapColumns : kMapRows;
    std::vector<bool> isWet(static_cast<std::size_t>(cells), false);
    for (int cell = 0; cell < cells; ++cell) {
      const double centre = path.At(cell + 0.5);
      for (int step = 0; step <= 1; ++step) {
        for (int side = -1; side <= 1; ++side) {
          const int along = cell + step;
          const int cross = static_cast<int>(std::lround(centre)) + side;
          const int x = path.across ? along : cross;
          const int y = path.across ? cross : along;
          if (x < 0 || y < 0 || x >= kCornerColumns || y >= kCornerRows || along < path.from || along > path.to) {
            continue;
          }
          if (std::find(wet.begin(), wet.end(), corners_.At(x, y)) != wet.end()) {
            isWet[static_cast<std::size_t>(cell)] = true;
          }
        }
      }
    }
    for (int cell = 0; cell < cells; ++cell) {
      // One more cell on each side reaches the road where the overlay stops short of the shore.
      const bool wetHere = isWet[static_cast<std::size_t>(cell)] ||
                           (cell > 0 && isWet[static_cast<std::size_t>(cell - 1)]) ||
                           (cell + 1 < cells && isWet[static_cast<std::size_t>(cell + 1)]);
      if (!wetHere) {
        continue;
      }
      const double centre = path.At(cell + 0.5) * kTile;
      if (path.across) {
        Add(deck, cell * kTile + kTile / 2, static_cast<int>(centre) + 24, kTile / 2);
      } else {
        Add(deck, static_cast<int>(centre), cell * kTile + kTile - 1, kTile / 2);
      }
    }
  }

  SampleRegion Finish(const char* fileName, const char* name, const std::vector<RampColours>& ramps, Tint tint);

 private:
  std::vector<Terrain> terrains_;
  std::vector<TerrainPair> pairs_;
  std::uint64_t seed_;
  SampleRandom random_;
  CornerGrid corners_;
  std::vector<Placed> placed_;
  std::vector<SampleEntity> entities_;
};

// Tile chunk numbers come in runs of eight, the runs in descending order, so the indexed TILE
// record has several runs and the numbers are out of order.
std::uint32_t TileNumber(std::size_t index, std::size_t count) {
  constexpr std::size_t kRun = 8;
  const std::size_t runs = (count + kRun - 1) / kRun;
  return static_cast<std::uint32_t>(2000 + (runs - 1 - index / kRun) * kRun + index % kRun);
}

SampleRegion RegionMaker::Finish(const char* fileName, const char* name, const std::vector<RampColours>& ramps,
                                 Tint tint) {
  SampleRegion region;
  region.fileName = fileName;
  region.name = name;
  region.palette = BuildPalette(ramps, tint);
  TileSet tileSet = BuildTileSet(terrains_, pairs_, seed_ + 17);
  region.map = PaintMap(tileSet, corners_, seed_ + 23);
  region.tiles = std::move(tileSet.tiles);
  for (std::size_t i = 0; i < region.tiles.size(); ++i) {
    region.tileNumbers.push_back(TileNumber(i, region.tiles.size()));
  }
  ByteWriter overview;
  overview.u16le(kOverviewColumns);
  overview.u16le(kOverviewRows);
  for (int y = 0; y < kOverviewRows; ++y) {
    for (int x = 0; x < kOverviewColumns; ++x) {
      overview.u8(TerrainIndex(corners_.At(x * 2 + 1, y * 2 + 1), 8));
    }
  }
  region.gmap = overview.take();
  // Drawn in table order: ground things from the back of the scene to the front, then whatever
  // flies above them.
  std::stable_sort(entities_.begin(), entities_.end(), [](const SampleEntity& a, const SampleEntity& b) {
    if ((a.z > 0) != (b.z > 0)) {
      return b.z > 0;
    }
    return a.y < b.y;
  });
  if (entities_.size() > kMaxEntities) {
    entities_.resize(kMaxEntities);
  }
  region.entities = entities_;
  return region;
}

template <typename T>
T OneOf(SampleRandom& random, std::initializer_list<T> choices) {
  return *(choices.begin() + random.Below(static_cast<std::uint32_t>(choices.size())));
}

// ---- Greenmeadow: fields and woods, a river with a pond, a road with a bridge and a farm.

SampleRegion Meadow() {
  enum : int { kDeep, kWater, kSand, kGrass, kWood, kRoad };
  const std::vector<RampColours> ramps = {
      {{2, 6, 16}, {5, 14, 30}, {14, 28, 44}},    {{4, 12, 28}, {10, 27, 44}, {38, 54, 62}},
      {{30, 24, 12}, {48, 42, 26}, {61, 57, 42}}, {{6, 16, 4}, {16, 34, 8}, {38, 54, 18}},
      {{3, 10, 3}, {9, 22, 6}, {26, 38, 12}},     {{20, 14, 8}, {38, 30, 18}, {56, 48, 34}},
  };
  RegionMaker maker({{Texture::kDeepWater, ramps[0]},
                     {Texture::kWater, ramps[1]},
                     {Texture::kSand, ramps[2]},
                     {Texture::kGrass, ramps[3]},
                     {Texture::kForestFloor, ramps[4]},
                     {Texture::kDirt, ramps[5]}},
                    {{kDeep, kWater}, {kWater, kSand}, {kSand, kGrass}, {kGrass, kWood}, {kGrass, kRoad}}, 0x6EE11u);
  const std::uint64_t seed = maker.seed();
  const Path river{false, 46, 70, 12, 22, seed + 1, -2, 100};
  const Path road{true, 62, 30, 6, 30, seed + 2, -2, 131};
  const Path lane{false, 96, 100, 3, 14, seed + 3, road.At(96) + 1, 84};
  const double pondX = 22;
  const double pondY = 30;
  maker.FillLevels([&](int x, int y) {
    const double wood = FractalNoise(seed + 4, x, y, 36, 4);
    int level = wood > 0.57 ? kWood : kGrass;
    const double r = river.Distance(x, y);
    const double pond = std::hypot((x - pondX) / 1.3, y - pondY) - 6.5 * FractalNoise(seed + 5, x, y, 6, 2);
    const double water = std::min(r - 0.6, pond);
    if (water < 1.0) {
      level = kDeep;
    } else if (water < 2.3) {
      level = kWater;
    } else if (water < 3.2) {
      level = kSand;
    }
    return level;
  });
  maker.Smooth(2);
  maker.ClampSteps(kWood);
  auto nearRoad = [&](int x, int y, double reach) {
    return road.Distance(x, y) <= reach || lane.Distance(x, y) <= reach;
  };
  maker.Replace(kWood, kGrass, [&](int x, int y) { return nearRoad(x, y, 3.0); });
  maker.Overlay(kRoad, kGrass, [&](int x, int y) { return nearRoad(x, y, 1.25); });
  maker.Bridges(road, {kDeep, kWater, kSand});

  SampleRandom& random = maker.random();
  const auto onWood = [&](int x, int y) { return maker.Ground(x, y, {kWood}) && !maker.Near(x, y, 1, {kRoad}); };
  const auto onGrass = [&](int x, int y) {
    return maker.Ground(x, y, {kGrass}) && !maker.Near(x, y, 1, {kRoad, kSand});
  };
  // The farm at the end of the lane, drawn before the scattered things so they keep clear of it.
  const int farmX = static_cast<int>(lane.At(84) * kTile);
  const int farmY = 84 * kTile;
  maker.Add(Prop::kFarmhouse, farmX - 70, farmY + 6, 44);
  maker.Add(Prop::kCottage, farmX + 72, farmY - 10, 36);
  maker.Add(Prop::kWell, farmX + 8, farmY + 40, 14);
  maker.Add(Prop::kCart, farmX - 20, farmY + 60, 16, 0, true);
  for (int i = 0; i < 3; ++i) {
    maker.Add(Prop::kHaystack, farmX - 150 + i * 30, farmY + 70 + (i % 2) * 14, 12);
  }
  // A sheep field fenced on four sides, east of the farm.
  const int fieldLeft = farmX + 120;
  const int fieldTop = farmY - 20;
  for (int i = 0; i < 5; ++i) {
    maker.Add(Prop::kFenceAcross, fieldLeft + 16 + i * 32, fieldTop, 16);
    maker.Add(Prop::kFenceAcross, fieldLeft + 16 + i * 32, fieldTop + 128, 16);
  }
  for (int i = 0; i < 4; ++i) {
    maker.Add(Prop::kFenceDown, fieldLeft - 4, fieldTop + 32 + i * 32, 6);
    maker.Add(Prop::kFenceDown, fieldLeft + 164, fieldTop + 32 + i * 32, 6);
  }
  for (int i = 0; i < 7; ++i) {
    maker.Add(Prop::kSheep, fieldLeft + random.Between(16, 144), fieldTop + random.Between(20, 116), 8, 0,
              random.Chance(0.5));
  }
  const int junctionX = 96 * kTile;
  maker.Add(Prop::kSignpost, junctionX - 40, static_cast<int>(road.At(93.5) * kTile) - 26, 10);

  maker.Scatter(210, 13, 0.5, onWood, [&] {
    return OneOf(random, {Prop::kOak, Prop::kOak, Prop::kBigOak, Prop::kPine, Prop::kTallPine, Prop::kBirch});
  });
  maker.Scatter(12, 10, 0.5, onWood, [&] { return OneOf(random, {Prop::kStump, Prop::kLog, Prop::kMushroom}); });
  maker.Clusters(6, 5, 70, 16, onGrass, [&] { return OneOf(random, {Prop::kOak, Prop::kBirch, Prop::kBigOak}); });
  maker.Scatter(16, 14, 0.5, onGrass, [&] { return OneOf(random, {Prop::kOak, Prop::kBirch}); });
  maker.Scatter(26, 10, 0.5, onGrass, [&] { return OneOf(random, {Prop::kBush, Prop::kBerryBush}); });
  maker.Scatter(36, 6, 0.5, onGrass, [&] {
    return OneOf(random, {Prop::kRedFlowers, Prop::kYellowFlowers, Prop::kBlueFlowers});
  });
  maker.Scatter(14, 8, 0.5, onGrass, [&] { return OneOf(random, {Prop::kSmallRock, Prop::kBigRock}); });
  maker.Scatter(3, 24, 0.5, onGrass, [] { return Prop::kBoulders; });
  maker.Scatter(
      26, 6, 0.5, [&](int x, int y) { return maker.Ground(x, y, {kSand}) && maker.Near(x, y, 0, {kWater}); },
      [] { return Prop::kReeds; });
  maker.Scatter(
      14, 8, 0.5, [&](int x, int y) { return maker.Ground(x, y, {kWater}); }, [] { return Prop::kLilyPad; });
  maker.Scatter(
      2, 18, 0.5, [&](int x, int y) { return maker.Ground(x, y, {kDeep}); }, [] { return Prop::kBoat; });
  maker.Fliers(Prop::kBird, 7, 24, 64);
  return maker.Finish("RGN01.GFF", "Greenmeadow", ramps, {100, 100, 100});
}

// ---- Dune Sea: sand and long dunes, two oases with palms and tents, rock outcrops, a trail.

SampleRegion Desert() {
  enum : int { kWater, kOasis, kSand, kDunes, kRock, kTrail };
  const std::vector<RampColours> ramps = {
      {{4, 14, 24}, {8, 30, 40}, {36, 56, 60}},   {{10, 18, 4}, {24, 36, 10}, {46, 54, 20}},
      {{36, 27, 14}, {52, 42, 25}, {62, 56, 40}}, {{42, 24, 8}, {59, 40, 16}, {63, 56, 34}},
      {{18, 12, 11}, {36, 27, 23}, {54, 46, 40}}, {{30, 20, 10}, {44, 32, 19}, {57, 47, 32}},
  };
  RegionMaker maker({{Texture::kWater, ramps[0]},
                     {Texture::kGrass, ramps[1]},
                     {Texture::kSand, ramps[2]},
                     {Texture::kDunes, ramps[3]},
                     {Texture::kRock, ramps[4]},
                     {Texture::kDirt, ramps[5]}},
                    {{kWater, kOasis}, {kOasis, kSand}, {kSand, kDunes}, {kSand, kRock}, {kSand, kTrail}}, 0xD00E5u);
  const std::uint64_t seed = maker.seed();
  const Path trail{true, 30, 70, 12, 26, seed + 1, -2, 131};
  struct Oasis {
    double x, y, size;
  };
  const Oasis oases[] = {{30, 22, 6}, {92, 62, 7.5}};
  maker.FillLevels([&](int x, int y) {
    const double dune = FractalNoise(seed + 2, x * 0.55, y * 1.6, 14, 3);
    int level = dune > 0.55 ? kDunes : kSand;
    for (const Oasis& oasis : oases) {
      const double d = std::hypot(x - oasis.x, (y - oasis.y) * 1.2) - 5.0 * FractalNoise(seed + 3, x, y, 7, 2);
      if (d < oasis.size * 0.55) {
        level = kWater;
      } else if (d < oasis.size * 1.25) {
        level = std::min(level, static_cast<int>(kOasis));
      }
    }
    return level;
  });
  maker.Smooth(2);
  maker.ClampSteps(kDunes);
  const auto rocky = [&](int x, int y) {
    return FractalNoise(seed + 4, x, y, 16, 3) > 0.64 && trail.Distance(x, y) > 4;
  };
  maker.Replace(kDunes, kSand, [&](int x, int y) {
    return trail.Distance(x, y) < 3.0 || rocky(x, y) || rocky(x + 1, y) || rocky(x - 1, y) || rocky(x, y + 1) ||
           rocky(x, y - 1);
  });
  maker.Overlay(kRock, kSand, rocky);
  maker.Overlay(kTrail, kSand, [&](int x, int y) { return trail.Distance(x, y) <= 0.9; });

  SampleRandom& random = maker.random();
  const auto onSand = [&](int x, int y) {
    return maker.Ground(x, y, {kSand, kDunes}) && !maker.Near(x, y, 0, {kTrail, kOasis});
  };
  const auto onRock = [&](int x, int y) { return maker.Ground(x, y, {kRock}); };
  for (const Oasis& oasis : oases) {
    const int ox = static_cast<int>(oasis.x * kTile);
    const int oy = static_cast<int>(oasis.y * kTile);
    const int reach = static_cast<int>(oasis.size * 2 * kTile);
    const Area around{ox - reach, oy - reach, ox + reach, oy + reach};
    maker.Scatter(
        9, 14, 0.5, [&](int x, int y) { return maker.Ground(x, y, {kOasis}); }, [] { return Prop::kPalm; }, around);
    maker.Scatter(
        8, 6, 0.5, [&](int x, int y) { return maker.Ground(x, y, {kOasis}) && maker.Near(x, y, 0, {kWater}); },
        [&] {
          return OneOf(random, {Prop::kReeds, Prop::kReeds, Prop::kBush});
        },
        around);
  }
  // A camp by the eastern oasis.
  const int campX = static_cast<int>(oases[1].x * kTile) - 40;
  const int campY = static_cast<int>((oases[1].y + oases[1].size * 1.6) * kTile);
  maker.Add(Prop::kTent, campX - 60, campY, 20);
  maker.Add(Prop::kTent, campX + 10, campY + 30, 20, 0, true);
  maker.Add(Prop::kTent, campX + 80, campY + 4, 20);
  maker.Add(Prop::kCart, campX + 40, campY + 66, 16, 0, true);
  maker.Add(Prop::kBarrel, campX - 18, campY + 20, 6);
  maker.Add(Prop::kCrate, campX - 6, campY + 24, 7);
  // Ruins of a colonnade.
  const int ruinX = 60 * kTile;
  const int ruinY = 84 * kTile;
  for (int i = 0; i < 6; ++i) {
    if (i != 3) {
      maker.Add(Prop::kPillar, ruinX + i * 36, ruinY, 10);
    }
    if (i % 2 == 0) {
      maker.Add(Prop::kPillar, ruinX + i * 36, ruinY + 72, 10, 0, true);
    }
  }
  maker.Scatter(5, 40, 0.5, onRock, [] { return Prop::kMesa; });
  maker.Scatter(14, 14, 0.5, onRock, [] { return Prop::kRockSpire; });
  maker.Scatter(22, 12, 0.5, onRock, [&] {
    return OneOf(random, {Prop::kBigRock, Prop::kBoulders, Prop::kSmallRock});
  });
  maker.Scatter(70, 14, 0.5, onSand, [&] { return OneOf(random, {Prop::kCactus, Prop::kCactus, Prop::kTallCactus}); });
  maker.Scatter(45, 10, 0.5, onSand, [] { return Prop::kDryBush; });
  maker.Scatter(12, 10, 0.5, onSand, [] { return Prop::kBones; });
  maker.Scatter(24, 8, 0.5, onSand, [] { return Prop::kSmallRock; });
  maker.Fliers(Prop::kBird, 6, 40, 90);
  return maker.Finish("RGN02.GFF", "Dune Sea", ramps, {104, 100, 92});
}

// ---- Mirefen: bog pools, mud banks and marsh grass, a peat path with boardwalks, willows.

SampleRegion Swamp() {
  enum : int { kDeep, kShallow, kMud, kMarsh, kPath };
  const std::vector<RampColours> ramps = {
      {{2, 8, 6}, {6, 16, 13}, {18, 30, 24}},    {{6, 14, 10}, {14, 27, 19}, {34, 46, 34}},
      {{14, 10, 4}, {27, 20, 10}, {42, 34, 19}}, {{8, 14, 4}, {18, 28, 8}, {35, 45, 16}},
      {{18, 13, 7}, {32, 25, 15}, {47, 39, 25}},
  };
  RegionMaker maker({{Texture::kDeepWater, ramps[0]},
                     {Texture::kWater, ramps[1]},
                     {Texture::kMud, ramps[2]},
                     {Texture::kMarsh, ramps[3]},
                     {Texture::kDirt, ramps[4]}},
                    {{kDeep, kShallow}, {kShallow, kMud}, {kMud, kMarsh}, {kMarsh, kPath}}, 0x5A3B7u);
  const std::uint64_t seed = maker.seed();
  const Path path{true, 70, 24, 14, 18, seed + 1, -2, 131};
  maker.FillLevels([&](int x, int y) {
    const double h = FractalNoise(seed + 2, x, y, 26, 4);
    return h < 0.36 ? kDeep : (h < 0.44 ? kShallow : (h < 0.48 ? kMud : kMarsh));
  });
  maker.Smooth(2);
  maker.ClampSteps(kMarsh);
  maker.Overlay(kPath, kMarsh, [&](int x, int y) { return path.Distance(x, y) <= 1.0; });
  maker.Bridges(path, {kDeep, kShallow, kMud});

  SampleRandom& random = maker.random();
  const auto onMarsh = [&](int x, int y) { return maker.Ground(x, y, {kMarsh}) && !maker.Near(x, y, 1, {kPath}); };
  const auto atWater = [&](int x, int y) { return maker.Ground(x, y, {kMud}) && maker.Near(x, y, 0, {kShallow}); };
  // An old graveyard on a dry rise.
  bool graveyard = false;
  for (int attempt = 0; attempt < 400 && !graveyard; ++attempt) {
    const int gx = random.Between(100, kRegionWidth - 200);
    const int gy = random.Between(120, kRegionHeight - 100);
    bool dry = true;
    for (int dy = -16; dy <= 110 && dry; dy += 16) {
      for (int dx = -16; dx <= 150 && dry; dx += 16) {
        dry = onMarsh(gx + dx, gy + dy);
      }
    }
    if (!dry) {
      continue;
    }
    graveyard = true;
    for (int row = 0; row < 3; ++row) {
      for (int column = 0; column < 5; ++column) {
        if ((row + column) % 4 != 3) {
          maker.Add(Prop::kTombstone, gx + 12 + column * 26, gy + 20 + row * 30, 8, 0, column % 2 == 1);
        }
      }
    }
    for (int i = 0; i < 5; ++i) {
      maker.Add(Prop::kFenceAcross, gx + i * 32, gy, 14);
    }
    maker.Add(Prop::kDeadTree, gx + 150, gy + 40, 14);
  }
  for (int hut = 0, attempt = 0; hut < 3 && attempt < 2000; ++attempt) {
    const int x = random.Between(64, kRegionWidth - 64);
    const int y = random.Between(80, kRegionHeight - 16);
    if (atWater(x, y) && maker.Free(x, y, 60)) {
      maker.Add(Prop::kStiltHut, x, y, 30, 0, random.Chance(0.5));
      maker.Add(Prop::kBoat, x + 30, y + 20, 10);
      ++hut;
    }
  }
  maker.Scatter(28, 22, 0.5, onMarsh, [] { return Prop::kWillow; });
  maker.Scatter(40, 14, 0.5, onMarsh, [&] { return OneOf(random, {Prop::kDeadTree, Prop::kDeadTree, Prop::kPine}); });
  maker.Scatter(60, 6, 0.5, atWater, [] { return Prop::kReeds; });
  maker.Scatter(
      45, 7, 0.5,
      [&](int x, int y) {
        return maker.Ground(x, y, {kShallow, kDeep});
      },
      [] { return Prop::kLilyPad; });
  maker.Scatter(40, 6, 0.5, onMarsh, [] { return Prop::kMushroom; });
  maker.Scatter(20, 10, 0.5, onMarsh, [&] { return OneOf(random, {Prop::kLog, Prop::kStump, Prop::kBush}); });
  maker.Scatter(
      10, 8, 0.5,
      [&](int x, int y) {
        return maker.Ground(x, y, {kMud, kMarsh});
      },
      [] { return Prop::kSmallRock; });
  maker.Fliers(Prop::kWisp, 12, 8, 30);
  maker.Fliers(Prop::kBird, 3, 30, 70);
  return maker.Finish("RGN03.GFF", "Mirefen", ramps, {92, 100, 90});
}

// ---- Old Town: a grid of cobbled streets lined with houses, a canal with bridges, a market
// square with a fountain, a park.

SampleRegion Town() {
  enum : int { kCanal, kQuay, kLawn, kGarden, kStreet };
  const std::vector<RampColours> ramps = {
      {{4, 10, 20}, {8, 22, 34}, {32, 46, 56}},   {{16, 16, 16}, {32, 30, 28}, {52, 50, 46}},
      {{8, 18, 6}, {18, 34, 10}, {38, 52, 22}},   {{5, 13, 4}, {12, 26, 8}, {28, 40, 14}},
      {{14, 13, 12}, {31, 29, 27}, {52, 50, 46}},
  };
  RegionMaker maker({{Texture::kWater, ramps[0]},
                     {Texture::kQuay, ramps[1]},
                     {Texture::kGrass, ramps[2]},
                     {Texture::kForestFloor, ramps[3]},
                     {Texture::kCobble, ramps[4]}},
                    {{kCanal, kQuay}, {kQuay, kLawn}, {kLawn, kGarden}, {kLawn, kStreet}}, 0x70D11u);
  const std::uint64_t seed = maker.seed();
  const int streetRows[] = {12, 36, 62, 86};
  const int streetColumns[] = {6, 34, 63, 92, 121};
  const Path canal{true, 49, 49, 1.2, 30, seed + 1, -2, 131};
  const int plazaLeft = 50;
  const int plazaRight = 76;
  const int plazaTop = 66;
  const int plazaBottom = 81;
  const int parkLeft = 94;
  const int parkRight = 119;
  const int parkTop = 15;
  const int parkBottom = 33;
  maker.FillLevels([&](int x, int y) {
    const double d = canal.Distance(x, y);
    if (d < 1.5) {
      return static_cast<int>(kCanal);
    }
    if (d < 2.6) {
      return static_cast<int>(kQuay);
    }
    const bool park = x > parkLeft && x < parkRight && y > parkTop && y < parkBottom;
    const bool hedge = FractalNoise(seed + 2, x, y, 8, 2) > 0.76;
    return static_cast<int>(park || hedge ? kGarden : kLawn);
  });
  maker.Smooth(1);
  maker.ClampSteps(kGarden);
  auto streetAt = [&](int x, int y) {
    for (const int row : streetRows) {
      if (std::abs(y - row) <= 1) {
        return true;
      }
    }
    for (const int column : streetColumns) {
      if (std::abs(x - column) <= 1) {
        return true;
      }
    }
    return x >= plazaLeft && x <= plazaRight && y >= plazaTop && y <= plazaBottom;
  };
  maker.Replace(kGarden, kLawn, [&](int x, int y) {
    return streetAt(x, y) || streetAt(x + 1, y) || streetAt(x - 1, y) || streetAt(x, y + 1) || streetAt(x, y - 1) ||
           streetAt(x + 2, y) || streetAt(x - 2, y) || streetAt(x, y + 2) || streetAt(x, y - 2);
  });
  maker.Overlay(kStreet, kLawn, streetAt);
  for (const int column : streetColumns) {
    maker.Bridges(Path{false, static_cast<double>(column), static_cast<double>(column), 0, 20, 0, -2, 100},
                  {kCanal, kQuay});
  }

  SampleRandom& random = maker.random();
  maker.Add(Prop::kTower, streetColumns[0] * kTile + 60, streetRows[0] * kTile - 26, 24);
  // Houses face each street from the north side and turn their backs to it on the south side.
  const int streetHalf = 24;
  for (const int row : streetRows) {
    for (int side = 0; side < 2; ++side) {
      for (int block = 0; block + 1 < static_cast<int>(std::size(streetColumns)); ++block) {
        int x = streetColumns[block] * kTile + streetHalf + 6;
        const int right = streetColumns[block + 1] * kTile - streetHalf - 6;
        while (true) {
          const Prop house =
              OneOf(random, {Prop::kTownHouse, Prop::kTownHouse, Prop::kCottage, Prop::kTownHouse, Prop::kFarmhouse});
          const int width = house == Prop::kTownHouse ? 48 : (house == Prop::kCottage ? 64 : 80);
          const int height = house == Prop::kTownHouse ? 80 : (house == Prop::kCottage ? 64 : 72);
          if (x + width > right) {
            break;
          }
          const int footY = side == 0 ? row * kTile - streetHalf - 2 : row * kTile + streetHalf + height;
          const int footX = x + width / 2;
          const bool clear = footY - height > 0 && footY < kRegionHeight &&
                             maker.Ground(footX, footY - height / 2, {kLawn, kGarden}) &&
                             maker.Free(footX, footY, width / 2 - 2) &&
                             !(footX > plazaLeft * kTile - 40 && footX < plazaRight * kTile + 40 &&
                               footY > plazaTop * kTile - 40 && footY < plazaBottom * kTile + 100);
          if (clear && random.Chance(0.86)) {
            maker.Add(house, footX, footY, width / 2 - 2, 0, random.Chance(0.3));
          }
          x += width + random.Between(2, 14);
        }
      }
    }
  }
  // The market square.
  const int squareX = (plazaLeft + plazaRight) / 2 * kTile;
  const int squareY = (plazaTop + plazaBottom) / 2 * kTile;
  maker.Add(Prop::kTownHall, squareX, plazaTop * kTile - 6, 48);
  maker.Add(Prop::kFountain, squareX, squareY + 30, 26);
  for (int i = 0; i < 4; ++i) {
    maker.Add(Prop::kStall, squareX - 160 + i * 100 + (i >= 2 ? 20 : 0), squareY - 20 + (i % 2) * 90, 20, 0,
              i % 2 == 1);
  }
  for (int i = 0; i < 6; ++i) {
    maker.Add(OneOf(random, {Prop::kBarrel, Prop::kCrate}), squareX - 150 + i * 60, squareY + 100, 7);
  }
  // Lamps along the streets, just off the cobbles.
  for (const int row : streetRows) {
    for (int x = 40; x < kRegionWidth - 20; x += 96) {
      if (maker.Ground(x, row * kTile + 30, {kStreet, kLawn}) && maker.Free(x, row * kTile + 30, 6)) {
        maker.Add(Prop::kLamp, x, row * kTile + 30, 6);
      }
    }
  }
  const auto inPark = [&](int x, int y) {
    return maker.Ground(x, y, {kGarden}) && x > parkLeft * kTile && x < parkRight * kTile;
  };
  const auto inGarden = [&](int x, int y) {
    return maker.Ground(x, y, {kGarden, kLawn}) && !maker.Near(x, y, 1, {kStreet});
  };
  for (int i = 0; i < (parkRight - parkLeft) / 2; ++i) {
    maker.Add(Prop::kFenceAcross, parkLeft * kTile + 16 + i * 32, parkTop * kTile + 4, 14);
  }
  maker.Scatter(30, 14, 0.5, inPark, [&] { return OneOf(random, {Prop::kOak, Prop::kBigOak, Prop::kBirch}); });
  maker.Scatter(14, 8, 0.5, inPark, [&] {
    return OneOf(random, {Prop::kRedFlowers, Prop::kYellowFlowers, Prop::kBush});
  });
  maker.Scatter(40, 14, 0.5, inGarden, [&] {
    return OneOf(random, {Prop::kOak, Prop::kBirch, Prop::kPine, Prop::kBush});
  });
  maker.Scatter(20, 8, 0.5, inGarden, [&] {
    return OneOf(random, {Prop::kBlueFlowers, Prop::kBerryBush, Prop::kWell});
  });
  maker.Scatter(
      24, 8, 0.5, [&](int x, int y) { return maker.Ground(x, y, {kLawn}) && maker.Near(x, y, 1, {kStreet}); },
      [&] {
        return OneOf(random, {Prop::kBarrel, Prop::kCrate, Prop::kCart});
      });
  maker.Scatter(
      4, 20, 0.5, [&](int x, int y) { return maker.Ground(x, y, {kCanal}); }, [] { return Prop::kBoat; });
  maker.Fliers(Prop::kBird, 6, 30, 80);
  return maker.Finish("RGN04.GFF", "Old Town", ramps, {100, 98, 98});
}

}  // namespace

std::vector<SampleRegion> MakeSampleRegions() { return {Meadow(), Desert(), Swamp(), Town()}; }

}  // namespace karst::authoring
