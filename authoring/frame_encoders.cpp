#include "authoring/frame_encoders.h"

#include <algorithm>
#include <array>
#include <limits>

#include "authoring/byte_writer.h"
#include "gff/format.h"

namespace karst::authoring {
namespace {

constexpr std::uint32_t kMaxDimension = std::numeric_limits<std::uint16_t>::max();
constexpr std::size_t kMaxSegmentPixels = 255;
constexpr std::uint32_t kMaxSegmentColumn = 255;
constexpr std::size_t kMaxCommandPixels = 128;
// A fill is worth a command of its own from this many equal pixels on; shorter runs stay in copies.
constexpr std::size_t kMinFillRun = 3;
// Zero gaps shorter than this stay inside a segment: filling them is cheaper than a new header.
constexpr std::size_t kMinSegmentGap = 8;
constexpr unsigned kMaxCodeWidth = 8;

bool HasValidShape(const IndexedImage& image) {
  return image.width <= kMaxDimension && image.height <= kMaxDimension &&
         image.pixels.size() == std::size_t{image.width} * image.height;
}

void WriteHeader(ByteWriter& writer, const IndexedImage& image) {
  writer.u16le(static_cast<std::uint16_t>(image.width));
  writer.u16le(static_cast<std::uint16_t>(image.height));
}

// ---- NRML

struct Span {
  std::size_t begin = 0;
  std::size_t end = 0;
};

// Stretches of the row that hold pixels other than index 0, short zero gaps included.
std::vector<Span> NonZeroSpans(std::span<const std::uint8_t> row) {
  std::vector<Span> spans;
  for (std::size_t x = 0; x < row.size(); ++x) {
    if (row[x] == 0) {
      continue;
    }
    if (!spans.empty() && x - spans.back().end < kMinSegmentGap) {
      spans.back().end = x + 1;
    } else {
      spans.push_back({x, x + 1});
    }
  }
  return spans;
}

void WriteCopy(ByteWriter& writer, std::span<const std::uint8_t> pixels) {
  if (pixels.empty()) {
    return;
  }
  writer.u8(static_cast<std::uint8_t>((pixels.size() - 1) << 1));
  writer.bytes(pixels);
}

void WriteSegmentCommands(ByteWriter& writer, std::span<const std::uint8_t> pixels) {
  std::size_t copyStart = 0;
  std::size_t i = 0;
  while (i < pixels.size()) {
    std::size_t run = 1;
    while (i + run < pixels.size() && run < kMaxCommandPixels && pixels[i + run] == pixels[i]) {
      ++run;
    }
    if (run >= kMinFillRun) {
      WriteCopy(writer, pixels.subspan(copyStart, i - copyStart));
      writer.u8(static_cast<std::uint8_t>(((run - 1) << 1) | 1));
      writer.u8(pixels[i]);
      i += run;
      copyStart = i;
      continue;
    }
    ++i;
    if (i - copyStart == kMaxCommandPixels) {
      WriteCopy(writer, pixels.subspan(copyStart, i - copyStart));
      copyStart = i;
    }
  }
  WriteCopy(writer, pixels.subspan(copyStart, i - copyStart));
}

// Segments of at most 255 pixels that start at a column of at most 255. A stretch that begins
// further right starts its segment at column 255 and writes the row's own pixels up to it again.
void WriteRowSegments(ByteWriter& writer, std::span<const std::uint8_t> row) {
  struct Segment {
    std::size_t x = 0;
    std::size_t end = 0;
  };
  std::vector<Segment> segments;
  for (const Span& span : NonZeroSpans(row)) {
    std::size_t cursor = span.begin;
    while (cursor < span.end) {
      const std::size_t x = std::min<std::size_t>(cursor, kMaxSegmentColumn);
      const std::size_t end = std::min(x + kMaxSegmentPixels, span.end);
      segments.push_back({x, end});
      cursor = end;
    }
  }
  for (std::size_t i = 0; i < segments.size(); ++i) {
    const bool lastOfRow = i + 1 == segments.size();
    writer.u8(static_cast<std::uint8_t>(segments[i].x));
    writer.u8(lastOfRow ? kLastSegmentOfRow : 0);
    writer.u8(static_cast<std::uint8_t>(segments[i].end - segments[i].x));
    writer.u8(0);
    WriteSegmentCommands(writer, row.subspan(segments[i].x, segments[i].end - segments[i].x));
  }
}

bool NrmlCanReach(const IndexedImage& image) {
  for (std::uint32_t y = 0; y < image.height; ++y) {
    for (std::uint32_t x = 0; x < image.width; ++x) {
      if (image.pixels[std::size_t{y} * image.width + x] != 0 && (y > kNrmlMaxRow || x >= kNrmlColumnLimit)) {
        return false;
      }
    }
  }
  return true;
}

// ---- PLAN and PLNR

// Packs codes most significant bit first.
class BitWriter {
 public:
  void Put(unsigned code, unsigned width) {
    for (unsigned bit = width; bit > 0; --bit) {
      if (bitCount_ % 8 == 0) {
        bytes_.push_back(0);
      }
      if (((code >> (bit - 1)) & 1) != 0) {
        bytes_.back() = static_cast<std::uint8_t>(bytes_.back() | (0x80 >> (bitCount_ % 8)));
      }
      ++bitCount_;
    }
  }

