#include <gtest/gtest.h>

#include <random>

#include "platform/ddraw.h"
#include "tests/platform/ddraw_test_support.h"

namespace karst::platform {
namespace {

using testing::Bytes;
using testing::MakeHeadless;
using testing::MakeSurface;
using testing::Paint;
using testing::Picture;

using Pic = std::vector<std::string>;

constexpr std::uint32_t kPlain = DDBLT_WAIT;
constexpr std::uint32_t kKeyed = DDBLT_WAIT | DDBLT_KEYSRC;
constexpr std::uint32_t kKeyedMirrored = DDBLT_WAIT | DDBLT_KEYSRC | DDBLT_DDFX;
constexpr std::uint32_t kMirrored = DDBLT_WAIT | DDBLT_DDFX;
constexpr BltFx kMirror{DDBLTFX_MIRRORLEFTRIGHT};

// A 4 x 3 source: letters are colours, '.' is the transparent index when keyed.
const Pic kSource = {
    "ab.d",
    "e..h",
    "ijkl",
};

class BltTest : public ::testing::Test {
 protected:
  BltTest() : ddraw_(MakeHeadless(8, 5)), source_(MakeSurface(*ddraw_, 4, 3)), dest_(MakeSurface(*ddraw_, 8, 5)) {
    Paint(*source_, kSource);
    EXPECT_EQ(source_->SetColorKey(DDCKEY_SRCBLT, '.', '.'), 0);
    testing::Fill(*dest_, '#');
  }

  int Blt(Rect to, std::uint32_t flags, const BltFx* fx = nullptr) {
    const Rect from{0, 0, 4, 3};
    return dest_->Blt(&to, source_.get(), &from, flags, fx);
  }

