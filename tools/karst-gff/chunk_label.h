// How karst-gff names a chunk to its users: the tag without its trailing blanks and the
// number, "BMP 7", "TILE 12".
#pragma once

#include <cstdint>
#include <string>

#include "gff/format.h"

namespace karst::tools {

inline std::string ChunkLabel(const Tag& tag, std::uint32_t number) {
  std::string text = TagText(tag);
  while (!text.empty() && text.back() == ' ') {
    text.pop_back();
  }
  return text + " " + std::to_string(number);
}

}  // namespace karst::tools
