#include <SDL.h>
#include <gtest/gtest.h>

#include "platform/ddraw.h"
#include "platform/native_window.h"
#include "tests/platform/ddraw_test_support.h"
#include "tests/platform/window_test_support.h"

namespace karst::platform {
namespace {

using testing::MakeHeadless;
using testing::MakePrimary;
using testing::Paint;
using testing::Picture;
using testing::PushWindowEvent;

// Index i shows red i, green 2i, blue 255 - i.
PaletteTable Ramp() {
  PaletteTable entries{};
  for (std::size_t i = 0; i < 256; ++i) {
    entries[i] = PaletteEntry{static_cast<std::uint8_t>(i), static_cast<std::uint8_t>(2 * i),
                              static_cast<std::uint8_t>(255 - i), 0};
  }
  return entries;
}

std::uint32_t RampColour(std::uint8_t index) {
  return 0xFF000000u | (std::uint32_t{index} << 16) | (std::uint32_t{static_cast<std::uint8_t>(2 * index)} << 8) |
         (255u - index);
}

class FlipTest : public ::testing::Test {
 protected:
  FlipTest() : ddraw_(MakeHeadless(4, 2)), primary_(MakePrimary(*ddraw_)) {
    EXPECT_EQ(primary_->GetAttachedSurface(DDSCAPS_BACKBUFFER, back_), 0);
    const PaletteTable ramp = Ramp();
    EXPECT_EQ(ddraw_->CreatePalette(DDPCAPS_8BIT, ramp.data(), palette_), 0);
  }

