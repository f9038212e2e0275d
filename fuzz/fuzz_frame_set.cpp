// Decodes the input as a frame-set payload with the fuzz budget for its size.
#include <cstddef>
#include <cstdint>
#include <span>

#include "fuzz/fuzz_budget.h"
#include "gff/allocation_budget.h"
#include "gff/frame_set.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  karst::AllocationBudget budget(karst::fuzzing::FuzzBudgetBytes(size));
  karst::FrameSet frameSet;
  karst::DecodeFrameSet(frameSet, std::span<const std::uint8_t>(data, size), budget, karst::LoadReport());
  if (frameSet.frames.size() != static_cast<std::size_t>(frameSet.frameCount)) {
    __builtin_trap();
  }
  for (const karst::Frame& frame : frameSet.frames) {
    const std::uint64_t area = std::uint64_t{frame.width} * frame.height;
    if (frame.HasPixels() && (frame.pixels.size() != area || area > karst::kMaxFramePixels)) {
      __builtin_trap();
    }
  }
  return 0;
}
