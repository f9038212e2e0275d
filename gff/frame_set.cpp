#include "gff/frame_set.h"

#include <algorithm>
#include <bit>
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

// Copies and fills of exactly `count` bytes, in the caller's code: NRML runs and segments are
// short, where a library call costs more than the bytes and its choice of loop differs from one
// processor to the next. Up to 16 bytes they are two overlapping stores of 8 or 4 bytes; above,
// 16-byte blocks and a last block that overlaps the one before it.
template <typename Word>
void CopyOverlapping(std::uint8_t* to, const std::uint8_t* from, std::size_t count) {
  Word head = 0;
  Word tail = 0;
  std::memcpy(&head, from, sizeof head);
  std::memcpy(&tail, from + count - sizeof tail, sizeof tail);
  std::memcpy(to, &head, sizeof head);
  std::memcpy(to + count - sizeof tail, &tail, sizeof tail);
}

constexpr std::size_t kRunBlock = 16;

// Up to 3 bytes: the first, the middle and the last, which covers 1, 2 and 3 alike. `count`
// is at least 1.
void CopyRun(std::uint8_t* to, const std::uint8_t* from, std::size_t count) {
  if (count > kRunBlock) {
    for (std::size_t at = 0; at + kRunBlock < count; at += kRunBlock) {
      std::memcpy(to + at, from + at, kRunBlock);
    }
    std::memcpy(to + count - kRunBlock, from + count - kRunBlock, kRunBlock);
  } else if (count >= 8) {
    CopyOverlapping<std::uint64_t>(to, from, count);
  } else if (count >= 4) {
    CopyOverlapping<std::uint32_t>(to, from, count);
  } else {
    to[0] = from[0];
    to[count / 2] = from[count / 2];
    to[count - 1] = from[count - 1];
  }
}

void FillRun(std::uint8_t* to, std::uint8_t value, std::size_t count) {
  std::uint8_t block[kRunBlock];
  std::memset(block, value, sizeof block);
  for (std::size_t at = 0; at < count; at += kRunBlock) {
    CopyRun(to + at, block, std::min(count - at, kRunBlock));
  }
}

// Eight bytes as one word, in the host's order.
void StoreWord(std::uint8_t* to, std::uint64_t word) { std::memcpy(to, &word, sizeof word); }

constexpr std::uint64_t kEveryByte = 0x0101010101010101;

// A segment's commands are decoded into a scratch row while a whole 16-byte block after the
// command byte, and every block of a longer copy, is in the payload: every run is written in
// whole blocks, a fill's as 8-byte words of its value (what a block writes past its run's end,
// the next run or nothing covers), and the row is copied to the pixels once (see CopyBlocks). The
// commands the payload's end comes too close to are left to the checked loop. The scratch row
// holds the longest segment (255 pixels) and a last run of 128 that starts at its last pixel,
// in blocks.
constexpr std::size_t kLongestRun = 128;
constexpr std::size_t kSegmentHeaderSize = 4;
constexpr std::size_t kSegmentScratch = 255 + kLongestRun + kRunBlock;

// Decodes the commands of a segment of `count` pixels from `in` into `scratch`, up to the first
// command whose blocks would reach past `end`; returns how many pixels they cover and leaves
// `in` after the last command decoded.
std::size_t DecodeSegment(const std::uint8_t*& in, const std::uint8_t* end, unsigned count, std::uint8_t* scratch) {
  std::uint8_t* out = scratch;
  const std::uint8_t* const last = scratch + count;
  // A command is taken here while a whole block after its command byte is in the payload.
  const std::uint8_t* const blocksEnd = static_cast<std::size_t>(end - in) > kRunBlock ? end - kRunBlock : in;
  while (out < last && in < blocksEnd) {
    const unsigned command = in[0];
    const std::size_t length = (command >> 1) + 1;
    if ((command & 1) != 0) {
      const std::uint64_t word = in[1] * kEveryByte;
      StoreWord(out, word);
      StoreWord(out + 8, word);
      for (std::size_t at = kRunBlock; at < length; at += 8) {
        StoreWord(out + at, word);
      }
      in += 2;
    } else {
      std::memcpy(out, in + 1, kRunBlock);
      if (length > kRunBlock) {
        if (static_cast<std::size_t>(end - in) <= ((length + kRunBlock - 1) & ~(kRunBlock - 1))) {
          break;
        }
        for (std::size_t at = kRunBlock; at < length; at += kRunBlock) {
          std::memcpy(out + at, in + 1 + at, kRunBlock);
        }
      }
      in += 1 + length;
    }
    out += length;
  }
  return static_cast<std::size_t>(out - scratch);
}

