// The colours the workbench puts on screen: 32-bit ARGB pixels (alpha in the top byte, blue in the
// bottom one), the layout of the window's streaming textures, made from a region's palette.
#pragma once

#include <array>
#include <cstdint>

#include "tools/pictures/png_file.h"

namespace karst::workbench {

using Argb = std::uint32_t;

constexpr Argb OpaqueArgb(std::uint8_t red, std::uint8_t green, std::uint8_t blue) {
  return 0xFF000000u | (static_cast<Argb>(red) << 16) | (static_cast<Argb>(green) << 8) | blue;
}

// Palette entry i as an opaque ARGB pixel, for every i.
std::array<Argb, 256> ArgbColours(const tools::PngPalette& palette);

}  // namespace karst::workbench