  testing::CleanFaults faults_;
  std::unique_ptr<DirectDraw> ddraw_;
  std::unique_ptr<Surface> source_;
  std::unique_ptr<Surface> dest_;
};

TEST_F(BltTest, OpaqueCopiesEveryPixelIncludingTheKeyIndex) {
  ASSERT_EQ(Blt(Rect{2, 1, 6, 4}, kPlain), 0);
  EXPECT_EQ(Picture(*dest_), (Pic{
                                 "########",
                                 "##ab.d##",
                                 "##e..h##",
                                 "##ijkl##",
                                 "########",
                             }));
}

TEST_F(BltTest, KeyedLeavesTransparentPixelsAlone) {
  ASSERT_EQ(Blt(Rect{2, 1, 6, 4}, kKeyed), 0);
  EXPECT_EQ(Picture(*dest_), (Pic{
                                 "########",
                                 "##ab#d##",
                                 "##e##h##",
                                 "##ijkl##",
                                 "########",
                             }));
}

TEST_F(BltTest, KeyRangeCoversLowToHighInclusive) {
  ASSERT_EQ(source_->SetColorKey(DDCKEY_SRCBLT, 'b', 'e'), 0);
  ASSERT_EQ(Blt(Rect{0, 0, 4, 3}, kKeyed), 0);
  // b, d and e lie in b..e; a and h just outside it.
  EXPECT_EQ(Picture(*dest_)[0], "a#.#####");
  EXPECT_EQ(Picture(*dest_)[1], "#..h####");
}

TEST_F(BltTest, MirroredReversesEachRowInTheSameRectangle) {
  ASSERT_EQ(Blt(Rect{2, 1, 6, 4}, kMirrored, &kMirror), 0);
  EXPECT_EQ(Picture(*dest_), (Pic{
                                 "########",
                                 "##d.ba##",
                                 "##h..e##",
                                 "##lkji##",
                                 "########",
                             }));
}

TEST_F(BltTest, KeyedMirrored) {
  ASSERT_EQ(Blt(Rect{2, 1, 6, 4}, kKeyedMirrored, &kMirror), 0);
  EXPECT_EQ(Picture(*dest_), (Pic{
                                 "########",
                                 "##d#ba##",
                                 "##h##e##",
                                 "##lkji##",
                                 "########",
                             }));
}

TEST_F(BltTest, SourceRectanglePicksItsPart) {
  const Rect from{1, 1, 4, 3};
  const Rect to{0, 0, 3, 2};
  ASSERT_EQ(dest_->Blt(&to, source_.get(), &from, kPlain, nullptr), 0);
  EXPECT_EQ(Picture(*dest_)[0], "..h#####");
  EXPECT_EQ(Picture(*dest_)[1], "jkl#####");
}

// Without a clipper the destination is clipped to the surface: each side, plain and mirrored.
struct ClipCase {
  const char* name;
  Rect to;
  bool mirrored;
  Pic expected;
};

TEST_F(BltTest, ClipsOnEverySide) {
  const ClipCase cases[] = {
      {"left", Rect{-1, 1, 3, 4}, false, {"########", "b.d#####", "..h#####", "jkl#####", "########"}},
      {"left mirrored", Rect{-1, 1, 3, 4}, true, {"########", ".ba#####", "..e#####", "kji#####", "########"}},
      {"right", Rect{6, 1, 10, 4}, false, {"########", "######ab", "######e.", "######ij", "########"}},
      {"right mirrored", Rect{6, 1, 10, 4}, true, {"########", "######d.", "######h.", "######lk", "########"}},
      {"top", Rect{0, -2, 4, 1}, false, {"ijkl####", "########", "########", "########", "########"}},
      {"top mirrored", Rect{0, -2, 4, 1}, true, {"lkji####", "########", "########", "########", "########"}},
      {"bottom", Rect{0, 3, 4, 6}, false, {"########", "########", "########", "ab.d####", "e..h####"}},
      {"corner mirrored", Rect{-2, -1, 2, 2}, true, {".e######", "ji######", "########", "########", "########"}},
  };
  for (const ClipCase& c : cases) {
    SCOPED_TRACE(c.name);
    testing::Fill(*dest_, '#');
    ASSERT_EQ(Blt(c.to, c.mirrored ? kMirrored : kPlain, c.mirrored ? &kMirror : nullptr), 0);
    EXPECT_EQ(Picture(*dest_), c.expected);
  }
}

// The edge pairs: one column (row) on the surface, and just off it.
TEST_F(BltTest, RectanglesOnePastTheEdgeDrawNothing) {
  const Rect offSurface[] = {{8, 0, 12, 3}, {-4, 0, 0, 3}, {0, 5, 4, 8}, {0, -3, 4, 0}};
  for (const Rect& to : offSurface) {
    ASSERT_EQ(Blt(to, kPlain), 0);
  }
  EXPECT_EQ(Picture(*dest_), Pic(5, "########"));

  ASSERT_EQ(Blt(Rect{7, 0, 11, 3}, kPlain), 0);              // column 7 gets source column 0
  ASSERT_EQ(Blt(Rect{-3, 2, 1, 5}, kPlain), 0);              // column 0 gets source column 3
  ASSERT_EQ(Blt(Rect{2, 4, 6, 7}, kMirrored, &kMirror), 0);  // row 4 gets source row 0
  EXPECT_EQ(Picture(*dest_), (Pic{"#######a", "#######e", "d######i", "h#######", "l#d.ba##"}));
}

TEST_F(BltTest, ClipperClipsToItsScreen) {
  auto ddraw = MakeHeadless(5, 3);
  std::unique_ptr<Clipper> clipper;
  ASSERT_EQ(ddraw->CreateClipper(0, clipper), 0);
  ASSERT_EQ(dest_->SetClipper(clipper.get()), 0);
  // Unbound, the clipper has no clip list yet: the blit fails and draws nothing.
  EXPECT_NE(Blt(Rect{3, 1, 7, 4}, kPlain), 0);
  EXPECT_EQ(Picture(*dest_), Pic(5, "########"));

  ASSERT_EQ(clipper->SetHWnd(0, nullptr), 0);
  ASSERT_EQ(Blt(Rect{3, 1, 7, 4}, kPlain), 0);
  EXPECT_EQ(Picture(*dest_), (Pic{"########", "###ab###", "###e.###", "########", "########"}));

  // The surface keeps the clip list after the clipper object is gone.
  clipper.reset();
  testing::Fill(*dest_, '#');
  ASSERT_EQ(Blt(Rect{3, 1, 7, 4}, kMirrored, &kMirror), 0);
  EXPECT_EQ(Picture(*dest_), (Pic{"########", "###d.###", "###h.###", "########", "########"}));

  ASSERT_EQ(dest_->SetClipper(nullptr), 0);
  ASSERT_EQ(Blt(Rect{4, 2, 8, 5}, kPlain), 0);
  EXPECT_EQ(Picture(*dest_)[4], "####ijkl");
}

TEST_F(BltTest, RejectedBlitsDrawNothing) {
  const Rect whole{0, 0, 4, 3};
  const Rect wider{0, 0, 5, 3};
  const Rect pastSource{1, 0, 5, 3};
  const Rect inverted{4, 0, 0, 3};
  const Rect to{0, 0, 4, 3};
  const BltFx unknownEffect{DDBLTFX_MIRRORLEFTRIGHT | 4};
  EXPECT_NE(dest_->Blt(&wider, source_.get(), &whole, kPlain, nullptr), 0) << "stretching";
  EXPECT_NE(dest_->Blt(&to, source_.get(), &pastSource, kPlain, nullptr), 0);
  EXPECT_NE(dest_->Blt(&to, source_.get(), &inverted, kPlain, nullptr), 0);
  EXPECT_NE(dest_->Blt(&to, nullptr, &whole, kPlain, nullptr), 0);
  EXPECT_NE(dest_->Blt(&to, source_.get(), &whole, kMirrored, nullptr), 0);
  EXPECT_NE(dest_->Blt(&to, source_.get(), &whole, kMirrored, &unknownEffect), 0);
  EXPECT_NE(dest_->Blt(&to, source_.get(), &whole, kPlain | 0x400, nullptr), 0);
  EXPECT_NE(dest_->Blt(nullptr, source_.get(), nullptr, kPlain, nullptr), 0) << "8x5 from 4x3";
  auto unkeyed = MakeSurface(*ddraw_, 4, 3);
  EXPECT_NE(dest_->Blt(&to, unkeyed.get(), &whole, kKeyed, nullptr), 0);
  EXPECT_EQ(Picture(*dest_), Pic(5, "########"));

  // Just inside the source: its last column and row.
  const Rect lastPixel{3, 2, 4, 3};
  const Rect onePixel{0, 0, 1, 1};
  EXPECT_EQ(dest_->Blt(&onePixel, source_.get(), &lastPixel, kPlain, nullptr), 0);
  EXPECT_EQ(Picture(*dest_)[0], "l#######");
}

TEST_F(BltTest, BusySurfacesRefuseBlits) {
  LockedMemory memory{};
  ASSERT_EQ(source_->Lock(nullptr, memory, DDLOCK_WAIT), 0);
  EXPECT_NE(Blt(Rect{0, 0, 4, 3}, kPlain), 0);
  ASSERT_EQ(source_->Unlock(nullptr), 0);
  ASSERT_EQ(dest_->Lock(nullptr, memory, DDLOCK_WAIT), 0);
  EXPECT_NE(Blt(Rect{0, 0, 4, 3}, kPlain), 0);
  ASSERT_EQ(dest_->Unlock(nullptr), 0);
  EXPECT_EQ(Picture(*dest_), Pic(5, "########"));
}

TEST_F(BltTest, OverlappingBlitWithinOneSurfaceReadsThePixelsBefore) {
  Paint(*dest_, {"abcdefgh"});
  const Rect from{0, 0, 6, 1};
  const Rect to{2, 0, 8, 1};
  ASSERT_EQ(dest_->Blt(&to, dest_.get(), &from, kPlain, nullptr), 0);
  EXPECT_EQ(Picture(*dest_)[0], "ababcdef");
  const Rect back{0, 0, 6, 1};
  const Rect fromRight{2, 0, 8, 1};
  ASSERT_EQ(dest_->Blt(&back, dest_.get(), &fromRight, kMirrored, &kMirror), 0);
  EXPECT_EQ(Picture(*dest_)[0], "fedcbaef");
}

// The fast blit against the plain one over random surfaces, rectangles, clips, keys and flags:
// same result code and the same bytes everywhere, the bytes behind each row included. Sources
// are up to `maxWidth` pixels wide, destinations a little wider, so rows of every length class
// appear: under 8, 8 to 15, whole blocks of 16 and of 64, and blocks with a ragged end.
void CompareRandomBlits(std::uint32_t seed, int rounds, int maxWidth, Vectors vectors) {
  testing::CleanFaults faults;
  std::mt19937 random(seed);
  auto between = [&random](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
  auto fillRandom = [&](Surface& surface, int alphabet) {
    LockedMemory memory{};
    ASSERT_EQ(surface.Lock(nullptr, memory, DDLOCK_WAIT), 0);
    for (int i = 0; i < memory.pitch * surface.height(); ++i) {
      memory.pixels[i] = static_cast<std::uint8_t>(between(0, alphabet) * 37 % 256);
    }
    ASSERT_EQ(surface.Unlock(nullptr), 0);
  };
  auto randomRect = [&](int width, int height, int reach) {
    const int left = between(-reach, width + reach);
    const int top = between(-reach, height + reach);
    return Rect{left, top, left + between(0, width), top + between(0, height)};
  };

  int drawn = 0;
  for (int round = 0; round < rounds; ++round) {
    SCOPED_TRACE(round);
    auto ddraw =
        MakeHeadless(static_cast<std::uint32_t>(between(1, maxWidth + 3)), static_cast<std::uint32_t>(between(1, 40)));
    const auto sourceWidth = static_cast<std::uint32_t>(between(1, maxWidth));
    const auto sourceHeight = static_cast<std::uint32_t>(between(1, 23));
    const auto destWidth = static_cast<std::uint32_t>(between(1, maxWidth + 8));
    const auto destHeight = static_cast<std::uint32_t>(between(1, 30));
    auto source = MakeSurface(*ddraw, sourceWidth, sourceHeight);
    auto fast = MakeSurface(*ddraw, destWidth, destHeight);
    auto plain = MakeSurface(*ddraw, destWidth, destHeight);
    const int alphabet = between(1, 12);
    fillRandom(*source, alphabet);
    fillRandom(*fast, alphabet);
    {
      LockedMemory from{};
      LockedMemory to{};
      ASSERT_EQ(fast->Lock(nullptr, from, 0), 0);
      ASSERT_EQ(plain->Lock(nullptr, to, 0), 0);
      std::copy(from.pixels, from.pixels + from.pitch * fast->height(), to.pixels);
      ASSERT_EQ(fast->Unlock(nullptr), 0);
      ASSERT_EQ(plain->Unlock(nullptr), 0);
    }

    const bool within = between(0, 9) == 0;  // source and destination are one surface
    Surface* fastSource = within ? fast.get() : source.get();
    Surface* plainSource = within ? plain.get() : source.get();
    const int fromWidth = within ? fast->width() : source->width();
    const int fromHeight = within ? fast->height() : source->height();

    // Mostly valid source rectangles, sometimes reaching past the source.
    Rect from = randomRect(fromWidth, fromHeight, 0);
    from.left = std::min(from.left, fromWidth);
    from.top = std::min(from.top, fromHeight);
    from.right = std::min(from.right, fromWidth);
    from.bottom = std::min(from.bottom, fromHeight);
    if (between(0, 15) == 0) {
      from = randomRect(fromWidth, fromHeight, 2);
    }
    Rect to{0, 0, 0, 0};
    to.left = between(-fromWidth - 3, static_cast<int>(destWidth) + 3);
    to.top = between(-fromHeight - 3, static_cast<int>(destHeight) + 3);
    to.right = to.left + (from.right - from.left) + (between(0, 30) == 0 ? 1 : 0);
    to.bottom = to.top + (from.bottom - from.top);
    const bool wholeSource = between(0, 20) == 0;
    const bool wholeDest = between(0, 20) == 0;

    std::unique_ptr<Clipper> clipper;
    switch (between(0, 4)) {
      case 0:
        break;
      case 1:
        ASSERT_EQ(ddraw->CreateClipper(0, clipper), 0);
        break;
      default:
        ASSERT_EQ(ddraw->CreateClipper(0, clipper), 0);
        ASSERT_EQ(clipper->SetHWnd(0, nullptr), 0);
        break;
    }
    ASSERT_EQ(fast->SetClipper(clipper.get()), 0);
    ASSERT_EQ(plain->SetClipper(clipper.get()), 0);

    if (between(0, 9) != 0) {
      const std::uint32_t low = between(0, 7) == 0 ? static_cast<std::uint32_t>(between(0, 600))
                                                   : static_cast<std::uint32_t>(between(0, 12) * 37 % 256);
      const std::uint32_t high = between(0, 7) == 0 ? static_cast<std::uint32_t>(between(0, 600))
                                                    : low + static_cast<std::uint32_t>(between(0, 80));
      for (Surface* keyed : {source.get(), fast.get(), plain.get()}) {
        ASSERT_EQ(keyed->SetColorKey(DDCKEY_SRCBLT, low, high), 0);
      }
    }
    std::uint32_t flags = DDBLT_WAIT;
    if (between(0, 2) != 0) flags |= DDBLT_KEYSRC;
    if (between(0, 1) != 0) flags |= DDBLT_DDFX;
    if (between(0, 40) == 0) flags |= 0x10;
    const BltFx fx{between(0, 30) == 0 ? 6u : (between(0, 3) != 0 ? DDBLTFX_MIRRORLEFTRIGHT : 0u)};
    const BltFx* effects = between(0, 25) == 0 ? nullptr : &fx;

    const int fastResult =
        BltWith(vectors, *fast, wholeDest ? nullptr : &to, fastSource, wholeSource ? nullptr : &from, flags, effects);
    const int plainResult =
        BltReference(*plain, wholeDest ? nullptr : &to, plainSource, wholeSource ? nullptr : &from, flags, effects);
    ASSERT_EQ(fastResult != 0, plainResult != 0);
    ASSERT_EQ(Bytes(*fast), Bytes(*plain));
    drawn += fastResult == 0 ? 1 : 0;
  }
  // The random cases must mostly reach the drawing loops, not only the checks.
  EXPECT_GT(drawn, rounds / 2);
}

// Rows one pixel either side of every block size (8, 16, 32, 64), plain, keyed, mirrored and
// both, through every row loop this processor can run: the same bytes as the plain blit. Five
// rows: the plain copy of a whole tile's width draws four rows a step and then the rest.
TEST(BltEquivalenceTest, RowsEitherSideOfEveryBlockSize) {
  auto ddraw = MakeHeadless(80, 5);
  for (const Vectors vectors : AvailableVectors()) {
    for (const int width : {7, 8, 9, 15, 16, 17, 31, 32, 33, 63, 64, 65}) {
      for (const std::uint32_t flags : {kPlain, kKeyed, kMirrored, kKeyedMirrored}) {
        SCOPED_TRACE(::testing::Message() << VectorsName(vectors) << ", " << width << " wide, flags " << flags);
        // Source: letters, each row's shifted by one, with every fifth pixel the key '.';
        // destinations: rows of '#'.
        std::vector<std::string> rows(5);
        for (int y = 0; y < 5; ++y) {
          for (int x = 0; x < width; ++x) {
            rows[y] += x % 5 == 2 ? '.' : static_cast<char>('a' + (x + y) % 26);
          }
        }
        auto source = MakeSurface(*ddraw, static_cast<std::uint32_t>(width), 5);
        auto fast = MakeSurface(*ddraw, 80, 5);
        auto plain = MakeSurface(*ddraw, 80, 5);
        testing::Paint(*source, rows);
        testing::Fill(*fast, '#');
        testing::Fill(*plain, '#');
        ASSERT_EQ(source->SetColorKey(DDCKEY_SRCBLT, '.', '.'), 0);
        const Rect to{3, 0, 3 + width, 5};
        ASSERT_EQ(BltWith(vectors, *fast, &to, source.get(), nullptr, flags, &kMirror), 0);
        ASSERT_EQ(BltReference(*plain, &to, source.get(), nullptr, flags, &kMirror), 0);
        EXPECT_EQ(Bytes(*fast), Bytes(*plain));
      }
    }
  }
}

// Every row loop this processor can run, from the baseline to the widest: narrow rows of every
// length class, and rows of several wide blocks.
TEST(BltEquivalenceTest, EveryPathMatchesReferenceBitForBit) {
  for (const Vectors vectors : AvailableVectors()) {
    SCOPED_TRACE(VectorsName(vectors));
    CompareRandomBlits(20240611, 4000, 37, vectors);
    CompareRandomBlits(7, 1500, 150, vectors);
  }
}

}  // namespace
}  // namespace karst::platform
