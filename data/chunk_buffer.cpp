#include "data/chunk_buffer.h"

namespace karst {

std::optional<std::vector<std::uint8_t>> AllocateChunkBuffer(GffFile& file, const ChunkEntry& entry,
                                                             std::uint64_t extraCost) {
  if (file.ClaimsMoreThanFile(entry)) {
    return std::nullopt;
  }
  if (!file.budget().Take(std::uint64_t{entry.size} + extraCost)) {
    file.FailStream();
    return std::nullopt;
  }
  return std::vector<std::uint8_t>(entry.size, 0);
}

const ChunkEntry* FirstChunk(const ChunkType& type) {
  if (!type.entries || type.entries->empty()) {
    return nullptr;
  }
  return type.entries->head()->data.get();
}

}  // namespace karst
