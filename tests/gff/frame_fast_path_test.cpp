// The decoders write runs whole and read codes through an accumulator. Here they are held to
// the plain decoders beside them (DecodeNrmlReference, DecodePlanReference, DecodePlnrReference),
// over encoded images and over truncated and corrupted copies of them: the same pixels, bit for bit.
#include <gtest/gtest.h>

#include <algorithm>
#include <random>
#include <string_view>
#include <vector>

#include "authoring/frame_encoders.h"
#include "tests/gff/frame_fixtures.h"

namespace karst {
namespace {

using authoring::IndexedImage;
using frame_tests::DecodeFrameAt;

IndexedImage RandomImage(std::mt19937& random) {
  const auto width = static_cast<std::uint32_t>(std::uniform_int_distribution<int>(1, 70)(random));
  const auto height = static_cast<std::uint32_t>(std::uniform_int_distribution<int>(1, 40)(random));
  const int colours = std::uniform_int_distribution<int>(1, 255)(random);
  IndexedImage image{width, height, std::vector<std::uint8_t>(std::size_t{width} * height)};
  std::uint8_t value = 0;
  for (std::uint8_t& pixel : image.pixels) {
    // Runs, transparent stretches and noise, so fills, copies, escapes and runs all appear.
    if (std::uniform_int_distribution<int>(0, 3)(random) == 0) {
      value = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, colours)(random));
    }
    pixel = std::uniform_int_distribution<int>(0, 5)(random) == 0 ? 0 : value;
  }
  return image;
}

TEST(FrameFastPathTest, DecodersMatchThePlainWayOnWholeCutAndCorruptedFrames) {
  std::mt19937 random(77);
  int compared = 0;
  for (int round = 0; round < 600; ++round) {
    SCOPED_TRACE(round);
    const IndexedImage image = RandomImage(random);
    const int kind = round % 3;
    std::vector<std::uint8_t> data = *(kind == 0   ? authoring::EncodeNrmlFrame(image)
                                       : kind == 1 ? authoring::EncodePlanFrame(image)
                                                   : authoring::EncodePlnrFrame(image));
    switch (std::uniform_int_distribution<int>(0, 3)(random)) {
      case 0:
        break;
      case 1:  // cut short, anywhere after the header
        data.resize(std::uniform_int_distribution<std::size_t>(kFrameHeaderSize, data.size())(random));
        break;
      case 2:  // a few bytes after the tag changed
        for (int i = 0; i < 3; ++i) {
          const std::size_t at = std::uniform_int_distribution<std::size_t>(9, data.size() - 1)(random);
          data[at] = static_cast<std::uint8_t>(random());
        }
        break;
      default:  // another code width, or NRML rows and commands changed
        if (kind != 0 && data.size() > 9) {
          data[9] = static_cast<std::uint8_t>(std::uniform_int_distribution<int>(0, 9)(random));
        } else {
          const std::size_t at = std::uniform_int_distribution<std::size_t>(4, data.size() - 1)(random);
          data[at] = static_cast<std::uint8_t>(random());
        }
        break;
    }
    const frame_tests::DecodedFrame decoded = DecodeFrameAt(data);
    const std::size_t pixelCount = std::size_t{image.width} * image.height;
    if (data.size() > 9 && kind != 0 && data[9] > 8) {
      EXPECT_EQ(decoded.frame.pixels, std::vector<std::uint8_t>(pixelCount, 0));
      continue;
    }
    const std::vector<std::uint8_t> expected = kind == 0   ? DecodeNrmlReference(data, image.width, image.height)
                                               : kind == 1 ? DecodePlanReference(data, image.width, image.height)
                                                           : DecodePlnrReference(data, image.width, image.height);
    ASSERT_EQ(decoded.frame.pixels, expected);
    ++compared;
  }
  EXPECT_GT(compared, 500);
}

