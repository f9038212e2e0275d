#include "tools/pictures/frame_pictures.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <limits>

#include "authoring/byte_writer.h"
#include "gff/allocation_budget.h"
#include "gff/byte_reader.h"
#include "gff/format.h"

namespace karst::tools {
namespace {

constexpr std::size_t kEntries = 256;
constexpr std::uint8_t kOpaque = 255;

std::string PixelName(std::size_t i, std::uint32_t width) {
  return "pixel (" + std::to_string(i % width) + ", " + std::to_string(i / width) + ")";
}

std::string ColourName(const std::array<std::uint8_t, 4>& colour) {
  char text[8];
  std::snprintf(text, sizeof text, "#%02x%02x%02x", colour[0], colour[1], colour[2]);
  return text;
}

std::uint32_t Rgb(const std::uint8_t* colour) {
  return (std::uint32_t{colour[0]} << 16) | (std::uint32_t{colour[1]} << 8) | colour[2];
}

// Colour to the lowest index that has it, among the indices from `first` on.
class ColourIndex {
 public:
  ColourIndex(const PngPalette& palette, std::size_t first) : palette_(palette), first_(first) {
    for (std::size_t i = kEntries; i-- > first;) {
      lowest_[Rgb(&palette[3 * i])] = static_cast<std::uint8_t>(i);
    }
  }

  std::optional<std::uint8_t> Exact(std::uint32_t rgb) const {
    const auto found = lowest_.find(rgb);
    return found == lowest_.end() ? std::nullopt : std::optional(found->second);
  }

  std::uint8_t Nearest(std::uint32_t rgb) const {
    std::uint64_t best = std::numeric_limits<std::uint64_t>::max();
    std::size_t bestIndex = first_;
    for (std::size_t i = first_; i < kEntries; ++i) {
      const auto distance = [](int a, int b) { return static_cast<std::uint64_t>((a - b) * (a - b)); };
      const std::uint64_t d = distance(static_cast<int>(rgb >> 16), palette_[3 * i]) +
                              distance(static_cast<int>((rgb >> 8) & 0xFF), palette_[3 * i + 1]) +
                              distance(static_cast<int>(rgb & 0xFF), palette_[3 * i + 2]);
      if (d < best) {
        best = d;
        bestIndex = i;
      }
    }
    return static_cast<std::uint8_t>(bestIndex);
  }