// The NRML write position: writes that fall outside the pixels are dropped. Runs are written
// whole, clipped to the pixels.
class PixelCursor {
 public:
  PixelCursor(std::span<std::uint8_t> pixels, std::uint64_t start)
      : pixels_(pixels.data()), size_(pixels.size()), index_(start) {}

  void Fill(std::uint8_t value, unsigned count) {
    const std::size_t from = Clipped(index_);
    const std::size_t to = Clipped(index_ + count);
    // A frame without pixels has no buffer to point into.
    if (to > from) {
      FillRun(pixels_ + from, value, to - from);
    }
    index_ += count;
  }

  // Copies a scratch row of `count` pixels that can be read in whole 16-byte blocks. Where the
  // pixels have a block's room after the run, it goes in whole blocks too, and the bytes they
  // wrote past its end are put back.
  void CopyBlocks(const std::uint8_t* row, std::size_t count) {
    if (index_ + count + kRunBlock > size_) {
      Copy(std::span<const std::uint8_t>(row, count));
      return;
    }
    std::uint8_t* const to = pixels_ + index_;
    std::uint8_t after[kRunBlock];
    std::memcpy(after, to + count, sizeof after);
    for (std::size_t at = 0; at < count; at += kRunBlock) {
      std::memcpy(to + at, row + at, kRunBlock);
    }
    std::memcpy(to + count, after, sizeof after);
    index_ += count;
  }

  void Copy(std::span<const std::uint8_t> run) {
    const std::size_t from = Clipped(index_);
    const std::size_t to = Clipped(index_ + run.size());
    if (to > from) {
      CopyRun(pixels_ + from, run.data(), to - from);
    }
    index_ += run.size();
  }

 private:
  std::size_t Clipped(std::uint64_t index) const {
    return static_cast<std::size_t>(std::min<std::uint64_t>(index, size_));
  }

  std::uint8_t* pixels_;
  std::size_t size_;
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

// Codes of a fixed width, eight at a time: eight B-bit codes are exactly B bytes, so a group
// starts on a byte and is one 8-byte big-endian load, shifted apart by constants. Groups are
// taken while the load stays within the stream; `rest()` reads the codes after the last group.
template <unsigned kWidth>
class CodeGroups {
 public:
  static_assert(kWidth >= 1 && kWidth <= kMaxCodeWidth);
  static constexpr std::size_t kCodes = 8;

  explicit CodeGroups(std::span<const std::uint8_t> stream)
      : stream_(stream), groups_(stream.size() < sizeof(std::uint64_t) ? 0 : (stream.size() - 8) / kWidth + 1) {}

  // How many groups there are in all.
  std::size_t groups() const { return groups_; }

  // The codes of group `group` (below `groups()`) into `codes`.
  void Read(std::size_t group, std::uint8_t* codes) const {
    const std::uint64_t word = Word(group);
    for (unsigned k = 0; k < kCodes; ++k) {
      codes[k] = static_cast<std::uint8_t>(Code(word, k));
    }
  }

  // The bits of group `group` (below `groups()`), its first code in the highest bits.
  std::uint64_t Word(std::size_t group) const {
    std::uint64_t word = 0;
    std::memcpy(&word, stream_.data() + group * kWidth, sizeof word);
    return ToBigEndian(word);
  }

