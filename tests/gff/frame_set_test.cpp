// Frame sets: the frame table, blank frames, the choice of decoder by tag, unknown tags, the
// pixel cap and the allocation budget.
#include <gtest/gtest.h>

#include <vector>

#include "authoring/frame_encoders.h"
#include "tests/gff/frame_fixtures.h"

namespace karst {
namespace {

using frame_tests::Bytes;
using frame_tests::DecodeFrameAt;
using frame_tests::DecodeSet;

void ExpectEmpty(const Frame& frame) {
  EXPECT_EQ(frame.width, 0u);
  EXPECT_EQ(frame.height, 0u);
  EXPECT_FALSE(frame.HasPixels());
  EXPECT_TRUE(frame.colourMap.empty());
  EXPECT_TRUE(SameTag(frame.encoding, Tag{}));
}

TEST(FrameSet, NoFrames) {
  const auto decoded = DecodeSet(Bytes({0, 0, 0, 0,  // unread
                                        0, 0}));     // F = 0
  EXPECT_EQ(decoded.frameSet.frameCount, 0);
  EXPECT_TRUE(decoded.frameSet.frames.empty());
}

TEST(FrameSet, FifteenBytesHoldOneBlankFrame) {
  const auto decoded = DecodeSet(Bytes({
      0, 0, 0, 0,              // unread
      0x01, 0x00,              // F = 1
      0x0A, 0x00, 0x00, 0x00,  // frame 0 at 10
      0x04, 0x00, 0x02, 0x00,  // 4 x 2
      0xFF,                    // not NRML, and the payload's last byte: blank
  }));
  ASSERT_EQ(decoded.frameSet.frameCount, 1);
  ASSERT_EQ(decoded.frameSet.frames.size(), 1u);
  const Frame& frame = decoded.frameSet.frames[0];
  EXPECT_EQ(frame.width, 4u);
  EXPECT_EQ(frame.height, 2u);
  EXPECT_EQ(frame.pixels, std::vector<std::uint8_t>(8, 0));
  EXPECT_EQ(frame.encoding, Tag{});
  EXPECT_TRUE(frame.colourMap.empty());
  EXPECT_EQ(decoded.channels.out, "");
  EXPECT_EQ(decoded.frameSet.number, 0u);
}

TEST(FrameSet, FiveByteFrameNotAtTheEndReadsATag) {
  // The same blank frame with one more byte behind it: the 4 tag bytes are read, "Q" and three
  // zeros beyond the payload.
  const auto decoded = DecodeSet(Bytes({
      0, 0, 0, 0, 0x01, 0x00, 0x0A, 0x00, 0x00, 0x00,  // F = 1, frame 0 at 10
      0x04, 0x00, 0x02, 0x00, 0xFF,                    // 4 x 2, not NRML
      'Q',                                             // a 16th byte
  }));
  const Frame& frame = decoded.frameSet.frames.at(0);
  EXPECT_EQ(TagText(frame.encoding), "Q");
  EXPECT_EQ(frame.pixels, std::vector<std::uint8_t>(8, 0));
  EXPECT_EQ(decoded.channels.out, "Unknown type: Q\n");
}

TEST(FrameSet, FramesFollowTheirTableInOrder) {
  const auto payload = authoring::WriteFrameSetPayload({
      authoring::EncodeBlankFrame(1, 1),
      *authoring::EncodeNrmlFrame({2, 1, {5, 6}}),
      *authoring::EncodePlanFrame({1, 2, {7, 8}}),
      authoring::EncodeBlankFrame(3, 1),
  });
  ASSERT_TRUE(payload);
  const auto decoded = DecodeSet(*payload);
  ASSERT_EQ(decoded.frameSet.frameCount, 4);
  const auto& frames = decoded.frameSet.frames;
  // A blank-looking frame that is not last reads the next frame's first bytes as its tag.
  EXPECT_EQ(frames[0].width, 1u);
  EXPECT_EQ(frames[0].pixels, Bytes({0}));
  EXPECT_EQ(frames[1].pixels, Bytes({5, 6}));
  EXPECT_TRUE(SameTag(frames[1].encoding, kTagNrml));
  EXPECT_EQ(frames[2].pixels, Bytes({7, 8}));
  EXPECT_TRUE(SameTag(frames[2].encoding, kTagPlan));
  EXPECT_EQ(frames[3].pixels, Bytes({0, 0, 0}));
  EXPECT_EQ(frames[3].encoding, Tag{});
  EXPECT_EQ(decoded.channels.out, "Unknown type: \x02\n");
}

TEST(FrameSet, TableEntryCutByThePayloadEndLeavesItsFrameEmpty) {
  // F = 2 needs a table up to byte 13; the payload ends at 12. Frame 0 overlaps its own entry.
  const auto decoded = DecodeSet(Bytes({
      0, 0, 0, 0,              // unread
      0x02, 0x00,              // F = 2
      0x08, 0x00, 0x00, 0x00,  // frame 0 at 8: width 0 (bytes 8-9) ...
      0x01, 0x00,              // ... height 1; frame 1's entry starts here and is cut off
      0xFF,                    // frame 0: the payload's last 5 bytes, blank
  }));
  ASSERT_EQ(decoded.frameSet.frameCount, 2);
  ASSERT_EQ(decoded.frameSet.frames.size(), 2u);
  EXPECT_EQ(decoded.frameSet.frames[0].width, 0u);
  EXPECT_EQ(decoded.frameSet.frames[0].height, 1u);
  ExpectEmpty(decoded.frameSet.frames[1]);
}

TEST(FrameSet, PayloadTooShortForTheCountHasNoFrames) {
  for (std::size_t length = 0; length < 6; ++length) {
    const std::vector<std::uint8_t> payload(length, 0x01);
    const auto decoded = DecodeSet(payload);
    EXPECT_EQ(decoded.frameSet.frameCount, 0) << length;
    EXPECT_TRUE(decoded.frameSet.frames.empty()) << length;
  }
}

TEST(FrameSet, FramePositionNeedsRoomForFiveHeaderBytes) {
  // Frame 0 at 14 of a 19-byte payload just fits (blank); frame 1 at 15 leaves 4 bytes: empty.
  const auto decoded = DecodeSet(Bytes({
      0,    0,    0,    0,    0x02, 0x00,  // F = 2
      0x0E, 0x00, 0x00, 0x00,              // frame 0 at 14
      0x0F, 0x00, 0x00, 0x00,              // frame 1 at 15
      0x02, 0x00, 0x01, 0x00, 0xFF,        // 2 x 1, blank
  }));
  ASSERT_EQ(decoded.frameSet.frames.size(), 2u);
  EXPECT_EQ(decoded.frameSet.frames[0].pixels, Bytes({0, 0}));
  ExpectEmpty(decoded.frameSet.frames[1]);
  EXPECT_EQ(decoded.channels.out, "");
}

TEST(FrameSet, FramePositionsAtOrPastTheEndLeaveFramesEmpty) {
  const std::vector<std::uint8_t> payload = Bytes({0x02, 0x00, 0x01, 0x00, 0xFF});
  for (const std::size_t position :
       {std::size_t{1}, std::size_t{4}, std::size_t{5}, std::size_t{6}, std::size_t{0xFFFFFFFF}}) {
    const auto decoded = DecodeFrameAt(payload, position);
    ExpectEmpty(decoded.frame);
    EXPECT_EQ(decoded.channels.out, "") << position;
  }
  EXPECT_EQ(DecodeFrameAt(payload, 0).frame.pixels, Bytes({0, 0}));
}

TEST(FrameSet, UnknownTagIsReportedAndDrawsAsIndexZero) {
  const auto decoded = DecodeFrameAt(Bytes({
      0x02, 0x00, 0x03, 0x00,  // 2 x 3
      0xFF,                    // not NRML
      'A', 'B', 'C', 'D',      // unknown tag
      0x01, 0x02,              // bytes nobody reads
  }));
  EXPECT_EQ(TagText(decoded.frame.encoding), "ABCD");
  EXPECT_EQ(decoded.frame.encoding[4], '\0');
  EXPECT_EQ(decoded.frame.width, 2u);
  EXPECT_EQ(decoded.frame.height, 3u);
  EXPECT_EQ(decoded.frame.pixels, std::vector<std::uint8_t>(6, 0));
  EXPECT_TRUE(decoded.frame.colourMap.empty());
  EXPECT_EQ(decoded.channels.out, "Unknown type: ABCD\n");
  EXPECT_EQ(decoded.channels.err, "");
}

TEST(FrameSet, UnknownTagIsPrintedUpToItsFirstZeroByte) {
  const auto decoded = DecodeFrameAt(Bytes({0x01, 0x00, 0x01, 0x00, 0xFF, 'P', 'L', 0, 'N', 0}));
  EXPECT_EQ(decoded.channels.out, "Unknown type: PL\n");
  EXPECT_EQ(decoded.frame.encoding, (Tag{'P', 'L', '\0', 'N', '\0'}));
}

TEST(FrameSet, TagsAreCaseSensitive) {
  const auto decoded = DecodeFrameAt(Bytes({0x01, 0x00, 0x01, 0x00, 0xFF, 'p', 'l', 'a', 'n', 0x00, 0x05, 0x00}));
  EXPECT_EQ(decoded.channels.out, "Unknown type: plan\n");
  EXPECT_EQ(decoded.frame.pixels, Bytes({0}));
}

TEST(FramePixels, SixteenMebipixelsJustFitOneMoreRowDoesNot) {
  // Blank frames of 4096 x 4096 (the cap) and 4096 x 4097.
  auto fits = DecodeFrameAt(Bytes({0x00, 0x10, 0x00, 0x10, 0xFF}));
  EXPECT_EQ(fits.frame.pixels.size(), std::size_t{16} << 20);
  const auto over = DecodeFrameAt(Bytes({0x00, 0x10, 0x01, 0x10, 0xFF}));
  EXPECT_EQ(over.frame.width, 4096u);
  EXPECT_EQ(over.frame.height, 4097u);
  EXPECT_FALSE(over.frame.HasPixels());
}

TEST(FramePixels, LargestFrameOfEveryEncodingGetsNoPixels) {
  const std::vector<std::vector<std::uint8_t>> frames = {
      Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF}),                                            // blank
      Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'P', 'L', 'A', 'N', 1, 3, 4, 0xFF}),         // PLAN
      Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'P', 'L', 'N', 'R', 1, 3, 4, 0xFF}),         // PLNR
      Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 'X', 'X', 'X', 'X'}),                        // unknown
      Bytes({0xFF, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x80, 0x01, 0x00, 0x01, 0x07, 0xFF}),  // NRML
  };
  for (const auto& data : frames) {
    const auto decoded = DecodeFrameAt(data);
    EXPECT_EQ(decoded.frame.width, 65535u);
    EXPECT_FALSE(decoded.frame.HasPixels());
  }
}

