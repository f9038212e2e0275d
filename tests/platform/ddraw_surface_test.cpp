#include <gtest/gtest.h>

#include <functional>

#include "platform/ddraw.h"
#include "tests/platform/ddraw_test_support.h"

namespace karst::platform {
namespace {

using testing::Bytes;
using testing::MakeHeadless;
using testing::MakePrimary;
using testing::MakeSurface;
using testing::Paint;
using testing::Picture;

constexpr std::uint32_t kOffscreenFlags = DDSD_CAPS | DDSD_HEIGHT | DDSD_WIDTH;

int Create(DirectDraw& ddraw, SurfaceDesc desc) {
  std::unique_ptr<Surface> surface;
  return ddraw.CreateSurface(desc, surface);
}

TEST(SurfaceCreateTest, OffscreenSizesJustInsideAndJustOutside) {
  testing::CleanFaults faults;
  auto ddraw = MakeHeadless();
  EXPECT_EQ(Create(*ddraw, {kOffscreenFlags, 1, 1, DDSCAPS_OFFSCREENPLAIN, 0}), 0);
  EXPECT_EQ(Create(*ddraw, {kOffscreenFlags, 1, 65536, DDSCAPS_OFFSCREENPLAIN, 0}), 0);
  EXPECT_EQ(Create(*ddraw, {kOffscreenFlags, 16, 48, 0, 0}), 0) << "no caps: off-screen";
  EXPECT_NE(Create(*ddraw, {kOffscreenFlags, 1, 65537, DDSCAPS_OFFSCREENPLAIN, 0}), 0);
  EXPECT_NE(Create(*ddraw, {kOffscreenFlags, 16, 0, DDSCAPS_OFFSCREENPLAIN, 0}), 0)
      << "a region without tiles asks for a strip 0 pixels wide";
  EXPECT_NE(Create(*ddraw, {kOffscreenFlags, 0, 16, DDSCAPS_OFFSCREENPLAIN, 0}), 0);
  EXPECT_NE(Create(*ddraw, {kOffscreenFlags, 4097, 65536, DDSCAPS_OFFSCREENPLAIN, 0}), 0) << "more than 256 MiB";
  EXPECT_NE(Create(*ddraw, {DDSD_CAPS | DDSD_WIDTH, 16, 16, DDSCAPS_OFFSCREENPLAIN, 0}), 0);
  EXPECT_NE(Create(*ddraw, {kOffscreenFlags, 16, 16, DDSCAPS_OFFSCREENPLAIN | 0x1000, 0}), 0);
}

TEST(SurfaceCreateTest, PrimaryNeedsTheModeAndExactlyOneBackBuffer) {
  testing::CleanFaults faults;
  constexpr std::uint32_t kChain = DDSCAPS_PRIMARYSURFACE | DDSCAPS_FLIP | DDSCAPS_COMPLEX;
  constexpr std::uint32_t kFlags = DDSD_CAPS | DDSD_BACKBUFFERCOUNT;
  std::unique_ptr<DirectDraw> noMode;
  ASSERT_EQ(DirectDrawCreate(noMode), 0);
  EXPECT_NE(Create(*noMode, {kFlags, 0, 0, kChain, 1}), 0);

  auto ddraw = MakeHeadless(640, 480);
  EXPECT_NE(Create(*ddraw, {kFlags, 0, 0, kChain, 2}), 0);
  EXPECT_NE(Create(*ddraw, {kFlags, 0, 0, kChain, 0}), 0);
  EXPECT_NE(Create(*ddraw, {kFlags, 0, 0, DDSCAPS_PRIMARYSURFACE, 1}), 0);

  auto primary = MakePrimary(*ddraw);
  ASSERT_NE(primary, nullptr);
  EXPECT_EQ(primary->width(), 640);
  EXPECT_EQ(primary->height(), 480);
  Surface* back = nullptr;
  EXPECT_NE(primary->GetAttachedSurface(DDSCAPS_FLIP, back), 0);
  ASSERT_EQ(primary->GetAttachedSurface(DDSCAPS_BACKBUFFER, back), 0);
  ASSERT_NE(back, nullptr);
  EXPECT_EQ(back->width(), 640);
  EXPECT_EQ(back->height(), 480);
  Surface* none = nullptr;
  EXPECT_NE(back->GetAttachedSurface(DDSCAPS_BACKBUFFER, none), 0);
  EXPECT_EQ(none, nullptr);
  EXPECT_EQ(primary->IsLost(), 0);
  EXPECT_EQ(back->Restore(), 0);
}

TEST(SurfaceCreateTest, ModeAndCooperationChecks) {
  testing::CleanFaults faults;
  std::unique_ptr<DirectDraw> ddraw;
  ASSERT_EQ(DirectDrawCreate(ddraw), 0);
  EXPECT_NE(ddraw->SetCooperativeLevel(nullptr, DDSCL_EXCLUSIVE), 0);
  EXPECT_EQ(ddraw->SetCooperativeLevel(nullptr, 0), 0);
  EXPECT_NE(ddraw->SetDisplayMode(640, 480, 16), 0);
  EXPECT_NE(ddraw->SetDisplayMode(0, 480, 8), 0);
  EXPECT_NE(ddraw->SetDisplayMode(16385, 480, 8), 0);
  EXPECT_EQ(ddraw->SetDisplayMode(16384, 1, 8), 0);
}

// The pitch is a whole number of 8-byte words, and what a lock writes stays in its rows.
TEST(SurfaceLockTest, PitchRoundsUpAndBytesBehindRowsStayUntouched) {
  testing::CleanFaults faults;
  auto ddraw = MakeHeadless();
  auto surface = MakeSurface(*ddraw, 5, 3);
  EXPECT_EQ(surface->pitch(), 8);
  EXPECT_EQ(MakeSurface(*ddraw, 8, 1)->pitch(), 8);
  EXPECT_EQ(MakeSurface(*ddraw, 9, 1)->pitch(), 16);

  LockedMemory memory{};
  ASSERT_EQ(surface->Lock(nullptr, memory, DDLOCK_WAIT), 0);
  EXPECT_EQ(memory.pitch, 8);
  for (int i = 0; i < 24; ++i) {
    memory.pixels[i] = 0xEE;  // the bytes behind each row too
  }
  ASSERT_EQ(surface->Unlock(nullptr), 0);
  Paint(*surface, {"abcde", "fghij", "klmno"});
  auto source = MakeSurface(*ddraw, 5, 3);
  Paint(*source, {"ABCDE", "FGHIJ", "KLMNO"});
  ASSERT_EQ(source->SetColorKey(DDCKEY_SRCBLT, 'C', 'C'), 0);
  const Rect to{1, 0, 6, 3};
  ASSERT_EQ(surface->Blt(&to, source.get(), nullptr, DDBLT_WAIT | DDBLT_KEYSRC, nullptr), 0);
  const std::vector<std::uint8_t> expected = {
      'a', 'A', 'B', 'd', 'D', 0xEE, 0xEE, 0xEE,  //
      'f', 'F', 'G', 'H', 'I', 0xEE, 0xEE, 0xEE,  //
      'k', 'K', 'L', 'M', 'N', 0xEE, 0xEE, 0xEE,
  };
  EXPECT_EQ(Bytes(*surface), expected);
}

TEST(SurfaceLockTest, RectangleLockPointsAtItsCorner) {
  testing::CleanFaults faults;
  auto ddraw = MakeHeadless();
  auto surface = MakeSurface(*ddraw, 6, 4);
  testing::Fill(*surface, '.');
  const Rect rect{2, 1, 6, 4};  // reaches the right and bottom edges: just fits
  LockedMemory memory{};
  ASSERT_EQ(surface->Lock(&rect, memory, DDLOCK_WAIT), 0);
  memory.pixels[0] = 'x';
  memory.pixels[memory.pitch + 3] = 'y';
  const Rect other{0, 0, 1, 1};
  EXPECT_NE(surface->Unlock(&other), 0);
  ASSERT_EQ(surface->Unlock(&rect), 0);
  EXPECT_EQ(Picture(*surface), (std::vector<std::string>{"......", "..x...", ".....y", "......"}));

  const Rect pastRight{2, 1, 7, 4};
  const Rect pastBottom{2, 1, 6, 5};
  const Rect empty{2, 1, 2, 4};
  const Rect negative{-1, 0, 2, 2};
  for (const Rect& bad : {pastRight, pastBottom, empty, negative}) {
    EXPECT_NE(surface->Lock(&bad, memory, DDLOCK_WAIT), 0);
  }
}

TEST(SurfaceLockTest, LockIsExclusiveAndUnlockNeedsALock) {
  testing::CleanFaults faults;
  auto ddraw = MakeHeadless();
  auto surface = MakeSurface(*ddraw, 4, 4);
  LockedMemory memory{};
  EXPECT_NE(surface->Unlock(nullptr), 0);
  ASSERT_EQ(surface->Lock(nullptr, memory, DDLOCK_WAIT), 0);
  LockedMemory second{};
  EXPECT_NE(surface->Lock(nullptr, second, DDLOCK_WAIT), 0);
  EXPECT_EQ(second.pixels, nullptr) << "a failed lock leaves its output alone";
  EXPECT_EQ(surface->Unlock(nullptr), 0);
  EXPECT_NE(surface->Unlock(nullptr), 0);
}

TEST(SurfaceColorKeyTest, OnlySourceBlitKeys) {
  testing::CleanFaults faults;
  auto ddraw = MakeHeadless();
  auto surface = MakeSurface(*ddraw, 4, 4);
  EXPECT_NE(surface->SetColorKey(2, 0, 0), 0);  // a destination key
  EXPECT_EQ(surface->SetColorKey(DDCKEY_SRCBLT, 0, 0), 0);
}

TEST(PaletteTest, SetEntriesReplacesOnlyTheRangeGiven) {
  testing::CleanFaults faults;
  auto ddraw = MakeHeadless();
  PaletteTable first{};
  PaletteTable second{};
  for (std::size_t i = 0; i < 256; ++i) {
    first[i] = PaletteEntry{static_cast<std::uint8_t>(i), 1, 2, 0};
    second[i] = PaletteEntry{9, static_cast<std::uint8_t>(i), 8, 0};
  }
  std::unique_ptr<Palette> palette;
  EXPECT_NE(ddraw->CreatePalette(0, first.data(), palette), 0);
  EXPECT_NE(ddraw->CreatePalette(DDPCAPS_8BIT, nullptr, palette), 0);
  EXPECT_EQ(palette, nullptr);
  ASSERT_EQ(ddraw->CreatePalette(DDPCAPS_8BIT, first.data(), palette), 0);
  EXPECT_EQ(palette->entries()[255].red, 255);

  ASSERT_EQ(palette->SetEntries(0, 0, 255, second.data()), 0);
  EXPECT_EQ(palette->entries()[0].green, 0);
  EXPECT_EQ(palette->entries()[254].green, 254);
  EXPECT_EQ(palette->entries()[254].red, 9);
  EXPECT_EQ(palette->entries()[255].red, 255) << "count 255 keeps entry 255";
  EXPECT_EQ(palette->entries()[255].green, 1);

  EXPECT_EQ(palette->SetEntries(0, 200, 56, second.data()), 0);  // ends on entry 255
  EXPECT_EQ(palette->entries()[255].green, 55);
  EXPECT_NE(palette->SetEntries(0, 200, 57, second.data()), 0);  // one past the end
  EXPECT_NE(palette->SetEntries(0, 257, 0, second.data()), 0);
  EXPECT_NE(palette->SetEntries(1, 0, 1, second.data()), 0);
  EXPECT_EQ(palette->SetEntries(0, 256, 0, nullptr), 0);
}

// Every named call fails when the switch names it, and succeeds again afterwards.
TEST(DirectDrawFaultTest, EachNamedCallFailsWhenSwitched) {
  testing::CleanFaults faults;
  auto ddraw = MakeHeadless(16, 8);
  auto primary = MakePrimary(*ddraw);
  auto offscreen = MakeSurface(*ddraw, 4, 4);
  Surface* back = nullptr;
  ASSERT_EQ(primary->GetAttachedSurface(DDSCAPS_BACKBUFFER, back), 0);
  PaletteTable entries{};
  std::unique_ptr<Palette> palette;
  ASSERT_EQ(ddraw->CreatePalette(DDPCAPS_8BIT, entries.data(), palette), 0);
  std::unique_ptr<Clipper> clipper;
  ASSERT_EQ(ddraw->CreateClipper(0, clipper), 0);
  const SurfaceDesc offscreenDesc{kOffscreenFlags, 4, 4, DDSCAPS_OFFSCREENPLAIN, 0};

  const std::vector<std::pair<const char*, std::function<int()>>> calls = {
      {"DirectDrawCreate",
       [] {
         std::unique_ptr<DirectDraw> d;
         return DirectDrawCreate(d);
       }},
      {"SetCooperativeLevel", [&] { return ddraw->SetCooperativeLevel(nullptr, 0x11); }},
      {"SetDisplayMode", [&] { return ddraw->SetDisplayMode(16, 8, 8); }},
      {"CreateSurface",
       [&] {
         std::unique_ptr<Surface> s;
         return ddraw->CreateSurface(offscreenDesc, s);
       }},
      {"GetAttachedSurface",
       [&] {
         Surface* s = nullptr;
         return primary->GetAttachedSurface(DDSCAPS_BACKBUFFER, s);
       }},
      {"CreateClipper",
       [&] {
         std::unique_ptr<Clipper> c;
         return ddraw->CreateClipper(0, c);
       }},
      {"SetHWnd", [&] { return clipper->SetHWnd(0, nullptr); }},
      {"SetClipper", [&] { return back->SetClipper(clipper.get()); }},
      {"CreatePalette",
       [&] {
         std::unique_ptr<Palette> p;
         return ddraw->CreatePalette(DDPCAPS_8BIT, entries.data(), p);
       }},
      {"SetPalette", [&] { return primary->SetPalette(palette.get()); }},
      {"SetEntries", [&] { return palette->SetEntries(0, 0, 255, entries.data()); }},
      {"Lock",
       [&] {
         LockedMemory m{};
         const int r = offscreen->Lock(nullptr, m, DDLOCK_WAIT);
         if (r == 0) offscreen->Unlock(nullptr);
         return r;
       }},
      {"Unlock",
       [&] {
         LockedMemory m{};
         offscreen->Lock(nullptr, m, DDLOCK_WAIT);
         const int r = offscreen->Unlock(nullptr);
         if (r != 0) {
           ClearFailures();
           offscreen->Unlock(nullptr);
         }
         return r;
       }},
      {"GetDC",
       [&] {
         DeviceContext dc;
         const int r = back->GetDC(dc);
         if (r == 0) back->ReleaseDC(dc);
         return r;
       }},
      {"Blt", [&] { return back->Blt(nullptr, primary.get(), nullptr, DDBLT_WAIT, nullptr); }},
      {"Flip", [&] { return primary->Flip(nullptr, DDFLIP_WAIT); }},
  };
  for (const auto& [name, call] : calls) {
    SCOPED_TRACE(name);
    FailCall(name);
    EXPECT_NE(call(), 0);
    ClearFailures();
    EXPECT_EQ(call(), 0);
  }
  EXPECT_EQ(primary->flipCount(), 1u) << "only the flip that was not switched off presents";
}

}  // namespace
}  // namespace karst::platform
