#include "workbench/model/screen_colours.h"

#include <cstddef>

namespace karst::workbench {

std::array<Argb, 256> ArgbColours(const tools::PngPalette& palette) {
  std::array<Argb, 256> colours{};
  for (std::size_t index = 0; index < colours.size(); ++index) {
    colours[index] = OpaqueArgb(palette[index * 3], palette[index * 3 + 1], palette[index * 3 + 2]);
  }
  return colours;
}

}  // namespace karst::workbench