// Commands near the payload's end are decoded in whole 16-byte blocks only while those are in
// the payload, else one by one: fills and copies of 1 to 33 pixels followed by 0 to 17 bytes,
// across that boundary, give exactly the run's pixels and no note.
TEST(FrameFastPathTest, RunsNearThePayloadsEndGiveTheirPixels) {
  for (const bool fill : {false, true}) {
    for (unsigned length = 1; length <= 33; length += (length < 18 ? 1 : 15)) {
      for (std::size_t padding = 0; padding <= 17; ++padding) {
        SCOPED_TRACE(::testing::Message() << (fill ? "fill of " : "copy of ") << length << ", " << padding << " after");
        // 40 x 1, row 0: one segment (x 0, last of its row, `length` pixels) of one command, then
        // the end-of-frame row byte.
        std::vector<std::uint8_t> data = {40, 0, 1, 0, 0, 0, 128, static_cast<std::uint8_t>(length), 0};
        data.push_back(static_cast<std::uint8_t>(((length - 1) << 1) | (fill ? 1 : 0)));
        std::vector<std::uint8_t> expected(40, 0);
        for (unsigned i = 0; i < length; ++i) {
          expected[i] = static_cast<std::uint8_t>(fill ? 77 : 100 + i);
          if (!fill || i == 0) {
            data.push_back(expected[i]);
          }
        }
        data.push_back(kEndOfFrameRow);
        data.resize(data.size() + padding, 0xEE);
        const frame_tests::DecodedFrame decoded = DecodeFrameAt(data);
        EXPECT_EQ(decoded.frame.pixels, expected);
        EXPECT_TRUE(decoded.notes.empty());
      }
    }
  }
}

// A segment decoded in blocks goes into the pixels in whole blocks where a block's room follows
// it, and the bytes past its end keep what was there: a second segment of a row, ending at
// every column on either side of the first one's pixels and of the frame's last 16, leaves the
// first one's pixels as the plain way does.
TEST(FrameFastPathTest, ASegmentsBlocksKeepThePixelsAfterIt) {
  for (const unsigned count : {1u, 5u, 16u, 17u, 33u}) {
    for (unsigned end = count; end <= 40; ++end) {
      SCOPED_TRACE(::testing::Message() << count << " pixels ending at " << end);
      // 40 x 1, row 0: a fill of 20 sevens at column 20, then `count` pixels 100, 101, ... (a
      // copy) ending at column `end`, the end-of-frame row byte and 20 bytes of padding.
      std::vector<std::uint8_t> data = {40, 0, 1, 0, 0, 20, 0, 20, 0, 39, 7};
      data.insert(data.end(), {static_cast<std::uint8_t>(end - count), 128, static_cast<std::uint8_t>(count), 0});
      data.push_back(static_cast<std::uint8_t>((count - 1) << 1));
      for (unsigned i = 0; i < count; ++i) {
        data.push_back(static_cast<std::uint8_t>(100 + i));
      }
      data.push_back(kEndOfFrameRow);
      data.resize(data.size() + 20, 0xEE);
      const frame_tests::DecodedFrame decoded = DecodeFrameAt(data);
      EXPECT_EQ(decoded.frame.pixels, DecodeNrmlReference(data, 40, 1));
      EXPECT_TRUE(decoded.notes.empty());
    }
  }
}

