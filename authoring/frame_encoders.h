// Encoders for the frame formats the gff/ decoders read (layouts in gff/frame_set.h): blank,
// NRML row segments, PLAN and PLNR packed codes, and the frame-set payload that holds the frames.
//
// Each encoder returns a frame's complete bytes, header included, ready to be placed in a frame
// set. An encoder that cannot express an image returns nothing:
//   - every encoding stores width and height as u16, so neither may exceed 65535;
//   - `pixels` must hold exactly width x height bytes;
//   - NRML names rows by one byte (0-254, 255 ends the frame), so no pixel other than index 0
//     may lie in row 255 or below; its segments start at a column of at most 255 and hold at
//     most 255 pixels, so no pixel other than index 0 may lie at column 510 or beyond.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

namespace karst::authoring {

// An 8-bit palette-indexed image, row after row from the top, `width` bytes a row.
struct IndexedImage {
  std::uint32_t width = 0;
  std::uint32_t height = 0;
  std::vector<std::uint8_t> pixels;
};

// The highest row an NRML frame can name and the columns its segments can reach.
inline constexpr std::uint32_t kNrmlMaxRow = 254;
inline constexpr std::uint32_t kNrmlColumnLimit = 255 + 255;

// Five bytes: width, height, 255. Decodes as blank (all index 0) only as the last five bytes of
// its frame-set payload.
std::vector<std::uint8_t> EncodeBlankFrame(std::uint16_t width, std::uint16_t height);

// Row segments around the pixels other than index 0; runs of one value become fills, the rest
// copies. Rows of nothing but index 0 are left out, except row 0: the first row is always row 0,
// as the decoder expects (an empty segment when it holds nothing).
std::optional<std::vector<std::uint8_t>> EncodeNrmlFrame(const IndexedImage& image);

// One code per pixel, in the smallest code width that holds the colours used; the colour map
// has 2^B entries, the used colours in ascending order and zeros after them.
std::optional<std::vector<std::uint8_t>> EncodePlanFrame(const IndexedImage& image);

// Codes with escaped runs for repeated pixels. Code 0 is the escape, so the colours sit on codes
// 1 and up and colour map entry 0 is 0, except in an image of all 256 colours, where the least
// used one takes code 0 (written as 0, 0). The code width is the one of the smallest result.
std::optional<std::vector<std::uint8_t>> EncodePlnrFrame(const IndexedImage& image);

// The frame-set payload: 4 zero bytes, u16 frame count, a u32 position per frame, the frames.
// Nothing when there are more than 65535 frames or the positions would not fit a u32.
std::optional<std::vector<std::uint8_t>> WriteFrameSetPayload(const std::vector<std::vector<std::uint8_t>>& frames);

}  // namespace karst::authoring
