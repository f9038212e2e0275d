#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif
#if defined(__x86_64__) && (defined(__GNUC__) || defined(__clang__))
#include <immintrin.h>
#define KARST_BLIT_WIDE 1
#define KARST_TARGET_AVX512 __attribute__((target("avx512f,avx512bw,avx512vbmi,bmi2")))
#define KARST_TARGET_AVX2 __attribute__((target("avx2")))
#endif

#include "platform/ddraw.h"
#include "platform/fault_injection.h"
#include "platform/vector_paths.h"

namespace karst::platform {
namespace {

// Rows are drawn in blocks of 16 pixels (8 for rows of 8 to 15) with a fixed trip count, which
// the compiler turns into vector code. A row whose width is no multiple of the block ends with a
// block that overlaps the one before it: its result is worked out from the untouched pixels
// before the row is drawn and stored last, so no load waits on the stores of the row and every
// pixel still gets the value that its source pixel and its old value give. Rows under 8 pixels
// go pixel by pixel. Source and destination rows never alias: a blit within one surface reads
// a snapshot.
constexpr std::int32_t kBlock = 16;
constexpr std::int32_t kHalfBlock = 8;

// A pixel is transparent when it lies in low .. low + span: one unsigned comparison after the
// subtraction tests both ends, and the select keeps the loop free of branches.
inline std::uint8_t Keyed(std::uint8_t pixel, std::uint8_t old, std::uint8_t low, std::uint8_t span) {
  return static_cast<std::uint8_t>(pixel - low) <= span ? old : pixel;
}

// The `kCount` source pixels of the block whose first destination column is `x`, in
// destination order. Mirrored, they are the source pixels in[-x - kCount + 1] .. in[-x],
// reversed: through a byte swap for 8, and for 16 with SSE2 where there is SSE2 (dwords, words,
// then the bytes in each word), since the baseline instruction set has no byte shuffle and the
// compiler would leave the plain loop scalar.
template <bool kMirrored, std::int32_t kCount>
void ReadBlock(const std::uint8_t* in, std::int32_t x, std::uint8_t* __restrict block) {
  if constexpr (!kMirrored) {
    std::memcpy(block, in + x, kCount);
  } else if constexpr (kCount == kHalfBlock) {
    std::uint64_t eight = 0;
    std::memcpy(&eight, in - x - (kHalfBlock - 1), sizeof eight);
    eight = __builtin_bswap64(eight);
    std::memcpy(block, &eight, sizeof eight);
  } else {
#if defined(__SSE2__)
    __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(in - x - (kBlock - 1)));
    pixels = _mm_shuffle_epi32(pixels, _MM_SHUFFLE(0, 1, 2, 3));
    pixels = _mm_shufflelo_epi16(pixels, _MM_SHUFFLE(2, 3, 0, 1));
    pixels = _mm_shufflehi_epi16(pixels, _MM_SHUFFLE(2, 3, 0, 1));
    pixels = _mm_or_si128(_mm_slli_epi16(pixels, 8), _mm_srli_epi16(pixels, 8));
    _mm_storeu_si128(reinterpret_cast<__m128i*>(block), pixels);
#else
    for (std::int32_t k = 0; k < kCount; ++k) {
      block[k] = in[-x - k];
    }
#endif
  }
}

// Puts a block of source pixels over `kCount` destination pixels. The compiler unrolls a keyed
// block of fixed size completely and then leaves the selects scalar, so with SSE2 a block of 16
// is keyed by hand: pixel - low <= span exactly when the saturating (pixel - low) - span is 0.
template <bool kKeyed, std::int32_t kCount>
void PutBlock(const std::uint8_t* __restrict block, std::uint8_t* __restrict out, std::uint8_t low, std::uint8_t span) {
  if constexpr (!kKeyed) {
    std::memcpy(out, block, kCount);
  } else {
#if defined(__SSE2__)
    if constexpr (kCount == kBlock) {
      const __m128i pixels = _mm_loadu_si128(reinterpret_cast<const __m128i*>(block));
      const __m128i old = _mm_loadu_si128(reinterpret_cast<const __m128i*>(out));
      const __m128i shifted = _mm_sub_epi8(pixels, _mm_set1_epi8(static_cast<char>(low)));
      const __m128i transparent =
          _mm_cmpeq_epi8(_mm_subs_epu8(shifted, _mm_set1_epi8(static_cast<char>(span))), _mm_setzero_si128());
      _mm_storeu_si128(reinterpret_cast<__m128i*>(out),
                       _mm_or_si128(_mm_and_si128(transparent, old), _mm_andnot_si128(transparent, pixels)));
      return;
    }
#endif
    for (std::int32_t k = 0; k < kCount; ++k) {
      out[k] = Keyed(block[k], out[k], low, span);
    }
  }
}

// The block of destination column `x` of the row, drawn over `out`.
template <bool kMirrored, bool kKeyed, std::int32_t kCount>
void DrawBlock(const std::uint8_t* in, std::int32_t x, std::uint8_t* __restrict out, std::uint8_t low,
               std::uint8_t span) {
  std::uint8_t block[kCount];
  ReadBlock<kMirrored, kCount>(in, x, block);
  PutBlock<kKeyed, kCount>(block, out, low, span);
}

// A row of `count` >= `kCount` pixels in blocks of `kCount`; `kRagged` when `count` is no
// multiple of `kCount`. `in` points at the source pixel of the row's leftmost destination
// column; mirrored, the row is read leftwards from there.
template <bool kMirrored, bool kKeyed, std::int32_t kCount, bool kRagged>
[[gnu::always_inline]] inline void DrawBlocks(const std::uint8_t* in, std::uint8_t* __restrict out, std::int32_t count,
                                              std::uint8_t low, std::uint8_t span) {
  const std::int32_t last = count - kCount;
  std::uint8_t tail[kCount];
  if constexpr (kRagged) {
    std::memcpy(tail, out + last, kCount);
    DrawBlock<kMirrored, kKeyed, kCount>(in, last, tail, low, span);
  }
  for (std::int32_t x = 0; x <= last; x += kCount) {
    DrawBlock<kMirrored, kKeyed, kCount>(in, x, out + x, low, span);
  }
  if constexpr (kRagged) {
    std::memcpy(out + last, tail, kCount);
  }
}

// All rows of a blit in blocks of `kCount`, the blit being at least that wide.
template <bool kMirrored, bool kKeyed, std::int32_t kCount>
void DrawBlockRows(const std::uint8_t* in, std::int32_t inPitch, std::uint8_t* out, std::int32_t outPitch,
                   std::int32_t columns, std::int32_t rows, std::uint8_t low, std::uint8_t span) {
  if (columns % kCount != 0) {
    for (std::int32_t y = 0; y < rows; ++y, in += inPitch, out += outPitch) {
      DrawBlocks<kMirrored, kKeyed, kCount, true>(in, out, columns, low, span);
    }
  } else {
    for (std::int32_t y = 0; y < rows; ++y, in += inPitch, out += outPitch) {
      DrawBlocks<kMirrored, kKeyed, kCount, false>(in, out, columns, low, span);
    }
  }
}

// A plain copy exactly one block wide, as every whole tile is: one load and one store a row,
// four rows a step.
inline void CopyBlockRows(const std::uint8_t* in, std::int32_t inPitch, std::uint8_t* out, std::int32_t outPitch,
                          std::int32_t rows) {
  std::int32_t y = 0;
  for (; y + 4 <= rows; y += 4, in += 4 * inPitch, out += 4 * outPitch) {
    std::memcpy(out, in, kBlock);
    std::memcpy(out + outPitch, in + inPitch, kBlock);
    std::memcpy(out + 2 * outPitch, in + 2 * inPitch, kBlock);
    std::memcpy(out + 3 * outPitch, in + 3 * inPitch, kBlock);
  }
  for (; y < rows; ++y, in += inPitch, out += outPitch) {
    std::memcpy(out, in, kBlock);
  }
}

// The rows of a blit, `columns` wide; the block size is chosen once for all of them.
template <bool kMirrored, bool kKeyed>
void DrawRows(const std::uint8_t* in, std::int32_t inPitch, std::uint8_t* out, std::int32_t outPitch,
              std::int32_t columns, std::int32_t rows, std::uint8_t low, std::uint8_t span) {
  if (columns >= kBlock) {
    DrawBlockRows<kMirrored, kKeyed, kBlock>(in, inPitch, out, outPitch, columns, rows, low, span);
  } else if (columns >= kHalfBlock) {
    DrawBlockRows<kMirrored, kKeyed, kHalfBlock>(in, inPitch, out, outPitch, columns, rows, low, span);
  } else {
    for (std::int32_t y = 0; y < rows; ++y, in += inPitch, out += outPitch) {
      for (std::int32_t x = 0; x < columns; ++x) {
        const std::uint8_t pixel = kMirrored ? in[-x] : in[x];
        out[x] = kKeyed ? Keyed(pixel, out[x], low, span) : pixel;
      }
    }
  }
}

#if defined(KARST_BLIT_WIDE)
// 64 pixels a step with AVX-512 where the processor has it. The row's end is a lane mask, not an
// overlapping block, and a keyed pixel is a lane left out of the masked store, so the
// destination is never read. Mirrored, a step's pixels are loaded in source order (lanes past
// the row's end are masked off and never touched) and reversed within the step by one byte
// permute.
template <bool kMirrored, bool kKeyed>
KARST_TARGET_AVX512 void DrawWideRows(const std::uint8_t* in, std::int32_t inPitch, std::uint8_t* out,
                                      std::int32_t outPitch, std::int32_t columns, std::int32_t rows, std::uint8_t low,
                                      std::uint8_t span) {
  constexpr std::int32_t kStep = 64;
  const __m512i lows = _mm512_set1_epi8(static_cast<char>(low));
  const __m512i spans = _mm512_set1_epi8(static_cast<char>(span));
  alignas(64) std::uint8_t lanes[kStep];
  for (std::int32_t lane = 0; lane < kStep; ++lane) {
    lanes[lane] = static_cast<std::uint8_t>(lane);
  }
  const __m512i laneNumbers = _mm512_load_si512(lanes);
  for (std::int32_t y = 0; y < rows; ++y) {
    for (std::int32_t x = 0; x < columns; x += kStep) {
      const std::int32_t count = std::min(kStep, columns - x);
      const __mmask64 inRow = _bzhi_u64(~std::uint64_t{0}, static_cast<std::uint32_t>(count));
      __m512i pixels;
      if constexpr (kMirrored) {
        // Destination columns x .. x + count - 1 show source pixels in[-x] down to
        // in[-x - count + 1]: loaded from the lowest, lane i takes loaded lane count - 1 - i.
        const __m512i loaded = _mm512_maskz_loadu_epi8(inRow, in - x - (count - 1));
        const __m512i reverse = _mm512_sub_epi8(_mm512_set1_epi8(static_cast<char>(count - 1)), laneNumbers);
        pixels = _mm512_maskz_permutexvar_epi8(inRow, reverse, loaded);
      } else {
        pixels = _mm512_maskz_loadu_epi8(inRow, in + x);
      }
      __mmask64 written = inRow;
      if constexpr (kKeyed) {
        written = _mm512_mask_cmpgt_epu8_mask(inRow, _mm512_sub_epi8(pixels, lows), spans);
      }
      _mm512_mask_storeu_epi8(out + x, written, pixels);
    }
    in += inPitch;
    out += outPitch;
  }
}

// 32 pixels a step with AVX2 where the processor has it but not AVX-512, in blocks as the
// baseline loops draw them: a ragged row's last block overlaps the one before it and is worked
// out before the row is drawn. Mirrored, a block is reversed by a byte shuffle within each
// 128-bit half and a swap of the halves; keyed, a transparent pixel is blended back to the old
// one. Rows narrower than a block take the baseline loops.
constexpr std::int32_t kAvx2Block = 32;

// The AVX2 block of destination column `x`, drawn over the row's destination `to`.
template <bool kMirrored, bool kKeyed>
KARST_TARGET_AVX2 inline __m256i Avx2Block(const std::uint8_t* from, std::int32_t x, const std::uint8_t* to,
                                           __m256i lows, __m256i spans, __m256i reverse) {
  __m256i pixels;
  if constexpr (kMirrored) {
    pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from - x - (kAvx2Block - 1)));
    pixels = _mm256_permute4x64_epi64(_mm256_shuffle_epi8(pixels, reverse), 0x4E);
  } else {
    pixels = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(from + x));
  }
  if constexpr (kKeyed) {
    const __m256i old = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(to + x));
    const __m256i transparent =
        _mm256_cmpeq_epi8(_mm256_subs_epu8(_mm256_sub_epi8(pixels, lows), spans), _mm256_setzero_si256());
    pixels = _mm256_blendv_epi8(pixels, old, transparent);
  }
  return pixels;
}

