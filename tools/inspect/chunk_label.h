// How karst-gff names a chunk to its users: the tag without its trailing blanks and the
// number, "BMP 7", "TILE 12"; and a problem's place that is such a chunk.
#pragma once

#include <cstdint>
#include <string>
#include <utility>

#include "gff/format.h"
#include "tools/job/job_problem.h"

namespace karst::tools {

inline std::string ChunkLabel(const Tag& tag, std::uint32_t number) {
  return TagName(tag) + " " + std::to_string(number);
}

inline ProblemPlace ChunkPlace(std::string chunk) {
  ProblemPlace place;
  place.chunk = std::move(chunk);
  return place;
}

}  // namespace karst::tools