  testing::CleanFaults faults_;
  std::unique_ptr<DirectDraw> ddraw_;
  std::unique_ptr<Surface> primary_;
  Surface* back_ = nullptr;
  std::unique_ptr<Palette> palette_;
};

TEST_F(FlipTest, NothingIsPresentedBeforeTheFirstFlip) {
  EXPECT_EQ(primary_->flipCount(), 0u);
  EXPECT_TRUE(primary_->presentedFrame().empty());
}

TEST_F(FlipTest, FlipSwapsTheBuffersAndPresentsThroughThePalette) {
  ASSERT_EQ(primary_->SetPalette(palette_.get()), 0);
  Paint(*primary_, {"ABCD", "EFGH"});
  Paint(*back_, {"\x01\x02\x03\x04", std::string("\xff\x00\x80\x7f", 4)});
  ASSERT_EQ(primary_->Flip(back_, DDFLIP_WAIT), 0);
  EXPECT_EQ(primary_->flipCount(), 1u);
  EXPECT_EQ(Picture(*primary_), (std::vector<std::string>{"\x01\x02\x03\x04", std::string("\xff\x00\x80\x7f", 4)}));
  EXPECT_EQ(Picture(*back_), (std::vector<std::string>{"ABCD", "EFGH"}));
  const std::vector<std::uint32_t> expected = {
      RampColour(1),   RampColour(2), RampColour(3),   RampColour(4),
      RampColour(255), RampColour(0), RampColour(128), RampColour(127),
  };
  EXPECT_EQ(primary_->presentedFrame(), expected);
  EXPECT_EQ(RampColour(128), 0xFF80007Fu);  // green 256 keeps its low 8 bits

  // A null target flips with the back buffer too; the old front is presented again.
  ASSERT_EQ(primary_->Flip(nullptr, DDFLIP_WAIT), 0);
  EXPECT_EQ(primary_->flipCount(), 2u);
  EXPECT_EQ(primary_->presentedFrame()[0], RampColour('A'));
}

TEST_F(FlipTest, PaletteChangesShowOnTheNextFlipAndOutliveThePaletteObject) {
  ASSERT_EQ(primary_->SetPalette(palette_.get()), 0);
  Paint(*back_, {"\x05\x05\x05\x05", "\x05\x05\x05\xff"});
  const PaletteEntry green{0, 255, 0, 0};
  ASSERT_EQ(palette_->SetEntries(0, 5, 1, &green), 0);
  palette_.reset();  // the primary still holds the entries
  ASSERT_EQ(primary_->Flip(nullptr, DDFLIP_WAIT), 0);
  EXPECT_EQ(primary_->presentedFrame()[0], 0xFF00FF00u);
  EXPECT_EQ(primary_->presentedFrame()[7], RampColour(255));
  EXPECT_EQ(primary_->paletteEntries()[5].green, 255);
}

TEST_F(FlipTest, WithoutPaletteEveryIndexIsBlack) {
  Paint(*back_, {"abcd", "efgh"});
  ASSERT_EQ(primary_->Flip(nullptr, DDFLIP_WAIT), 0);
  EXPECT_EQ(primary_->presentedFrame(), std::vector<std::uint32_t>(8, 0xFF000000u));
}

TEST_F(FlipTest, RefusedFlipsNeitherSwapNorPresent) {
  Paint(*back_, {"back", "back"});
  auto stranger = testing::MakeSurface(*ddraw_, 4, 2);
  EXPECT_NE(primary_->Flip(stranger.get(), DDFLIP_WAIT), 0);
  EXPECT_NE(back_->Flip(nullptr, DDFLIP_WAIT), 0) << "only the primary flips";
  EXPECT_NE(primary_->Flip(nullptr, 2), 0);
  LockedMemory memory{};
  ASSERT_EQ(back_->Lock(nullptr, memory, DDLOCK_WAIT), 0);
  EXPECT_NE(primary_->Flip(nullptr, DDFLIP_WAIT), 0);
  ASSERT_EQ(back_->Unlock(nullptr), 0);
  FailCall("Flip");
  EXPECT_NE(primary_->Flip(nullptr, DDFLIP_WAIT), 0);
  EXPECT_EQ(primary_->flipCount(), 0u);
  EXPECT_TRUE(primary_->presentedFrame().empty());
  EXPECT_EQ(Picture(*back_)[0], "back");
}

TEST(FlipSizeTest, FullModeFrameIsConvertedExactly) {
  testing::CleanFaults faults;
  auto ddraw = MakeHeadless(640, 480);
  auto primary = MakePrimary(*ddraw);
  Surface* back = nullptr;
  ASSERT_EQ(primary->GetAttachedSurface(DDSCAPS_BACKBUFFER, back), 0);
  const PaletteTable ramp = Ramp();
  std::unique_ptr<Palette> palette;
  ASSERT_EQ(ddraw->CreatePalette(DDPCAPS_8BIT, ramp.data(), palette), 0);
  ASSERT_EQ(primary->SetPalette(palette.get()), 0);
  LockedMemory memory{};
  ASSERT_EQ(back->Lock(nullptr, memory, DDLOCK_WAIT), 0);
  for (int y = 0; y < 480; ++y) {
    for (int x = 0; x < 640; ++x) {
      memory.pixels[y * memory.pitch + x] = static_cast<std::uint8_t>(x * 7 + y * 3);
    }
  }
  ASSERT_EQ(back->Unlock(nullptr), 0);
  ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), 0);
  const std::vector<std::uint32_t>& frame = primary->presentedFrame();
  ASSERT_EQ(frame.size(), 640u * 480u);
  for (int y = 0; y < 480; y += 1) {
    for (int x = 0; x < 640; ++x) {
      ASSERT_EQ(frame[static_cast<std::size_t>(y * 640 + x)], RampColour(static_cast<std::uint8_t>(x * 7 + y * 3)))
          << x << "," << y;
    }
  }
}

