// A region name of many thousand characters: only what can reach the surface is rendered, so the
// glyph image stays the size of the screen's width, and the pixels are those of the visible
// part of the name alone.
#include <gtest/gtest.h>

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

#include "platform/ddraw.h"
#include "tests/platform/ddraw_test_support.h"

namespace karst::platform {
namespace {

// Writes `text` in white on black at (x, 465) of a 640 x 480 surface that held 50, as the
// viewer writes a name; the surface's pixels.
std::vector<std::uint8_t> Written(std::int32_t x, const std::string& text) {
  const std::unique_ptr<DirectDraw> ddraw = testing::MakeHeadless(640, 480);
  const std::unique_ptr<Surface> surface = testing::MakeSurface(*ddraw, 640, 480);
  PaletteTable entries{};
  entries.fill(PaletteEntry{128, 128, 128, 0});
  entries[1] = PaletteEntry{0, 0, 0, 0};
  entries[2] = PaletteEntry{255, 255, 255, 0};
  std::unique_ptr<Palette> palette;
  EXPECT_EQ(ddraw->CreatePalette(DDPCAPS_8BIT, entries.data(), palette), 0);
  EXPECT_EQ(surface->SetPalette(palette.get()), 0);
  testing::Fill(*surface, 50);
  DeviceContext context;
  EXPECT_EQ(surface->GetDC(context), 0);
  context.SetBkColor(0x000000);
  context.SetTextColor(0xFFFFFF);
  EXPECT_EQ(context.TextOut(x, 465, text.c_str(), static_cast<std::int32_t>(text.size())), 0);
  EXPECT_EQ(surface->ReleaseDC(context), 0);
  return testing::Bytes(*surface);
}

std::string Name(std::size_t length) {
  const std::string words = "Wide Mountain Pass of the Old Kings ";
  std::string name;
  while (name.size() < length) {
    name += words;
  }
  name.resize(length);
  return name;
}

TEST(LongText, AHugeNameShowsExactlyWhatItsVisiblePartShows) {
  const std::string huge = Name(200'000);
  for (const std::int32_t x : {0, 1, 333, 639, -40}) {
    SCOPED_TRACE(x);
    // 200 characters of at least 2 pixels each already run past the right edge from any x here.
    const std::vector<std::uint8_t> whole = Written(x, huge);
    EXPECT_EQ(whole, Written(x, huge.substr(0, 200)));
    EXPECT_NE(whole, Written(640, huge));  // something was drawn
  }
}

TEST(LongText, ANameThatEndsInsideTheSurfaceIsWhollyDrawn) {
  const std::string shortName = Name(12);
  const std::vector<std::uint8_t> drawn = Written(0, shortName);
  EXPECT_NE(drawn, Written(0, shortName.substr(0, 11)));
}

TEST(LongText, NothingIsDrawnAtOrPastTheRightEdge) {
  const std::vector<std::uint8_t> untouched(static_cast<std::size_t>(640) * 480, 50);
  EXPECT_EQ(Written(640, Name(50)), untouched);
  EXPECT_EQ(Written(100'000, Name(50)), untouched);
}

}  // namespace
}  // namespace karst::platform