  // Code `k` of a group's bits.
  static unsigned Code(std::uint64_t word, unsigned k) {
    return static_cast<unsigned>(word >> (64 - kWidth * (k + 1))) & ((1u << kWidth) - 1);
  }

  // The codes after the first `used` groups.
  CodeReader rest(std::size_t used) const { return CodeReader(stream_.subspan(used * kWidth), kWidth); }

 private:
  static std::uint64_t ToBigEndian(std::uint64_t word) {
    if constexpr (std::endian::native == std::endian::little) {
      return __builtin_bswap64(word);
    } else {
      return word;
    }
  }

  std::span<const std::uint8_t> stream_;
  std::size_t groups_;
};

// PLAN's codes through the map into `count` pixels, which the stream holds codes for.
template <unsigned kWidth>
void MapCodes(std::span<const std::uint8_t> stream, const std::uint8_t* map, std::uint8_t* pixels, std::size_t count) {
  const CodeGroups<kWidth> groups(stream);
  const std::size_t whole = std::min(groups.groups(), count / CodeGroups<kWidth>::kCodes);
  for (std::size_t group = 0; group < whole; ++group) {
    std::uint8_t codes[CodeGroups<kWidth>::kCodes];
    groups.Read(group, codes);
    for (std::size_t k = 0; k < CodeGroups<kWidth>::kCodes; ++k) {
      pixels[k] = map[codes[k]];
    }
    pixels += CodeGroups<kWidth>::kCodes;
  }
  CodeReader codes = groups.rest(whole);
  for (std::size_t i = whole * CodeGroups<kWidth>::kCodes; i < count; ++i) {
    *pixels++ = map[codes.Next()];
  }
}

// Where PLNR decoding stands between codes: the pixels written, the last pixel value written
// (the byte 0 before any pixel, not colour map entry 0), and whether the code before was the
// escape.
struct RunState {
  std::size_t filled = 0;
  std::uint8_t last = 0;
  bool escaped = false;
};

// PLNR's escapes and runs over the frame's pixels, one code at a time, exactly: a run that
// would pass the frame's end is cut at its last pixel.
class RunWriter {
 public:
  RunWriter(std::vector<std::uint8_t>& pixels, const std::uint8_t* map, const RunState& state)
      : pixels_(pixels.data()), total_(pixels.size()), map_(map), state_(state) {}

  bool full() const { return state_.filled == total_; }

  // One code; only while not `full()`.
  void Put(unsigned code) {
    if (!state_.escaped) {
      if (code == 0) {
        state_.escaped = true;
        return;
      }
      state_.last = map_[code];
      pixels_[state_.filled++] = state_.last;
      return;
    }
    state_.escaped = false;
    if (code == 0) {
      state_.last = map_[0];
      pixels_[state_.filled++] = state_.last;
      return;
    }
    const std::size_t run = std::min<std::size_t>(code + 2, total_ - state_.filled);
    std::fill_n(pixels_ + state_.filled, run, state_.last);
    state_.filled += run;
  }

 private:
  std::uint8_t* pixels_;
  std::size_t total_;
  const std::uint8_t* map_;
  RunState state_;
};

// PLNR's codes a group at a time, straight into a buffer with room for a group's `kReach`
// bytes: a run is written as whole words of its value, as many as the longest run needs (code
// widths above 5 loop for runs longer than 40), and what those write past its end, the
// following codes write again, so at most `kSpill` bytes past the last pixel are written.
template <unsigned kWidth>
class RunGroups {
 public:
  static constexpr std::size_t kLongestRun = (std::size_t{1} << kWidth) + 1;
  static constexpr std::size_t kRunWords = std::min<std::size_t>((kLongestRun + 7) / 8, 5);
  static constexpr std::size_t kSpill = 8 * kRunWords;
  static constexpr std::size_t kReach = CodeGroups<kWidth>::kCodes * kLongestRun + kSpill;

