#include "authoring/sample_palette.h"

#include <array>

#include "gff/format.h"

namespace karst::authoring {
namespace {

constexpr std::array<RampColours, kRampCount> kObjectRamps = {{
    {{10, 6, 3}, {24, 15, 8}, {42, 30, 17}},     // bark
    {{4, 12, 3}, {14, 32, 8}, {38, 54, 18}},     // leaf
    {{2, 9, 6}, {8, 24, 14}, {24, 42, 24}},      // pine
    {{10, 10, 12}, {29, 29, 31}, {54, 54, 54}},  // stone
    {{16, 4, 3}, {42, 14, 8}, {60, 34, 22}},     // roof
    {{14, 9, 4}, {34, 23, 12}, {54, 42, 26}},    // wood
    {{26, 22, 16}, {48, 44, 36}, {63, 61, 55}},  // plaster
    {{22, 16, 4}, {46, 38, 12}, {63, 57, 30}},   // straw
    {{4, 10, 22}, {12, 28, 46}, {42, 54, 63}},   // glass
    {{8, 10, 16}, {20, 24, 34}, {42, 46, 56}},   // slate
    {{6, 14, 6}, {20, 36, 14}, {42, 56, 28}},    // cactus
    {{24, 6, 20}, {50, 18, 42}, {63, 46, 61}},   // bloom
    {{24, 14, 6}, {46, 32, 16}, {61, 51, 35}},   // sandstone
    {{32, 8, 0}, {60, 36, 4}, {63, 62, 42}},     // flame
    {{30, 30, 28}, {48, 48, 46}, {63, 63, 62}},  // bone
}};

std::uint8_t Lerp(std::uint8_t a, std::uint8_t b, double t) {
  return static_cast<std::uint8_t>(static_cast<double>(a) + (static_cast<double>(b) - a) * t + 0.5);
}

Rgb6 RampColour(const RampColours& ramp, int shade, int shades) {
  const double t = static_cast<double>(shade) / (shades - 1);
  const Rgb6& from = t < 0.5 ? ramp.dark : ramp.mid;
  const Rgb6& to = t < 0.5 ? ramp.mid : ramp.light;
  const double local = t < 0.5 ? t * 2.0 : (t - 0.5) * 2.0;
  return {Lerp(from.r, to.r, local), Lerp(from.g, to.g, local), Lerp(from.b, to.b, local)};
}

std::uint8_t Scaled(std::uint8_t value, int percent) {
  return static_cast<std::uint8_t>(std::min(63, (value * percent + 50) / 100));
}

void Put(std::vector<std::uint8_t>& palette, int index, Rgb6 colour) {
  palette[static_cast<std::size_t>(index) * 3] = colour.r;
  palette[static_cast<std::size_t>(index) * 3 + 1] = colour.g;
  palette[static_cast<std::size_t>(index) * 3 + 2] = colour.b;
}

}  // namespace

std::vector<std::uint8_t> BuildPalette(const std::vector<RampColours>& terrainRamps, Tint tint) {
  std::vector<std::uint8_t> palette(kPaletteBytes, 0);
  for (int ramp = 0; ramp < kRampCount; ++ramp) {
    for (int shade = 0; shade < kRampShades; ++shade) {
      const Rgb6 colour = RampColour(kObjectRamps[static_cast<std::size_t>(ramp)], shade, kRampShades);
      Put(palette, Shade(static_cast<Ramp>(ramp), shade),
          {Scaled(colour.r, tint.r), Scaled(colour.g, tint.g), Scaled(colour.b, tint.b)});
    }
  }
  Put(palette, kShadowIndex, {3, 4, 5});
  Put(palette, kRedIndex, {58, 8, 8});
  Put(palette, kYellowIndex, {63, 56, 10});
  Put(palette, kBlueIndex, {22, 30, 63});
  Put(palette, kWhiteFlowerIndex, {60, 60, 58});
  Put(palette, kVioletIndex, {42, 16, 56});
  Put(palette, kWhiteIndex, {63, 63, 63});
  for (std::size_t slot = 0; slot < terrainRamps.size() && slot < kTerrainSlots; ++slot) {
    for (int shade = 0; shade < kTerrainShades; ++shade) {
      Put(palette, TerrainIndex(static_cast<int>(slot), shade), RampColour(terrainRamps[slot], shade, kTerrainShades));
    }
  }
  return palette;
}

}  // namespace karst::authoring
