#include <algorithm>
#include <cstring>

#include "platform/ddraw.h"
#include "platform/fault_injection.h"

namespace karst::platform {
namespace {

constexpr std::int32_t kBlock = 16;

// `in` points at the rightmost source pixel of the row; it is read leftwards.
void ReverseRow(const std::uint8_t* in, std::uint8_t* out, std::int32_t count) {
  for (std::int32_t x = 0; x < count; ++x) {
    out[x] = in[-x];
  }
}

// A pixel is transparent when it lies in low .. low + span: one unsigned comparison after the
// subtraction tests both ends, and the select keeps the loop free of branches. Blocks of a
// fixed size over rows that do not alias let the compiler turn it into vector code.
void KeyRow(const std::uint8_t* __restrict in, std::uint8_t* __restrict out, std::int32_t count,
            std::uint8_t low, std::uint8_t span) {
  std::int32_t x = 0;
  for (; x + kBlock <= count; x += kBlock) {
    for (std::int32_t k = 0; k < kBlock; ++k) {
      const std::uint8_t pixel = in[x + k];
      out[x + k] = static_cast<std::uint8_t>(pixel - low) <= span ? out[x + k] : pixel;
    }
  }
  for (; x < count; ++x) {
    const std::uint8_t pixel = in[x];
    out[x] = static_cast<std::uint8_t>(pixel - low) <= span ? out[x] : pixel;
  }
}

}  // namespace

int Surface::PlanBlt(const Rect* destRect, const Surface* source, const Rect* sourceRect,
                     std::uint32_t flags, const BltFx* fx, BltPlan& plan) const {
  constexpr std::uint32_t kKnownFlags = DDBLT_WAIT | DDBLT_KEYSRC | DDBLT_DDFX;
  if (source == nullptr || (flags & ~kKnownFlags) != 0 || access_ != Access::Free ||
      source->access_ != Access::Free) {
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
  const Rect from =
      sourceRect != nullptr ? *sourceRect : Rect{0, 0, source->width_, source->height_};
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
  plan = BltPlan{
      from.left, from.top, from.right - from.left, from.bottom - from.top, to.left, to.top, clip,
      mirrored,  keyed,    source->colorKeyLow_,   source->colorKeyHigh_};
  return 0;
}

int Surface::Blt(const Rect* destRect, const Surface* source, const Rect* sourceRect,
                 std::uint32_t flags, const BltFx* fx) {
  if (ShouldFail("Blt")) {
    return 1;
  }
  BltPlan plan{};
  if (PlanBlt(destRect, source, sourceRect, flags, fx, plan) != 0) {
    return 1;
  }
  // Clip once: the destination rows and columns that may be written, and the source pixel
  // that lands on the first of them.
  const std::int64_t left = std::max<std::int64_t>(plan.destLeft, plan.clip.left);
  const std::int64_t top = std::max<std::int64_t>(plan.destTop, plan.clip.top);
  const std::int64_t right =
      std::min<std::int64_t>(std::int64_t{plan.destLeft} + plan.width, plan.clip.right);
  const std::int64_t bottom =
      std::min<std::int64_t>(std::int64_t{plan.destTop} + plan.height, plan.clip.bottom);
  if (left >= right || top >= bottom) {
    return 0;
  }
  const auto columns = static_cast<std::int32_t>(right - left);
  const auto rows = static_cast<std::int32_t>(bottom - top);
  const auto skippedColumns = static_cast<std::int32_t>(left - plan.destLeft);
  const auto firstSourceRow = static_cast<std::int32_t>(plan.sourceTop + (top - plan.destTop));
  // Mirrored, the destination's leftmost column shows the source's rightmost one.
  const std::int32_t firstSourceColumn = plan.mirrored
                                             ? plan.sourceLeft + plan.width - 1 - skippedColumns
                                             : plan.sourceLeft + skippedColumns;

  // A blit within one surface reads the pixels as they were before it, whatever the overlap.
  std::vector<std::uint8_t> snapshot;
  const std::uint8_t* sourcePixels = source->pixels_.data();
  if (source == this) {
    snapshot = pixels_;
    sourcePixels = snapshot.data();
  }
  const std::uint8_t* in = sourcePixels +
                           static_cast<std::ptrdiff_t>(firstSourceRow) * source->pitch_ +
                           firstSourceColumn;
  std::uint8_t* out = row(static_cast<std::int32_t>(top)) + left;

  // A key range that holds no 8-bit index keys nothing out.
  const bool keyed = plan.keyed && plan.keyLow <= plan.keyHigh && plan.keyLow <= 0xFF;
  const auto keyLow = static_cast<std::uint8_t>(plan.keyLow);
  const auto keySpan =
      static_cast<std::uint8_t>(std::min<std::uint32_t>(plan.keyHigh, 0xFF) - plan.keyLow);

  // A mirrored row is reversed into `reversed` first and then drawn like a plain one.
  std::vector<std::uint8_t> reversed(plan.mirrored ? static_cast<std::size_t>(columns) : 0);
  for (std::int32_t y = 0; y < rows; ++y) {
    const std::uint8_t* line = in;
    if (plan.mirrored) {
      ReverseRow(in, reversed.data(), columns);
      line = reversed.data();
    }
    if (keyed) {
      KeyRow(line, out, columns, keyLow, keySpan);
    } else {
      std::memcpy(out, line, static_cast<std::size_t>(columns));
    }
    in += source->pitch_;
    out += pitch_;
  }
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
      if (x < plan.clip.left || x >= plan.clip.right || y < plan.clip.top ||
          y >= plan.clip.bottom) {
        continue;
      }
      const std::int32_t sourceX =
          plan.mirrored ? plan.sourceLeft + plan.width - 1 - i : plan.sourceLeft + i;
      const std::uint8_t pixel = sourcePixels[static_cast<std::size_t>(plan.sourceTop + j) *
                                                  static_cast<std::size_t>(source->pitch_) +
                                              static_cast<std::size_t>(sourceX)];
      if (plan.keyed && pixel >= plan.keyLow && pixel <= plan.keyHigh) {
        continue;
      }
      dest.pixels_[static_cast<std::size_t>(y) * static_cast<std::size_t>(dest.pitch_) +
                   static_cast<std::size_t>(x)] = pixel;
    }
  }
  return 0;
}

}  // namespace karst::platform
