#include "gff/gff_reader.h"

#include <array>

#include "gff/byte_reader.h"

namespace karst {

std::unique_ptr<GffDirectory> GffReader::ReadDirectory(GffStream& stream, std::int32_t length, AllocationBudget& budget,
                                                       const LoadReport& report) const {
  auto directory = std::make_unique<GffDirectory>();
  const ChunkType* indexType = nullptr;
  const std::int64_t start = stream.Tell();
  std::unique_ptr<ChunkType> record = ReadChunkType(stream, nullptr, budget, report);
  while (record) {
    if (SameTag(record->tag, kTagGffi)) {
      indexType = record.get();
    }
    directory->Append(std::move(record));
    // Positions are compared as signed 32-bit values, the way the format holds them.
    const std::int64_t position = stream.Tell();
    const auto travelled =
        static_cast<std::int32_t>(static_cast<std::uint32_t>(position) - static_cast<std::uint32_t>(start));
    if (travelled >= length) {
      break;
    }
    record = ReadChunkType(stream, indexType, budget, report);
  }
  return directory;
}

std::unique_ptr<ChunkType> GffReader::ReadChunkType(GffStream& stream, const ChunkType* indexType,
                                                    AllocationBudget& budget, const LoadReport& report) const {
  if (stream.Failed()) {
    return nullptr;
  }
  if (!budget.Take(kRecordCost)) {
    stream.Fail();
    return nullptr;
  }
  auto record = std::make_unique<ChunkType>();
  std::array<std::uint8_t, 4> tagBytes{};
  stream.Read(tagBytes);
  std::array<std::uint8_t, 4> countAndFlags{};
  stream.Read(countAndFlags);
  if (stream.Failed()) {
    return nullptr;
  }
  for (std::size_t i = 0; i < 4; ++i) {
    record->tag[i] = static_cast<char>(tagBytes[i]);
  }
  ByteReader fields(countAndFlags);
  record->count = fields.u16le();
  record->flags = fields.u16le();

  if (record->IsIndexed()) {
    if (indexType == nullptr) {
      report.ForType(record->tag).Note(NoteKind::kIndexedBeforeGffi);
    } else {
      record->entries = ReadIndexedEntries(stream, record->count, *indexType, budget, report);
    }
  } else {
    record->entries = ReadPlainEntries(stream, record->count, budget);
  }
  if (!record->entries) {
    return nullptr;
  }
  return record;
}

std::unique_ptr<ChunkEntryList> GffReader::ReadPlainEntries(GffStream& stream, std::uint32_t count,
                                                            AllocationBudget& budget) const {
  auto entries = std::make_unique<ChunkEntryList>();
  for (std::uint32_t i = 0; i < count; ++i) {
    if (!budget.Take(kEntryCost)) {
      stream.Fail();
      break;
    }
    auto entry = std::make_unique<ChunkEntry>();
    entry->number = stream.ReadU32();
    entry->offsetFieldAt = stream.Tell();
    entry->offset = stream.ReadU32();
    entry->size = stream.ReadU32();
    entries->Append(std::move(entry));
    if (stream.Failed()) {
      break;
    }
  }
  return entries;
}

std::unique_ptr<ChunkEntryList> GffReader::ReadIndexedEntries(GffStream& stream, std::uint32_t /*count*/,
                                                              const ChunkType& indexType, AllocationBudget& budget,
                                                              const LoadReport& report) const {
  stream.Skip(4);
  const std::uint32_t key = stream.ReadU32();
  const ChunkEntry* indexChunk = nullptr;
  if (indexType.entries) {
    for (const ChunkEntry& candidate : *indexType.entries) {
      if (candidate.number == key) {
        indexChunk = &candidate;
        break;
      }
    }
  }
  if (indexChunk == nullptr) {
    return nullptr;
  }

  auto entries = std::make_unique<ChunkEntryList>();
  const auto runs = static_cast<std::int32_t>(stream.ReadU32());
  // Run headers come from the directory, positions and sizes from the index chunk; the stream
  // goes back to the directory after every run.
  std::uint64_t resume = 0;
  for (std::int32_t run = 0; run < runs; ++run) {
    // A failed stream reads only zeros from here on: no run could yield an entry.
    if (stream.Failed()) {
      break;
    }
    const std::uint32_t first = stream.ReadU32();
    const auto length = static_cast<std::int32_t>(stream.ReadU32());
    const std::int64_t back = stream.Tell();
    const bool failedInDirectory = stream.Failed();
    if (resume == 0) {
      stream.Seek(indexChunk->offset);
      stream.Skip(4);
    } else {
      stream.Seek(resume);
    }
    for (std::int32_t k = 0; k < length; ++k) {
      if (!budget.Take(kEntryCost)) {
        stream.Fail();
        break;
      }
      auto entry = std::make_unique<ChunkEntry>();
      entry->offsetFieldAt = stream.Tell();
      entry->offset = stream.ReadU32();
      entry->size = stream.ReadU32();
      entry->number = first + static_cast<std::uint32_t>(k);
      entries->Append(std::move(entry));
      if (stream.Failed()) {
        break;
      }
    }
    if (!failedInDirectory && stream.Failed()) {
      // The stream has failed inside the index chunk, so no later run gets its chunks either.
      report.ForChunk(kTagGffi, *indexChunk).Note(NoteKind::kIndexChunkCutShort);
    }
    resume = static_cast<std::uint64_t>(stream.Tell());
    stream.Seek(static_cast<std::uint64_t>(back));
  }
  return entries;
}

}  // namespace karst