 private:
  const PngPalette& palette_;
  std::size_t first_;
  std::map<std::uint32_t, std::uint8_t> lowest_;
};

bool SamePalette(const SavedPicture& picture, const PngPalette& palette) {
  return picture.palette.size() == palette.size() &&
         std::equal(palette.begin(), palette.end(), picture.palette.begin());
}

std::optional<std::vector<std::uint8_t>> EncodeLike(const Frame& original, const authoring::IndexedImage& image) {
  if (SameTag(original.encoding, kTagPlan)) {
    return authoring::EncodePlanFrame(image);
  }
  if (SameTag(original.encoding, kTagPlnr)) {
    return authoring::EncodePlnrFrame(image);
  }
  return authoring::EncodeNrmlFrame(image);
}

}  // namespace

std::optional<MatchedFrame> MatchPicture(const SavedPicture& picture, const Frame& original, const MatchRules& rules,
                                         JobProblem& problem) {
  problem.kind = ProblemKind::kEditRefused;
  std::string& error = problem.words;
  MatchedFrame matched;
  matched.image.width = picture.width;
  matched.image.height = picture.height;
  const std::size_t count = std::size_t{picture.width} * picture.height;
  const PngPalette& palette = *rules.palette;
  const PngPalette& written = rules.written != nullptr ? *rules.written : palette;
  if (picture.indexed && (SamePalette(picture, palette) || SamePalette(picture, written))) {
    matched.image.pixels = picture.indices;
    return matched;
  }
  // Saved without a way to say "transparent", every pixel reads as opaque.
  const bool keyed = rules.transparentZero && !picture.transparency;
  if (keyed && !rules.transparentColour) {
    const auto clear = static_cast<std::uint64_t>(std::count(original.pixels.begin(), original.pixels.end(), 0));
    if (original.HasPixels() && clear > 0) {
      error = "saved without transparency (no alpha channel, no transparent index), so the frame's " +
              std::to_string(clear) +
              " transparent pixels would all turn opaque: save it with transparency (RGBA, or indexed with index 0 "
              "transparent)";
      problem.kind = ProblemKind::kTransparencyMissing;
      return std::nullopt;
    }
  }
  const bool sameSize = original.HasPixels() && original.width == picture.width && original.height == picture.height;
  const ColourIndex colours(palette, rules.transparentZero ? 1 : 0);
  matched.image.pixels.resize(count);
  for (std::size_t i = 0; i < count; ++i) {
    std::array<std::uint8_t, 4> colour = picture.Colour(i);
    if (keyed && rules.transparentColour == Rgb(colour.data())) {
      colour[3] = 0;
      ++matched.transparentPixels;
    }
    const std::uint8_t alpha = colour[3];
    if (alpha != kOpaque && (alpha != 0 || !rules.transparentZero)) {
      error = PixelName(i, picture.width) + " has the alpha " + std::to_string(alpha) + ": " +
              (rules.transparentZero ? "a pixel is either transparent (0) or opaque (255)" : "tiles are opaque");
      return std::nullopt;
    }
    if (sameSize) {
      const std::uint8_t before = original.pixels[i];
      const bool beforeClear = rules.transparentZero && before == 0;
      if (alpha == 0 ? beforeClear : !beforeClear && Rgb(&written[3 * before]) == Rgb(colour.data())) {
        matched.image.pixels[i] = before;
        continue;
      }
    }
    if (alpha == 0) {
      matched.image.pixels[i] = 0;
      continue;
    }
    const std::uint32_t rgb = Rgb(colour.data());
    if (const std::optional<std::uint8_t> index = colours.Exact(rgb)) {
      matched.image.pixels[i] = *index;
      continue;
    }
    if (!rules.nearest) {
      error = PixelName(i, picture.width) + " has the colour " + ColourName(colour) + ", which " + rules.paletteName +
              " does not hold";
      problem.kind = ProblemKind::kColourMissing;
      return std::nullopt;
    }
    matched.image.pixels[i] = colours.Nearest(rgb);
    ++matched.nearestPixels;
  }
  return matched;
}

std::string NrmlReachProblem(const authoring::IndexedImage& image) {
  for (std::size_t i = 0; i < image.pixels.size(); ++i) {
    const std::size_t x = i % image.width;
    const std::size_t y = i / image.width;
    if (image.pixels[i] != 0 && (y > authoring::kNrmlMaxRow || x >= authoring::kNrmlColumnLimit)) {
      return PixelName(i, image.width) + " is not index 0 but lies beyond what an NRML frame reaches (rows 0 to " +
             std::to_string(authoring::kNrmlMaxRow) + ", columns 0 to " +
             std::to_string(authoring::kNrmlColumnLimit - 1) + ")";
    }
  }
  return {};
}

std::optional<std::vector<std::uint8_t>> RebuildFrameSet(std::span<const std::uint8_t> original,
                                                         const FrameSet& decoded,
                                                         const std::map<std::size_t, authoring::IndexedImage>& changed,
                                                         std::string& error) {
  authoring::ByteWriter payload(std::vector<std::uint8_t>(original.begin(), original.end()));
  ByteReader table(original);
  std::vector<std::uint32_t> positions(decoded.frames.size());
  table.seek(kFrameSetTableStart);
  for (std::uint32_t& position : positions) {
    position = table.u32le();
  }
  for (const auto& [frame, image] : changed) {
    std::optional<std::vector<std::uint8_t>> encoded = EncodeLike(decoded.frames[frame], image);
    const std::size_t entry = kFrameSetTableStart + 4 * frame;
    if (!encoded || entry + 4 > original.size() || payload.size() + encoded->size() > 0xFFFFFFFFu) {
      error = "frame " + std::to_string(frame) + " cannot be encoded again";
      return std::nullopt;
    }
    payload.patchU32le(entry, static_cast<std::uint32_t>(payload.size()));
    payload.bytes(*encoded);
  }
  // A blank frame is blank only as the last 5 bytes of its payload: repeat it at the new end.
  const std::size_t blankAt = original.size() - std::min<std::size_t>(original.size(), kFrameHeaderSize);
  bool blankMoved = false;
  for (std::size_t frame = 0; frame < positions.size(); ++frame) {
    if (changed.contains(frame) || original.size() < kFrameHeaderSize || positions[frame] != blankAt ||
        original[blankAt + 4] != kNotNrmlMarker || payload.size() == original.size()) {
      continue;
    }
    if (!blankMoved) {
      payload.bytes(original.last(kFrameHeaderSize));
      blankMoved = true;
    }
    payload.patchU32le(kFrameSetTableStart + 4 * frame, static_cast<std::uint32_t>(payload.size() - kFrameHeaderSize));
  }
  AllocationBudget budget = AllocationBudget::ForFileOfSize(payload.size());
  FrameSet check;
  DecodeFrameSet(check, payload.data(), budget, LoadReport());
  if (check.frames.size() != decoded.frames.size()) {
    error = "its frames would not read back";
    return std::nullopt;
  }
  for (std::size_t frame = 0; frame < decoded.frames.size(); ++frame) {
    const Frame& now = check.frames[frame];
    const auto edited = changed.find(frame);
    const bool same = edited == changed.end()
                          ? now.width == decoded.frames[frame].width && now.height == decoded.frames[frame].height &&
                                now.pixels == decoded.frames[frame].pixels
                          : now.width == edited->second.width && now.height == edited->second.height &&
                                now.pixels == edited->second.pixels;
    if (!same) {
      error = "frame " + std::to_string(frame) + " would not read back as it should" +
              (edited == changed.end() ? " (nobody edited it)" : "");
      return std::nullopt;
    }
  }
  return payload.take();
}

}  // namespace karst::tools