// The windowed path under SDL's dummy video driver (software renderer): the window goes full
// screen and is shown, frames are presented and paced to the refresh rate.
TEST(FlipWindowedTest, PresentsIntoTheWindowPacedToTheRefresh) {
  testing::CleanWindowSystem windows;
  Window* window = testing::MakeWindow("DirectDraw Test");
  ASSERT_NE(window, nullptr);
  {
    std::unique_ptr<DirectDraw> ddraw;
    ASSERT_EQ(DirectDrawCreate(ddraw), 0);
    ASSERT_EQ(ddraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), 0);
    ASSERT_EQ(ddraw->SetDisplayMode(640, 480, 8), 0);
    const Uint32 windowFlags = SDL_GetWindowFlags(NativeWindow(window));
    EXPECT_EQ(windowFlags & SDL_WINDOW_FULLSCREEN_DESKTOP, SDL_WINDOW_FULLSCREEN_DESKTOP);
    EXPECT_NE(windowFlags & SDL_WINDOW_SHOWN, 0u);
    EXPECT_STREQ(SDL_GetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS), "0");

    const Uint64 frequency = SDL_GetPerformanceFrequency();
    const Uint64 start = SDL_GetPerformanceCounter();
    auto primary = MakePrimary(*ddraw);
    ASSERT_NE(primary, nullptr);
    Surface* back = nullptr;
    ASSERT_EQ(primary->GetAttachedSurface(DDSCAPS_BACKBUFFER, back), 0);
    std::unique_ptr<Clipper> clipper;
    ASSERT_EQ(ddraw->CreateClipper(0, clipper), 0);
    ASSERT_EQ(clipper->SetHWnd(0, window), 0);
    const PaletteTable ramp = Ramp();
    std::unique_ptr<Palette> palette;
    ASSERT_EQ(ddraw->CreatePalette(DDPCAPS_8BIT, ramp.data(), palette), 0);
    ASSERT_EQ(primary->SetPalette(palette.get()), 0);

    // The first refresh comes a period after the primary was made, each later one a period on.
    constexpr int kFlips = 6;
    for (int i = 0; i < kFlips; ++i) {
      ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), 0);
    }
    const Uint64 elapsed = SDL_GetPerformanceCounter() - start;
    EXPECT_GE(elapsed, kFlips * (frequency / 60)) << "flips must wait for the refresh";
    EXPECT_LT(elapsed, 5 * frequency);
    EXPECT_EQ(primary->flipCount(), static_cast<std::uint64_t>(kFlips));
    EXPECT_TRUE(primary->presentedFrame().empty());
  }
  EXPECT_EQ(DestroyWindow(window), 1);
}

// Uncovering the window paints the last frame again at once; the viewer itself draws nothing
// new until a key or the mouse asks for it.
TEST(FlipWindowedTest, AnUncoveredWindowShowsTheLastFrameAgain) {
  testing::CleanWindowSystem windows;
  Window* window = testing::MakeWindow("DirectDraw Expose");
  Window* other = testing::MakeWindow("DirectDraw Other");
  ASSERT_NE(window, nullptr);
  ASSERT_NE(other, nullptr);
  {
    std::unique_ptr<DirectDraw> ddraw;
    ASSERT_EQ(DirectDrawCreate(ddraw), 0);
    ASSERT_EQ(ddraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), 0);
    ASSERT_EQ(ddraw->SetDisplayMode(640, 480, 8), 0);
    auto primary = MakePrimary(*ddraw);
    ASSERT_NE(primary, nullptr);
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);

    PushWindowEvent(window, SDL_WINDOWEVENT_EXPOSED);
    EXPECT_EQ(primary->repaintCount(), 0u) << "nothing to show before the first flip";
    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), 0);
    PushWindowEvent(window, SDL_WINDOWEVENT_EXPOSED);
    EXPECT_EQ(primary->repaintCount(), 1u);
    PushWindowEvent(window, SDL_WINDOWEVENT_SIZE_CHANGED);
    EXPECT_EQ(primary->repaintCount(), 2u);
    PushWindowEvent(other, SDL_WINDOWEVENT_EXPOSED);
    PushWindowEvent(window, SDL_WINDOWEVENT_MOVED);
    EXPECT_EQ(primary->repaintCount(), 2u) << "other windows and other events paint nothing";
    EXPECT_EQ(primary->flipCount(), 1u) << "a repaint is no new frame";
    SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  }
  // Once the display is gone its watch is gone too: uncovering the window reaches nothing.
  PushWindowEvent(window, SDL_WINDOWEVENT_EXPOSED);
  SDL_FlushEvents(SDL_FIRSTEVENT, SDL_LASTEVENT);
  EXPECT_EQ(DestroyWindow(other), 1);
  EXPECT_EQ(DestroyWindow(window), 1);
}