template <bool kMirrored, bool kKeyed>
KARST_TARGET_AVX2 void DrawAvx2Rows(const std::uint8_t* in, std::int32_t inPitch, std::uint8_t* out,
                                    std::int32_t outPitch, std::int32_t columns, std::int32_t rows, std::uint8_t low,
                                    std::uint8_t span) {
  constexpr std::int32_t kStep = kAvx2Block;
  if (columns < kStep) {
    DrawRows<kMirrored, kKeyed>(in, inPitch, out, outPitch, columns, rows, low, span);
    return;
  }
  const __m256i lows = _mm256_set1_epi8(static_cast<char>(low));
  const __m256i spans = _mm256_set1_epi8(static_cast<char>(span));
  const __m256i reverse = _mm256_setr_epi8(15, 14, 13, 12, 11, 10, 9, 8, 7, 6, 5, 4, 3, 2, 1, 0, 15, 14, 13, 12, 11, 10,
                                           9, 8, 7, 6, 5, 4, 3, 2, 1, 0);
  // The last block of every row is worked out first and stored last, whether it overlaps the
  // one before it or not.
  const std::int32_t last = columns - kStep;
  for (std::int32_t y = 0; y < rows; ++y, in += inPitch, out += outPitch) {
    const __m256i tail = Avx2Block<kMirrored, kKeyed>(in, last, out, lows, spans, reverse);
    for (std::int32_t x = 0; x < last; x += kStep) {
      _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + x),
                          Avx2Block<kMirrored, kKeyed>(in, x, out, lows, spans, reverse));
    }
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(out + last), tail);
  }
}
#endif

