// The regions of the sample world: a meadow with a river and a road, a desert of dunes and
// rock, a swamp and an old town, each with its own palette, tiles, map and entities.
//
// GMAP payload (the viewer keeps it and does not read it; ours is a coarse overview):
//
//   bytes   width              content
//   0-1     u16                width, 64
//   2-3     u16                height, 48
//   4..     width x height     palette indices, row after row: the ground colour of each
//                              2 x 2 block of cells
#pragma once

#include <vector>

#include "authoring/sample_content.h"

namespace karst::authoring {

inline constexpr int kOverviewColumns = 64;
inline constexpr int kOverviewRows = 48;

// Every region, in file name order (RGN01.GFF first).
std::vector<SampleRegion> MakeSampleRegions();

}  // namespace karst::authoring
