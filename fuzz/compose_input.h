// How fuzz_compose reads its input: a view origin, a region file and an object library file in
// one run of bytes.
//
//   bytes      width   content
//   0-1        s16     x of the view origin, given to ScrollBy (clamped there)
//   2-3        s16     y of the view origin
//   4-7        u32     R, the length of the region file
//   8 .. 7+R   R       the region file; cut short where the input ends
//   8+R ..     -       the object library file, whatever is left
//
// Missing header bytes read as 0, so every input splits.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>

#include "gff/byte_reader.h"

namespace karst::fuzzing {

inline constexpr std::size_t kComposeHeaderBytes = 8;

struct ComposeInput {
  std::int16_t viewX;
  std::int16_t viewY;
  std::span<const std::uint8_t> region;
  std::span<const std::uint8_t> library;
};

inline ComposeInput SplitComposeInput(std::span<const std::uint8_t> input) {
  ByteReader reader(input);
  ComposeInput parts{};
  parts.viewX = static_cast<std::int16_t>(reader.u16le());
  parts.viewY = static_cast<std::int16_t>(reader.u16le());
  const std::uint32_t regionSize = reader.u32le();
  parts.region = reader.take(regionSize);
  parts.library = reader.take(reader.remaining());
  return parts;
}

}  // namespace karst::fuzzing