using RowDrawer = void (*)(const std::uint8_t*, std::int32_t, std::uint8_t*, std::int32_t, std::int32_t, std::int32_t,
                           std::uint8_t, std::uint8_t);

// Keyed and mirrored rows gain from the wide loops. A plain copy (every tile) does not: its
// blocks are plain loads and stores already, so it keeps the baseline loops everywhere.
RowDrawer ChooseRows(bool mirrored, bool keyed, Vectors vectors) {
#if defined(KARST_BLIT_WIDE)
  if (mirrored || keyed) {
    if (vectors == Vectors::Avx512) {
      if (mirrored) {
        return keyed ? DrawWideRows<true, true> : DrawWideRows<true, false>;
      }
      return DrawWideRows<false, true>;
    }
    if (vectors == Vectors::Avx2) {
      if (mirrored) {
        return keyed ? DrawAvx2Rows<true, true> : DrawAvx2Rows<true, false>;
      }
      return DrawAvx2Rows<false, true>;
    }
  }
#else
  (void)vectors;
#endif
  if (mirrored) {
    return keyed ? DrawRows<true, true> : DrawRows<true, false>;
  }
  return keyed ? DrawRows<false, true> : DrawRows<false, false>;
}

}  // namespace

int Surface::PlanBlt(const Rect* destRect, const Surface* source, const Rect* sourceRect, std::uint32_t flags,
                     const BltFx* fx, BltPlan& plan) const {
  constexpr std::uint32_t kKnownFlags = DDBLT_WAIT | DDBLT_KEYSRC | DDBLT_DDFX;
  if (source == nullptr || (flags & ~kKnownFlags) != 0 || access_ != Access::Free || source->access_ != Access::Free) {
    return 1;
  }
  bool mirrored = false;
  if ((flags & DDBLT_DDFX) != 0) {
    if (fx == nullptr || (fx->ddfx & ~DDBLTFX_MIRRORLEFTRIGHT) != 0) {
      return 1;
    }
    mirrored = (fx->ddfx & DDBLTFX_MIRRORLEFTRIGHT) != 0;
  }
  const bool keyed = (flags & DDBLT_KEYSRC) != 0;
  if (keyed && !source->hasColorKey_) {
    return 1;
  }
  const Rect from = sourceRect != nullptr ? *sourceRect : Rect{0, 0, source->width_, source->height_};
  if (from.left < 0 || from.top < 0 || from.left > from.right || from.top > from.bottom ||
      from.right > source->width_ || from.bottom > source->height_) {
    return 1;
  }
  const Rect to = destRect != nullptr ? *destRect : Rect{0, 0, width_, height_};
  // Same size only: nothing here stretches.
  if (std::int64_t{to.right} - to.left != from.right - from.left ||
      std::int64_t{to.bottom} - to.top != from.bottom - from.top) {
    return 1;
  }
  Rect clip{0, 0, width_, height_};
  if (clipList_ != nullptr) {
    if (!clipList_->bound) {
      return 1;
    }
    clip.left = std::max(clip.left, clipList_->screen.left);
    clip.top = std::max(clip.top, clipList_->screen.top);
    clip.right = std::min(clip.right, clipList_->screen.right);
    clip.bottom = std::min(clip.bottom, clipList_->screen.bottom);
  }
  plan = BltPlan{from.left, from.top, from.right - from.left, from.bottom - from.top, to.left, to.top, clip,
                 mirrored,  keyed,    source->colorKeyLow_,   source->colorKeyHigh_};
  return 0;
}