  RunGroups(const CodeGroups<kWidth>& groups, const std::uint8_t* map) : groups_(groups), map_(map) {}

  // Decodes whole groups from `group` on into `out`, which stands for pixel `state.filled`,
  // while a group is left and its reach stays before `limit`; `state.filled` may end past the
  // frame's last pixel. Returns the next group.
  std::size_t Decode(std::size_t group, std::uint8_t* out, const std::uint8_t* limit, RunState& state) const {
    const std::uint8_t* const start = out;
    unsigned last = state.last;
    unsigned escaped = state.escaped ? 1 : 0;
    for (; group < groups_.groups() && static_cast<std::size_t>(limit - out) >= kReach; ++group) {
      const std::uint64_t bits = groups_.Word(group);
      for (unsigned k = 0; k < CodeGroups<kWidth>::kCodes; ++k) {
        const unsigned code = CodeGroups<kWidth>::Code(bits, k);
        if (escaped != 0) {
          escaped = 0;
          if (code == 0) {
            last = map_[0];
            *out++ = static_cast<std::uint8_t>(last);
          } else {
            const std::size_t count = code + 2;
            const std::uint64_t word = last * kEveryByte;
            for (std::size_t w = 0; w < kRunWords; ++w) {
              StoreWord(out + 8 * w, word);
            }
            if constexpr (kLongestRun > kSpill) {
              for (std::size_t at = kSpill; at < count; at += 8) {
                StoreWord(out + at, word);
              }
            }
            out += count;
          }
        } else if (code == 0) {
          escaped = 1;
        } else {
          last = map_[code];
          *out++ = static_cast<std::uint8_t>(last);
        }
      }
    }
    state.filled += static_cast<std::size_t>(out - start);
    state.last = static_cast<std::uint8_t>(last);
    state.escaped = escaped != 0;
    return group;
  }

