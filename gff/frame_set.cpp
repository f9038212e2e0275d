#include "gff/frame_set.h"

#include <algorithm>
#include <cstdint>
#include <cstring>
#include <string>

#include "gff/byte_reader.h"

namespace karst {
namespace {

constexpr std::size_t kCodeWidthOffset = 9;  // frame byte 9 of PLAN and PLNR
constexpr unsigned kMaxCodeWidth = 8;

// Gives the frame width x height zero pixels when the frame is within the pixel cap and the budget
// holds them. False leaves the frame without pixels; a frame of no pixels is true and stays empty.
bool AllocatePixels(Frame& frame, AllocationBudget& budget) {
  const std::uint64_t count = std::uint64_t{frame.width} * frame.height;
  if (count > kMaxFramePixels || !budget.Take(count)) {
    return false;
  }
  frame.pixels.assign(static_cast<std::size_t>(count), 0);
  return true;
}

// Copies and fills of exactly `count` bytes. Most NRML runs are short, where a library call
// costs more than the bytes: up to 16 bytes they are two overlapping stores of 8 or 4 bytes.
template <typename Word>
void CopyOverlapping(std::uint8_t* to, const std::uint8_t* from, std::size_t count) {
  Word head = 0;
  Word tail = 0;
  std::memcpy(&head, from, sizeof head);
  std::memcpy(&tail, from + count - sizeof tail, sizeof tail);
  std::memcpy(to, &head, sizeof head);
  std::memcpy(to + count - sizeof tail, &tail, sizeof tail);
}

void CopyRun(std::uint8_t* to, const std::uint8_t* from, std::size_t count) {
  if (count >= 8 && count <= 16) {
    CopyOverlapping<std::uint64_t>(to, from, count);
  } else if (count >= 4 && count < 8) {
    CopyOverlapping<std::uint32_t>(to, from, count);
  } else if (count < 4) {
    for (std::size_t i = 0; i < count; ++i) {
      to[i] = from[i];
    }
  } else {
    std::memcpy(to, from, count);
  }
}

void FillRun(std::uint8_t* to, std::uint8_t value, std::size_t count) {
  if (count >= 8 && count <= 16) {
    const std::uint64_t eight = 0x0101010101010101ull * value;
    std::memcpy(to, &eight, 8);
    std::memcpy(to + count - 8, &eight, 8);
  } else if (count < 8) {
    for (std::size_t i = 0; i < count; ++i) {
      to[i] = value;
    }
  } else {
    std::memset(to, value, count);
  }
}

// The NRML write position: writes that fall outside the pixels are dropped. Runs are written
// whole, clipped to the pixels.
class PixelCursor {
 public:
  PixelCursor(std::vector<std::uint8_t>& pixels, std::uint64_t start) : pixels_(pixels), index_(start) {}

  void Fill(std::uint8_t value, unsigned count) {
    const std::size_t from = Clipped(index_);
    const std::size_t to = Clipped(index_ + count);
    // A frame without pixels has no buffer to point into.
    if (to > from) {
      FillRun(pixels_.data() + from, value, to - from);
    }
    index_ += count;
  }

  void Copy(std::span<const std::uint8_t> run) {
    const std::size_t from = Clipped(index_);
    const std::size_t to = Clipped(index_ + run.size());
    if (to > from) {
      CopyRun(pixels_.data() + from, run.data(), to - from);
    }
    index_ += run.size();
  }

 private:
  std::size_t Clipped(std::uint64_t index) const {
    return static_cast<std::size_t>(std::min<std::uint64_t>(index, pixels_.size()));
  }

  std::vector<std::uint8_t>& pixels_;
  std::uint64_t index_;
};

// Reads B-bit codes packed most significant bit first. A code whose bits are not all in the
// stream is not there: the stream holds floor(8 x size / B) codes (without end for B = 0, whose
// codes are all 0). Bits are taken a byte at a time into a small accumulator; B is at most 8,
// so one byte always completes a code.
class CodeReader {
 public:
  CodeReader(std::span<const std::uint8_t> stream, unsigned width)
      : stream_(stream),
        width_(width),
        mask_((1u << width) - 1),
        left_(width == 0 ? SIZE_MAX : stream.size() * 8 / width) {}

