// NRML frames: row segments, copy and fill commands, the row walk and its diagnostics, and what
// happens to reads past the payload and writes past the pixels.
#include <gtest/gtest.h>

#include <vector>

#include "tests/gff/frame_fixtures.h"

namespace karst {
namespace {

using frame_tests::Bytes;
using frame_tests::DecodeFrameAt;

// The 4 x 2 frame: row 0 = 07 08 09 09 from a copy of two and a fill of two.
std::vector<std::uint8_t> FourByTwo(int firstRow) {
  return Bytes({
      0x04, 0x00,              // width 4
      0x02, 0x00,              // height 2
      firstRow,                // first row
      0x00, 0x80, 0x04, 0x00,  // segment: x 0, ends the row, 4 pixels, unread byte
      0x02, 0x07, 0x08,        // copy 2: 07 08
      0x03, 0x09,              // fill 2: 09
      0xFF,                    // end of frame
  });
}

TEST(NrmlFrame, CopyAndFillFillRowZero) {
  const auto decoded = DecodeFrameAt(FourByTwo(0));
  EXPECT_EQ(decoded.frame.width, 4u);
  EXPECT_EQ(decoded.frame.height, 2u);
  EXPECT_TRUE(SameTag(decoded.frame.encoding, kTagNrml));
  EXPECT_EQ(decoded.frame.encoding[4], '\0');
  EXPECT_EQ(decoded.frame.pixels, Bytes({7, 8, 9, 9, 0, 0, 0, 0}));
  EXPECT_TRUE(decoded.frame.colourMap.empty());
  EXPECT_EQ(decoded.channels.out, "");
  EXPECT_EQ(decoded.channels.err, "");
}

TEST(NrmlFrame, FirstRowOtherThanZeroDrawsThereAndSendsOneDebugLine) {
  const auto decoded = DecodeFrameAt(FourByTwo(1));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0, 0, 0, 0, 7, 8, 9, 9}));
  EXPECT_EQ(decoded.channels.err, "Y offset: 1 is different!\n");
  EXPECT_EQ(decoded.channels.out, "");
}

TEST(NrmlFrame, LaterRowsAreNamedWithoutDebugLines) {
  const auto decoded = DecodeFrameAt(Bytes({
      0x02, 0x00, 0x03, 0x00,  // 2 x 3
      0x02,                    // first row 2: one debug line
      0x00, 0x80, 0x02, 0x00,  // x 0, ends the row, 2 pixels
      0x03, 0x05,              // fill 2: 05
      0x00,                    // next row 0: no debug line
      0x01, 0x80, 0x01, 0x00,  // x 1, ends the row, 1 pixel
      0x00, 0x06,              // copy 1: 06
      0xFF,
  }));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0, 6, 0, 0, 5, 5}));
  EXPECT_EQ(decoded.channels.err, "Y offset: 2 is different!\n");
}

TEST(NrmlFrame, TwoSegmentsOfOneRowLeaveTheGapZero) {
  const auto decoded = DecodeFrameAt(Bytes({
      0x05,
      0x00,
      0x01,
      0x00,
      0x00,  // 5 x 1, first row 0
      0x00,
      0x00,
      0x01,
      0x00,  // x 0, another segment follows, 1 pixel
      0x01,
      0x0A,  // fill 1: 0A
      0x03,
      0x80,
      0x01,
      0x00,  // x 3, ends the row, 1 pixel
      0x01,
      0x0B,  // fill 1: 0B
      0xFF,
  }));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0x0A, 0, 0, 0x0B, 0}));
  EXPECT_EQ(decoded.channels.out, "");
}

TEST(NrmlFrame, SegmentOfNoPixelsConsumesNoCommandBytes) {
  const auto decoded = DecodeFrameAt(Bytes({
      0x04,
      0x00,
      0x01,
      0x00,
      0x00,  // 4 x 1, first row 0
      0x01,
      0x00,
      0x00,
      0x00,  // x 1, another segment follows, 0 pixels
      0x02,
      0x80,
      0x01,
      0x00,  // x 2, ends the row, 1 pixel
      0x01,
      0x07,  // fill 1: 07
      0xFF,
  }));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0, 0, 7, 0}));
  EXPECT_EQ(decoded.channels.out, "");
}

TEST(NrmlFrame, CommandFFFillsAndFECopies128Pixels) {
  // 129 pixels wide, so the 129th shows that each command stops at 128.
  std::vector<std::uint8_t> fill = Bytes({0x81, 0x00, 0x02, 0x00, 0x00,  // 129 x 2
                                          0x00, 0x80, 0x80, 0x00,        // x 0, ends the row, 128
                                          0xFF, 0x0C,                    // fill 128: 0C
                                          0x01,                          // next row 1
                                          0x00, 0x80, 0x80, 0x00,        // x 0, ends the row, 128
                                          0xFE});                        // copy 128:
  for (int i = 0; i < 128; ++i) {
    fill.push_back(static_cast<std::uint8_t>(i + 1));  // 01 .. 80
  }
  fill.push_back(0xFF);
  const auto decoded = DecodeFrameAt(fill);
  ASSERT_EQ(decoded.frame.pixels.size(), 258u);
  for (std::size_t x = 0; x < 128; ++x) {
    EXPECT_EQ(decoded.frame.pixels[x], 0x0C) << x;
    EXPECT_EQ(decoded.frame.pixels[129 + x], x + 1) << x;
  }
  EXPECT_EQ(decoded.frame.pixels[128], 0);
  EXPECT_EQ(decoded.frame.pixels[257], 0);
  EXPECT_EQ(decoded.channels.out, "");
}