// A segment whose last command runs past its pixel count writes the whole command and is noted;
// one that ends on its count is not. Far from the payload's end, so decoded in blocks.
TEST(FrameFastPathTest, ASegmentsLastRunMayPassItsCount) {
  struct Case {
    unsigned count;
    std::vector<std::uint8_t> commands;
    std::vector<std::uint8_t> pixels;  // the first of the frame's 20; the rest stay 0
    bool overrun;
  };
  // 15, 5: a fill of 8 fives; 0, 6: a copy of one 6.
  const Case cases[] = {
      {7, {15, 5}, {5, 5, 5, 5, 5, 5, 5, 5}, true},
      {8, {15, 5}, {5, 5, 5, 5, 5, 5, 5, 5}, false},
      {9, {15, 5, 0, 6}, {5, 5, 5, 5, 5, 5, 5, 5, 6}, false},
  };
  for (const Case& c : cases) {
    SCOPED_TRACE(c.count);
    // 20 x 1: one segment of `count` pixels, the end-of-frame row byte, 40 bytes of padding.
    std::vector<std::uint8_t> data = {20, 0, 1, 0, 0, 0, 128, static_cast<std::uint8_t>(c.count), 0};
    data.insert(data.end(), c.commands.begin(), c.commands.end());
    data.push_back(kEndOfFrameRow);
    for (int i = 0; i < 40; ++i) {
      data.push_back(0xEE);
    }
    std::vector<std::uint8_t> expected = c.pixels;
    expected.resize(20, 0);
    const frame_tests::DecodedFrame decoded = DecodeFrameAt(data);
    EXPECT_EQ(decoded.frame.pixels, expected);
    ASSERT_EQ(decoded.notes.size(), c.overrun ? 1u : 0u);
    if (c.overrun) {
      EXPECT_EQ(decoded.notes[0].kind, NoteKind::kSegmentOverrun);
    }
  }
}

// Every code width, over frames whose pixel counts sit on either side of a group of eight codes
// and of the last group an 8-byte load can take: PLAN's pixels are exactly the map's entries
// of the codes, PLNR's those of the plain way.
TEST(FrameFastPathTest, EveryCodeWidthAcrossGroupBoundaries) {
  for (unsigned width = 1; width <= 8; ++width) {
    for (const std::uint32_t pixels : {1u, 7u, 8u, 9u, 15u, 16u, 17u, 63u, 64u, 65u, 200u}) {
      SCOPED_TRACE(::testing::Message() << width << "-bit codes, " << pixels << " pixels");
      const unsigned entries = 1u << width;
      std::vector<unsigned> codes(pixels);
      for (std::uint32_t i = 0; i < pixels; ++i) {
        codes[i] = (i * 37 + i / 5) % entries;
      }
      std::vector<std::uint8_t> stream((pixels * width + 7) / 8, 0);
      for (std::uint32_t i = 0; i < pixels; ++i) {
        for (unsigned b = 0; b < width; ++b) {
          const std::uint64_t bit = std::uint64_t{i} * width + b;
          if ((codes[i] >> (width - 1 - b)) & 1) {
            stream[bit / 8] = static_cast<std::uint8_t>(stream[bit / 8] | (0x80 >> (bit % 8)));
          }
        }
      }
      for (const bool runs : {false, true}) {
        // `pixels` x 1, the tag, the code width, the map (entry v is 200 - v), the stream.
        std::vector<std::uint8_t> data = {static_cast<std::uint8_t>(pixels), 0, 1, 0, 255};
        for (const char letter : std::string_view(runs ? "PLNR" : "PLAN")) {
          data.push_back(static_cast<std::uint8_t>(letter));
        }
        data.push_back(static_cast<std::uint8_t>(width));
        for (unsigned v = 0; v < entries; ++v) {
          data.push_back(static_cast<std::uint8_t>(200 - v));
        }
        data.insert(data.end(), stream.begin(), stream.end());
        std::vector<std::uint8_t> expected(pixels);
        for (std::uint32_t i = 0; i < pixels; ++i) {
          expected[i] = static_cast<std::uint8_t>(200 - codes[i]);
        }
        EXPECT_EQ(DecodeFrameAt(data).frame.pixels, runs ? DecodePlnrReference(data, pixels, 1) : expected);
      }
    }
  }
}