 private:
  const CodeGroups<kWidth>& groups_;
  const std::uint8_t* map_;
};

// PLNR's codes over the frame's pixels, as far as they go. Groups are decoded straight into the
// pixels while their reach stays inside; the frame's last stretch, where it would not, through a
// scratch with room for it, of which the pixels take what lies inside the frame; the codes after
// the last group one by one, exactly, after what the words wrote past the last pixel decoded in
// groups is zeroed again.
template <unsigned kWidth>
void RunCodes(std::span<const std::uint8_t> stream, const std::uint8_t* map, std::vector<std::uint8_t>& pixels) {
  using Groups = RunGroups<kWidth>;
  const CodeGroups<kWidth> groups(stream);
  const Groups runs(groups, map);
  const std::size_t total = pixels.size();
  RunState state;
  std::size_t group = runs.Decode(0, pixels.data(), pixels.data() + total, state);
  if (group < groups.groups() && state.filled < total) {
    std::uint8_t scratch[2 * Groups::kReach];
    const std::size_t from = state.filled;
    const std::size_t left = total - from;
    group = runs.Decode(group, scratch, scratch + left + Groups::kReach, state);
    const std::size_t taken = std::min(state.filled - from, left);
    std::copy_n(scratch, taken, pixels.data() + from);
    state.filled = from + taken;
  }
  std::fill(pixels.begin() + static_cast<std::ptrdiff_t>(state.filled),
            pixels.begin() + static_cast<std::ptrdiff_t>(std::min(total, state.filled + Groups::kSpill)), 0);
  RunWriter writer(pixels, map, state);
  CodeReader codes = groups.rest(group);
  unsigned code = 0;
  while (!writer.full() && codes.Read(code)) {
    writer.Put(code);
  }
}

// Calls `decode.template operator()<B>()` for the code width B, 1 to 8.
template <typename Decode>
void ForCodeWidth(unsigned width, Decode decode) {
  switch (width) {
    case 1:
      return decode.template operator()<1>();
    case 2:
      return decode.template operator()<2>();
    case 3:
      return decode.template operator()<3>();
    case 4:
      return decode.template operator()<4>();
    case 5:
      return decode.template operator()<5>();
    case 6:
      return decode.template operator()<6>();
    case 7:
      return decode.template operator()<7>();
    default:
      return decode.template operator()<8>();
  }
}

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
  // From here on every read is checked against `end` where it is made.
  const std::uint8_t* in = payload.data() + reader.position();
  const std::uint8_t* const end = payload.data() + payload.size();
  // The frame's fields as plain values: a store through a byte pointer could change them.
  const std::span<std::uint8_t> pixels(frame.pixels);
  const std::uint32_t width = frame.width;
  std::uint8_t scratch[kSegmentScratch];
  while (row != kEndOfFrameRow) {
    if (static_cast<std::size_t>(end - in) < kSegmentHeaderSize) {
      report.Note(NoteKind::kDataRanOut);
      return;
    }
    // The header's fourth byte is not used.
    const unsigned x = in[0];
    const unsigned last = in[1];
    const unsigned count = in[2];
    in += kSegmentHeaderSize;
    std::size_t done = DecodeSegment(in, end, count, scratch);
    PixelCursor cursor(pixels, std::uint64_t{row} * width + x);
    cursor.CopyBlocks(scratch, done);
    while (done < count) {
      // A command is carried out only when all of its bytes are in the payload.
      const auto left = static_cast<std::size_t>(end - in);
      if (left < 2) {
        report.Note(NoteKind::kDataRanOut);
        return;
      }
      const unsigned command = in[0];
      const unsigned length = (command >> 1) + 1;
      if ((command & 1) != 0) {
        cursor.Fill(in[1], length);
        in += 2;
      } else {
        if (left - 1 < length) {
          report.Note(NoteKind::kDataRanOut);
          return;
        }
        cursor.Copy(std::span<const std::uint8_t>(in + 1, length));
        in += 1 + length;
      }
      done += length;
    }
    if (done > count) {
      report.Note(NoteKind::kSegmentOverrun);
    } else if (last < kLastSegmentOfRow) {
      continue;
    }
    if (in == end) {
      report.Note(NoteKind::kDataRanOut);
      return;
    }
    row = *in++;
  }
}

void DecodePlan(Frame& frame, std::span<const std::uint8_t> payload, std::size_t position, AllocationBudget& budget,
                const LoadReport& /*report*/) {
  unsigned codeWidth = 0;
  std::span<const std::uint8_t> stream;
  if (!PreparePlanar(frame, payload, position, budget, codeWidth, stream)) {
    return;
  }
  const std::uint8_t* map = frame.colourMap.data();
  std::uint8_t* pixels = frame.pixels.data();
  if (codeWidth == 0) {
    // Every code is 0 and there is no end to them.
    std::fill(frame.pixels.begin(), frame.pixels.end(), map[0]);
    return;
  }
  // Pixels past the last whole code stay 0.
  const std::size_t count = std::min(frame.pixels.size(), CodeReader(stream, codeWidth).available());
  ForCodeWidth(codeWidth, [&]<unsigned kWidth>() { MapCodes<kWidth>(stream, map, pixels, count); });
}

void DecodePlnr(Frame& frame, std::span<const std::uint8_t> payload, std::size_t position, AllocationBudget& budget,
                const LoadReport& /*report*/) {
  unsigned codeWidth = 0;
  std::span<const std::uint8_t> stream;
  if (!PreparePlanar(frame, payload, position, budget, codeWidth, stream)) {
    return;
  }
  if (codeWidth == 0) {
    RunWriter writer(frame.pixels, frame.colourMap.data(), RunState{});
    // Every code is 0, without end: escape, one pixel of map entry 0, and again.
    while (!writer.full()) {
      writer.Put(0);
    }
    return;
  }
  ForCodeWidth(codeWidth, [&]<unsigned kWidth>() { RunCodes<kWidth>(stream, frame.colourMap.data(), frame.pixels); });
}

}  // namespace karst
