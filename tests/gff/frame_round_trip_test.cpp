// The authoring encoders against the decoders: every generated image comes back pixel for pixel,
// the encoders' size choices, and the images they refuse.
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <random>
#include <string>
#include <vector>

#include "authoring/frame_encoders.h"
#include "tests/gff/frame_fixtures.h"

namespace karst {
namespace {

using authoring::IndexedImage;
using frame_tests::Bytes;
using frame_tests::DecodeSet;

enum class Content { kNoise, kFewColours, kOneColour, kLongRuns, kMostlyZero, kAllZero };
constexpr Content kContents[] = {Content::kNoise,    Content::kFewColours, Content::kOneColour,
                                 Content::kLongRuns, Content::kMostlyZero, Content::kAllZero};

IndexedImage Generate(std::mt19937& rng, std::uint32_t width, std::uint32_t height, Content content) {
  IndexedImage image{width, height, std::vector<std::uint8_t>(std::size_t{width} * height, 0)};
  auto pick = [&rng](int low, int high) { return std::uniform_int_distribution<int>(low, high)(rng); };
  std::vector<std::uint8_t> palette;
  const int colours = content == Content::kFewColours ? pick(2, 5) : pick(1, 256);
  for (int i = 0; i < colours; ++i) {
    palette.push_back(static_cast<std::uint8_t>(pick(0, 255)));
  }
  const std::uint8_t one = static_cast<std::uint8_t>(pick(1, 255));
  std::size_t i = 0;
  while (i < image.pixels.size()) {
    std::size_t run = 1;
    std::uint8_t value = 0;
    switch (content) {
      case Content::kNoise:
        value = static_cast<std::uint8_t>(pick(0, 255));
        break;
      case Content::kFewColours:
        value = palette[static_cast<std::size_t>(pick(0, colours - 1))];
        run = static_cast<std::size_t>(pick(1, 4));
        break;
      case Content::kOneColour:
        value = one;
        run = image.pixels.size();
        break;
      case Content::kLongRuns:
        value = palette[static_cast<std::size_t>(pick(0, colours - 1))];
        run = static_cast<std::size_t>(pick(1, 700));
        break;
      case Content::kMostlyZero:
        value = pick(0, 30) == 0 ? static_cast<std::uint8_t>(pick(1, 255)) : 0;
        run = static_cast<std::size_t>(value != 0 ? pick(1, 40) : pick(1, 300));
        break;
      case Content::kAllZero:
        run = image.pixels.size();
        break;
    }
    for (std::size_t k = 0; k < run && i < image.pixels.size(); ++k, ++i) {
      image.pixels[i] = value;
    }
  }
  return image;
}

// Sizes from empty and 1 x 1 up to 320 x 200, the edges first, then random ones.
std::vector<std::pair<std::uint32_t, std::uint32_t>> Sizes(std::mt19937& rng, int count) {
  std::vector<std::pair<std::uint32_t, std::uint32_t>> sizes = {{0, 0},   {0, 7},     {9, 0},   {1, 1},   {2, 1},
                                                                {1, 2},   {320, 200}, {320, 1}, {1, 200}, {16, 16},
                                                                {255, 3}, {256, 3},   {257, 2}, {300, 5}};
  std::uniform_int_distribution<std::uint32_t> width(1, 320);
  std::uniform_int_distribution<std::uint32_t> height(1, 200);
  while (static_cast<int>(sizes.size()) < count) {
    sizes.emplace_back(width(rng), height(rng));
  }
  return sizes;
}

::testing::AssertionResult SamePixels(const std::vector<std::uint8_t>& expected,
                                      const std::vector<std::uint8_t>& actual) {
  if (expected.size() != actual.size()) {
    return ::testing::AssertionFailure() << "sizes " << expected.size() << " and " << actual.size();
  }
  for (std::size_t i = 0; i < expected.size(); ++i) {
    if (expected[i] != actual[i]) {
      return ::testing::AssertionFailure()
             << "pixel " << i << ": expected " << int{expected[i]} << ", decoded " << int{actual[i]};
    }
  }
  return ::testing::AssertionSuccess();
}

using Encoder = std::function<std::optional<std::vector<std::uint8_t>>(const IndexedImage&)>;

void ExpectRoundTrips(const Encoder& encode, const Tag& encoding, std::uint32_t seed) {
  std::mt19937 rng(seed);
  int index = 0;
  for (const auto& [width, height] : Sizes(rng, 60)) {
    for (const Content content : kContents) {
      const IndexedImage image = Generate(rng, width, height, content);
      const auto frame = encode(image);
      ASSERT_TRUE(frame) << width << " x " << height;
      const auto payload = authoring::WriteFrameSetPayload({*frame});
      ASSERT_TRUE(payload);
      const auto decoded = DecodeSet(*payload);
      ASSERT_EQ(decoded.frameSet.frames.size(), 1u);
      const Frame& result = decoded.frameSet.frames[0];
      const std::string what = "image " + std::to_string(index) + ", " + std::to_string(width) + " x " +
                               std::to_string(height) + ", content " + std::to_string(static_cast<int>(content));
      EXPECT_EQ(result.width, width) << what;
      EXPECT_EQ(result.height, height) << what;
      EXPECT_TRUE(SameTag(result.encoding, encoding)) << what;
      EXPECT_TRUE(SamePixels(image.pixels, result.pixels)) << what;
      EXPECT_EQ(decoded.channels.out, "") << what;
      EXPECT_EQ(decoded.channels.err, "") << what;
      ++index;
    }
  }
}

TEST(FrameRoundTrip, Nrml) { ExpectRoundTrips(authoring::EncodeNrmlFrame, kTagNrml, 11); }
TEST(FrameRoundTrip, Plan) { ExpectRoundTrips(authoring::EncodePlanFrame, kTagPlan, 12); }
TEST(FrameRoundTrip, Plnr) { ExpectRoundTrips(authoring::EncodePlnrFrame, kTagPlnr, 13); }

TEST(FrameRoundTrip, MixedFramesInOneSet) {
  std::mt19937 rng(14);
  for (int set = 0; set < 20; ++set) {
    std::vector<IndexedImage> images;
    std::vector<std::vector<std::uint8_t>> frames;
    for (int f = 0; f < 5; ++f) {
      images.push_back(Generate(rng, static_cast<std::uint32_t>(1 + set * 7 + f),
                                static_cast<std::uint32_t>(1 + f * 13), kContents[(set + f) % 6]));
      const auto encoded = (f % 3 == 0)   ? authoring::EncodeNrmlFrame(images.back())
                           : (f % 3 == 1) ? authoring::EncodePlanFrame(images.back())
                                          : authoring::EncodePlnrFrame(images.back());
      ASSERT_TRUE(encoded);
      frames.push_back(*encoded);
    }
    // A blank frame is blank only as the payload's last bytes.
    frames.push_back(authoring::EncodeBlankFrame(3, 2));
    images.push_back({3, 2, std::vector<std::uint8_t>(6, 0)});
    const auto payload = authoring::WriteFrameSetPayload(frames);
    ASSERT_TRUE(payload);
    const auto decoded = DecodeSet(*payload);
    ASSERT_EQ(decoded.frameSet.frameCount, 6);
    for (std::size_t f = 0; f < images.size(); ++f) {
      EXPECT_TRUE(SamePixels(images[f].pixels, decoded.frameSet.frames[f].pixels)) << "set " << set << ", frame " << f;
    }
  }
}

TEST(FrameRoundTrip, AllColoursInPlnrUseTheEscapedCodeZero) {
  // Every colour, 77 only once: the least used colour gets code 0.
  IndexedImage image{256, 3, {}};
  for (std::size_t i = 0; i < 256 * 3; ++i) {
    const std::size_t value = i % 256 == 77 && i != 77 ? 78 : i % 256;
    image.pixels.push_back(static_cast<std::uint8_t>(value));
  }
  const auto frame = authoring::EncodePlnrFrame(image);
  ASSERT_TRUE(frame);
  EXPECT_EQ((*frame)[9], 8);
  const auto decoded = DecodeSet(*authoring::WriteFrameSetPayload({*frame}));
  EXPECT_EQ(decoded.frameSet.frames[0].colourMap[0], 77);
  EXPECT_TRUE(SamePixels(image.pixels, decoded.frameSet.frames[0].pixels));
}

TEST(FrameRoundTrip, NrmlReachesRow254AndColumn509) {
  IndexedImage image{600, 300, std::vector<std::uint8_t>(600 * 300, 0)};
  image.pixels[254 * 600 + 509] = 9;  // the last row and column a segment can reach
  image.pixels[254 * 600 + 256] = 8;  // a segment that starts past column 255
  image.pixels[3 * 600 + 509] = 7;
  const auto frame = authoring::EncodeNrmlFrame(image);
  ASSERT_TRUE(frame);
  const auto decoded = DecodeSet(*authoring::WriteFrameSetPayload({*frame}));
  EXPECT_TRUE(SamePixels(image.pixels, decoded.frameSet.frames[0].pixels));
}

TEST(FrameEncoders, NrmlRefusesPixelsItCannotName) {
  IndexedImage image{600, 300, std::vector<std::uint8_t>(600 * 300, 0)};
  image.pixels[255 * 600] = 1;  // row 255
  EXPECT_FALSE(authoring::EncodeNrmlFrame(image));
  image.pixels[255 * 600] = 0;
  image.pixels[510] = 1;  // column 510 of row 0
  EXPECT_FALSE(authoring::EncodeNrmlFrame(image));
  image.pixels[510] = 0;
  EXPECT_TRUE(authoring::EncodeNrmlFrame(image));
}

TEST(FrameEncoders, RefuseWhatTheHeaderCannotHold) {
  const IndexedImage tooWide{65536, 0, {}};
  const IndexedImage wrongCount{2, 2, {1, 2, 3}};
  for (const IndexedImage* image : {&tooWide, &wrongCount}) {
    EXPECT_FALSE(authoring::EncodeNrmlFrame(*image));
    EXPECT_FALSE(authoring::EncodePlanFrame(*image));
    EXPECT_FALSE(authoring::EncodePlnrFrame(*image));
  }
  EXPECT_TRUE(authoring::EncodePlanFrame({65535, 0, {}}));
  EXPECT_FALSE(authoring::WriteFrameSetPayload(std::vector<std::vector<std::uint8_t>>(65536)));
}

TEST(FrameEncoders, FrameSetPayloadLayout) {
  const auto payload = authoring::WriteFrameSetPayload({Bytes({0xA1, 0xA2}), Bytes({0xB1})});
  EXPECT_EQ(payload, Bytes({
                         0, 0, 0, 0,              // unread
                         0x02, 0x00,              // F = 2
                         0x0E, 0x00, 0x00, 0x00,  // frame 0 at 14
                         0x10, 0x00, 0x00, 0x00,  // frame 1 at 16
                         0xA1, 0xA2, 0xB1,        // the frames
                     }));
  EXPECT_EQ(authoring::EncodeBlankFrame(0x0102, 0x0304), Bytes({0x02, 0x01, 0x04, 0x03, 0xFF}));
}

TEST(FrameEncoders, NrmlOfAMostlyEmptyFrameIsSmall) {
  IndexedImage image{320, 200, std::vector<std::uint8_t>(320 * 200, 0)};
  for (std::size_t i = 0; i < 40; ++i) {
    image.pixels[i * 1597 % image.pixels.size()] = static_cast<std::uint8_t>(i + 1);
  }
  const auto frame = authoring::EncodeNrmlFrame(image);
  ASSERT_TRUE(frame);
  EXPECT_LT(frame->size(), 40u * 10);
  // Nothing but index 0: the header, row 0 with one empty segment, the end.
  const auto empty = authoring::EncodeNrmlFrame({320, 200, std::vector<std::uint8_t>(320 * 200, 0)});
  EXPECT_EQ(empty, Bytes({0x40, 0x01, 0xC8, 0x00, 0x00, 0x00, 0x80, 0x00, 0x00, 0xFF}));
  // A row of one colour is one segment of two fills.
  const auto filled = authoring::EncodeNrmlFrame({200, 1, std::vector<std::uint8_t>(200, 4)});
  EXPECT_EQ(filled, Bytes({0xC8, 0x00, 0x01, 0x00, 0x00,  // 200 x 1, row 0
                           0x00, 0x80, 0xC8, 0x00,        // x 0, ends the row, 200 pixels
                           0xFF, 0x04, 0x8F, 0x04,        // fill 128, fill 72
                           0xFF}));
}

TEST(FrameEncoders, PlanUsesTheSmallestCodeWidth) {
  // Colours used -> code width: 1 -> 0, 2 -> 1, 3 and 4 -> 2, 5 -> 3, 256 -> 8.
  const std::vector<std::pair<int, int>> cases = {{1, 0}, {2, 1}, {3, 2}, {4, 2}, {5, 3}, {256, 8}};
  for (const auto& [colours, codeWidth] : cases) {
    IndexedImage image{300, 2, std::vector<std::uint8_t>(600)};
    for (std::size_t i = 0; i < image.pixels.size(); ++i) {
      image.pixels[i] = static_cast<std::uint8_t>(i % static_cast<std::size_t>(colours));
    }
    const auto frame = authoring::EncodePlanFrame(image);
    ASSERT_TRUE(frame);
    EXPECT_EQ((*frame)[9], codeWidth) << colours;
    // Header and tag, B, the map, the codes, one byte for the last code's window.
    const std::size_t codeBytes = (600 * static_cast<std::size_t>(codeWidth) + 7) / 8;
    EXPECT_EQ(frame->size(), 10 + (std::size_t{1} << codeWidth) + codeBytes + 1) << colours;
  }
}

TEST(FrameEncoders, PlnrOfOneColourIsRuns) {
  const IndexedImage image{320, 200, std::vector<std::uint8_t>(320 * 200, 0x5A)};
  const auto frame = authoring::EncodePlnrFrame(image);
  ASSERT_TRUE(frame);
  // Runs of up to 257 in two 8-bit codes (about 500 bytes for 64000 pixels) and the 256-entry map.
  EXPECT_LT(frame->size(), 800u);
  const auto plan = authoring::EncodePlanFrame(image);
  ASSERT_TRUE(plan);
  EXPECT_LT(plan->size(), 20u);  // PLAN of one colour: code width 0, no code bits at all
}

}  // namespace
}  // namespace karst