int Surface::Blt(const Rect* destRect, const Surface* source, const Rect* sourceRect, std::uint32_t flags,
                 const BltFx* fx) {
  if (ShouldFail("Blt")) {
    return 1;
  }
  // Decided once: every blit would otherwise ask two functions of another file.
  static const Vectors vectors = BlitVectors(ChosenVectors());
  return DrawBlt(destRect, source, sourceRect, flags, fx, vectors);
}

int BltWith(Vectors vectors, Surface& dest, const Rect* destRect, const Surface* source, const Rect* sourceRect,
            std::uint32_t flags, const BltFx* fx) {
  return dest.DrawBlt(destRect, source, sourceRect, flags, fx, BlitVectors(vectors));
}

int Surface::DrawBlt(const Rect* destRect, const Surface* source, const Rect* sourceRect, std::uint32_t flags,
                     const BltFx* fx, Vectors vectors) {
  BltPlan plan{};
  if (PlanBlt(destRect, source, sourceRect, flags, fx, plan) != 0) {
    return 1;
  }
  // Clip once: the destination rows and columns that may be written, and the source pixel
  // that lands on the first of them.
  const std::int64_t left = std::max<std::int64_t>(plan.destLeft, plan.clip.left);
  const std::int64_t top = std::max<std::int64_t>(plan.destTop, plan.clip.top);
  const std::int64_t right = std::min<std::int64_t>(std::int64_t{plan.destLeft} + plan.width, plan.clip.right);
  const std::int64_t bottom = std::min<std::int64_t>(std::int64_t{plan.destTop} + plan.height, plan.clip.bottom);
  if (left >= right || top >= bottom) {
    return 0;
  }
  const auto columns = static_cast<std::int32_t>(right - left);
  const auto rows = static_cast<std::int32_t>(bottom - top);
  const auto skippedColumns = static_cast<std::int32_t>(left - plan.destLeft);
  const auto firstSourceRow = static_cast<std::int32_t>(plan.sourceTop + (top - plan.destTop));
  // Mirrored, the destination's leftmost column shows the source's rightmost one.
  const std::int32_t firstSourceColumn =
      plan.mirrored ? plan.sourceLeft + plan.width - 1 - skippedColumns : plan.sourceLeft + skippedColumns;

  // Every whole tile, drawn here: a call through a pointer and a snapshot's set-up would cost
  // as much as its 256 bytes.
  if (source != this && !plan.mirrored && !plan.keyed && columns == kBlock) {
    CopyBlockRows(
        source->pixels_.data() + static_cast<std::ptrdiff_t>(firstSourceRow) * source->pitch_ + firstSourceColumn,
        source->pitch_, row(static_cast<std::int32_t>(top)) + left, pitch_, rows);
    return 0;
  }

  // A blit within one surface reads the pixels as they were before it, whatever the overlap.
  std::vector<std::uint8_t> snapshot;
  const std::uint8_t* sourcePixels = source->pixels_.data();
  if (source == this) {
    snapshot = pixels_;
    sourcePixels = snapshot.data();
  }
  const std::uint8_t* in =
      sourcePixels + static_cast<std::ptrdiff_t>(firstSourceRow) * source->pitch_ + firstSourceColumn;
  std::uint8_t* out = row(static_cast<std::int32_t>(top)) + left;

  // A key range that holds no 8-bit index keys nothing out.
  const bool keyed = plan.keyed && plan.keyLow <= plan.keyHigh && plan.keyLow <= 0xFF;
  const auto keyLow = static_cast<std::uint8_t>(plan.keyLow);
  const auto keySpan = static_cast<std::uint8_t>(std::min<std::uint32_t>(plan.keyHigh, 0xFF) - plan.keyLow);

  const RowDrawer draw = ChooseRows(plan.mirrored, keyed, vectors);
  draw(in, source->pitch_, out, pitch_, columns, rows, keyLow, keySpan);
  return 0;
}

