// The palette layout that every region of the sample world shares.
//
// All regions draw the same object library, whose bitmaps hold palette indices, while each
// region brings its own palette. So the indices are split: the low half holds the object
// colours, which every region defines alike (only slightly tinted to its light), and the high
// half holds the region's own terrain ramps.
//
//   index      content
//   0          black; transparent in object bitmaps
//   1-120      15 object ramps of 8 shades each, darkest first (bark, leaf, pine, ...)
//   121        shadow, near black, drawn dithered under objects
//   122-126    pure flower colours: red, yellow, blue, white, violet
//   127        white, for the region's name
//   128-255    8 terrain ramps of 16 shades each, darkest first, chosen by each region
#pragma once

#include <algorithm>
#include <cstdint>
#include <vector>

namespace karst::authoring {

// A colour in the palette's 6-bit components, 0 to 63 each.
struct Rgb6 {
  std::uint8_t r = 0;
  std::uint8_t g = 0;
  std::uint8_t b = 0;
};

enum class Ramp : std::uint8_t {
  kBark,
  kLeaf,
  kPine,
  kStone,
  kRoof,
  kWood,
  kPlaster,
  kStraw,
  kGlass,
  kSlate,
  kCactus,
  kBloom,
  kSandstone,
  kFlame,
  kBone,
};
inline constexpr int kRampCount = 15;
inline constexpr int kRampShades = 8;

// Shade 0 is the darkest, 7 the lightest; values outside are clamped.
constexpr std::uint8_t Shade(Ramp ramp, int shade) {
  return static_cast<std::uint8_t>(1 + kRampShades * static_cast<int>(ramp) + std::clamp(shade, 0, kRampShades - 1));
}

inline constexpr std::uint8_t kTransparentIndex = 0;
inline constexpr std::uint8_t kShadowIndex = 121;
inline constexpr std::uint8_t kRedIndex = 122;
inline constexpr std::uint8_t kYellowIndex = 123;
inline constexpr std::uint8_t kBlueIndex = 124;
inline constexpr std::uint8_t kWhiteFlowerIndex = 125;
inline constexpr std::uint8_t kVioletIndex = 126;
inline constexpr std::uint8_t kWhiteIndex = 127;

inline constexpr int kTerrainRampBase = 128;
inline constexpr int kTerrainShades = 16;
inline constexpr int kTerrainSlots = 8;

constexpr std::uint8_t TerrainIndex(int slot, int shade) {
  return static_cast<std::uint8_t>(kTerrainRampBase + kTerrainShades * slot + std::clamp(shade, 0, kTerrainShades - 1));
}

// A ramp from `dark` through `mid` to `light`.
struct RampColours {
  Rgb6 dark;
  Rgb6 mid;
  Rgb6 light;
};

// Percentages by which a region's light scales the object colours, per component.
struct Tint {
  int r = 100;
  int g = 100;
  int b = 100;
};

// The 768 palette bytes of a region: the shared object colours under `tint`, and one terrain
// ramp per slot (at most kTerrainSlots; unused slots stay black).
std::vector<std::uint8_t> BuildPalette(const std::vector<RampColours>& terrainRamps, Tint tint);

}  // namespace karst::authoring
