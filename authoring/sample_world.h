// A small world of our own, written as GFF files, so the viewer has something to show on a
// machine without the game's files, and tests have realistic data to load.
//
// The world: region files RGN01.GFF to RGN04.GFF (a meadow, a desert, a swamp, a town) and the
// object library OBJEX.GFF that they share. Everything is made from fixed seeds with our own
// generator and noise, so every run, on every machine, gives the same bytes.
//
// Containers, as written:
//   RGNnn.GFF  "RNME" plain, "PAL " plain, "TILE" indexed (numbers in descending runs of 8; the
//              map's tile index is the position in this list), "MAP " plain, "GMAP" plain with
//              flags 0x0001, "ETAB" plain; the index record "GFFI" first.
//   OBJEX.GFF  "OJFF" plain (numbers out of order), "BMP " indexed (descending runs of 4),
//              "CBMP" plain with flags 0x0100, small copies of some bitmaps under the same
//              numbers as their "BMP " chunks; the index record "GFFI" first.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "authoring/sample_content.h"

namespace karst::authoring {

struct WorldFile {
  std::string name;
  std::vector<std::uint8_t> bytes;
};

// The name of the object library file.
inline constexpr const char* kObjectLibraryFileName = "OBJEX.GFF";

// The world in memory: what the files hold, before encoding.
SampleWorld MakeSampleWorldContent();

// The frame-set payload of frames, each in its own encoding.
std::vector<std::uint8_t> SampleFrameSetPayload(const std::vector<SampleFrame>& frames);

// The region files in name order, then OBJEX.GFF.
std::vector<WorldFile> WriteSampleWorld(const SampleWorld& world);

// MakeSampleWorldContent written out.
std::vector<WorldFile> MakeSampleWorld();

}  // namespace karst::authoring
