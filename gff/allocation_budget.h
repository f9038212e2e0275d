// The memory one load may allocate for what a file claims.
//
// A file of a few bytes can claim thousands of frames of millions of pixels each. Every
// allocation whose size comes from the file is taken from one budget per load first; what the
// budget cannot cover is not allocated, and the loader treats it like unreadable data.
// A load gets 64 MiB plus 64 times the size of its file.
#pragma once

#include <cstdint>

namespace karst {

class AllocationBudget {
 public:
  static constexpr std::uint64_t kBaseBytes = 64ull << 20;
  static constexpr std::uint64_t kBytesPerFileByte = 64;

  explicit AllocationBudget(std::uint64_t bytes) : remaining_(bytes) {}

  // `baseBytes` other than kBaseBytes for a caller that keeps its loads smaller (the fuzz targets).
  static AllocationBudget ForFileOfSize(std::uint64_t fileSize, std::uint64_t baseBytes = kBaseBytes) {
    return AllocationBudget(baseBytes + kBytesPerFileByte * fileSize);
  }

  // Takes `bytes` from the budget when it still holds them; false (and nothing taken) otherwise.
  bool Take(std::uint64_t bytes) {
    if (bytes > remaining_) {
      return false;
    }
    remaining_ -= bytes;
    return true;
  }

  std::uint64_t remaining() const { return remaining_; }

 private:
  std::uint64_t remaining_;
};

}  // namespace karst
