#include "authoring/sample_objects.h"

#include <algorithm>
#include <cmath>

#include "authoring/sample_canvas.h"
#include "authoring/sample_random.h"

namespace karst::authoring {
namespace {

enum Kind : std::uint16_t { kPlant = 1, kStone = 2, kBuilding = 3, kThing = 4, kCreature = 5 };

// What a drawing gives: its frames (frame 0 drawn by the viewer), its foot and its kind.
struct Drawn {
  std::vector<IndexedImage> frames;
  int footX = 0;
  int footY = 0;
  Kind kind = kThing;
};

Drawn Finish(Canvas& canvas, int footX, int footY, Kind kind, double shadowWidth) {
  canvas.Outline();
  if (shadowWidth > 0) {
    canvas.Shadow(footX, footY - 1, shadowWidth, std::max(2.0, shadowWidth / 3.5));
  }
  return {{canvas.Image()}, footX, footY, kind};
}

// A cone of needles, lit from the left, with a ragged lower edge.
void Cone(Canvas& c, double cx, int top, int bottom, double halfWidth, Ramp ramp, std::uint64_t seed) {
  for (int y = top; y <= bottom; ++y) {
    const double w = halfWidth * (y - top + 1) / (bottom - top + 1);
    for (int x = static_cast<int>(std::floor(cx - w)); x <= static_cast<int>(std::ceil(cx + w)); ++x) {
      const double across = (x + 0.5 - cx) / std::max(1.0, w);
      if (std::abs(across) > 1.0 || (y == bottom && HashUnit(seed, x, y) < 0.4)) {
        continue;
      }
      const double dither = HashUnit(seed + 1, x, y) - 0.5;
      c.Set(x, y,
            Shade(ramp, static_cast<int>(
                            std::lround(4.2 - across * 2.2 + dither * 1.4 - (y - top) * 1.5 / (bottom - top + 1)))));
    }
  }
}

void Tree(Canvas& c, double cx, int trunkTop, int foot, int trunkWidth) {
  c.ShadeRect(static_cast<int>(cx) - trunkWidth / 2, trunkTop, static_cast<int>(cx) - trunkWidth / 2 + trunkWidth, foot,
              Ramp::kBark, 3);
  c.Set(static_cast<int>(cx) - trunkWidth / 2 - 1, foot - 1, Shade(Ramp::kBark, 2));
  c.Set(static_cast<int>(cx) + trunkWidth - trunkWidth / 2, foot - 1, Shade(Ramp::kBark, 2));
}

Drawn Oak(std::uint64_t seed) {
  Canvas c(48, 60);
  Tree(c, 24, 34, 57, 6);
  c.Crown(24, 23, 20, 18, Ramp::kLeaf, seed);
  return Finish(c, 24, 57, kPlant, 13);
}

Drawn BigOak(std::uint64_t seed) {
  Canvas c(64, 80);
  Tree(c, 32, 44, 77, 9);
  c.ThickLine(32, 52, 20, 40, 3, Shade(Ramp::kBark, 3));
  c.ThickLine(33, 50, 45, 38, 3, Shade(Ramp::kBark, 2));
  c.Crown(32, 30, 29, 27, Ramp::kLeaf, seed);
  return Finish(c, 32, 77, kPlant, 18);
}

Drawn Pine(int width, int height, int layers, std::uint64_t seed) {
  Canvas c(width, height);
  const double cx = width / 2.0;
  Tree(c, cx, height - 14, height - 2, 4);
  const int step = (height - 16) / (layers + 1);
  for (int layer = 0; layer < layers; ++layer) {
    const int top = 1 + layer * step;
    Cone(c, cx, top, top + step * 2, width * (0.24 + 0.26 * (layer + 1) / layers), Ramp::kPine,
         seed + static_cast<std::uint64_t>(layer));
  }
  return Finish(c, width / 2, height - 2, kPlant, width / 3.0);
}

Drawn Birch(std::uint64_t seed) {
  Canvas c(32, 56);
  c.ShadeRect(14, 26, 18, 54, Ramp::kBone, 5);
  for (int y = 28; y < 53; y += 4) {
    c.Set(14 + (y / 4) % 3, y, Shade(Ramp::kStone, 0));
  }
  c.Crown(16, 19, 13, 17, Ramp::kLeaf, seed);
  return Finish(c, 16, 54, kPlant, 9);
}

Drawn Bush(bool berries, std::uint64_t seed) {
  Canvas c(24, berries ? 18 : 16);
  c.Crown(12, c.height() / 2.0 + 1, 11, c.height() / 2.0 - 1, Ramp::kLeaf, seed);
  if (berries) {
    SampleRandom random(seed);
    for (int i = 0; i < 9; ++i) {
      c.Set(random.Between(5, 18), random.Between(4, 13), kRedIndex);
    }
  }
  return Finish(c, 12, c.height() - 1, kPlant, 0);
}

Drawn Flowers(std::uint8_t blossom, std::uint64_t seed) {
  Canvas c(12, 8);
  SampleRandom random(seed);
  for (int i = 0; i < 5; ++i) {
    const int x = random.Between(1, 10);
    const int y = random.Between(1, 4);
    c.Line(x, y + 1, x, 7, Shade(Ramp::kLeaf, 3));
    c.Set(x, y, blossom);
    c.Set(x - 1, y, blossom);
    c.Set(x, y - 1, Shade(Ramp::kStraw, 7));
  }
  return {{c.Image()}, 6, 7, kPlant};
}

Drawn Rocks(int width, int height, int lumps, std::uint64_t seed) {
  Canvas c(width, height);
  SampleRandom random(seed);
  for (int i = 0; i < lumps; ++i) {
    const double rx = width / (lumps == 1 ? 2.1 : 3.2) - random.Unit() * 2;
    const double ry = height / (lumps == 1 ? 2.2 : 2.6) - random.Unit() * 2;
    const double cx = lumps == 1 ? width / 2.0 : rx + 1 + (width - 2 * rx - 2) * i / (lumps - 1);
    c.ShadeEllipse(cx, height - ry - 1, rx, ry, Ramp::kStone, 1, 7, seed + static_cast<std::uint64_t>(i));
  }
  return Finish(c, width / 2, height - 1, kStone, 0);
}

Drawn Stump(std::uint64_t seed) {
  Canvas c(16, 12);
  c.ShadeRect(3, 4, 13, 11, Ramp::kBark, 3);
  c.ShadeEllipse(8, 4, 5, 2.5, Ramp::kWood, 4, 6, seed);
  c.Set(8, 4, Shade(Ramp::kWood, 2));
  return Finish(c, 8, 11, kPlant, 0);
}

Drawn Log(std::uint64_t seed) {
  Canvas c(32, 12);
  c.FillRect(2, 3, 28, 10, Shade(Ramp::kBark, 3));
  c.FillRect(2, 3, 28, 5, Shade(Ramp::kBark, 5));
  c.ShadeEllipse(27, 6.5, 3.5, 4, Ramp::kWood, 4, 6, seed);
  c.Set(27, 6, Shade(Ramp::kWood, 2));
  return Finish(c, 16, 10, kPlant, 0);
}

Drawn Reeds(std::uint64_t seed) {
  Canvas c(16, 20);
  SampleRandom random(seed);
  for (int i = 0; i < 7; ++i) {
    const int x = 2 + i * 2;
    const int top = random.Between(2, 8);
    const int lean = random.Between(-2, 2);
    c.Line(x, 19, x + lean, top, Shade(i % 2 == 0 ? Ramp::kCactus : Ramp::kStraw, 4));
    if (i % 3 == 1) {
      c.FillRect(x + lean, top - 1, x + lean + 1, top + 3, Shade(Ramp::kBark, 2));
    }
  }
  return {{c.Image()}, 8, 19, kPlant};
}

Drawn LilyPad(std::uint64_t seed) {
  Canvas c(12, 8);
  c.ShadeEllipse(6, 4, 5.5, 3.5, Ramp::kLeaf, 2, 6, seed);
  c.FillPolygon({{6, 4}, {12, 2}, {12, 5}}, 0);
  c.Set(4, 3, Shade(Ramp::kBloom, 7));
  c.Set(5, 3, Shade(Ramp::kBloom, 5));
  return Finish(c, 6, 4, kPlant, 0);
}

Drawn Mushroom(std::uint64_t seed) {
  Canvas c(8, 8);
  c.FillRect(3, 4, 5, 8, Shade(Ramp::kBone, 6));
  c.ShadeEllipse(4, 3.5, 3.8, 2.8, Ramp::kRoof, 2, 7, seed);
  c.Set(3, 2, kWhiteFlowerIndex);
  c.Set(5, 3, kWhiteFlowerIndex);
  return Finish(c, 4, 7, kPlant, 0);
}

Drawn DeadTree(std::uint64_t) {
  Canvas c(40, 56);
  const std::uint8_t bark = Shade(Ramp::kBark, 2);
  c.ThickLine(20, 54, 20, 20, 5, Shade(Ramp::kBark, 3));
  c.ThickLine(20, 34, 8, 18, 3, bark);
  c.ThickLine(20, 28, 32, 12, 3, bark);
  c.ThickLine(20, 22, 17, 4, 2, bark);
  c.Line(8, 18, 3, 14, bark);
  c.Line(8, 18, 9, 9, bark);
  c.Line(32, 12, 37, 10, bark);
  c.Line(32, 12, 30, 4, bark);
  c.Line(26, 21, 34, 22, bark);
  c.Line(19, 40, 19, 50, Shade(Ramp::kBark, 5));
  return Finish(c, 20, 54, kPlant, 10);
}

Drawn Willow(std::uint64_t seed) {
  Canvas c(64, 64);
  Tree(c, 32, 36, 62, 8);
  c.Crown(32, 24, 28, 20, Ramp::kCactus, seed);
  SampleRandom random(seed);
  for (int x = 8; x < 57; x += 3) {
    const int top = 22 + random.Between(0, 8);
    c.Line(x, top, x + random.Between(-1, 1), top + 14 + random.Between(0, 12),
           Shade(Ramp::kCactus, random.Between(2, 6)));
  }
  return Finish(c, 32, 62, kPlant, 20);
}

Drawn Cactus(bool tall, std::uint64_t seed) {
  Canvas c(tall ? 24 : 16, tall ? 48 : 32);
  const double cx = c.width() / 2.0;
  const int foot = c.height() - 1;
  c.ShadeRect(static_cast<int>(cx) - 4, 5, static_cast<int>(cx) + 4, foot, Ramp::kCactus, 4);
  c.ShadeEllipse(cx, 5.5, 4, 4, Ramp::kCactus, 3, 6, seed);
  if (tall) {
    c.ShadeRect(2, 16, 7, 31, Ramp::kCactus, 4);
    c.ShadeEllipse(4.5, 16, 2.5, 2.5, Ramp::kCactus, 3, 6, seed);
    c.FillRect(2, 28, 10, 32, Shade(Ramp::kCactus, 3));
    c.ShadeRect(17, 22, 22, 35, Ramp::kCactus, 3);
    c.ShadeEllipse(19.5, 22, 2.5, 2.5, Ramp::kCactus, 3, 6, seed);
    c.FillRect(14, 32, 22, 36, Shade(Ramp::kCactus, 3));
  }
  for (int y = 6; y < foot; y += 3) {
    c.Set(static_cast<int>(cx), y, Shade(Ramp::kCactus, 2));
  }
  return Finish(c, c.width() / 2, foot, kPlant, c.width() / 3.0);
}

Drawn Palm(std::uint64_t seed) {
  Canvas c(48, 64);
  for (int i = 0; i <= 20; ++i) {
    const double t = i / 20.0;
    c.ShadeEllipse(26 - 6 * t * t, 62 - 44 * t, 2.8, 2.2, Ramp::kSandstone, 1, 5, seed + static_cast<std::uint64_t>(i));
  }
  SampleRandom random(seed);
  const double topX = 20;
  const double topY = 18;
  for (int frond = 0; frond < 7; ++frond) {
    const double angle = -2.9 + frond * 0.95 + random.Unit() * 0.2;
    const double length = 15 + random.Unit() * 5;
    double px = topX;
    double py = topY;
    for (int step = 1; step <= 8; ++step) {
      const double t = step / 8.0;
      const double nx = topX + std::cos(angle) * length * t;
      const double ny = topY + std::sin(angle) * length * t * 0.7 + 9 * t * t;
      c.ThickLine(px, py, nx, ny, 3.4 - 2.2 * t, Shade(Ramp::kLeaf, 5 - step / 3));
      px = nx;
      py = ny;
    }
  }
  c.ShadeEllipse(topX, topY + 1, 3, 2.5, Ramp::kBark, 2, 5, seed);
  return Finish(c, 26, 62, kPlant, 10);
}

Drawn DryBush(std::uint64_t seed) {
  Canvas c(16, 12);
  SampleRandom random(seed);
  for (int i = 0; i < 10; ++i) {
    c.Line(8, 11, random.Between(1, 14), random.Between(1, 7), Shade(Ramp::kStraw, random.Between(1, 4)));
  }
  return {{c.Image()}, 8, 11, kPlant};
}

Drawn Bones(std::uint64_t seed) {
  Canvas c(16, 8);
  c.ThickLine(2, 6, 10, 5, 1.6, Shade(Ramp::kBone, 6));
  c.ThickLine(4, 3, 9, 7, 1.6, Shade(Ramp::kBone, 5));
  c.ShadeEllipse(12, 4, 3, 2.6, Ramp::kBone, 3, 7, seed);
  c.Set(12, 4, Shade(Ramp::kStone, 0));
  return Finish(c, 8, 7, kThing, 0);
}

// A rock face: a tapering outline, lit from the left, with darker strata.
Drawn Cliff(int width, int height, double topShare, std::uint64_t seed) {
  Canvas c(width, height);
  const double topHalf = width * topShare / 2;
  SampleRandom random(seed);
  std::vector<Point> outline = {
      {1, height - 1.0}, {width / 2.0 - topHalf, 3}, {width / 2.0 + topHalf, 3}, {width - 1.0, height - 1.0}};
  c.FillPolygon(outline, Shade(Ramp::kSandstone, 4));
  for (int y = 0; y < height; ++y) {
    for (int x = 0; x < width; ++x) {
      if (c.At(x, y) == 0) {
        continue;
      }
      const double across = static_cast<double>(x) / width;
      int shade = across < 0.35 ? 6 : (across < 0.7 ? 4 : 2);
      if ((y + static_cast<int>(HashUnit(seed, x / 6, 0) * 3)) % 9 == 0) {
        shade -= 2;
      }
      if (y < 7 && topHalf > 8) {
        shade = 7;
      }
      c.Set(x, y, Shade(Ramp::kSandstone, shade + (HashUnit(seed + 1, x, y) < 0.15 ? -1 : 0)));
    }
  }
  return Finish(c, width / 2, height - 1, kStone, width / 2.4);
}

// The front of a house: walls, a door, windows and a roof above them.
struct HouseLook {
  int width;
  int height;
  int roofHeight;
  Ramp wall;
  Ramp roof;
  int floors;
  bool timber;
};

Drawn House(const HouseLook& look, std::uint64_t seed) {
  Canvas c(look.width, look.height);
  const int w = look.width;
  const int h = look.height;
  const int wallTop = look.roofHeight;
  c.ShadeRect(4, wallTop - 2, w - 4, h - 2, look.wall, 5);
  if (look.timber) {
    for (int x = 4; x < w - 4; x += 10) {
      c.FillRect(x, wallTop, x + 2, h - 2, Shade(Ramp::kBark, 2));
    }
    const int floorHeight = (h - 2 - wallTop) / look.floors;
    for (int floor = 1; floor < look.floors; ++floor) {
      c.FillRect(4, wallTop + floor * floorHeight, w - 4, wallTop + floor * floorHeight + 2, Shade(Ramp::kBark, 2));
    }
  }
  // Windows on every floor, the door in the middle of the ground floor.
  const int floorHeight = (h - 2 - wallTop) / look.floors;
  for (int floor = 0; floor < look.floors; ++floor) {
    const int top = wallTop + floor * floorHeight + 4;
    for (int x = 9; x + 8 < w - 6; x += 14) {
      if (floor == look.floors - 1 && std::abs(x + 4 - w / 2) < 8) {
        continue;
      }
      c.FillRect(x - 1, top - 1, x + 8, top + 8, Shade(Ramp::kWood, 1));
      c.FillRect(x, top, x + 7, top + 7, Shade(Ramp::kGlass, 3));
      c.FillRect(x, top, x + 3, top + 3, Shade(Ramp::kGlass, 6));
      c.FillRect(x + 3, top, x + 4, top + 7, Shade(Ramp::kWood, 2));
    }
  }
  c.FillRect(w / 2 - 6, h - 17, w / 2 + 6, h - 2, Shade(Ramp::kWood, 1));
  c.ShadeRect(w / 2 - 5, h - 16, w / 2 + 5, h - 2, Ramp::kWood, 4);
  c.Set(w / 2 + 3, h - 9, Shade(Ramp::kFlame, 6));
  // The roof reaches over the walls, tiles in rows, lit from the left.
  const std::vector<Point> roof = {{0, wallTop + 2.0}, {w * 0.16, 2}, {w * 0.84, 2}, {w - 0.0, wallTop + 2.0}};
  c.FillPolygon(roof, Shade(look.roof, 4));
  for (int y = 0; y < wallTop + 3; ++y) {
    for (int x = 0; x < w; ++x) {
      if (c.At(x, y) != Shade(look.roof, 4)) {
        continue;
      }
      const double across = static_cast<double>(x) / w;
      int shade = across < 0.3 ? 5 : (across > 0.75 ? 3 : 4);
      if ((y - 2) % 5 == 4) {
        shade -= 2;
      } else if ((x + ((y - 2) / 5) * 3) % 6 == 0) {
        shade -= 1;
      }
      if (y <= 3) {
        shade = 6;
      }
      c.Set(x, y, Shade(look.roof, shade + (HashUnit(seed, x, y) < 0.08 ? 1 : 0)));
    }
  }
  c.ShadeRect(static_cast<int>(w * 0.7), 0, static_cast<int>(w * 0.7) + 6, 8, Ramp::kStone, 4);
  return Finish(c, w / 2, h - 2, kBuilding, w / 2.2);
}

Drawn TownHall(std::uint64_t seed) {
  Drawn hall = House({96, 92, 40, Ramp::kStone, Ramp::kSlate, 2, false}, seed);
  Canvas c(96, 96);
  for (int y = 0; y < 92; ++y) {
    for (int x = 0; x < 96; ++x) {
      c.Set(x, y + 4, hall.frames[0].pixels[static_cast<std::size_t>(y) * 96 + static_cast<std::size_t>(x)]);
    }
  }
  // A clock tower over the middle of the roof.
  c.ShadeRect(38, 10, 58, 44, Ramp::kStone, 5);
  c.FillPolygon({{35, 12}, {48, 0}, {61, 12}}, Shade(Ramp::kSlate, 3));
  c.ShadeEllipse(48, 24, 6, 6, Ramp::kBone, 5, 7, seed);
  c.Line(48, 24, 48, 20, Shade(Ramp::kStone, 0));
  c.Line(48, 24, 51, 24, Shade(Ramp::kStone, 0));
  c.FillRect(44, 34, 52, 43, Shade(Ramp::kGlass, 2));
  return Finish(c, 48, 93, kBuilding, 40);
}

Drawn Tower() {
  Canvas c(48, 96);
  for (int y = 30; y < 94; ++y) {
    for (int x = 8; x < 40; ++x) {
      const double across = (x + 0.5 - 24) / 16;
      const int course = (y / 5) % 2;
      const bool joint = y % 5 == 0 || (x + course * 4) % 8 == 0;
      c.Set(x, y, Shade(Ramp::kStone, static_cast<int>(std::lround(4.5 - across * 2.5)) - (joint ? 1 : 0)));
    }
  }
  c.FillPolygon({{3, 34}, {24, 0}, {45, 34}}, Shade(Ramp::kRoof, 4));
  for (int y = 0; y < 35; ++y) {
    for (int x = 0; x < 48; ++x) {
      if (c.At(x, y) == Shade(Ramp::kRoof, 4)) {
        c.Set(x, y, Shade(Ramp::kRoof, (x < 20 ? 5 : (x > 30 ? 3 : 4)) - (y % 4 == 3 ? 1 : 0)));
      }
    }
  }
  c.FillRect(21, 46, 27, 56, Shade(Ramp::kGlass, 1));
  c.FillRect(21, 66, 27, 76, Shade(Ramp::kGlass, 1));
  c.FillRect(19, 80, 29, 94, Shade(Ramp::kWood, 2));
  c.Set(22, 47, Shade(Ramp::kFlame, 6));
  return Finish(c, 24, 94, kBuilding, 18);
}

Drawn Stall(std::uint64_t seed) {
  Canvas c(40, 32);
  c.FillRect(4, 10, 6, 31, Shade(Ramp::kWood, 2));
  c.FillRect(34, 10, 36, 31, Shade(Ramp::kWood, 2));
  c.ShadeRect(3, 20, 37, 30, Ramp::kWood, 4);
  SampleRandom random(seed);
  for (int x = 6; x < 34; x += 3) {
    c.ShadeEllipse(x + 1, 19, 1.6, 1.6, random.Chance(0.5) ? Ramp::kFlame : Ramp::kLeaf, 3, 6,
                   seed + static_cast<std::uint64_t>(x));
  }
  for (int x = 1; x < 39; ++x) {
    for (int y = 2; y < 11; ++y) {
      c.Set(x, y, (x / 5) % 2 == 0 ? Shade(Ramp::kRoof, 5 - y / 4) : Shade(Ramp::kPlaster, 7 - y / 4));
    }
    if ((x / 5) % 2 == 0) {
      c.Set(x, 11, Shade(Ramp::kRoof, 3));
    }
  }
  return Finish(c, 20, 30, kBuilding, 16);
}

Drawn Well() {
  Canvas c(24, 28);
  c.FillRect(3, 8, 5, 20, Shade(Ramp::kWood, 2));
  c.FillRect(19, 8, 21, 20, Shade(Ramp::kWood, 2));
  c.FillPolygon({{1, 9}, {12, 1}, {23, 9}}, Shade(Ramp::kRoof, 4));
  c.Line(5, 11, 19, 11, Shade(Ramp::kWood, 3));
  c.Line(12, 11, 12, 17, Shade(Ramp::kStone, 3));
  c.ShadeRect(2, 18, 22, 27, Ramp::kStone, 4);
  c.FillEllipse(12, 18, 9, 2.6, Shade(Ramp::kStone, 5));
  c.FillEllipse(12, 18, 7, 1.8, Shade(Ramp::kGlass, 1));
  return Finish(c, 12, 27, kBuilding, 10);
}

Drawn Fence(bool across) {
  Canvas c(across ? 32 : 8, across ? 16 : 32);
  if (across) {
    c.FillRect(0, 5, 32, 7, Shade(Ramp::kWood, 5));
    c.FillRect(0, 10, 32, 12, Shade(Ramp::kWood, 4));
    for (int x = 1; x < 32; x += 10) {
      c.ShadeRect(x, 2, x + 3, 15, Ramp::kWood, 4);
    }
  } else {
    c.FillRect(3, 0, 5, 31, Shade(Ramp::kWood, 5));
    for (int y = 4; y < 32; y += 10) {
      c.ShadeRect(2, y - 4, 6, y + 2, Ramp::kWood, 4);
    }
  }
  return Finish(c, c.width() / 2, c.height() - 1, kThing, 0);
}

Drawn Signpost() {
  Canvas c(16, 24);
  c.ShadeRect(7, 4, 10, 23, Ramp::kWood, 3);
  c.FillPolygon({{1, 4}, {12, 4}, {15, 7}, {12, 10}, {1, 10}}, Shade(Ramp::kWood, 5));
  c.Line(3, 7, 10, 7, Shade(Ramp::kWood, 2));
  return Finish(c, 8, 23, kThing, 4);
}

Drawn Lamp() {
  Drawn lit;
  for (int frame = 0; frame < 2; ++frame) {
    Canvas c(8, 32);
    c.FillRect(3, 8, 5, 31, Shade(Ramp::kSlate, 2));
    c.FillRect(2, 29, 6, 31, Shade(Ramp::kSlate, 3));
    c.FillRect(1, 1, 7, 8, Shade(Ramp::kSlate, 1));
    c.FillRect(2, 2, 6, 7, frame == 0 ? Shade(Ramp::kFlame, 7) : Shade(Ramp::kGlass, 2));
    if (frame == 0) {
      c.FillRect(3, 3, 5, 6, kWhiteIndex);
    }
    lit.frames.push_back(c.Image());
  }
  lit.frames.push_back(IndexedImage{8, 32, std::vector<std::uint8_t>(8 * 32, 0)});
  lit.footX = 4;
  lit.footY = 31;
  lit.kind = kThing;
  return lit;
}

Drawn Barrel(std::uint64_t seed) {
  Canvas c(12, 14);
  c.ShadeEllipse(6, 7, 5.5, 6.8, Ramp::kWood, 1, 6, seed);
  c.FillRect(1, 3, 11, 4, Shade(Ramp::kStone, 2));
  c.FillRect(1, 10, 11, 11, Shade(Ramp::kStone, 2));
  return Finish(c, 6, 13, kThing, 0);
}

Drawn Crate() {
  Canvas c(14, 14);
  c.ShadeRect(0, 0, 14, 14, Ramp::kWood, 5);
  c.Line(1, 1, 12, 12, Shade(Ramp::kWood, 3));
  c.Line(12, 1, 1, 12, Shade(Ramp::kWood, 3));
  return Finish(c, 7, 13, kThing, 0);
}

Drawn Haystack(std::uint64_t seed) {
  Canvas c(24, 20);
  c.ShadeEllipse(12, 12, 11, 9, Ramp::kStraw, 1, 7, seed);
  SampleRandom random(seed);
  for (int i = 0; i < 8; ++i) {
    const int x = random.Between(4, 19);
    const int y = random.Between(6, 16);
    c.Line(x, y, x + random.Between(-2, 2), y + 2, Shade(Ramp::kStraw, 2));
  }
  return Finish(c, 12, 19, kThing, 9);
}

// Bridge decks are laid in 16-pixel steps along a road, so their sides carry no outline.
Drawn Bridge(bool across) {
  const int w = across ? 16 : 48;
  const int h = across ? 48 : 16;
  Canvas c(w, h);
  for (int y = 0; y < h; ++y) {
    for (int x = 0; x < w; ++x) {
      const int along = across ? x : y;
      const int side = across ? y : x;
      int shade = along % 4 == 3 ? 2 : 5 - (side > 40 ? 1 : 0);
      if (side < 4 || side >= 44) {
        shade = along % 8 < 2 ? 2 : 4;  // rails and their posts
      } else if (side < 6 || side >= 42) {
        shade = 1;
      }
      c.Set(x, y, Shade(side < 4 || side >= 44 ? Ramp::kBark : Ramp::kWood, shade));
    }
  }
  return {{c.Image()}, w / 2, h - 1, kThing};
}

Drawn Boat() {
  Drawn boat;
  for (int frame = 0; frame < 2; ++frame) {
    Canvas c(32, 16);
    const double dip = frame;
    c.FillPolygon({{1, 5 + dip}, {31, 5 - dip}, {26, 14}, {6, 14}}, Shade(Ramp::kWood, 3));
    c.FillPolygon({{4, 6 + dip}, {28, 6 - dip}, {25, 11}, {7, 11}}, Shade(Ramp::kWood, 1));
    c.FillRect(8, 8, 24, 9, Shade(Ramp::kWood, 5));
    c.Line(11, 9, 3, 14, Shade(Ramp::kWood, 6));
    c.Line(21, 9, 29, 14, Shade(Ramp::kWood, 6));
    c.Outline();
    boat.frames.push_back(c.Image());
  }
  boat.footX = 16;
  boat.footY = 12;
  boat.kind = kThing;
  return boat;
}

Drawn Bird() {
  Drawn bird;
  const std::uint8_t ink = Shade(Ramp::kStone, 1);
  for (int frame = 0; frame < 2; ++frame) {
    Canvas c(8, 8);
    const int wing = frame == 0 ? 1 : 4;
    c.Line(0, wing, 3, 4, ink);
    c.Line(7, wing, 4, 4, ink);
    c.Set(3, 5, ink);
    c.Set(4, 5, ink);
    bird.frames.push_back(c.Image());
  }
  bird.footX = 4;
  bird.footY = 7;
  bird.kind = kCreature;
  return bird;
}

Drawn Tent() {
  Canvas c(40, 32);
  c.FillPolygon({{1, 30}, {20, 2}, {39, 30}}, Shade(Ramp::kPlaster, 5));
  for (int y = 0; y < 32; ++y) {
    for (int x = 20; x < 40; ++x) {
      if (c.At(x, y) != 0) {
        c.Set(x, y, Shade(Ramp::kPlaster, 3));
      }
    }
  }
  for (int x = 2; x < 39; x += 6) {
    c.Line(20, 3, x, 29, Shade(Ramp::kBloom, 3));
  }
  c.FillPolygon({{14, 30}, {20, 14}, {26, 30}}, Shade(Ramp::kBark, 0));
  c.Line(20, 2, 20, 0, Shade(Ramp::kWood, 2));
  return Finish(c, 20, 30, kBuilding, 18);
}

Drawn StiltHut(std::uint64_t seed) {
  Drawn hut = House({48, 40, 18, Ramp::kWood, Ramp::kStraw, 1, true}, seed);
  Canvas c(48, 56);
  for (int y = 0; y < 40; ++y) {
    for (int x = 0; x < 48; ++x) {
      c.Set(x, y, hut.frames[0].pixels[static_cast<std::size_t>(y) * 48 + static_cast<std::size_t>(x)]);
    }
  }
  for (const int x : {7, 18, 29, 40}) {
    c.ShadeRect(x, 38, x + 3, 55, Ramp::kBark, 3);
  }
  c.Line(8, 44, 42, 50, Shade(Ramp::kBark, 2));
  c.FillRect(20, 38, 28, 55, Shade(Ramp::kWood, 4));
  for (int y = 40; y < 55; y += 3) {
    c.FillRect(20, y, 28, y + 1, Shade(Ramp::kWood, 2));
  }
  return Finish(c, 24, 55, kBuilding, 0);
}

Drawn Wisp() {
  Drawn wisp;
  for (int frame = 0; frame < 2; ++frame) {
    Canvas c(8, 8);
    c.FillEllipse(4, 4, frame == 0 ? 3.5 : 2.5, frame == 0 ? 3.5 : 2.5, Shade(Ramp::kGlass, 7));
    c.FillEllipse(4, 4, 1.5, 1.5, kWhiteIndex);
    wisp.frames.push_back(c.Image());
  }
  wisp.frames.push_back(IndexedImage{8, 8, std::vector<std::uint8_t>(64, 0)});
  wisp.footX = 4;
  wisp.footY = 7;
  wisp.kind = kCreature;
  return wisp;
}

Drawn Tombstone(std::uint64_t seed) {
  Canvas c(12, 16);
  c.ShadeRect(1, 5, 11, 16, Ramp::kStone, 4);
  c.ShadeEllipse(6, 5.5, 5, 4.5, Ramp::kStone, 3, 6, seed);
  c.Line(6, 4, 6, 11, Shade(Ramp::kStone, 1));
  c.Line(4, 6, 8, 6, Shade(Ramp::kStone, 1));
  return Finish(c, 6, 15, kStone, 0);
}

Drawn Fountain(std::uint64_t seed) {
  Canvas c(48, 40);
  c.ShadeRect(2, 22, 46, 37, Ramp::kStone, 4);
  c.FillEllipse(24, 23, 22, 7, Shade(Ramp::kStone, 6));
  c.FillEllipse(24, 23, 19, 5.5, Shade(Ramp::kGlass, 3));
  c.FillEllipse(20, 22, 8, 2, Shade(Ramp::kGlass, 5));
  c.ShadeRect(21, 8, 27, 24, Ramp::kStone, 5);
  c.ShadeEllipse(24, 8, 6, 3, Ramp::kStone, 3, 7, seed);
  for (int side = -1; side <= 1; side += 2) {
    c.Line(24, 4, 24 + side * 8, 10, Shade(Ramp::kGlass, 7));
    c.Line(24 + side * 8, 10, 24 + side * 11, 20, Shade(Ramp::kGlass, 6));
  }
  c.Line(24, 0, 24, 5, Shade(Ramp::kGlass, 7));
  return Finish(c, 24, 37, kBuilding, 22);
}

Drawn Cart(std::uint64_t seed) {
  Canvas c(32, 24);
  c.ShadeRect(3, 5, 29, 15, Ramp::kWood, 4);
  c.ShadeEllipse(15, 5, 10, 4, Ramp::kStraw, 3, 7, seed);
  c.ThickLine(28, 13, 32, 15, 2, Shade(Ramp::kWood, 3));
  for (const double x : {8.0, 24.0}) {
    c.ShadeEllipse(x, 17, 5, 5, Ramp::kBark, 2, 4, seed);
    c.FillEllipse(x, 17, 1.5, 1.5, Shade(Ramp::kStone, 5));
  }
  return Finish(c, 16, 22, kThing, 12);
}

Drawn Pillar(std::uint64_t seed) {
  Canvas c(16, 40);
  c.ShadeRect(1, 33, 15, 39, Ramp::kSandstone, 5);
  c.ShadeRect(3, 8, 13, 33, Ramp::kSandstone, 5);
  for (int x = 5; x < 13; x += 3) {
    c.Line(x, 9, x, 32, Shade(Ramp::kSandstone, 3));
  }
  for (int x = 3; x < 13; ++x) {
    const int broken = 4 + static_cast<int>(HashUnit(seed, x, 0) * 6);
    c.FillRect(x, 0, x + 1, broken, 0);
  }
  return Finish(c, 8, 39, kStone, 6);
}

Drawn Sheep(std::uint64_t seed) {
  Canvas c(16, 12);
  c.FillRect(4, 8, 5, 12, Shade(Ramp::kStone, 1));
  c.FillRect(10, 8, 11, 12, Shade(Ramp::kStone, 1));
  c.Crown(7.5, 6, 6.5, 4.5, Ramp::kBone, seed);
  c.ShadeEllipse(13.5, 5, 2.5, 2.2, Ramp::kStone, 0, 2, seed);
  return Finish(c, 8, 11, kCreature, 0);
}

Drawn DrawProp(Prop prop, std::uint64_t seed) {
  switch (prop) {
    case Prop::kOak:
      return Oak(seed);
    case Prop::kBigOak:
      return BigOak(seed);
    case Prop::kPine:
      return Pine(32, 56, 3, seed);
    case Prop::kTallPine:
      return Pine(40, 80, 4, seed);
    case Prop::kBirch:
      return Birch(seed);
    case Prop::kBush:
      return Bush(false, seed);
    case Prop::kBerryBush:
      return Bush(true, seed);
    case Prop::kRedFlowers:
      return Flowers(kRedIndex, seed);
    case Prop::kYellowFlowers:
      return Flowers(kYellowIndex, seed);
    case Prop::kBlueFlowers:
      return Flowers(kBlueIndex, seed);
    case Prop::kSmallRock:
      return Rocks(12, 8, 1, seed);
    case Prop::kBigRock:
      return Rocks(32, 24, 1, seed);
    case Prop::kBoulders:
      return Rocks(48, 32, 3, seed);
    case Prop::kStump:
      return Stump(seed);
    case Prop::kLog:
      return Log(seed);
    case Prop::kReeds:
      return Reeds(seed);
    case Prop::kLilyPad:
      return LilyPad(seed);
    case Prop::kMushroom:
      return Mushroom(seed);
    case Prop::kDeadTree:
      return DeadTree(seed);
    case Prop::kWillow:
      return Willow(seed);
    case Prop::kCactus:
      return Cactus(false, seed);
    case Prop::kTallCactus:
      return Cactus(true, seed);
    case Prop::kPalm:
      return Palm(seed);
    case Prop::kDryBush:
      return DryBush(seed);
    case Prop::kBones:
      return Bones(seed);
    case Prop::kRockSpire:
      return Cliff(32, 64, 0.25, seed);
    case Prop::kMesa:
      return Cliff(96, 64, 0.7, seed);
    case Prop::kCottage:
      return House({64, 64, 30, Ramp::kPlaster, Ramp::kRoof, 1, false}, seed);
    case Prop::kFarmhouse:
      return House({80, 72, 34, Ramp::kWood, Ramp::kStraw, 1, true}, seed);
    case Prop::kTownHouse:
      return House({48, 80, 30, Ramp::kPlaster, Ramp::kSlate, 2, true}, seed);
    case Prop::kTownHall:
      return TownHall(seed);
    case Prop::kTower:
      return Tower();
    case Prop::kStall:
      return Stall(seed);
    case Prop::kWell:
      return Well();
    case Prop::kFenceAcross:
      return Fence(true);
    case Prop::kFenceDown:
      return Fence(false);
    case Prop::kSignpost:
      return Signpost();
    case Prop::kLamp:
      return Lamp();
    case Prop::kBarrel:
      return Barrel(seed);
    case Prop::kCrate:
      return Crate();
    case Prop::kHaystack:
      return Haystack(seed);
    case Prop::kBridgeAcross:
      return Bridge(true);
    case Prop::kBridgeDown:
      return Bridge(false);
    case Prop::kBoat:
      return Boat();
    case Prop::kBird:
      return Bird();
    case Prop::kTent:
      return Tent();
    case Prop::kStiltHut:
      return StiltHut(seed);
    case Prop::kWisp:
      return Wisp();
    case Prop::kTombstone:
      return Tombstone(seed);
    case Prop::kFountain:
      return Fountain(seed);
    case Prop::kCart:
      return Cart(seed);
    case Prop::kPillar:
      return Pillar(seed);
    case Prop::kSheep:
      return Sheep(seed);
  }
  return {};
}

// Half size, every other pixel: the small picture kept in a CBMP chunk.
IndexedImage Thumbnail(const IndexedImage& image) {
  IndexedImage small{image.width / 2, image.height / 2, {}};
  for (std::uint32_t y = 0; y < small.height; ++y) {
    for (std::uint32_t x = 0; x < small.width; ++x) {
      small.pixels.push_back(image.pixels[static_cast<std::size_t>(y * 2) * image.width + x * 2]);
    }
  }
  return small;
}

constexpr std::uint64_t kObjectSeed = 0x0B1EC7u;
constexpr int kBitmapRun = 4;
constexpr std::uint16_t kFirstBitmapNumber = 500;
constexpr std::uint16_t kFirstObjectNumber = 100;
// A step through the object numbers that is coprime with their range, so every prop gets its
// own number and the numbers come out of order.
constexpr int kObjectNumberStep = 29;
constexpr int kObjectNumberRange = 97;

}  // namespace

std::uint16_t ObjectIdOf(Prop prop) {
  return static_cast<std::uint16_t>(kFirstObjectNumber +
                                    (static_cast<int>(prop) * kObjectNumberStep) % kObjectNumberRange);
}

std::vector<SampleObject> MakeSampleObjects() {
  static_assert(kPropCount <= kObjectNumberRange);
  std::vector<SampleObject> objects;
  const int runs = (kPropCount + kBitmapRun - 1) / kBitmapRun;
  for (int index = 0; index < kPropCount; ++index) {
    const Prop prop = static_cast<Prop>(index);
    Drawn drawn = DrawProp(prop, kObjectSeed + static_cast<std::uint64_t>(index) * 7919u);
    SampleObject object;
    object.objectId = ObjectIdOf(prop);
    object.bitmapId = static_cast<std::uint16_t>(kFirstBitmapNumber + (runs - 1 - index / kBitmapRun) * kBitmapRun +
                                                 index % kBitmapRun);
    object.hotspotX = static_cast<std::uint16_t>(drawn.footX);
    object.hotspotY = static_cast<std::uint16_t>(drawn.footY);
    object.kind = drawn.kind;
    // Mostly row segments, as sprites with much transparency are best kept; every third PLNR,
    // every fifth PLAN. Further frames are PLAN, and an all-empty last frame is stored blank.
    const FrameEncoding first = index % 3 == 1   ? FrameEncoding::kPlnr
                                : index % 5 == 4 ? FrameEncoding::kPlan
                                                 : FrameEncoding::kNrml;
    for (std::size_t frame = 0; frame < drawn.frames.size(); ++frame) {
      const IndexedImage& image = drawn.frames[frame];
      const bool empty = std::all_of(image.pixels.begin(), image.pixels.end(), [](std::uint8_t p) { return p == 0; });
      const FrameEncoding encoding = frame == 0                                    ? first
                                     : (empty && frame + 1 == drawn.frames.size()) ? FrameEncoding::kBlank
                                                                                   : FrameEncoding::kPlan;
      object.frames.push_back({image, encoding});
    }
    if (index % 6 == 0 && drawn.frames[0].width >= 16) {
      object.thumbnail.push_back(
          {Thumbnail(drawn.frames[0]), index % 12 == 0 ? FrameEncoding::kPlnr : FrameEncoding::kNrml});
    }
    objects.push_back(std::move(object));
  }
  return objects;
}

}  // namespace karst::authoring
