// PLAN and PLNR frames: the code reader, the colour map, escaped runs, and streams or maps that
// end early.
#include <gtest/gtest.h>

#include <vector>

#include "tests/gff/frame_fixtures.h"

namespace karst {
namespace {

using frame_tests::Bytes;
using frame_tests::DecodeFrameAt;

// Frame data of a PLAN or PLNR frame: header, tag, code width, colour map and code stream.
std::vector<std::uint8_t> Planar(const Tag& tag, int width, int height, int codeWidth,
                                 const std::vector<std::uint8_t>& colourMap, const std::vector<std::uint8_t>& stream) {
  std::vector<std::uint8_t> data = Bytes({width & 0xFF, width >> 8,    // width
                                          height & 0xFF, height >> 8,  // height
                                          0xFF,                        // not NRML
                                          tag[0], tag[1], tag[2], tag[3], codeWidth});
  data.insert(data.end(), colourMap.begin(), colourMap.end());
  data.insert(data.end(), stream.begin(), stream.end());
  return data;
}

std::vector<std::uint8_t> MapOf16(std::initializer_list<std::pair<int, int>> entries) {
  std::vector<std::uint8_t> map(16, 0);
  for (const auto& [code, value] : entries) {
    map[static_cast<std::size_t>(code)] = static_cast<std::uint8_t>(value);
  }
  return map;
}

TEST(PlanFrame, CodesOfTwoBitsThroughTheColourMap) {
  // C8 00 = 11 00 10 00 ...: the codes 3, 0, 2.
  const auto decoded = DecodeFrameAt(Planar(kTagPlan, 3, 1, 2, {0x10, 0x20, 0x30, 0x40}, {0xC8, 0x00}));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0x40, 0x10, 0x30}));
  EXPECT_EQ(decoded.frame.colourMap, Bytes({0x10, 0x20, 0x30, 0x40}));
  EXPECT_TRUE(SameTag(decoded.frame.encoding, kTagPlan));
  EXPECT_EQ(decoded.channels.out, "");
  EXPECT_EQ(decoded.channels.err, "");
}

TEST(PlanFrame, LastCodeInsideTheLastByteNeedsNoByteAfterIt) {
  // Without the 00: every code's bits lie in C8, and the window's missing low byte is not read.
  const auto decoded = DecodeFrameAt(Planar(kTagPlan, 3, 1, 2, {0x10, 0x20, 0x30, 0x40}, {0xC8}));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0x40, 0x10, 0x30}));
}

TEST(PlanFrame, CodesStraddleBytes) {
  // B = 3, codes 5 6 7 1: 101 110 111 001 -> 1011 1011 1001 ....
  std::vector<std::uint8_t> map(8);
  for (std::size_t v = 0; v < map.size(); ++v) {
    map[v] = static_cast<std::uint8_t>(0xA0 + v);
  }
  const auto decoded = DecodeFrameAt(Planar(kTagPlan, 2, 2, 3, map, {0xBB, 0x90}));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0xA5, 0xA6, 0xA7, 0xA1}));
}

TEST(PlanFrame, EightBitCodesAreWholeBytes) {
  std::vector<std::uint8_t> map(256);
  for (std::size_t v = 0; v < map.size(); ++v) {
    map[v] = static_cast<std::uint8_t>(255 - v);
  }
  const auto decoded = DecodeFrameAt(Planar(kTagPlan, 4, 1, 8, map, {0x00, 0x01, 0x80, 0xFF}));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0xFF, 0xFE, 0x7F, 0x00}));
  EXPECT_EQ(decoded.frame.colourMap, map);
}

TEST(PlanFrame, CodeWidthZeroFillsWithTheOnlyEntry) {
  const auto decoded = DecodeFrameAt(Planar(kTagPlan, 3, 2, 0, {0x2A}, {}));
  EXPECT_EQ(decoded.frame.pixels, std::vector<std::uint8_t>(6, 0x2A));
  EXPECT_EQ(decoded.frame.colourMap, Bytes({0x2A}));
}

TEST(PlanFrame, StreamEndingEarlyLeavesTheRestZero) {
  // B = 4, 5 pixels, one stream byte: codes 1 and 2, then nothing.
  const auto decoded = DecodeFrameAt(Planar(kTagPlan, 5, 1, 4, MapOf16({{1, 0x11}, {2, 0x22}}), {0x12}));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0x11, 0x22, 0, 0, 0}));
  EXPECT_EQ(decoded.channels.out, "");
}

TEST(PlanFrame, CodeCutByTheStreamEndIsNotDecoded) {
  // B = 5: the second code needs bits 5-9, but the stream is one byte long.
  std::vector<std::uint8_t> map(32, 0x77);
  const auto decoded = DecodeFrameAt(Planar(kTagPlan, 2, 1, 5, map, {0x08}));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0x77, 0}));
}

TEST(PlanFrame, ColourMapCutShortKeepsZerosAndDecodesNoCode) {
  const auto decoded = DecodeFrameAt(Planar(kTagPlan, 2, 1, 4, {0x31, 0x32, 0x33}, {}));
  std::vector<std::uint8_t> map(16, 0);
  map[0] = 0x31;
  map[1] = 0x32;
  map[2] = 0x33;
  EXPECT_EQ(decoded.frame.colourMap, map);
  EXPECT_EQ(decoded.frame.pixels, Bytes({0, 0}));
}

