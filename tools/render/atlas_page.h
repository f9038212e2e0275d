// The atlas page's own files (its HTML, script and style), carried inside the tools' library:
// they are made into byte arrays at build time from tools/render/atlas/.
#pragma once

#include <cstdint>
#include <span>
#include <string_view>

namespace karst::tools {

struct PageFile {
  std::string_view name;  // the file's name in the site's top folder
  std::span<const std::uint8_t> bytes;
};

std::span<const PageFile> AtlasPageFiles();

}  // namespace karst::tools
