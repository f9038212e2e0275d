// How karst-gff names a chunk to its users: the tag without its trailing blanks and the
// number, "BMP 7", "TILE 12".
#pragma once

#include <cstdint>
#include <string>

#include "gff/format.h"

namespace karst::tools {

inline std::string ChunkLabel(const Tag& tag, std::uint32_t number) {
  return TagName(tag) + " " + std::to_string(number);
}

}  // namespace karst::tools
