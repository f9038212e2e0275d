// Frame sets: the bitmaps of "TILE", "BMP " and "CBMP" chunks, decoded into plain pixel buffers.
//
// Frame-set payload (integers little-endian, positions from the start of the payload):
//
//   bytes          width    content
//   0-3            4        not read
//   4-5            u16      F, the number of frames
//   6+4i .. 9+4i   u32      position of frame i's data, for i = 0 .. F-1, unaligned, back to back
//
// Frame data, at its position:
//
//   bytes   width    content
//   0-1     u16      width in pixels
//   2-3     u16      height in pixels
//   4       u8       NRML: index of the first row (0-254); 255 otherwise
//   5..     -        NRML: row segments. Byte 4 = 255: nothing at all when these 5 bytes are the
//                    last of the payload (a blank frame, all index 0), else a 4-character
//                    encoding tag ("PLAN", "PLNR") in bytes 5-8 and that encoding's data
//
// NRML row data: segments, each a 4-byte header and then commands until it holds n pixels.
//
//   header byte   content
//   0             x, the column of the segment's first pixel in its row (0-255)
//   1             below 128: another segment of this row follows; 128 or more: the row ends
//   2             n, the segment's pixel count (0-255)
//   3             not read
//
//   command b, k = (b >> 1) + 1 pixels (1-128):
//     b even: copy, the k bytes after b are the pixels           (1 + k bytes)
//     b odd:  fill, the one byte after b repeated k times        (2 bytes)
//
//   After a row's last segment: one byte, the next row's index (0-254), or 255 to end the frame.
//   A segment's pixels may run on past its row's end into the following row.
//
// PLAN and PLNR data, from frame byte 9 on:
//
//   bytes                width     content
//   9                    u8        B, the code width in bits (0-8)
//   10 .. 9+2^B          2^B       colour map: entry v is the palette index of code v
//   10+2^B ..            -         code stream: B-bit codes packed most significant bit first
//
//   PLAN: one code per pixel. PLNR: a non-zero code is one pixel through the map; code 0 escapes
//   the next code, which is either 0 (one pixel of map entry 0) or v, a run of v + 2 copies of the
//   last pixel value written (the byte 0 before any pixel).
//
// Decoding never fails and never reads outside the payload or writes outside the pixels: a frame
// is decoded as far as its bytes lead. Oddities are handed to the caller's LoadReport as notes,
// each placed at its frame. Every allocation whose size comes from the data is taken from the
// load's AllocationBudget first.
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "gff/allocation_budget.h"
#include "gff/format.h"
#include "gff/load_report.h"

namespace karst {

// The most pixels one frame may have; a bigger frame gets none.
inline constexpr std::uint64_t kMaxFramePixels = 16ull << 20;

// One decoded bitmap: `width` x `height` palette indices, row after row from the top. A frame
// owns its pixels and colour map; nothing in it points into the payload it came from.
struct Frame {
  // Exactly width x height bytes, or empty when the frame has no pixels.
  std::vector<std::uint8_t> pixels;
  std::uint32_t height = 0;
  std::uint32_t width = 0;
  // "NRML", "PLNR", "PLAN", whatever unknown tag the frame carries, or all zero for a blank or
  // empty frame.
  Tag encoding{};
  // The code-to-index map of a PLAN or PLNR frame; empty for the other encodings.
  std::vector<std::uint8_t> colourMap;

  bool HasPixels() const { return !pixels.empty(); }
};

// A decoded frame set. `frames` always holds `frameCount` frames.
struct FrameSet {
  std::int32_t frameCount = 0;
  std::vector<Frame> frames;
  // The chunk number of the payload's chunk; set by the loader, not by decoding.
  std::uint32_t number = 0;
};

// Fills an empty frame set from a frame-set payload. A table entry that lies outside the payload,
// or a frame position without room for the 5 header bytes, leaves that frame empty (0 x 0, no
// pixels). When the budget cannot hold the frame table, the set gets no frames. Frame i's notes
// go to `report.ForFrame(i)`.
void DecodeFrameSet(FrameSet& frameSet, std::span<const std::uint8_t> payload, AllocationBudget& budget,
                    const LoadReport& report);

// Decodes the frame whose data starts at `position` in `payload`. A frame with an unknown
// encoding is noted (kUnknownEncoding, printed "Unknown type: " and the tag) and gets width x
// height zero pixels.
void DecodeFrame(Frame& frame, std::span<const std::uint8_t> payload, std::size_t position, AllocationBudget& budget,
                 const LoadReport& report);

// The encoding decoders, called by DecodeFrame once it has set width, height and encoding.
// `position` is where the frame's data starts in `payload`.
void DecodeNrml(Frame& frame, std::span<const std::uint8_t> payload, std::size_t position, AllocationBudget& budget,
                const LoadReport& report);
void DecodePlan(Frame& frame, std::span<const std::uint8_t> payload, std::size_t position, AllocationBudget& budget,
                const LoadReport& report);
void DecodePlnr(Frame& frame, std::span<const std::uint8_t> payload, std::size_t position, AllocationBudget& budget,
                const LoadReport& report);

// The plain decoders, one pixel and one code at a time, that DecodeNrml, DecodePlan and
// DecodePlnr must match pixel for pixel. Each takes a frame's data from its first header byte to
// the payload's end and gives its width x height pixels, zero where the data leads nowhere:
// decoded as far as its bytes lead, with no notes and no budget.
std::vector<std::uint8_t> DecodeNrmlReference(std::span<const std::uint8_t> frame, std::uint32_t width,
                                              std::uint32_t height);
std::vector<std::uint8_t> DecodePlanReference(std::span<const std::uint8_t> frame, std::uint32_t width,
                                              std::uint32_t height);
std::vector<std::uint8_t> DecodePlnrReference(std::span<const std::uint8_t> frame, std::uint32_t width,
                                              std::uint32_t height);

}  // namespace karst
