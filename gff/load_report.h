// What a load met on its way, as values: each oddity the viewer prints a line for and each rule
// by which a loader passes something over is one note, handed to the sink its caller supplies at
// the moment it is met.
//
// The readers, decoders and loaders write nothing themselves. The viewer's sink prints the lines
// (PrintedLine gives each one's channel and text); the tools' sinks collect the notes and say what
// they mean. A note is made only where something is odd, never for data that is in order.
//
// A LoadReport is small and copied freely: a loader narrows it to the file, the chunk and the
// frame at hand (ForFile, ForChunk, ForFrame), so every note names where it was met. The sink
// behind it belongs to the caller and must outlive every copy; a report of its own makes no
// note reach anybody.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "gff/format.h"
#include "gff/gff_directory.h"

namespace karst {

enum class NoteKind : std::uint8_t {
  // Oddities the viewer prints a line for.
  kIndexedBeforeGffi,      // an indexed record before any "GFFI" record: it and the rest are dropped
  kUnknownEncoding,        // a tagged frame whose tag (`detail`) is neither "PLNR" nor "PLAN"
  kSegmentOverrun,         // an NRML command ran past its segment's pixel count
  kDataRanOut,             // a frame's data ended before the frame did
  kFirstRowNotZero,        // an NRML frame starts at row `value`, not row 0
  kTileWithSeveralFrames,  // a tile of several frames, met once per row of the tile strip
  // Rules the loaders apply without a word.
  kIndexChunkCutShort,   // the index chunk ends before its positions and sizes: the record loses chunks
  kChunkPassedOver,      // the stream had failed before this chunk: not read
  kChunkOutOfReach,      // its position cannot be sought: not read, and the stream fails
  kChunkLargerThanFile,  // it claims more bytes than the whole file: not read, and the stream fails
  kChunkOverBudget,      // the load's allocation budget cannot hold it: not read, and the stream fails
  kChunkCutShort,        // its read met the end of the file: the missing bytes read as 0; the stream fails
  kEntityTableRejected,  // an ETAB payload of `value` bytes, not a multiple of 8: no entities
  // Why the region switch turns a region away (data/zone.h). `value` is the size of the chunk
  // taken, or the number of tiles; no chunk when the region has none.
  kMapRejected,
  kPaletteRejected,
  kTilesRejected,
  // Entities the object layer passes over (data/object_library.h); `value` is the entity's index.
  kEntityWithoutDefinition,
  kEntityDefinitionWrongSize,
  kEntityWithoutBitmap,
  kEntityBitmapWithoutFrames,
  kEntityBitmapWithoutPixels,
  kEntityBitmapTooLarge,
};

// The kind's name as machine output gives it, kept from release to release: lower case words
// joined by hyphens ("segment-overrun", "chunk-cut-short").
std::string_view NoteKindName(NoteKind kind);

// Whether the note says a chunk could not be read whole, after which the stream has failed and
// every later chunk of the load is passed over.
bool FailsTheLoad(NoteKind kind);

struct LoadNote {
  NoteKind kind = NoteKind::kChunkPassedOver;
  std::string file;                    // empty when the caller named none
  Tag tag{};                           // the chunk's type, or the record's; all zero for none
  std::optional<ChunkEntry> chunk;     // the chunk concerned, as the directory lists it
  std::optional<std::uint32_t> frame;  // the frame's index in its frame set
  std::uint64_t value = 0;             // a row, a size, a count or an index, as the kind says
  Tag detail{};                        // the unknown encoding's tag
};

enum class LineChannel { kOutputLine, kDebug };

// A line the viewer prints: an output line (the channel adds its line feed) or a debug text
// exactly as the debug channel gets it.
struct PrintedLine {
  LineChannel channel;
  std::string text;
};

// The line the viewer prints for a note; nothing for the notes it keeps quiet about.
std::optional<PrintedLine> PrintedLineOf(const LoadNote& note);

class LoadReport {
 public:
  using Receiver = void (*)(void* context, const LoadNote& note);

  // A report whose notes reach nobody.
  LoadReport() = default;
  LoadReport(Receiver receiver, void* context) : receiver_(receiver), context_(context) {}

  // A report whose notes are appended to `notes`.
  static LoadReport Into(std::vector<LoadNote>& notes);

  LoadReport ForFile(std::string_view file) const;
  LoadReport ForType(const Tag& tag) const;
  LoadReport ForChunk(const Tag& tag, const ChunkEntry& chunk) const;
  LoadReport ForFrame(std::uint32_t index) const;

  // Hands one note, placed where this report stands, to the sink.
  void Note(NoteKind kind, std::uint64_t value = 0, const Tag& detail = {}) const;
  // Hands a note made elsewhere to the sink, in this report's file; its own place stays.
  void Pass(LoadNote note) const;

 private:
  Receiver receiver_ = nullptr;
  void* context_ = nullptr;
  std::string_view file_;
  Tag tag_{};
  std::optional<ChunkEntry> chunk_;
  std::optional<std::uint32_t> frame_;
};

}  // namespace karst
