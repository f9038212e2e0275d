#include "workbench/model/view_picture.h"

#include <cstddef>
#include <vector>

#include "tools/files/output_checks.h"
#include "tools/pictures/png_file.h"

namespace karst::workbench {

std::string WriteViewPicture(const std::string& path, std::span<const Argb> pixels, std::int32_t width,
                             std::int32_t height) {
  if (width <= 0 || height <= 0 ||
      pixels.size() != static_cast<std::size_t>(width) * static_cast<std::size_t>(height)) {
    return path + ": no picture to write";
  }
  // The tools' rules for any output: never a game file, a container or a device, never a
  // picture under another format's extension.
  for (const std::string& refusal : {tools::RefuseOutput(path, tools::InputFiles({})), tools::RefuseNonPngName(path)}) {
    if (!refusal.empty()) {
      return path + ": " + refusal;
    }
  }
  std::vector<std::uint8_t> rgb(pixels.size() * 3);
  for (std::size_t i = 0; i < pixels.size(); ++i) {
    rgb[3 * i] = static_cast<std::uint8_t>(pixels[i] >> 16);
    rgb[3 * i + 1] = static_cast<std::uint8_t>(pixels[i] >> 8);
    rgb[3 * i + 2] = static_cast<std::uint8_t>(pixels[i]);
  }
  const std::string problem =
      tools::WriteRgbPng(path, static_cast<std::uint32_t>(width), static_cast<std::uint32_t>(height), rgb);
  return problem.empty() ? problem : path + ": " + problem;
}

}  // namespace karst::workbench
