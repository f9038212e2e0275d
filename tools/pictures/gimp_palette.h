// GIMP palette files (.gpl): a palette of 256 colours written for paint programs, and read back
// as a person may have edited it.
//
//   GIMP Palette
//   Name: <name>
//   Columns: 16
//   #
//   <red> <green> <blue>\tIndex <i>      one line a colour, each component 0-255
#pragma once

#include <optional>
#include <span>
#include <string>

#include "tools/pictures/png_file.h"

namespace karst::tools {

// The 256 colours of `palette` as a GIMP palette named `name` (UTF-8 text, as every file we write
// is; a line end in it becomes a blank).
std::string GimpPaletteText(const PngPalette& palette, const std::string& name);

// The colours of `text`; nothing, with the reason (line and what is wrong) in `error`, when a line
// is no colour or the file does not hold exactly 256 of them. Comments, the name and the columns
// are passed over, and lines may end in CR LF.
std::optional<PngPalette> ParseGimpPalette(std::span<const std::uint8_t> text, std::string& error);

}  // namespace karst::tools