// PLNR frames of every code width whose codes are mostly the longest runs, so that where the
// decoder stops writing groups straight into the pixels falls anywhere: frames from a few
// pixels to thousands, their streams cut at every length (every few bytes in the longest), with
// codes left over past the frame's end or none. The pixels are those of the plain way, and
// nothing is left written past the last pixel a cut stream reaches.
TEST(FrameFastPathTest, PlnrRunsAcrossThePixelsEndAndTheStreamsEnd) {
  std::uint32_t seed = 12345;
  auto next = [&seed](unsigned below) {
    seed = seed * 1103515245u + 12345u;
    return (seed >> 16) % below;
  };
  for (unsigned width = 1; width <= 8; ++width) {
    const unsigned entries = 1u << width;
    for (const std::uint32_t pixels : {3u, 40u, 161u, 700u, 2300u, 4400u}) {
      SCOPED_TRACE(::testing::Message() << width << "-bit codes, " << pixels << " pixels");
      // Codes for about the frame's pixels and a few more: runs of the longest kind, other
      // runs, escaped zeros and single pixels.
      std::vector<unsigned> codes;
      for (std::uint64_t covered = 0; covered < pixels + 40;) {
        const unsigned kind = next(8);
        const unsigned code = 1 + next(entries - 1 > 0 ? entries - 1 : 1);
        if (kind < 3) {
          codes.insert(codes.end(), {0, entries - 1});
          covered += entries + 1;
        } else if (kind < 5) {
          codes.insert(codes.end(), {0, code});
          covered += code + 2;
        } else if (kind == 5) {
          codes.insert(codes.end(), {0, 0});
          covered += 1;
        } else {
          codes.push_back(code);
          covered += 1;
        }
      }
      std::vector<std::uint8_t> data = {static_cast<std::uint8_t>(pixels & 0xFF),
                                        static_cast<std::uint8_t>(pixels >> 8),
                                        1,
                                        0,
                                        255,
                                        'P',
                                        'L',
                                        'N',
                                        'R',
                                        static_cast<std::uint8_t>(width)};
      for (unsigned v = 0; v < entries; ++v) {
        data.push_back(static_cast<std::uint8_t>(200 - v));
      }
      const std::size_t header = data.size();
      data.resize(header + (codes.size() * width + 7) / 8, 0);
      for (std::size_t i = 0; i < codes.size(); ++i) {
        for (unsigned b = 0; b < width; ++b) {
          const std::uint64_t bit = std::uint64_t{i} * width + b;
          if ((codes[i] >> (width - 1 - b)) & 1) {
            data[header + bit / 8] = static_cast<std::uint8_t>(data[header + bit / 8] | (0x80 >> (bit % 8)));
          }
        }
      }
      const std::size_t stride = pixels > 1000 ? 7 : 1;
      for (std::size_t size = header; size <= data.size(); size += (data.size() - size <= 16 ? 1 : stride)) {
        const std::vector<std::uint8_t> cut(data.begin(), data.begin() + static_cast<std::ptrdiff_t>(size));
        ASSERT_EQ(DecodeFrameAt(cut).frame.pixels, DecodePlnrReference(cut, pixels, 1)) << size << " bytes";
      }
    }
  }
}

// The boundary of the last code: a stream with room for exactly n codes gives n pixels, one bit
// less gives n - 1; the rest stays 0.
TEST(FrameFastPathTest, LastCodeNeedsAllItsBits) {
  for (unsigned width = 1; width <= 8; ++width) {
    SCOPED_TRACE(width);
    // Frame 24 x 1, "PLAN", width, map of 2^width entries all 9, then 3 bytes of stream.
    std::vector<std::uint8_t> data = {24, 0, 1, 0, 255, 'P', 'L', 'A', 'N', static_cast<std::uint8_t>(width)};
    data.insert(data.end(), std::size_t{1} << width, 9);
    data.insert(data.end(), {0xFF, 0xFF, 0xFF});
    const std::size_t codes = std::min<std::size_t>(24, 24 / width);
    std::vector<std::uint8_t> expected(24, 0);
    std::fill_n(expected.begin(), codes, 9);
    EXPECT_EQ(DecodeFrameAt(data).frame.pixels, expected);
  }
}

}  // namespace
}  // namespace karst