  // The packed bytes and one zero byte, so that the 16-bit window the decoder reads for the last
  // code stays inside the frame.
  std::vector<std::uint8_t> Finish() {
    bytes_.push_back(0);
    return std::move(bytes_);
  }

 private:
  std::vector<std::uint8_t> bytes_;
  std::size_t bitCount_ = 0;
};

std::vector<std::uint8_t> ColoursUsed(const IndexedImage& image) {
  std::array<bool, 256> used{};
  for (const std::uint8_t pixel : image.pixels) {
    used[pixel] = true;
  }
  std::vector<std::uint8_t> colours;
  for (std::size_t value = 0; value < used.size(); ++value) {
    if (used[value]) {
      colours.push_back(static_cast<std::uint8_t>(value));
    }
  }
  return colours;
}

// Frame bytes of a PLAN or PLNR frame: header, tag, code width, colour map, code stream.
std::vector<std::uint8_t> WritePlanarFrame(const IndexedImage& image, const Tag& tag, unsigned codeWidth,
                                           std::span<const std::uint8_t> colourMap,
                                           std::span<const std::uint8_t> stream) {
  ByteWriter writer;
  WriteHeader(writer, image);
  writer.u8(kNotNrmlMarker);
  writer.tag(tag);
  writer.u8(static_cast<std::uint8_t>(codeWidth));
  writer.bytes(colourMap);
  writer.bytes(stream);
  return writer.take();
}

// `colours` holds the colours used, at most 2^B of them. They take codes 1 and up; when all 2^B
// codes are needed, the least used colour takes code 0, written as the escaped pair 0, 0.
std::vector<std::uint8_t> EncodePlnrWithWidth(const IndexedImage& image, const std::vector<std::uint8_t>& colours,
                                              unsigned codeWidth) {
  const std::size_t codeCount = std::size_t{1} << codeWidth;
  std::vector<std::uint8_t> byUse = colours;
  if (colours.size() == codeCount) {
    std::array<std::size_t, 256> uses{};
    for (const std::uint8_t pixel : image.pixels) {
      ++uses[pixel];
    }
    std::stable_sort(byUse.begin(), byUse.end(), [&uses](std::uint8_t a, std::uint8_t b) { return uses[a] > uses[b]; });
  }
  std::vector<std::uint8_t> colourMap(codeCount, 0);
  std::array<unsigned, 256> codeOf{};
  for (std::size_t i = 0; i < byUse.size(); ++i) {
    const unsigned code = static_cast<unsigned>((i + 1) % codeCount);
    colourMap[code] = byUse[i];
    codeOf[byUse[i]] = code;
  }
  const std::size_t longestRun = (std::size_t{1} << codeWidth) + 1;
  BitWriter codes;
  const std::vector<std::uint8_t>& pixels = image.pixels;
  std::size_t i = 0;
  while (i < pixels.size()) {
    const std::uint8_t value = pixels[i];
    if (codeOf[value] == 0) {
      codes.Put(0, codeWidth);
    }
    codes.Put(codeOf[value], codeWidth);
    ++i;
    std::size_t repeats = 0;
    while (i + repeats < pixels.size() && pixels[i + repeats] == value) {
      ++repeats;
    }
    while (repeats >= kMinFillRun) {
      const std::size_t run = std::min(repeats, longestRun);
      codes.Put(0, codeWidth);
      codes.Put(static_cast<unsigned>(run - 2), codeWidth);
      repeats -= run;
      i += run;
    }
  }
  return WritePlanarFrame(image, kTagPlnr, codeWidth, colourMap, codes.Finish());
}

}  // namespace

std::vector<std::uint8_t> EncodeBlankFrame(std::uint16_t width, std::uint16_t height) {
  ByteWriter writer;
  writer.u16le(width);
  writer.u16le(height);
  writer.u8(kNotNrmlMarker);
  return writer.take();
}

std::optional<std::vector<std::uint8_t>> EncodeNrmlFrame(const IndexedImage& image) {
  if (!HasValidShape(image) || !NrmlCanReach(image)) {
    return std::nullopt;
  }
  auto row = [&image](std::uint32_t y) {
    return std::span(image.pixels).subspan(std::size_t{y} * image.width, image.width);
  };
  auto holdsPixels = [](std::span<const std::uint8_t> pixels) {
    return std::any_of(pixels.begin(), pixels.end(), [](std::uint8_t pixel) { return pixel != 0; });
  };
  ByteWriter writer;
  WriteHeader(writer, image);
  // The first row is always row 0, so the decoder has nothing to remark on; a row 0 of nothing
  // but index 0 is one segment of no pixels.
  writer.u8(0);
  if (image.height > 0 && holdsPixels(row(0))) {
    WriteRowSegments(writer, row(0));
  } else {
    writer.u8(0);
    writer.u8(kLastSegmentOfRow);
    writer.u8(0);
    writer.u8(0);
  }
  // Every later row is named by the byte that ends the row before it.
  for (std::uint32_t y = 1; y < image.height && y <= kNrmlMaxRow; ++y) {
    if (holdsPixels(row(y))) {
      writer.u8(static_cast<std::uint8_t>(y));
      WriteRowSegments(writer, row(y));
    }
  }
  writer.u8(kEndOfFrameRow);
  return writer.take();
}

std::optional<std::vector<std::uint8_t>> EncodePlanFrame(const IndexedImage& image) {
  if (!HasValidShape(image)) {
    return std::nullopt;
  }
  const std::vector<std::uint8_t> colours = ColoursUsed(image);
  unsigned codeWidth = 0;
  while ((std::size_t{1} << codeWidth) < colours.size()) {
    ++codeWidth;
  }
  std::vector<std::uint8_t> colourMap(std::size_t{1} << codeWidth, 0);
  std::array<unsigned, 256> codeOf{};
  for (std::size_t i = 0; i < colours.size(); ++i) {
    colourMap[i] = colours[i];
    codeOf[colours[i]] = static_cast<unsigned>(i);
  }
  BitWriter codes;
  for (const std::uint8_t pixel : image.pixels) {
    codes.Put(codeOf[pixel], codeWidth);
  }
  return WritePlanarFrame(image, kTagPlan, codeWidth, colourMap, codes.Finish());
}

std::optional<std::vector<std::uint8_t>> EncodePlnrFrame(const IndexedImage& image) {
  if (!HasValidShape(image)) {
    return std::nullopt;
  }
  const std::vector<std::uint8_t> colours = ColoursUsed(image);
  // With code 0 taken by the escape, 255 codes of 8 bits leave one colour without a code of its
  // own; that colour goes on code 0, reachable through the escape.
  unsigned codeWidth = 1;
  while (codeWidth < kMaxCodeWidth && (std::size_t{1} << codeWidth) - 1 < colours.size()) {
    ++codeWidth;
  }
  std::optional<std::vector<std::uint8_t>> best;
  for (; codeWidth <= kMaxCodeWidth; ++codeWidth) {
    std::vector<std::uint8_t> frame = EncodePlnrWithWidth(image, colours, codeWidth);
    if (!best || frame.size() < best->size()) {
      best = std::move(frame);
    }
  }
  return best;
}

std::optional<std::vector<std::uint8_t>> WriteFrameSetPayload(const std::vector<std::vector<std::uint8_t>>& frames) {
  if (frames.size() > kMaxDimension) {
    return std::nullopt;
  }
  std::uint64_t position = kFrameSetTableStart + 4 * std::uint64_t{frames.size()};
  ByteWriter writer;
  writer.zeros(4);
  writer.u16le(static_cast<std::uint16_t>(frames.size()));
  for (const std::vector<std::uint8_t>& frame : frames) {
    if (position > std::numeric_limits<std::uint32_t>::max()) {
      return std::nullopt;
    }
    writer.u32le(static_cast<std::uint32_t>(position));
    position += frame.size();
  }
  for (const std::vector<std::uint8_t>& frame : frames) {
    writer.bytes(frame);
  }
  return writer.take();
}

}  // namespace karst::authoring
