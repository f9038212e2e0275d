// Payload buffers for the loaders in data/, paid for from the load's allocation budget.
//
// A chunk's size comes from the file and is not trusted: before a buffer is made for it, the
// chunk must fit in the file and the load's budget (gff/allocation_budget.h) must hold its bytes
// and whatever the loader builds from them. A chunk that fails either test is unreadable: the
// stream is failed as a refused read would fail it, nothing is allocated, and every later chunk
// of the load is passed over.
#pragma once

#include <cstdint>
#include <optional>
#include <vector>

#include "gff/gff_directory.h"
#include "gff/gff_file.h"

namespace karst {

// A zero-filled buffer of `entry.size` bytes, after taking `entry.size + extraCost` bytes from
// the file's budget; nothing (and a failed stream) when the chunk cannot be held. `extraCost` is
// what the caller will allocate from the payload beyond the buffer itself.
std::optional<std::vector<std::uint8_t>> AllocateChunkBuffer(GffFile& file, const ChunkEntry& entry,
                                                             std::uint64_t extraCost = 0);

// The first chunk of a record, or null when the record lists none.
const ChunkEntry* FirstChunk(const ChunkType& type);

}  // namespace karst
