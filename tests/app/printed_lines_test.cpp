// The viewer's own lines for the oddities in its data, byte for byte on both channels, as the
// viewer writes them at start: the library's and the first region's lines, message boxes that
// fall back to standard error without a display, in the order they come.
#include <gtest/gtest.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <vector>

#include "data/zone.h"
#include "tests/app/app_test_support.h"

namespace karst::app_tests {
namespace {

using Bytes = std::vector<std::uint8_t>;

// Frames whose data the decoders find odd, each 16 x 16 or smaller.
const Bytes kUnknownEncoding = {0x10, 0x00, 0x10, 0x00, 0xFF, 'A', 'B', 'C', 'D'};
const Bytes kSegmentOverrun = {0x04, 0x00, 0x01, 0x00, 0x00,  // 4 x 1, first row 0
                               0x00, 0x80, 0x03, 0x00,        // x 0, last segment, n 3
                               0x03, 0x09, 0x05, 0x09,        // fill 2, fill 3: 5 pixels
                               0xFF};
const Bytes kDataRunsOut = {0x10, 0x00, 0x10, 0x00, 0x00,     // 16 x 16, first row 0
                            0x00, 0x80, 0x10, 0x00,           // x 0, last segment, n 16
                            0x1F};                            // fill 16, its value byte missing
const Bytes kSecondRowFirst = {0x10, 0x00, 0x10, 0x00, 0x01,  // 16 x 16, first row 1
                               0x00, 0x80, 0x01, 0x00,        // x 0, last segment, n 1
                               0x01, 0x05,                    // fill 1 x 5
                               0xFF};

Bytes FrameSet(const std::vector<Bytes>& frames) { return *authoring::WriteFrameSetPayload(frames); }

Bytes GoodTileFrame() { return *authoring::EncodeNrmlFrame(IndexedImage{16, 16, Bytes(256, 3)}); }

// The working library, with a frame set of two odd frames, and last in its directory a record
// flagged indexed before any "GFFI" record.
Bytes OddLibrary() {
  Bytes definition(16, 0);
  definition[12] = 7;  // bitmap 7
  Bytes bytes = authoring::WriteContainer({
      Type(kTagOjff, {{1, definition}}),
      Type(kTagBmp,
           {{7, OneFrameSet(IndexedImage{8, 8, Bytes(64, 200)})}, {8, FrameSet({kUnknownEncoding, kSegmentOverrun})}}),
      Type(MakeTag("ZZZZ"), {}),
  });
  for (std::size_t i = 0; i + 8 <= bytes.size(); ++i) {
    if (bytes[i] == 'Z' && bytes[i + 1] == 'Z' && bytes[i + 2] == 'Z' && bytes[i + 3] == 'Z') {
      bytes[i + 7] = 0x80;  // flags 0x8000
    }
  }
  return bytes;
}

Bytes Region(std::size_t paletteBytes, std::vector<Bytes> tiles) {
  std::vector<ChunkSpec> tileChunks;
  for (std::size_t i = 0; i < tiles.size(); ++i) {
    tileChunks.push_back({static_cast<std::uint32_t>(i + 1), std::move(tiles[i])});
  }
  return authoring::WriteContainer({Type(kTagPal, {{1, Bytes(paletteBytes, 9)}}), Type(kTagTile, tileChunks),
                                    Type(kTagMap, {{1, Bytes(kMapBytes, 0)}})});
}

struct Channels {
  std::string out;
  std::string err;
};

class PrintedLinesTest : public ViewerTest {
 protected:
  // Starts the viewer on a world of the odd library and `region`, boxes shown for real.
  static Channels StartOn(const Bytes& region, bool& started) {
    TestWorld world(0);
    world.Write("OBJEX.GFF", OddLibrary());
    world.Write("RGN01.GFF", region);
    platform::CaptureMessageBoxes(false);
    ::testing::internal::CaptureStdout();
    ::testing::internal::CaptureStderr();
    started = Start(world);
    Channels channels;
    channels.err = ::testing::internal::GetCapturedStderr();
    channels.out = ::testing::internal::GetCapturedStdout();
    if (started) {
      QuitWithEscape();
    }
    return channels;
  }

  void SetUp() override {
    // Without a display server SDL cannot show a box and the viewer writes it to standard error;
    // with one it would show it and wait for a click.
    if (std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr) {
      GTEST_SKIP() << "a display server is reachable";
    }
  }
};

const std::string kLibraryLines =
    "It's a GFFI But we don't got no GFFI yet!!\nUnknown type: ABCD\nSomething peculiar happened!\n";
TEST_F(PrintedLinesTest, EveryLineOnItsChannelInTheOrderMet) {
  bool started = false;
  // Tile 0: two frames, the second running out of data; tile 1 starts at row 1.
  const Channels channels =
      StartOn(Region(768, {FrameSet({GoodTileFrame(), kDataRunsOut}), FrameSet({kSecondRowFirst})}), started);
  EXPECT_TRUE(started);
  EXPECT_EQ(channels.out, kLibraryLines + "We ran outta space!\n");
  std::string tileLines;
  for (int row = 0; row < 16; ++row) {
    tileLines += "Tile with more than one frame!";
  }
  EXPECT_EQ(channels.err, "Y offset: 1 is different!\n" + tileLines);
}

// POSIX only: on Windows MessageBoxA shows the boxes whatever SDL's video driver.
#ifndef _WIN32
const std::string kStartFailed = "Error: Unable to initialize DirectDraw and load object data!\n";

TEST_F(PrintedLinesTest, APaletteFailureWritesItsBoxesAfterTheLines) {
  bool started = true;
  const Channels channels = StartOn(Region(767, {FrameSet({kSecondRowFirst})}), started);
  EXPECT_FALSE(started);
  EXPECT_EQ(channels.out, kLibraryLines);
  EXPECT_EQ(channels.err, "Y offset: 1 is different!\nError: Error loading palette!\n" + kStartFailed);
}

TEST_F(PrintedLinesTest, ATileStripFailureWritesItsBoxesAfterTheLines) {
  bool started = true;
  // One tile more than the strip can hold.
  std::vector<Bytes> tiles(static_cast<std::size_t>(kMostTilesInStrip) + 1, FrameSet({GoodTileFrame()}));
  tiles.front() = FrameSet({kSecondRowFirst});
  const Channels channels = StartOn(Region(768, tiles), started);
  EXPECT_FALSE(started);
  EXPECT_EQ(channels.out, kLibraryLines);
  EXPECT_EQ(channels.err, "Y offset: 1 is different!\nError: Error loading tiles\n" + kStartFailed);
}
#endif  // _WIN32

}  // namespace
}  // namespace karst::app_tests
