// The plain decoders: one pixel and one code at a time, each byte through the checked reader,
// with no block copies and no bit accumulator, so that what they do can be read off the frame
// layout in frame_set.h line by line.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <span>
#include <vector>

#include "gff/byte_reader.h"
#include "gff/format.h"
#include "gff/frame_set.h"

namespace karst {
namespace {

// The code starting at `bit`, through the 16-bit window of its byte and the next; false when
// not all of its bits are in the stream.
bool ReadCode(std::span<const std::uint8_t> stream, std::uint64_t bit, unsigned width, unsigned& code) {
  if (bit + width > std::uint64_t{stream.size()} * 8) {
    return false;
  }
  ByteReader reader(stream);
  reader.seek(static_cast<std::size_t>(bit / 8));
  const unsigned high = reader.u8();
  const unsigned low = reader.u8();  // 0 past the stream's end
  code = (((high << 8) | low) >> (16 - width - bit % 8)) & ((1u << width) - 1);
  return true;
}

std::vector<std::uint8_t> DecodePlanarReference(std::span<const std::uint8_t> frame, std::uint32_t width,
                                                std::uint32_t height, bool runs) {
  const std::size_t pixelCount = std::size_t{width} * height;
  std::vector<std::uint8_t> pixels(pixelCount, 0);
  ByteReader reader(frame);
  reader.seek(9);
  const unsigned codeWidth = reader.u8();
  if (reader.ranOut() || codeWidth > 8) {
    return pixels;
  }
  // A map cut short keeps 0 for its missing entries.
  std::vector<std::uint8_t> map(std::size_t{1} << codeWidth, 0);
  const std::span<const std::uint8_t> mapBytes = reader.take(map.size());
  std::copy(mapBytes.begin(), mapBytes.end(), map.begin());
  const std::span<const std::uint8_t> stream = reader.take(reader.remaining());
  std::uint64_t bit = 0;
  std::size_t filled = 0;
  std::uint8_t last = 0;
  bool escaped = false;
  unsigned code = 0;
  while (filled < pixelCount && ReadCode(stream, bit, codeWidth, code)) {
    bit += codeWidth;
    if (!runs) {
      pixels[filled++] = map[code];
    } else if (!escaped && code == 0) {
      escaped = true;
    } else if (!escaped || code == 0) {
      escaped = false;
      last = map[code];
      pixels[filled++] = last;
    } else {
      escaped = false;
      const std::size_t run = std::min<std::size_t>(code + 2, pixelCount - filled);
      std::fill_n(pixels.begin() + static_cast<std::ptrdiff_t>(filled), run, last);
      filled += run;
    }
  }
  return pixels;
}

}  // namespace

std::vector<std::uint8_t> DecodeNrmlReference(std::span<const std::uint8_t> frame, std::uint32_t width,
                                              std::uint32_t height) {
  std::vector<std::uint8_t> pixels(std::size_t{width} * height, 0);
  ByteReader reader(frame);
  reader.seek(4);
  unsigned row = reader.u8();
  while (row != kEndOfFrameRow) {
    const unsigned x = reader.u8();
    const unsigned last = reader.u8();
    const unsigned count = reader.u8();
    reader.skip(1);
    if (reader.ranOut()) {
      return pixels;
    }
    std::uint64_t index = std::uint64_t{row} * width + x;
    auto put = [&](std::uint8_t value) {
      if (index < pixels.size()) {
        pixels[static_cast<std::size_t>(index)] = value;
      }
      ++index;
    };
    unsigned done = 0;
    while (done < count) {
      if (reader.remaining() < 2) {
        return pixels;
      }
      const unsigned command = reader.u8();
      const unsigned length = (command >> 1) + 1;
      if ((command & 1) != 0) {
        const std::uint8_t value = reader.u8();
        for (unsigned i = 0; i < length; ++i) {
          put(value);
        }
      } else {
        if (reader.remaining() < length) {
          return pixels;
        }
        for (const std::uint8_t value : reader.take(length)) {
          put(value);
        }
      }
      done += length;
    }
    // A segment that ends on its count and is not its row's last is followed by the next
    // segment's header; otherwise by the next row's index.
    if (done <= count && last < kLastSegmentOfRow) {
      continue;
    }
    row = reader.u8();
    if (reader.ranOut()) {
      return pixels;
    }
  }
  return pixels;
}

std::vector<std::uint8_t> DecodePlanReference(std::span<const std::uint8_t> frame, std::uint32_t width,
                                              std::uint32_t height) {
  return DecodePlanarReference(frame, width, height, false);
}

std::vector<std::uint8_t> DecodePlnrReference(std::span<const std::uint8_t> frame, std::uint32_t width,
                                              std::uint32_t height) {
  return DecodePlanarReference(frame, width, height, true);
}

}  // namespace karst
