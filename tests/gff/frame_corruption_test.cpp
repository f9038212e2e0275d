// Frame sets cut short and corrupted: decoding stays inside its input and its buffers, keeps what
// the intact bytes say, and ends.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "authoring/frame_encoders.h"
#include "tests/gff/frame_fixtures.h"

namespace karst {
namespace {

using authoring::IndexedImage;
using frame_tests::DecodeSet;

IndexedImage Pattern(std::uint32_t width, std::uint32_t height, int seed) {
  IndexedImage image{width, height, std::vector<std::uint8_t>(std::size_t{width} * height, 0)};
  std::mt19937 rng(static_cast<std::uint32_t>(seed));
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    // Runs, zero gaps and a handful of colours, so every kind of command appears.
    image.pixels[i] = (i / 5) % 3 == 0 ? 0 : static_cast<std::uint8_t>(rng() % 6 + (i / 40) % 2);
  }
  return image;
}

struct Sample {
  std::vector<std::uint8_t> payload;
  std::vector<IndexedImage> images;  // for every frame but the last, blank one
  std::vector<std::size_t> ends;     // where each frame's bytes end
};

// NRML, PLAN and PLNR frames of varied sizes, and a blank frame last.
Sample MakeSample() {
  Sample sample;
  std::vector<std::vector<std::uint8_t>> frames;
  for (int i = 0; i < 6; ++i) {
    const IndexedImage image =
        Pattern(static_cast<std::uint32_t>(9 + 11 * i), static_cast<std::uint32_t>(3 + 2 * i), i);
    const auto frame = i % 3 == 0   ? authoring::EncodeNrmlFrame(image)
                       : i % 3 == 1 ? authoring::EncodePlanFrame(image)
                                    : authoring::EncodePlnrFrame(image);
    frames.push_back(*frame);
    sample.images.push_back(image);
  }
  frames.push_back(authoring::EncodeBlankFrame(7, 5));
  sample.payload = *authoring::WriteFrameSetPayload(frames);
  std::size_t end = kFrameSetTableStart + 4 * frames.size();
  for (const auto& frame : frames) {
    end += frame.size();
    sample.ends.push_back(end);
  }
  return sample;
}

// What must hold for any input: the set has its frames, and every frame either has no pixels or
// exactly width x height of them, and a colour map of a power of two entries up to 256.
void ExpectWellFormed(const FrameSet& frameSet) {
  ASSERT_GE(frameSet.frameCount, 0);
  ASSERT_EQ(frameSet.frames.size(), static_cast<std::size_t>(frameSet.frameCount));
  for (const Frame& frame : frameSet.frames) {
    if (frame.HasPixels()) {
      EXPECT_EQ(frame.pixels.size(), std::size_t{frame.width} * frame.height);
    }
    const std::size_t map = frame.colourMap.size();
    EXPECT_TRUE(map == 0 || (map <= 256 && (map & (map - 1)) == 0)) << map;
  }
}

TEST(FrameSetCorruption, SampleDecodesWhole) {
  const Sample sample = MakeSample();
  const auto decoded = DecodeSet(sample.payload);
  ASSERT_EQ(decoded.frameSet.frames.size(), 7u);
  for (std::size_t f = 0; f < sample.images.size(); ++f) {
    EXPECT_EQ(decoded.frameSet.frames[f].pixels, sample.images[f].pixels) << f;
  }
  EXPECT_EQ(decoded.frameSet.frames[6].pixels, std::vector<std::uint8_t>(35, 0));
  EXPECT_EQ(decoded.channels.out, "");
}

TEST(FrameSetCorruption, EveryPrefixKeepsTheFramesItHoldsWhole) {
  const Sample sample = MakeSample();
  ASSERT_EQ(sample.ends.back(), sample.payload.size());
  for (std::size_t length = 0; length <= sample.payload.size(); ++length) {
    const auto decoded = DecodeSet(std::span(sample.payload).first(length));
    ExpectWellFormed(decoded.frameSet);
    if (length < kFrameSetTableStart) {
      EXPECT_EQ(decoded.frameSet.frameCount, 0);
      continue;
    }
    ASSERT_EQ(decoded.frameSet.frameCount, 7) << length;
    for (std::size_t f = 0; f < sample.images.size(); ++f) {
      if (sample.ends[f] <= length) {
        EXPECT_EQ(decoded.frameSet.frames[f].pixels, sample.images[f].pixels) << "frame " << f << ", length " << length;
      }
    }
  }
}

TEST(FrameSetCorruption, RandomlyCorruptedCopiesDecodeSafely) {
  const Sample sample = MakeSample();
  std::mt19937 rng(2024);
  for (int copy = 0; copy < 3000; ++copy) {
    std::vector<std::uint8_t> payload = sample.payload;
    const int changes = 1 + static_cast<int>(rng() % 8);
    for (int c = 0; c < changes; ++c) {
      const std::size_t at = rng() % payload.size();
      // Mostly anywhere, sometimes the table and the frame headers, which steer everything.
      payload[at] = static_cast<std::uint8_t>(rng());
    }
    if (copy % 4 == 0) {
      payload.resize(rng() % (payload.size() + 1));
    }
    const auto decoded = DecodeSet(payload, 1u << 20);
    ExpectWellFormed(decoded.frameSet);
    if (HasFailure()) {
      FAIL() << "copy " << copy;
    }
  }
}

TEST(FrameSetCorruption, RandomBytesDecodeSafely) {
  std::mt19937 rng(77);
  for (int copy = 0; copy < 2000; ++copy) {
    std::vector<std::uint8_t> payload(rng() % 64);
    for (std::uint8_t& byte : payload) {
      byte = static_cast<std::uint8_t>(rng());
    }
    // A small frame count and positions inside the payload, so frames are actually reached.
    if (payload.size() >= 10) {
      payload[4] = static_cast<std::uint8_t>(rng() % 3);
      payload[5] = 0;
      payload[6] = static_cast<std::uint8_t>(rng() % payload.size());
      payload[7] = payload[8] = payload[9] = 0;
    }
    const auto decoded = DecodeSet(payload, 1u << 20);
    ExpectWellFormed(decoded.frameSet);
    if (HasFailure()) {
      FAIL() << "copy " << copy;
    }
  }
}

}  // namespace
}  // namespace karst
