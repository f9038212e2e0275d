// The shared body of the one-encoding fuzz targets: the input is one frame's data, from its
// width on, handed straight to one encoding's decoder as DecodeFrame would hand it over once it
// has read the header. The decoded frame is then checked against what every frame promises.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_budget.h"
#include "gff/allocation_budget.h"
#include "gff/byte_reader.h"
#include "gff/format.h"
#include "gff/frame_set.h"

namespace karst::fuzzing {

using EncodingDecoder = void (*)(Frame&, std::span<const std::uint8_t>, std::size_t, AllocationBudget&,
                                 const LoadReport&);

// Pixels are exactly width x height or none; a planar frame draws only from its colour map or
// leaves the pixel at 0; an NRML frame has no colour map.
inline bool FrameKeepsItsPromises(const Frame& frame, const Tag& encoding) {
  const std::uint64_t area = std::uint64_t{frame.width} * frame.height;
  if (!SameTag(frame.encoding, encoding) ||
      (frame.HasPixels() && (frame.pixels.size() != area || area > kMaxFramePixels))) {
    return false;
  }
  if (SameTag(encoding, kTagNrml)) {
    return frame.colourMap.empty();
  }
  if (frame.colourMap.size() > 256) {
    return false;
  }
  // One table look-up per pixel and no branch: the check stays cheap beside the decoder.
  std::array<std::uint8_t, 256> forbidden;
  forbidden.fill(1);
  forbidden[0] = 0;
  for (const std::uint8_t entry : frame.colourMap) {
    forbidden[entry] = 0;
  }
  std::uint8_t anyForbidden = 0;
  for (const std::uint8_t pixel : frame.pixels) {
    anyForbidden |= forbidden[pixel];
  }
  return anyForbidden == 0;
}

inline int FuzzOneEncoding(const std::uint8_t* data, std::size_t size, const Tag& encoding, EncodingDecoder decode) {
  const std::span<const std::uint8_t> payload(data, size);
  ByteReader header(payload);
  Frame frame;
  frame.width = header.u16le();
  frame.height = header.u16le();
  frame.encoding = encoding;
  AllocationBudget budget(FuzzBudgetBytes(size));
  decode(frame, payload, 0, budget, LoadReport());
  if (!FrameKeepsItsPromises(frame, encoding)) {
    __builtin_trap();
  }
  return 0;
}

}  // namespace karst::fuzzing
