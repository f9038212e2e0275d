#include <gtest/gtest.h>

#include <cstring>
#include <set>
#include <string>
#include <vector>

#include "platform/ddraw.h"
#include "tests/platform/ddraw_test_support.h"

namespace karst::platform {
namespace {

using testing::MakeHeadless;
using testing::MakePrimary;

constexpr std::uint8_t kWhite = 200;  // exactly white
constexpr std::uint8_t kBlack = 3;    // the first of two exact blacks
constexpr std::uint8_t kBehind = 50;  // what the surface held before

// Mid greys everywhere, a near white below the exact one and two exact blacks: the nearest
// colours are not simply the first or last index.
PaletteTable TextPalette() {
  PaletteTable entries{};
  entries.fill(PaletteEntry{128, 128, 128, 0});
  entries[7] = PaletteEntry{250, 250, 250, 0};
  entries[kWhite] = PaletteEntry{255, 255, 255, 0};
  entries[kBlack] = PaletteEntry{0, 0, 0, 0};
  entries[9] = PaletteEntry{0, 0, 0, 0};
  entries[1] = PaletteEntry{10, 10, 10, 0};
  return entries;
}

// The smallest rectangle holding every pixel that is no longer `kBehind`, and the set of
// indices inside it.
struct Changed {
  Rect box{1 << 30, 1 << 30, -1, -1};
  std::set<std::uint8_t> inside;
  int count = 0;
};

Changed FindChanged(const Surface& surface) {
  const PixelView view = surface.pixels();
  Changed changed;
  for (int y = 0; y < view.height; ++y) {
    for (int x = 0; x < view.width; ++x) {
      if (view.at(x, y) != kBehind) {
        changed.box.left = std::min(changed.box.left, x);
        changed.box.top = std::min(changed.box.top, y);
        changed.box.right = std::max(changed.box.right, x + 1);
        changed.box.bottom = std::max(changed.box.bottom, y + 1);
        ++changed.count;
      }
    }
  }
  for (int y = changed.box.top; y < changed.box.bottom; ++y) {
    for (int x = changed.box.left; x < changed.box.right; ++x) {
      changed.inside.insert(view.at(x, y));
    }
  }
  return changed;
}

class TextTest : public ::testing::Test {
 protected:
  TextTest() : ddraw_(MakeHeadless(640, 480)), primary_(MakePrimary(*ddraw_)) {
    EXPECT_EQ(primary_->GetAttachedSurface(DDSCAPS_BACKBUFFER, back_), 0);
    const PaletteTable entries = TextPalette();
    EXPECT_EQ(ddraw_->CreatePalette(DDPCAPS_8BIT, entries.data(), palette_), 0);
    EXPECT_EQ(primary_->SetPalette(palette_.get()), 0);
    testing::Fill(*back_, static_cast<char>(kBehind));
  }

  // Writes white on black, as the viewer writes a region's name.
  int Write(std::int32_t x, std::int32_t y, const char* text, std::int32_t length) {
    DeviceContext context;
    if (back_->GetDC(context) != 0) {
      return -1;
    }
    context.SetBkColor(0x000000);
    context.SetTextColor(0xFFFFFF);
    const int result = context.TextOut(x, y, text, length);
    EXPECT_EQ(back_->ReleaseDC(context), 0);
    return result;
  }

