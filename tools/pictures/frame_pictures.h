// Frames brought back from the pictures people edited: matching a saved picture's pixels to
// palette indices, and putting changed frames back into their frame-set payload.
//
// Matching, against the palette the packed file will have:
//   - a palette image whose palette is that one, or the one it was written with, entry for entry
//     (all 256), by index;
//   - any other picture by colour. Where it keeps the frame's size, a pixel whose colour is its
//     original pixel's in the palette it was written with keeps that index (so untouched pixels
//     never move to a twin entry). Other pixels: where index 0 is transparent, alpha 0 is index 0
//     and an opaque colour the lowest index above 0 with that colour; where the frame is opaque
//     (tiles), the lowest index with that colour. Partial alpha is refused, and so is alpha 0 in an
//     opaque frame. A colour the palette lacks is refused, naming the palette, or with `nearest`
//     takes the nearest one (squared distance in RGB, the lowest index on a tie) and is counted.
//   - a picture that cannot say a pixel is transparent (no alpha channel, no tRNS chunk), for a
//     frame whose index 0 is transparent and that has such pixels, is refused: saved so, they
//     would all turn opaque. With a named transparent colour, its pixels are taken as
//     transparent instead, and counted.
#pragma once

#include <cstdint>
#include <map>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "authoring/frame_encoders.h"
#include "gff/frame_set.h"
#include "tools/job/job_problem.h"
#include "tools/pictures/png_file.h"
#include "tools/pictures/saved_picture.h"

namespace karst::tools {

struct MatchRules {
  const PngPalette* palette = nullptr;  // the colours the packed file will have
  bool transparentZero = false;
  bool nearest = false;
  // The colours the picture was written with; null when they are `palette`.
  const PngPalette* written = nullptr;
  // What `palette` is, for the refusal of a colour it lacks: "the region's palette (palette.gpl)".
  std::string paletteName = "the palette";
  // The colour (0xRRGGBB) that stands for transparent in a picture without transparency.
  std::optional<std::uint32_t> transparentColour;
};

struct MatchedFrame {
  authoring::IndexedImage image;
  std::uint64_t nearestPixels = 0;      // pixels that took the nearest colour
  std::uint64_t transparentPixels = 0;  // pixels of the transparent colour taken as transparent
};

// The picture's palette indices; nothing, with the first pixel at fault and why in `problem`'s
// words ("pixel (3, 4) has the colour #ff00ff, which the palette does not hold"), or why the
// picture cannot be taken. A colour the palette lacks is of the kind kColourMissing (`nearest`
// lifts it), lost transparency of the kind kTransparencyMissing (`transparentColour` lifts it).
// `original` is the frame as it was, for the pixels that keep their index.
std::optional<MatchedFrame> MatchPicture(const SavedPicture& picture, const Frame& original, const MatchRules& rules,
                                         JobProblem& problem);

// Why an NRML frame cannot hold `image`: its first pixel other than index 0 past row 254 or
// column 509, named with the limit; empty when it can.
std::string NrmlReachProblem(const authoring::IndexedImage& image);

// The frame-set payload `original` with the frames in `changed` (by position) encoded again in
// their own encoding (NRML, PLAN or PLNR; a blank or unknown one as NRML) and placed behind the
// original bytes, which stay as they were; a blank frame that relied on ending the payload is
// repeated at the new end. The result is decoded again: nothing, with why in `error`, when a frame
// would not decode to what it should (an edited one to its picture, the others as before).
std::optional<std::vector<std::uint8_t>> RebuildFrameSet(std::span<const std::uint8_t> original,
                                                         const FrameSet& decoded,
                                                         const std::map<std::size_t, authoring::IndexedImage>& changed,
                                                         std::string& error);

}  // namespace karst::tools
