// The colours a region file gives the screen, read for the tools that hand them out: the palette
// swatches of `karst-gff palette` and the coloured frames of `karst-render frames --palette`.
//
// The region is read by the viewer's own loader and its palette converted as the viewer converts
// it, all 256 entries, 255 included: the region's own colours, not those a viewer that showed
// another region first would keep in entry 255.
#pragma once

#include <optional>
#include <string>

#include "platform/ddraw.h"
#include "tools/pictures/png_file.h"

namespace karst::tools {

struct RegionColours {
  PngPalette palette{};
  // The region's name as UTF-8 text; the file's name when the region has none or an empty one.
  std::string name;
};

// A display palette's entries as PNG colours, in index order.
PngPalette PngPaletteOf(const platform::PaletteTable& entries);

// The region's converted colours. Nothing, with the reason in `error`, when the file cannot be
// read, is no container, has no "PAL " chunk of at least 768 bytes, or its palette chunk could
// not be read whole (the colours would be zeros the file never held).
std::optional<RegionColours> ReadRegionColours(const std::string& path, std::string& error);

}  // namespace karst::tools
