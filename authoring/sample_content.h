// The sample world in memory, before it is written into containers: region palettes, tile
// images, maps and entity tables, and the object library's bitmaps and definitions.
//
// The generators in authoring/sample_*.cpp fill these records; authoring/sample_world.cpp turns
// them into GFF files. Tests compare what the decoders give back with these images.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "authoring/frame_encoders.h"
#include "authoring/record_writers.h"

namespace karst::authoring {

// How a frame is stored. A blank frame stores only its size; it must be the last frame of its set.
enum class FrameEncoding : std::uint8_t { kNrml, kPlan, kPlnr, kBlank };

struct SampleFrame {
  IndexedImage image;
  FrameEncoding encoding = FrameEncoding::kNrml;
};

// One ETAB record.
using SampleEntity = EntityRecord;

inline constexpr std::uint8_t kMirroredFlag = 0x80;

struct SampleRegion {
  std::string fileName;                    // "RGN01.GFF", ...
  std::string name;                        // the RNME payload
  std::vector<std::uint8_t> palette;       // 768 bytes, 6-bit red, green, blue
  std::vector<SampleFrame> tiles;          // 16 x 16 each; a map byte is a position in this list
  std::vector<std::uint32_t> tileNumbers;  // the TILE chunk number of each tile
  std::vector<std::uint8_t> map;           // 128 x 96 tile indices
  std::vector<std::uint8_t> gmap;          // the GMAP payload (see authoring/sample_regions.h)
  std::vector<SampleEntity> entities;      // in drawing order
};

struct SampleObject {
  std::uint16_t objectId = 0;  // OJFF chunk number
  std::uint16_t bitmapId = 0;  // "BMP " chunk number
  std::uint16_t hotspotX = 0;
  std::uint16_t hotspotY = 0;
  std::uint16_t kind = 0;              // OJFF word 0: plant, stone, building, prop or creature
  std::vector<SampleFrame> frames;     // frame 0 is the one drawn
  std::vector<SampleFrame> thumbnail;  // when not empty: a CBMP frame set under bitmapId
};

struct SampleWorld {
  std::vector<SampleRegion> regions;
  std::vector<SampleObject> objects;
};

}  // namespace karst::authoring