TEST(NrmlFrame, CommandPastTheSegmentCountIsPeculiarAndEndsTheRow) {
  const auto decoded = DecodeFrameAt(Bytes({
      0x08, 0x00, 0x02, 0x00, 0x00,  // 8 x 2, first row 0
      0x00, 0x00, 0x03, 0x00,        // x 0, "another segment follows", 3 pixels
      0x03, 0x01,                    // fill 2: 01
      0x05, 0x02,                    // fill 3: 02, done = 5
      0x01,                          // read as the next row's index, not a segment header
      0x02, 0x80, 0x01, 0x00,        // x 2, ends the row, 1 pixel
      0x01, 0x09,                    // fill 1: 09
      0xFF,
  }));
  EXPECT_EQ(decoded.frame.pixels, Bytes({1, 1, 2, 2, 2, 0, 0, 0,  //
                                         0, 0, 9, 0, 0, 0, 0, 0}));
  EXPECT_EQ(decoded.channels.out, "Something peculiar happened!\n");
}

TEST(NrmlFrame, SegmentRunsOnIntoTheNextRow) {
  const auto decoded = DecodeFrameAt(Bytes({
      0x03,
      0x00,
      0x02,
      0x00,
      0x00,  // 3 x 2, first row 0
      0x02,
      0x80,
      0x03,
      0x00,  // x 2, ends the row, 3 pixels
      0x04,
      0x04,
      0x05,
      0x06,  // copy 3: 04 05 06
      0xFF,
  }));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0, 0, 4, 5, 6, 0}));
}

TEST(NrmlFrame, WritesPastTheLastPixelAreDropped) {
  const auto decoded = DecodeFrameAt(Bytes({
      0x03, 0x00, 0x02, 0x00, 0x01,  // 3 x 2, first row 1
      0x02, 0x80, 0x7F, 0x00,        // x 2, ends the row, 127 pixels
      0xFD, 0x04,                    // fill 127: 04; all but the first fall outside
      0x07,                          // next row 7: beyond the frame
      0x00, 0x80, 0x02, 0x00,        // x 0, ends the row, 2 pixels
      0x03, 0x05,                    // fill 2: dropped
      0xFF,
  }));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0, 0, 0, 0, 0, 4}));
  EXPECT_EQ(decoded.channels.out, "");
}

TEST(NrmlFrame, ColumnBeyondTheWidthOfTheLastRowIsDropped) {
  // x = 200 of row 0 in a 2 x 2 frame lies beyond the buffer: dropped, not wrapped.
  const auto decoded = DecodeFrameAt(Bytes({
      0x02,
      0x00,
      0x02,
      0x00,
      0x00,  // 2 x 2, first row 0
      0xC8,
      0x80,
      0x01,
      0x00,  // x 200, ends the row, 1 pixel
      0x01,
      0x03,  // fill 1: 03
      0xFF,
  }));
  EXPECT_EQ(decoded.frame.pixels, Bytes({0, 0, 0, 0}));
}

TEST(NrmlFrame, FrameWithoutItsEndRunsOutOnceAndKeepsWhatItDrew) {
  std::vector<std::uint8_t> data = FourByTwo(0);
  data.pop_back();  // the closing FF
  const auto decoded = DecodeFrameAt(data);
  EXPECT_EQ(decoded.frame.pixels, Bytes({7, 8, 9, 9, 0, 0, 0, 0}));
  EXPECT_EQ(decoded.channels.out, "We ran outta space!\n");
}

TEST(NrmlFrame, EveryCutOfTheFrameRunsOutOnce) {
  const std::vector<std::uint8_t> data = FourByTwo(0);
  // Expected pixels of row 0 for each length: the header (5 + 4), the copy (3), the fill (2).
  const std::vector<std::vector<std::uint8_t>> rowZero = {
      {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0},  // 5 .. 8: inside the header
      {0, 0, 0, 0}, {0, 0, 0, 0}, {0, 0, 0, 0},                // 9 .. 11: copy incomplete
      {7, 8, 0, 0}, {7, 8, 0, 0},                              // 12, 13: fill incomplete
      {7, 8, 9, 9},                                            // 14: the end byte missing
  };
  for (std::size_t length = 5; length < data.size(); ++length) {
    const auto decoded = DecodeFrameAt(std::span(data).first(length));
    std::vector<std::uint8_t> expected = rowZero[length - 5];
    expected.resize(8, 0);
    EXPECT_EQ(decoded.frame.pixels, expected) << "length " << length;
    EXPECT_EQ(decoded.channels.out, "We ran outta space!\n") << "length " << length;
  }
}

TEST(NrmlFrame, CopyThatJustFitsBesideOneThatOverruns) {
  // The copy's last byte is the payload's last byte: drawn; the end byte is then missing.
  const std::vector<std::uint8_t> fits = Bytes({0x02, 0x00, 0x01, 0x00, 0x00,  // 2 x 1
                                                0x00, 0x80, 0x02, 0x00,        // 2 pixels
                                                0x02, 0x03, 0x04});            // copy 2
  auto decoded = DecodeFrameAt(fits);
  EXPECT_EQ(decoded.frame.pixels, Bytes({3, 4}));
  EXPECT_EQ(decoded.channels.out, "We ran outta space!\n");

  const std::vector<std::uint8_t> overruns = Bytes({0x02, 0x00, 0x01, 0x00, 0x00,  // 2 x 1
                                                    0x00, 0x80, 0x02, 0x00,        // 2 pixels
                                                    0x02, 0x03});                  // copy 2, one byte there
  decoded = DecodeFrameAt(overruns);
  EXPECT_EQ(decoded.frame.pixels, Bytes({0, 0}));
  EXPECT_EQ(decoded.channels.out, "We ran outta space!\n");
}

}  // namespace
}  // namespace karst
