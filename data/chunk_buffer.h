// Reading one chunk's payload for the loaders in data/: the buffer, paid for from the load's
// allocation budget, the seek and the read, each step noting what keeps the chunk from being read.
//
// A chunk's size comes from the file and is not trusted: before a buffer is made for it, the
// chunk must fit in the file and the load's budget (gff/allocation_budget.h) must hold its bytes
// and whatever the loader builds from them. A chunk that fails either test is unreadable: the
// stream is failed as a refused read would fail it, nothing is allocated, and every later chunk
// of the load is passed over.
//
// `report` is the load's report narrowed to the chunk. Each chunk gets at most one note: passed
// over (the stream had failed before it), out of reach, larger than the file, over the budget,
// or cut short by the end of the file.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <vector>

#include "gff/gff_directory.h"
#include "gff/gff_file.h"
#include "gff/load_report.h"

namespace karst {

// A zero-filled buffer of `entry.size` bytes, after taking `entry.size + extraCost` bytes from
// the file's budget; nothing (and a failed stream) when the chunk cannot be held. `extraCost` is
// what the caller will allocate from the payload beyond the buffer itself.
std::optional<std::vector<std::uint8_t>> AllocateChunkBuffer(GffFile& file, const ChunkEntry& entry,
                                                             const LoadReport& report, std::uint64_t extraCost = 0);

// Seeks to the chunk's payload; false when the stream has failed by then.
bool SeekToChunk(GffFile& file, const ChunkEntry& entry, const LoadReport& report);

// Reads the payload at the stream's position into `buffer`; bytes the file does not have stay as
// they were.
void ReadChunk(GffFile& file, std::span<std::uint8_t> buffer, const LoadReport& report);

// The first chunk of a record, or null when the record lists none.
const ChunkEntry* FirstChunk(const ChunkType& type);

}  // namespace karst