  // How many codes are left.
  std::size_t available() const { return left_; }

  bool Read(unsigned& code) {
    if (left_ == 0) {
      return false;
    }
    code = Next();
    return true;
  }

  // The next code; only while `available()` is not 0.
  unsigned Next() {
    --left_;
    if (bits_ < width_) {
      accumulator_ = (accumulator_ << 8) | stream_[position_++];
      bits_ += 8;
    }
    bits_ -= width_;
    return (accumulator_ >> bits_) & mask_;
  }

 private:
  std::span<const std::uint8_t> stream_;
  unsigned width_;
  unsigned mask_;
  std::size_t left_;
  std::size_t position_ = 0;
  std::uint32_t accumulator_ = 0;
  unsigned bits_ = 0;
};

// The parts that PLAN and PLNR share: the code width, the colour map and the pixel buffer. False
// when the frame gets no codes decoded: a code width above 8 (the pixels stay zero), or the budget
// refused the map or the pixels (no pixels). `stream` is what follows the colour map.
bool PreparePlanar(Frame& frame, std::span<const std::uint8_t> payload, std::size_t position, AllocationBudget& budget,
                   unsigned& codeWidth, std::span<const std::uint8_t>& stream) {
  ByteReader reader(payload);
  reader.seek(position);
  reader.skip(kCodeWidthOffset);
  codeWidth = reader.u8();
  if (codeWidth > kMaxCodeWidth) {
    AllocatePixels(frame, budget);
    return false;
  }
  const std::size_t mapSize = std::size_t{1} << codeWidth;
  if (!budget.Take(mapSize)) {
    return false;
  }
  // A map cut off by the payload's end keeps zeros for its missing entries; no code follows it.
  const std::span<const std::uint8_t> map = reader.take(mapSize);
  frame.colourMap.assign(mapSize, 0);
  std::copy(map.begin(), map.end(), frame.colourMap.begin());
  if (!AllocatePixels(frame, budget)) {
    frame.colourMap.clear();
    return false;
  }
  stream = reader.take(reader.remaining());
  return true;
}

}  // namespace

void DecodeFrameSet(FrameSet& frameSet, std::span<const std::uint8_t> payload, AllocationBudget& budget,
                    const LoadReport& report) {
  ByteReader reader(payload);
  reader.seek(4);
  const std::uint16_t count = reader.u16le();
  if (reader.ranOut() || !budget.Take(std::uint64_t{count} * sizeof(Frame))) {
    return;
  }
  frameSet.frameCount = count;
  frameSet.frames.assign(count, Frame{});
  for (std::uint32_t index = 0; index < count; ++index) {
    const std::uint32_t position = reader.u32le();
    if (reader.ranOut()) {
      // The rest of the table lies beyond the payload: those frames stay empty.
      break;
    }
    DecodeFrame(frameSet.frames[index], payload, position, budget, report.ForFrame(index));
  }
}

void DecodeFrame(Frame& frame, std::span<const std::uint8_t> payload, std::size_t position, AllocationBudget& budget,
                 const LoadReport& report) {
  if (position > payload.size() || payload.size() - position < kFrameHeaderSize) {
    return;
  }
  ByteReader reader(payload);
  reader.seek(position);
  frame.width = reader.u16le();
  frame.height = reader.u16le();
  if (reader.u8() != kNotNrmlMarker) {
    frame.encoding = kTagNrml;
    DecodeNrml(frame, payload, position, budget, report);
    return;
  }
  if (position + kFrameHeaderSize == payload.size()) {
    AllocatePixels(frame, budget);
    return;
  }
  // Tag bytes beyond the payload read as zeros, which no known tag contains.
  for (std::size_t i = 0; i < 4; ++i) {
    frame.encoding[i] = static_cast<char>(reader.u8());
  }
  frame.encoding[4] = '\0';
  if (SameTag(frame.encoding, kTagPlnr)) {
    DecodePlnr(frame, payload, position, budget, report);
  } else if (SameTag(frame.encoding, kTagPlan)) {
    DecodePlan(frame, payload, position, budget, report);
  } else {
    report.Note(NoteKind::kUnknownEncoding, 0, frame.encoding);
    // Consumers copy frame 0 of a set without looking: an unknown frame draws as index 0.
    AllocatePixels(frame, budget);
  }
}

void DecodeNrml(Frame& frame, std::span<const std::uint8_t> payload, std::size_t position, AllocationBudget& budget,
                const LoadReport& report) {
  // Without pixels the rows are still walked, every write dropped, so the frame's diagnostics
  // stay the same; the walk is bounded by the payload.
  AllocatePixels(frame, budget);
  ByteReader reader(payload);
  reader.seek(position);
  reader.skip(kFrameHeaderSize - 1);
  unsigned row = reader.u8();
  if (row != 0 && row != kEndOfFrameRow) {
    report.Note(NoteKind::kFirstRowNotZero, row);
  }
  while (row != kEndOfFrameRow) {
    const unsigned x = reader.u8();
    const unsigned last = reader.u8();
    const unsigned count = reader.u8();
    reader.skip(1);  // the header's fourth byte, not used
    if (reader.ranOut()) {
      report.Note(NoteKind::kDataRanOut);
      return;
    }
    PixelCursor cursor(frame.pixels, std::uint64_t{row} * frame.width + x);
    unsigned done = 0;
    while (done < count) {
      // A command is carried out only when all of its bytes are in the payload.
      if (reader.remaining() < 2) {
        report.Note(NoteKind::kDataRanOut);
        return;
      }
      const unsigned command = reader.u8();
      const unsigned length = (command >> 1) + 1;
      if ((command & 1) != 0) {
        cursor.Fill(reader.u8(), length);
      } else {
        if (reader.remaining() < length) {
          report.Note(NoteKind::kDataRanOut);
          return;
        }
        cursor.Copy(reader.take(length));
      }
      done += length;
    }
    if (done > count) {
      report.Note(NoteKind::kSegmentOverrun);
    } else if (last < kLastSegmentOfRow) {
      continue;
    }
    row = reader.u8();
    if (reader.ranOut()) {
      report.Note(NoteKind::kDataRanOut);
      return;
    }
  }
}

void DecodePlan(Frame& frame, std::span<const std::uint8_t> payload, std::size_t position, AllocationBudget& budget,
                const LoadReport& /*report*/) {
  unsigned codeWidth = 0;
  std::span<const std::uint8_t> stream;
  if (!PreparePlanar(frame, payload, position, budget, codeWidth, stream)) {
    return;
  }
  CodeReader codes(stream, codeWidth);
  // Pixels past the last whole code stay 0.
  const std::size_t count = std::min(frame.pixels.size(), codes.available());
  const std::uint8_t* map = frame.colourMap.data();
  std::uint8_t* pixels = frame.pixels.data();
  for (std::size_t i = 0; i < count; ++i) {
    pixels[i] = map[codes.Next()];
  }
}

void DecodePlnr(Frame& frame, std::span<const std::uint8_t> payload, std::size_t position, AllocationBudget& budget,
                const LoadReport& /*report*/) {
  unsigned codeWidth = 0;
  std::span<const std::uint8_t> stream;
  if (!PreparePlanar(frame, payload, position, budget, codeWidth, stream)) {
    return;
  }
  CodeReader codes(stream, codeWidth);
  const std::size_t total = frame.pixels.size();
  std::size_t filled = 0;
  // The byte value 0 before any pixel, not colour map entry 0.
  std::uint8_t last = 0;
  bool escaped = false;
  while (filled < total) {
    unsigned code = 0;
    if (!codes.Read(code)) {
      return;
    }
    if (!escaped) {
      if (code == 0) {
        escaped = true;
        continue;
      }
      last = frame.colourMap[code];
      frame.pixels[filled++] = last;
      continue;
    }
    escaped = false;
    if (code == 0) {
      last = frame.colourMap[0];
      frame.pixels[filled++] = last;
      continue;
    }
    // A run that would pass the frame's end is cut at its last pixel.
    const std::size_t run = std::min<std::size_t>(code + 2, total - filled);
    std::fill_n(frame.pixels.begin() + static_cast<std::ptrdiff_t>(filled), run, last);
    filled += run;
  }
}

}  // namespace karst
