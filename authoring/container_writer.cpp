#include "authoring/container_writer.h"

#include <cstddef>

#include "authoring/byte_writer.h"

namespace karst::authoring {
namespace {

struct Run {
  std::uint32_t first = 0;
  std::uint32_t length = 0;
};

std::vector<Run> RunsOf(const std::vector<ChunkSpec>& chunks) {
  std::vector<Run> runs;
  for (const ChunkSpec& chunk : chunks) {
    if (!runs.empty() && runs.back().first + runs.back().length == chunk.number) {
      ++runs.back().length;
    } else {
      runs.push_back(Run{chunk.number, 1});
    }
  }
  return runs;
}

std::uint32_t RecordSize(const ChunkTypeSpec& type) {
  if (type.indexed) {
    return kIndexedRecordHeaderSize + kIndexRunSize * static_cast<std::uint32_t>(RunsOf(type.chunks).size());
  }
  return kChunkTypeHeaderSize + kPlainEntrySize * static_cast<std::uint32_t>(type.chunks.size());
}

}  // namespace

std::vector<std::uint8_t> WriteContainer(const std::vector<ChunkTypeSpec>& types) {
  std::vector<const ChunkTypeSpec*> indexedTypes;
  for (const ChunkTypeSpec& type : types) {
    if (type.indexed) {
      indexedTypes.push_back(&type);
    }
  }

  std::uint32_t directoryLength = kDirectoryHeaderSize;
  if (!indexedTypes.empty()) {
    directoryLength += kChunkTypeHeaderSize + kPlainEntrySize * static_cast<std::uint32_t>(indexedTypes.size());
  }
  for (const ChunkTypeSpec& type : types) {
    directoryLength += RecordSize(type);
  }

  // Payload positions, in the order the payloads are laid out.
  std::uint32_t position = kHeaderSize + directoryLength;
  std::vector<std::vector<std::uint32_t>> payloadPositions;
  for (const ChunkTypeSpec& type : types) {
    std::vector<std::uint32_t>& positions = payloadPositions.emplace_back();
    for (const ChunkSpec& chunk : type.chunks) {
      positions.push_back(position);
      position += static_cast<std::uint32_t>(chunk.payload.size());
    }
  }
  std::vector<std::uint32_t> indexPositions;
  for (const ChunkTypeSpec* type : indexedTypes) {
    indexPositions.push_back(position);
    position += 4 + kIndexPairSize * static_cast<std::uint32_t>(type->chunks.size());
  }

  ByteWriter out;
  out.tag(kTagGffi);
  out.zeros(8);
  out.u32le(kHeaderSize);
  out.zeros(4);
  out.u32le(directoryLength);
  out.zeros(2);

  if (!indexedTypes.empty()) {
    out.tag(kTagGffi);
    out.u16le(static_cast<std::uint16_t>(indexedTypes.size()));
    out.u16le(0);
    for (std::size_t i = 0; i < indexedTypes.size(); ++i) {
      out.u32le(static_cast<std::uint32_t>(i));
      out.u32le(indexPositions[i]);
      out.u32le(4 + kIndexPairSize * static_cast<std::uint32_t>(indexedTypes[i]->chunks.size()));
    }
  }
  std::uint32_t indexNumber = 0;
  for (std::size_t t = 0; t < types.size(); ++t) {
    const ChunkTypeSpec& type = types[t];
    out.tag(type.tag);
    out.u16le(static_cast<std::uint16_t>(type.chunks.size()));
    if (type.indexed) {
      const std::vector<Run> runs = RunsOf(type.chunks);
      out.u16le(kIndexedFlags);
      out.zeros(4);
      out.u32le(indexNumber++);
      out.u32le(static_cast<std::uint32_t>(runs.size()));
      for (const Run& run : runs) {
        out.u32le(run.first);
        out.u32le(run.length);
      }
    } else {
      out.u16le(type.plainFlags);
      for (std::size_t c = 0; c < type.chunks.size(); ++c) {
        out.u32le(type.chunks[c].number);
        out.u32le(payloadPositions[t][c]);
        out.u32le(static_cast<std::uint32_t>(type.chunks[c].payload.size()));
      }
    }
  }

  for (const ChunkTypeSpec& type : types) {
    for (const ChunkSpec& chunk : type.chunks) {
      out.bytes(chunk.payload);
    }
  }
  for (const ChunkTypeSpec* type : indexedTypes) {
    out.zeros(4);
    std::size_t t = static_cast<std::size_t>(type - types.data());
    for (std::size_t c = 0; c < type->chunks.size(); ++c) {
      out.u32le(payloadPositions[t][c]);
      out.u32le(static_cast<std::uint32_t>(type->chunks[c].payload.size()));
    }
  }
  return out.take();
}

}  // namespace karst::authoring
