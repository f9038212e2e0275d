#include "data/chunk_buffer.h"

namespace karst {
namespace {

// A chunk met after the stream failed is passed over, whatever else is wrong with it.
void NoteUnread(bool failedBefore, NoteKind kind, const LoadReport& report) {
  report.Note(failedBefore ? NoteKind::kChunkPassedOver : kind);
}

}  // namespace

std::optional<std::vector<std::uint8_t>> AllocateChunkBuffer(GffFile& file, const ChunkEntry& entry,
                                                             const LoadReport& report, std::uint64_t extraCost) {
  const bool failedBefore = file.StreamFailed();
  if (file.ClaimsMoreThanFile(entry)) {
    NoteUnread(failedBefore, NoteKind::kChunkLargerThanFile, report);
    return std::nullopt;
  }
  if (!file.budget().Take(std::uint64_t{entry.size} + extraCost)) {
    file.FailStream();
    NoteUnread(failedBefore, NoteKind::kChunkOverBudget, report);
    return std::nullopt;
  }
  return std::vector<std::uint8_t>(entry.size, 0);
}

bool SeekToChunk(GffFile& file, const ChunkEntry& entry, const LoadReport& report) {
  const bool failedBefore = file.StreamFailed();
  if (file.SeekTo(entry)) {
    return true;
  }
  NoteUnread(failedBefore, NoteKind::kChunkOutOfReach, report);
  return false;
}

void ReadChunk(GffFile& file, std::span<std::uint8_t> buffer, const LoadReport& report) {
  if (file.Read(buffer) < buffer.size()) {
    report.Note(NoteKind::kChunkCutShort);
  }
}

const ChunkEntry* FirstChunk(const ChunkType& type) {
  if (!type.entries || type.entries->empty()) {
    return nullptr;
  }
  return type.entries->head()->data.get();
}

}  // namespace karst
