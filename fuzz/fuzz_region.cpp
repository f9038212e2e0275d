// Loads a region from the input and checks that what it holds agrees with itself.
#include <cstddef>
#include <cstdint>
#include <memory>
#include <vector>

#include "data/region.h"
#include "fuzz/fuzz_budget.h"
#include "gff/gff_file.h"

namespace {

template <typename Buffer>
bool SizeAgrees(const Buffer& buffer, std::uint64_t size) {
  return buffer ? buffer->size() == size : size == 0;
}

bool Consistent(const karst::Region& region) {
  if (!SizeAgrees(region.paletteData, region.paletteSize) || !SizeAgrees(region.mapData, region.mapSize) ||
      !SizeAgrees(region.gmapData, region.gmapSize) ||
      !SizeAgrees(region.entities, static_cast<std::uint64_t>(region.entityCount)) ||
      region.tiles.size() != static_cast<std::size_t>(region.tileCount)) {
    return false;
  }
  for (const karst::FrameSet& tile : region.tiles) {
    if (tile.frames.size() != static_cast<std::size_t>(tile.frameCount)) {
      return false;
    }
    for (const karst::Frame& frame : tile.frames) {
      if (frame.HasPixels() && frame.pixels.size() != std::size_t{frame.width} * frame.height) {
        return false;
      }
    }
  }
  return true;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  karst::GffFile file;
  if (!file.OpenBytes(std::vector<std::uint8_t>(data, data + size), karst::LoadReport(),
                      karst::fuzzing::kFuzzBaseBytes)) {
    return 0;
  }
  const std::unique_ptr<karst::Region> region = karst::LoadRegion(file, karst::LoadReport());
  if (!region || !Consistent(*region)) {
    __builtin_trap();
  }
  return 0;
}