// The window covers its display whatever the display's size, and the pointer is reported in the
// picture's pixels: SDL's dummy display is 1024 x 768, so the 640 x 480 picture is shown once,
// centred at (192, 144), and a pointer in the border rests at the picture's edge.
TEST(FlipWindowedTest, AFullScreenWindowCoversTheDisplayAndMapsThePointerIntoThePicture) {
  testing::CleanWindowSystem windows;
  Window* window = testing::MakeWindow("DirectDraw Letterbox");
  ASSERT_NE(window, nullptr);
  {
    std::unique_ptr<DirectDraw> ddraw;
    ASSERT_EQ(DirectDrawCreate(ddraw), 0);
    ASSERT_EQ(ddraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), 0);
    ASSERT_EQ(ddraw->SetDisplayMode(640, 480, 8), 0);
    SDL_Window* native = NativeWindow(window);
    SDL_Rect bounds{};
    ASSERT_EQ(SDL_GetDisplayBounds(SDL_GetWindowDisplayIndex(native), &bounds), 0);
    ASSERT_EQ(bounds.w, 1024);
    ASSERT_EQ(bounds.h, 768);
    int x = -1;
    int y = -1;
    SDL_GetWindowPosition(native, &x, &y);
    EXPECT_EQ(x, bounds.x);
    EXPECT_EQ(y, bounds.y);
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(native, &width, &height);
    EXPECT_EQ(width, bounds.w);
    EXPECT_EQ(height, bounds.h);

    auto primary = MakePrimary(*ddraw);
    ASSERT_NE(primary, nullptr);
    ASSERT_EQ(primary->Flip(nullptr, DDFLIP_WAIT), 0);
    testing::TakeAll();
    struct Case {
      int screenX, screenY, pictureX, pictureY;
    };
    const Case cases[] = {
        {0, 0, 0, 0},         {191, 143, 0, 0},       // the top-left border
        {192, 144, 0, 0},     {197, 149, 5, 5},       // the picture's first pixels
        {198, 150, 6, 6},     {500, 400, 308, 256},   //
        {826, 618, 634, 474}, {831, 623, 639, 479},   // the picture's last pixels
        {832, 624, 639, 479}, {1023, 767, 639, 479},  // the bottom-right border
        {1023, 0, 639, 0},    {0, 767, 0, 479},       // the other corners
    };
    for (const Case& c : cases) {
      testing::PushMouse(window, c.screenX, c.screenY);
    }
    const std::vector<Message> messages = testing::TakeAll();
    ASSERT_EQ(messages.size(), std::size(cases));
    for (std::size_t i = 0; i < messages.size(); ++i) {
      SCOPED_TRACE(::testing::Message() << cases[i].screenX << "," << cases[i].screenY);
      EXPECT_EQ(messages[i].lParam & 0xFFFF, cases[i].pictureX);
      EXPECT_EQ(messages[i].lParam >> 16, cases[i].pictureY);
    }
  }
  EXPECT_EQ(DestroyWindow(window), 1);
}

TEST(FlipWindowedTest, AWindowHandleThatIsNoWindowIsRefused) {
  testing::CleanWindowSystem windows;
  Window* window = testing::MakeWindow("DirectDraw Gone");
  ASSERT_NE(window, nullptr);
  ASSERT_EQ(DestroyWindow(window), 1);
  std::unique_ptr<DirectDraw> ddraw;
  ASSERT_EQ(DirectDrawCreate(ddraw), 0);
  EXPECT_NE(ddraw->SetCooperativeLevel(window, DDSCL_EXCLUSIVE | DDSCL_FULLSCREEN), 0);
}

}  // namespace
}  // namespace karst::platform
