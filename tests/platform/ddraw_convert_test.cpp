// The frame conversion to 32 bits: every wide path the processor has against the plain table
// lookup, over random indices, palettes, widths and pitches, and a known pixel.
#include <gtest/gtest.h>

#include <random>
#include <vector>

#include "platform/ddraw_presenter.h"

namespace karst::platform {
namespace {

TEST(ConvertFrameTest, KnownColourLandsInOrder) {
  PaletteTable palette{};
  palette[7] = PaletteEntry{0x12, 0x34, 0x56, 0};
  palette[200] = PaletteEntry{0xFE, 0x01, 0x80, 0};
  const ColourTable colours = MakeColourTable(palette);
  // 70 pixels: one wide block of 64 and a tail of 6; index 200 at 63 and 64, 7 at the end.
  std::vector<std::uint8_t> row(70, 0);
  row[63] = 200;
  row[64] = 200;
  row[69] = 7;
  std::vector<std::uint32_t> out(70, 0);
  ConvertFrame(row.data(), 70, out.data(), 70, 70, 1, colours);
  EXPECT_EQ(out[0], 0xFF000000u);
  EXPECT_EQ(out[62], 0xFF000000u);
  EXPECT_EQ(out[63], 0xFFFE0180u);
  EXPECT_EQ(out[64], 0xFFFE0180u);
  EXPECT_EQ(out[69], 0xFF123456u);
}

TEST(ConvertFrameTest, MatchesThePlainLookupBitForBit) {
  std::mt19937 random(640480);
  auto between = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  for (int round = 0; round < 300; ++round) {
    SCOPED_TRACE(round);
    PaletteTable palette{};
    for (PaletteEntry& entry : palette) {
      entry = PaletteEntry{static_cast<std::uint8_t>(random()), static_cast<std::uint8_t>(random()),
                           static_cast<std::uint8_t>(random()), 0};
    }
    const ColourTable colours = MakeColourTable(palette);
    const int width = round == 0 ? 640 : between(1, 300);
    const int height = between(1, 6);
    const int sourcePitch = width + between(0, 9);
    const int destPitch = width + between(0, 5);
    std::vector<std::uint8_t> source(static_cast<std::size_t>(sourcePitch * height));
    for (std::uint8_t& index : source) {
      index = static_cast<std::uint8_t>(random());
    }
    // The bytes between rows are never written: both outputs start with the same marker.
    const std::vector<std::uint32_t> marked(static_cast<std::size_t>(destPitch * height), 0x5A5A5A5Au);
    std::vector<std::uint32_t> plain = marked;
    ConvertFramePlain(source.data(), sourcePitch, plain.data(), destPitch, width, height, colours);
    EXPECT_EQ(plain[0], colours[source[0]]);
    for (const Vectors vectors : AvailableVectors()) {
      SCOPED_TRACE(VectorsName(vectors));
      std::vector<std::uint32_t> wide = marked;
      ConvertFrameWith(vectors, source.data(), sourcePitch, wide.data(), destPitch, width, height, colours);
      ASSERT_EQ(wide, plain);
    }
  }
}

}  // namespace
}  // namespace karst::platform