int BltReference(Surface& dest, const Rect* destRect, const Surface* source, const Rect* sourceRect,
                 std::uint32_t flags, const BltFx* fx) {
  Surface::BltPlan plan{};
  if (dest.PlanBlt(destRect, source, sourceRect, flags, fx, plan) != 0) {
    return 1;
  }
  const std::vector<std::uint8_t> sourcePixels = source->pixels_;
  for (std::int32_t j = 0; j < plan.height; ++j) {
    for (std::int32_t i = 0; i < plan.width; ++i) {
      const std::int64_t x = std::int64_t{plan.destLeft} + i;
      const std::int64_t y = std::int64_t{plan.destTop} + j;
      if (x < plan.clip.left || x >= plan.clip.right || y < plan.clip.top || y >= plan.clip.bottom) {
        continue;
      }
      const std::int32_t sourceX = plan.mirrored ? plan.sourceLeft + plan.width - 1 - i : plan.sourceLeft + i;
      const std::uint8_t pixel =
          sourcePixels[static_cast<std::size_t>(plan.sourceTop + j) * static_cast<std::size_t>(source->pitch_) +
                       static_cast<std::size_t>(sourceX)];
      if (plan.keyed && pixel >= plan.keyLow && pixel <= plan.keyHigh) {
        continue;
      }
      dest.pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(dest.pitch_) + static_cast<std::size_t>(x)] =
          pixel;
    }
  }
  return 0;
}

}  // namespace karst::platform
