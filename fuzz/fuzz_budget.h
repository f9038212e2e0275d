// The allocation budget the fuzz targets give each load.
//
// A real load may allocate 64 MiB plus 64 bytes per file byte. The fuzz targets keep the per-byte
// part but cut the base to 64 KiB, for every load they make (the container opened, each frame
// set decoded, the region behind an unpack's map): every run stays cheap, the refusal paths are
// met often, and the runs' malloc limit (8 MiB a block, see the Makefile) shows that no large
// block is ever allocated past the budget. The unit tests cover loads with the full budget.
#pragma once

#include <cstddef>
#include <cstdint>

#include "gff/allocation_budget.h"

namespace karst::fuzzing {

inline constexpr std::uint64_t kFuzzBaseBytes = 64ull << 10;

inline std::uint64_t FuzzBudgetBytes(std::size_t inputSize) {
  return kFuzzBaseBytes + AllocationBudget::kBytesPerFileByte * std::uint64_t{inputSize};
}

}  // namespace karst::fuzzing
