// The chunk directory of a GFF container, as held in memory.
//
// File layout (integers little-endian, positions absolute from the start of the file):
//
//   header, at 0            | 0-3 "GFFI" | 4-11 unread | 12-15 u32 D: position of the directory
//   directory, at D         | 0-3 unread | 4-7 u32 L: length from D | 8-9 unread | 10.. records
//   plain record            | 0-3 tag | 4-5 u16 count | 6-7 u16 flags (not 0x8000)
//                           | 8.. count x (u32 number, u32 position, u32 size)
//   indexed record          | 0-3 tag | 4-5 u16 count (kept, unused) | 6-7 u16 flags = 0x8000
//                           | 8-11 unread | 12-15 u32 key: number of the index chunk among the
//                           |   chunks of the latest "GFFI" record | 16-19 u32 R (signed)
//                           | 20.. R x (u32 first number, u32 run length n (signed))
//   index chunk payload     | 0-3 unread | 4.. for every chunk of every run in turn:
//                           |   u32 position, u32 size
//
// The directory ends at D + L. Chunk k of a run has the number first + k.
#pragma once

#include <cstdint>
#include <memory>

#include "gff/format.h"
#include "gff/pointer_list.h"

namespace karst {

// One chunk: its number (unique within its type), where its payload lies and how long it is.
struct ChunkEntry {
  std::uint32_t number = 0;
  std::uint32_t offset = 0;
  std::uint32_t size = 0;
  // Where in the file the entry's offset field was read (its size field follows it): in the
  // directory for a plain record, in the index chunk for an indexed one; -1 when the read that
  // should have given it had failed. A writer that moves the payload patches these 8 bytes.
  std::int64_t offsetFieldAt = -1;
};

// Where a chunk's payload ends: offset + size, without a 32-bit wrap.
constexpr std::uint64_t PayloadEnd(const ChunkEntry& entry) { return std::uint64_t{entry.offset} + entry.size; }

// Whether a chunk's payload lies wholly inside a file of `fileSize` bytes.
constexpr bool PayloadWithin(const ChunkEntry& entry, std::uint64_t fileSize) { return PayloadEnd(entry) <= fileSize; }

using ChunkEntryList = PointerList<ChunkEntry>;

// One chunk type record: the tag and the chunks listed under it, in file order for the plain
// form and in run order for the indexed form.
struct ChunkType {
  Tag tag{};
  std::uint32_t count = 0;  // the record's u16 count
  std::uint32_t flags = 0;  // the record's u16 flags
  std::unique_ptr<ChunkEntryList> entries;

  bool IsIndexed() const { return flags == kIndexedFlags; }
};

// Every chunk type record in directory order; a tag may occur in several records.
using GffDirectory = PointerList<ChunkType>;

}  // namespace karst