TEST(PlanFrame, CodeWidthEightDecodesNineIsAllZeros) {
  std::vector<std::uint8_t> map(256, 0x44);
  const auto eight = DecodeFrameAt(Planar(kTagPlan, 2, 1, 8, map, {0x03, 0x04}));
  EXPECT_EQ(eight.frame.pixels, Bytes({0x44, 0x44}));
  map.resize(512, 0x44);
  const auto nine = DecodeFrameAt(Planar(kTagPlan, 2, 1, 9, map, {0x03, 0x04}));
  EXPECT_EQ(nine.frame.pixels, Bytes({0, 0}));
  EXPECT_TRUE(nine.frame.colourMap.empty());
  const auto wide = DecodeFrameAt(Planar(kTagPlnr, 2, 1, 200, map, {0x03, 0x04}));
  EXPECT_EQ(wide.frame.pixels, Bytes({0, 0}));
}

TEST(PlanarFrame, NoWidthOrNoHeightKeepsTheMapAndReadsNoCode) {
  for (const auto& [width, height] : {std::pair{0, 3}, std::pair{3, 0}}) {
    for (const Tag& tag : {kTagPlan, kTagPlnr}) {
      const auto decoded = DecodeFrameAt(Planar(tag, width, height, 1, {0x05, 0x06}, {}));
      EXPECT_FALSE(decoded.frame.HasPixels());
      EXPECT_EQ(decoded.frame.colourMap, Bytes({0x05, 0x06}));
      EXPECT_EQ(decoded.frame.width, static_cast<std::uint32_t>(width));
    }
  }
}

TEST(PlnrFrame, CodeThenEscapedRun) {
  // 10 20: codes 1, 0, 2, 0: one pixel of entry 1, then a run of 2 + 2.
  const auto decoded = DecodeFrameAt(Planar(kTagPlnr, 5, 1, 4, MapOf16({{1, 0x21}}), {0x10, 0x20}));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0x21, 0x21, 0x21, 0x21, 0x21}));
  EXPECT_TRUE(SameTag(decoded.frame.encoding, kTagPlnr));
}

TEST(PlnrFrame, EscapedZeroIsOnePixelOfEntryZero) {
  // 00 12: codes 0, 0, 1, 2.
  const auto decoded =
      DecodeFrameAt(Planar(kTagPlnr, 3, 1, 4, MapOf16({{0, 0x77}, {1, 0x11}, {2, 0x22}}), {0x00, 0x12}));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0x77, 0x11, 0x22}));
}

TEST(PlnrFrame, RunBeforeAnyPixelRepeatsTheByteZero) {
  // 03 10: codes 0, 3 (five pixels of the byte 0, not entry 0), 1, 0.
  const auto decoded = DecodeFrameAt(Planar(kTagPlnr, 6, 1, 4, MapOf16({{0, 0x77}, {1, 0x11}}), {0x03, 0x10}));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0, 0, 0, 0, 0, 0x11}));
}

TEST(PlnrFrame, RunAfterEscapedZeroRepeatsEntryZero) {
  // 00 01: codes 0, 0 (entry 0), 0, 1 (a run of three).
  const auto decoded = DecodeFrameAt(Planar(kTagPlnr, 4, 1, 4, MapOf16({{0, 0x77}}), {0x00, 0x01}));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0x77, 0x77, 0x77, 0x77}));
}

TEST(PlnrFrame, RunPastTheFrameEndIsCutAndEndsDecoding) {
  // 10 71: codes 1, 0, 7 (a run of 9, cut to 3), then 1 which is never read.
  const auto decoded = DecodeFrameAt(Planar(kTagPlnr, 4, 1, 4, MapOf16({{1, 0x33}}), {0x10, 0x71}));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0x33, 0x33, 0x33, 0x33}));
  // The run at the start of a 4-pixel frame: 0 then 7 gives four pixels of the byte 0.
  const auto atStart = DecodeFrameAt(Planar(kTagPlnr, 4, 1, 4, MapOf16({{1, 0x33}}), {0x07, 0x11}));
  EXPECT_EQ(atStart.frame.pixels, Bytes({0, 0, 0, 0}));
}

TEST(PlnrFrame, RunThatExactlyFillsTheFrame) {
  // Codes 1, 0, 1: one pixel and a run of three fill four pixels; the stream's 1 is left over.
  const auto decoded = DecodeFrameAt(Planar(kTagPlnr, 4, 1, 4, MapOf16({{1, 0x33}}), {0x10, 0x11}));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0x33, 0x33, 0x33, 0x33}));
}

TEST(PlnrFrame, CodeWidthZeroGivesOnePixelPerTwoCodes) {
  const auto decoded = DecodeFrameAt(Planar(kTagPlnr, 3, 1, 0, {0x2A}, {}));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0x2A, 0x2A, 0x2A}));
}

TEST(PlnrFrame, StreamEndingEarlyLeavesTheRestZero) {
  // 12: codes 1, 2; then the stream ends.
  auto decoded = DecodeFrameAt(Planar(kTagPlnr, 4, 1, 4, MapOf16({{1, 0x11}, {2, 0x22}}), {0x12}));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0x11, 0x22, 0, 0}));
  // 10: code 1, then an escape whose second code is missing.
  decoded = DecodeFrameAt(Planar(kTagPlnr, 4, 1, 4, MapOf16({{1, 0x11}}), {0x10}));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0x11, 0, 0, 0}));
}

}  // namespace
}  // namespace karst
