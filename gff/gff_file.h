// An opened GFF container: its input stream and its chunk directory, for the length of one load.
//
// Opening checks the magic "GFFI", finds the directory through the header (see
// gff/gff_directory.h for the layout), reads it, and clears the stream's flags once, so that a
// directory read that met the end of the file does not block the payload reads. After that the
// flags are sticky: once a seek is refused or a read comes up short, every later seek and read of
// the same load does nothing, and the loaders pass the remaining chunks over.
//
// Each opened file carries the allocation budget of its load (gff/allocation_budget.h): the
// directory is paid from it, and so are the payloads and decoded images of the loaders.
#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "gff/allocation_budget.h"
#include "gff/gff_directory.h"
#include "gff/gff_stream.h"
#include "gff/load_report.h"

namespace karst {

class GffFile {
 public:
  GffFile() = default;

  // Opens a container from a file or from bytes in memory. On failure nothing is kept. What the
  // directory read meets goes to `report`. The load's budget is `budgetBase` plus 64 bytes per
  // byte of the file, paid from the directory read on; callers that keep their loads smaller (the
  // fuzz targets) give a smaller base.
  bool Open(const std::filesystem::path& path, const LoadReport& report,
            std::uint64_t budgetBase = AllocationBudget::kBaseBytes);
  bool OpenBytes(std::vector<std::uint8_t> bytes, const LoadReport& report,
                 std::uint64_t budgetBase = AllocationBudget::kBaseBytes);
  bool IsOpen() const { return stream_.has_value(); }

  // The directory's records in order; empty when no file is open.
  const GffDirectory& directory() const { return *directory_; }

  // Seeks to the payload of `entry`. False when the stream has failed by then.
  bool SeekTo(const ChunkEntry& entry);
  // Reads `buffer.size()` bytes at the stream's position; returns how many arrived. A short read
  // fails the stream; the bytes that did arrive stay in the buffer.
  std::size_t Read(std::span<std::uint8_t> buffer);
  // A chunk that claims more bytes than the whole file holds cannot be read, whatever its
  // position: the stream fails as it would on the short read, and nothing is allocated for it.
  bool ClaimsMoreThanFile(const ChunkEntry& entry);
  bool StreamFailed() const { return stream_ && stream_->Failed(); }
  // Fails the stream as a refused read would: for a chunk whose bytes the load cannot hold.
  void FailStream() {
    if (stream_) {
      stream_->Fail();
    }
  }

  std::uint64_t size() const { return stream_ ? stream_->size() : 0; }
  // Where the header says the directory ends (D + L, without the 32-bit wrap of the reader's
  // seek), so a directory that the file cuts short can be measured; 0 when no file is open.
  std::uint64_t directoryEnd() const { return stream_ ? directoryEnd_ : 0; }
  // The directory's position D and length L as the header gives them, and whether the file ended
  // before all four bytes of L (the missing ones read as 0).
  std::uint32_t directoryPosition() const { return directoryPosition_; }
  std::uint32_t directoryLength() const { return static_cast<std::uint32_t>(directoryEnd_ - directoryPosition_); }
  bool directoryLengthCutShort() const { return directoryLengthCutShort_; }
  AllocationBudget& budget() { return budget_; }

  // Frees the directory, then closes the stream.
  void Close();

 private:
  bool OpenStream(GffStream stream, const LoadReport& report, std::uint64_t budgetBase);

  std::optional<GffStream> stream_;
  std::unique_ptr<GffDirectory> directory_ = std::make_unique<GffDirectory>();
  AllocationBudget budget_{0};
  std::uint64_t directoryEnd_ = 0;
  std::uint32_t directoryPosition_ = 0;
  bool directoryLengthCutShort_ = false;
};

}  // namespace karst