TEST(FramePixels, BudgetPaysForEveryPixelAndColourMap) {
  const std::vector<std::uint8_t> blank = Bytes({0x04, 0x00, 0x02, 0x00, 0xFF});  // 8 pixels
  for (const std::uint64_t bytes : {std::uint64_t{8}, std::uint64_t{7}}) {
    Frame frame;
    AllocationBudget budget(bytes);
    DecodeFrame(frame, blank, 0, budget, LoadReport());
    EXPECT_EQ(frame.HasPixels(), bytes == 8) << bytes;
    EXPECT_EQ(budget.remaining(), bytes == 8 ? 0u : 7u);
  }
  // PLAN 2 x 2 with B = 1: a 2-byte colour map and 4 pixels.
  const std::vector<std::uint8_t> plan =
      Bytes({0x02, 0x00, 0x02, 0x00, 0xFF, 'P', 'L', 'A', 'N', 0x01, 0x05, 0x06, 0x50, 0x00});
  for (const std::uint64_t bytes : {std::uint64_t{6}, std::uint64_t{5}, std::uint64_t{1}}) {
    Frame frame;
    AllocationBudget budget(bytes);
    DecodeFrame(frame, plan, 0, budget, LoadReport());
    if (bytes == 6) {
      EXPECT_EQ(frame.pixels, Bytes({5, 6, 5, 6}));
      EXPECT_EQ(frame.colourMap, Bytes({5, 6}));
    } else {
      EXPECT_FALSE(frame.HasPixels()) << bytes;
      EXPECT_TRUE(frame.colourMap.empty()) << bytes;
    }
  }
}

TEST(FramePixels, BudgetRefusingTheFrameTableLeavesTheSetWithoutFrames) {
  const auto payload =
      authoring::WriteFrameSetPayload({authoring::EncodeBlankFrame(1, 1), authoring::EncodeBlankFrame(1, 1)});
  ASSERT_TRUE(payload);
  const auto refused = DecodeSet(*payload, 2 * sizeof(Frame) - 1);
  EXPECT_EQ(refused.frameSet.frameCount, 0);
  EXPECT_TRUE(refused.frameSet.frames.empty());
  const auto granted = DecodeSet(*payload, 2 * sizeof(Frame) + 1);
  EXPECT_EQ(granted.frameSet.frameCount, 2);
  // The table leaves one byte. Frame 0 reads frame 1's bytes as an unknown tag and takes it for
  // its zero pixel; frame 1, blank, is refused its own.
  EXPECT_EQ(granted.frameSet.frames[0].pixels, Bytes({0}));
  EXPECT_FALSE(granted.frameSet.frames[1].HasPixels());
  EXPECT_EQ(granted.frameSet.frames[1].width, 1u);
}

}  // namespace
}  // namespace karst
