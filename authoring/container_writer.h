// Writes GFF containers: header, chunk directory, plain and indexed chunk type records with
// their "GFFI" index chunks, and payloads.
//
// Layout written (integers little-endian):
//   0   "GFFI", 8 zero bytes, u32 D = 16
//   16  directory: 4 zero bytes, u32 L, 2 zero bytes, then the records:
//       - when any type is indexed, first a plain "GFFI" record listing one index chunk per
//         indexed type (numbers 0, 1, ...);
//       - every type in the order given: plain (tag, u16 count, u16 flags, count x (number,
//         position, size)) or indexed (tag, u16 count, u16 0x8000, 4 zero bytes, u32 index
//         chunk number, u32 R, R x (first number, run length)), runs being the longest stretches
//         of consecutive numbers in the order given;
//   D+L payloads of every type in order, then the index chunks (4 zero bytes, then a position
//       and a size for every chunk in run order).
#pragma once

#include <cstdint>
#include <vector>

#include "gff/format.h"

namespace karst::authoring {

struct ChunkSpec {
  std::uint32_t number = 0;
  std::vector<std::uint8_t> payload;
};

struct ChunkTypeSpec {
  Tag tag{};
  std::vector<ChunkSpec> chunks;
  bool indexed = false;
  // Flags of a plain record; anything but 0x8000.
  std::uint16_t plainFlags = 0;
};

std::vector<std::uint8_t> WriteContainer(const std::vector<ChunkTypeSpec>& types);

}  // namespace karst::authoring
