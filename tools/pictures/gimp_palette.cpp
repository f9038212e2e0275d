#include "tools/pictures/gimp_palette.h"

#include <cstdint>
#include <cstdio>

namespace karst::tools {
namespace {

constexpr std::size_t kGimpColumns = 16;

}  // namespace

std::string GimpPaletteText(const PngPalette& palette, const std::string& name) {
  std::string text = "GIMP Palette\nName: ";
  for (const char c : name) {
    text.push_back(c == '\n' || c == '\r' ? ' ' : c);
  }
  text += "\nColumns: " + std::to_string(kGimpColumns) + "\n#\n";
  for (std::size_t i = 0; i < palette.size() / 3; ++i) {
    char line[48];
    std::snprintf(line, sizeof line, "%3u %3u %3u\tIndex %zu\n", palette[3 * i], palette[3 * i + 1], palette[3 * i + 2],
                  i);
    text += line;
  }
  return text;
}

std::optional<PngPalette> ParseGimpPalette(std::span<const std::uint8_t> bytes, std::string& error) {
  const std::string text(bytes.begin(), bytes.end());
  PngPalette palette{};
  std::size_t colours = 0;
  std::size_t lineNumber = 0;
  std::size_t start = 0;
  while (start < text.size()) {
    std::size_t end = text.find('\n', start);
    if (end == std::string::npos) {
      end = text.size();
    }
    std::string line = text.substr(start, end - start);
    start = end + 1;
    ++lineNumber;
    if (!line.empty() && line.back() == '\r') {
      line.pop_back();
    }
    if (lineNumber == 1) {
      if (line != "GIMP Palette") {
        error = "line 1 is not \"GIMP Palette\"";
        return std::nullopt;
      }
      continue;
    }
    const std::size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#' || line.starts_with("Name:") || line.starts_with("Columns:")) {
      continue;
    }
    unsigned red = 0;
    unsigned green = 0;
    unsigned blue = 0;
    if (std::sscanf(line.c_str(), "%u %u %u", &red, &green, &blue) != 3 || red > 255 || green > 255 || blue > 255) {
      error = "line " + std::to_string(lineNumber) + " is no colour (three numbers from 0 to 255)";
      return std::nullopt;
    }
    if (colours == 256) {
      error = "line " + std::to_string(lineNumber) + " is a 257th colour; the palette holds 256";
      return std::nullopt;
    }
    palette[3 * colours] = static_cast<std::uint8_t>(red);
    palette[3 * colours + 1] = static_cast<std::uint8_t>(green);
    palette[3 * colours + 2] = static_cast<std::uint8_t>(blue);
    ++colours;
  }
  if (colours != 256) {
    error = "holds " + std::to_string(colours) + " colours; the palette holds 256";
    return std::nullopt;
  }
  return palette;
}

}  // namespace karst::tools
