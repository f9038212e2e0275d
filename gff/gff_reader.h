// Reads the chunk directory of a GFF container from its stream.
//
// The reader keeps no state between calls; a caller makes one on the spot. Records and entries
// are read exactly as the layout in gff/gff_directory.h lays them out, with the stream's own
// failure rules (gff/gff_stream.h): once the stream has failed, nothing further is read.
//
// Every record and entry is paid for from the load's allocation budget. When the budget is
// spent the stream is failed, so the directory ends there like a directory cut short by the end
// of the file: a few bytes of hostile directory can never make the reader allocate without
// bound or run for long.
//
// What the reading meets goes to the caller's report: an indexed record before any "GFFI" record
// (printed by the viewer), and an index chunk that ends before the positions it should hold.
#pragma once

#include <cstdint>
#include <memory>

#include "gff/allocation_budget.h"
#include "gff/gff_directory.h"
#include "gff/gff_stream.h"
#include "gff/load_report.h"

namespace karst {

class GffReader {
 public:
  // What one entry or record costs the budget: the element and its list node, rounded up.
  static constexpr std::uint64_t kEntryCost = 64;
  static constexpr std::uint64_t kRecordCost = 128;

  // Reads records from the stream's position until one cannot be read or the stream stands
  // `length` bytes or more past where it started (checked after each record). Never null.
  std::unique_ptr<GffDirectory> ReadDirectory(GffStream& stream, std::int32_t length, AllocationBudget& budget,
                                              const LoadReport& report) const;

  // One record, or null when none can be read. `indexType` is the latest "GFFI" record so far.
  std::unique_ptr<ChunkType> ReadChunkType(GffStream& stream, const ChunkType* indexType, AllocationBudget& budget,
                                           const LoadReport& report) const;

  // `count` plain entries; stops after the entry whose reads failed the stream. Never null.
  std::unique_ptr<ChunkEntryList> ReadPlainEntries(GffStream& stream, std::uint32_t count,
                                                   AllocationBudget& budget) const;

  // The entries of an indexed record, or null when its index chunk is not among the entries of
  // `indexType`. `count` is the record's count, which the indexed form does not use.
  std::unique_ptr<ChunkEntryList> ReadIndexedEntries(GffStream& stream, std::uint32_t count, const ChunkType& indexType,
                                                     AllocationBudget& budget, const LoadReport& report) const;
};

}  // namespace karst