  testing::CleanFaults faults_;
  std::unique_ptr<DirectDraw> ddraw_;
  std::unique_ptr<Surface> primary_;
  Surface* back_ = nullptr;
  std::unique_ptr<Palette> palette_;
};

TEST_F(TextTest, GlyphsInNearestWhiteOnACellOfNearestBlack) {
  ASSERT_EQ(Write(10, 20, "Map", 3), 0);
  const Changed changed = FindChanged(*back_);
  EXPECT_EQ(changed.box.left, 10);
  EXPECT_EQ(changed.box.top, 20);
  EXPECT_GT(changed.box.right - changed.box.left, 15);
  EXPECT_GE(changed.box.bottom - changed.box.top, 12) << "about 13 pixels high";
  EXPECT_LE(changed.box.bottom - changed.box.top, 20);
  // The cell is filled whole: every pixel of the box changed, to one of the two indices.
  EXPECT_EQ(changed.count, (changed.box.right - changed.box.left) * (changed.box.bottom - changed.box.top));
  EXPECT_EQ(changed.inside, (std::set<std::uint8_t>{kBlack, kWhite}));
}

TEST_F(TextTest, TextAtTheBottomEdgeIsClippedToTheSurface) {
  ASSERT_EQ(Write(0, 470, "Bottom band", 11), 0);
  const Changed changed = FindChanged(*back_);
  EXPECT_EQ(changed.box.left, 0);
  EXPECT_EQ(changed.box.top, 470);
  EXPECT_EQ(changed.box.bottom, 480);
  EXPECT_EQ(changed.inside, (std::set<std::uint8_t>{kBlack, kWhite}));
}

// The rows of `surface` that hold glyph pixels (kWhite), from the top.
std::vector<int> GlyphRows(const Surface& surface) {
  const PixelView view = surface.pixels();
  std::vector<int> rows;
  for (int y = 0; y < view.height; ++y) {
    for (int x = 0; x < view.width; ++x) {
      if (view.at(x, y) == kWhite) {
        rows.push_back(y);
        break;
      }
    }
  }
  return rows;
}

// The name stands at y 465 of 480: every glyph a name can hold fits the 15 rows, descenders
// (g, j, p, q, y) and accents included, so nothing of it is cut off at the bottom.
TEST_F(TextTest, EveryGlyphFitsTheFifteenRowsOfTheNameBand) {
  std::string latin1;
  for (int character = 32; character <= 255; ++character) {
    if (character < 127 || character >= 160) latin1.push_back(static_cast<char>(character));
  }
  // In pieces narrow enough for the surface, so every glyph is drawn.
  for (std::size_t first = 0; first < latin1.size(); first += 40) {
    const std::string piece = latin1.substr(first, 40);
    testing::Fill(*back_, static_cast<char>(kBehind));
    ASSERT_EQ(Write(0, 0, piece.c_str(), static_cast<std::int32_t>(piece.size())), 0);
    const Changed cell = FindChanged(*back_);
    ASSERT_LT(cell.box.right, 640) << piece;
    EXPECT_EQ(cell.box.top, 0) << piece;
    EXPECT_LE(cell.box.bottom, 15) << "the cell fits the band: " << piece;
    EXPECT_GE(cell.box.bottom, 12) << "and is not much smaller than it: " << piece;
  }

  testing::Fill(*back_, static_cast<char>(kBehind));
  ASSERT_EQ(Write(0, 0, "Jiggery gjpqy", 13), 0);
  std::vector<int> expected = GlyphRows(*back_);
  ASSERT_FALSE(expected.empty());
  for (int& row : expected) row += 465;
  testing::Fill(*back_, static_cast<char>(kBehind));
  ASSERT_EQ(Write(0, 465, "Jiggery gjpqy", 13), 0);
  EXPECT_EQ(GlyphRows(*back_), expected) << "the same glyph rows, none cut off";
  EXPECT_LE(expected.back(), 479);
}

TEST_F(TextTest, TextLeftOfAndAboveTheSurfaceIsClipped) {
  ASSERT_EQ(Write(-6, -4, "Wide text", 9), 0);
  const Changed changed = FindChanged(*back_);
  EXPECT_EQ(changed.box.left, 0);
  EXPECT_EQ(changed.box.top, 0);
  ASSERT_EQ(Write(700, 500, "Gone", 4), 0);
  ASSERT_EQ(Write(-1000, 0, "Gone", 4), 0);
  EXPECT_EQ(FindChanged(*back_).count, changed.count);
}

TEST_F(TextTest, EmptyTextWritesNothing) {
  ASSERT_EQ(Write(0, 0, "", 0), 0);
  ASSERT_EQ(Write(0, 0, "name", 0), 0);
  ASSERT_EQ(Write(0, 0, "\0name", 5), 0);
  EXPECT_EQ(FindChanged(*back_).count, 0);
  EXPECT_NE(Write(0, 0, "name", -1), 0);
  EXPECT_EQ(FindChanged(*back_).count, 0);
}

TEST_F(TextTest, LengthLimitsTheText) {
  ASSERT_EQ(Write(0, 0, "ab", 1), 0);
  const int oneLetter = FindChanged(*back_).box.right;
  testing::Fill(*back_, static_cast<char>(kBehind));
  ASSERT_EQ(Write(0, 0, "ab", 2), 0);
  EXPECT_GT(FindChanged(*back_).box.right, oneLetter);
}

// The last line's glyphs are kept for the next frame: a different text, or the same text with
// less room to its right, must still come out as if drawn for the first time.
TEST_F(TextTest, KeptGlyphsNeverStandInForAnotherTextOrRoom) {
  auto drawAlone = [this](std::int32_t x, const char* text) {
    testing::Fill(*back_, static_cast<char>(kBehind));
    EXPECT_EQ(Write(x, 0, text, static_cast<std::int32_t>(std::strlen(text))), 0);
    return testing::Bytes(*back_);
  };
  const std::vector<std::uint8_t> first = drawAlone(0, "Old Town");
  const std::vector<std::uint8_t> other = drawAlone(0, "Old Towm");
  EXPECT_NE(other, first);
  EXPECT_EQ(drawAlone(0, "Old Town"), first);
  // Near the right edge only the characters that can show are rendered; back at the left edge
  // the whole name is drawn again.
  const std::vector<std::uint8_t> cut = drawAlone(630, "Old Towm");
  EXPECT_EQ(FindChanged(*back_).box.right, 640);
  EXPECT_EQ(drawAlone(0, "Old Towm"), other);
  EXPECT_NE(cut, other);
}

TEST_F(TextTest, ContextHoldsTheSurfaceUntilReleased) {
  DeviceContext context;
  ASSERT_EQ(back_->GetDC(context), 0);
  LockedMemory memory{};
  EXPECT_NE(back_->Lock(nullptr, memory, DDLOCK_WAIT), 0);
  DeviceContext second;
  EXPECT_NE(back_->GetDC(second), 0);
  EXPECT_NE(primary_->Flip(nullptr, DDFLIP_WAIT), 0);
  EXPECT_NE(primary_->ReleaseDC(context), 0) << "the context belongs to the back buffer";
  ASSERT_EQ(back_->ReleaseDC(context), 0);
  EXPECT_NE(context.TextOut(0, 0, "late", 4), 0);
  EXPECT_EQ(FindChanged(*back_).count, 0);
  ASSERT_EQ(back_->Lock(nullptr, memory, DDLOCK_WAIT), 0);
  EXPECT_NE(back_->GetDC(context), 0);
  ASSERT_EQ(back_->Unlock(nullptr), 0);
}

TEST_F(TextTest, DefaultColoursAreBlackOnWhite) {
  DeviceContext context;
  ASSERT_EQ(back_->GetDC(context), 0);
  ASSERT_EQ(context.TextOut(0, 0, "x", 1), 0);
  ASSERT_EQ(back_->ReleaseDC(context), 0);
  EXPECT_EQ(FindChanged(*back_).inside, (std::set<std::uint8_t>{kBlack, kWhite}));
  EXPECT_EQ(back_->pixels().at(0, 0), kWhite) << "the background is white";
}

}  // namespace
}  // namespace karst::platform
