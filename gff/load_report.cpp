#include "gff/load_report.h"

#include "gff/debug_printf.h"

namespace karst {
namespace {

void Append(void* context, const LoadNote& note) { static_cast<std::vector<LoadNote>*>(context)->push_back(note); }

}  // namespace

std::string_view NoteKindName(NoteKind kind) {
  switch (kind) {
    case NoteKind::kIndexedBeforeGffi:
      return "indexed-before-gffi";
    case NoteKind::kUnknownEncoding:
      return "unknown-encoding";
    case NoteKind::kSegmentOverrun:
      return "segment-overrun";
    case NoteKind::kDataRanOut:
      return "data-ran-out";
    case NoteKind::kFirstRowNotZero:
      return "first-row-not-zero";
    case NoteKind::kTileWithSeveralFrames:
      return "tile-several-frames";
    case NoteKind::kIndexChunkCutShort:
      return "index-chunk-cut-short";
    case NoteKind::kChunkPassedOver:
      return "chunk-passed-over";
    case NoteKind::kChunkOutOfReach:
      return "chunk-out-of-reach";
    case NoteKind::kChunkLargerThanFile:
      return "chunk-larger-than-file";
    case NoteKind::kChunkOverBudget:
      return "chunk-over-budget";
    case NoteKind::kChunkCutShort:
      return "chunk-cut-short";
    case NoteKind::kEntityTableRejected:
      return "entity-table-rejected";
    case NoteKind::kMapRejected:
      return "map-rejected";
    case NoteKind::kPaletteRejected:
      return "palette-rejected";
    case NoteKind::kTilesRejected:
      return "tiles-rejected";
    case NoteKind::kEntityWithoutDefinition:
      return "entity-without-definition";
    case NoteKind::kEntityDefinitionWrongSize:
      return "entity-definition-wrong-size";
    case NoteKind::kEntityWithoutBitmap:
      return "entity-without-bitmap";
    case NoteKind::kEntityBitmapWithoutFrames:
      return "entity-bitmap-without-frames";
    case NoteKind::kEntityBitmapWithoutPixels:
      return "entity-bitmap-without-pixels";
    case NoteKind::kEntityBitmapTooLarge:
      return "entity-bitmap-too-large";
  }
  return "unknown";
}

bool FailsTheLoad(NoteKind kind) {
  switch (kind) {
    case NoteKind::kChunkOutOfReach:
    case NoteKind::kChunkLargerThanFile:
    case NoteKind::kChunkOverBudget:
    case NoteKind::kChunkCutShort:
      return true;
    default:
      return false;
  }
}

std::optional<PrintedLine> PrintedLineOf(const LoadNote& note) {
  switch (note.kind) {
    case NoteKind::kIndexedBeforeGffi:
      return PrintedLine{LineChannel::kOutputLine, "It's a GFFI But we don't got no GFFI yet!!"};
    case NoteKind::kUnknownEncoding:
      return PrintedLine{LineChannel::kOutputLine, "Unknown type: " + TagText(note.detail)};
    case NoteKind::kSegmentOverrun:
      return PrintedLine{LineChannel::kOutputLine, "Something peculiar happened!"};
    case NoteKind::kDataRanOut:
      return PrintedLine{LineChannel::kOutputLine, "We ran outta space!"};
    case NoteKind::kFirstRowNotZero:
      return PrintedLine{LineChannel::kDebug,
                         DebugPrintf("%Y offset: %u is different!\n", static_cast<unsigned>(note.value))};
    case NoteKind::kTileWithSeveralFrames:
      return PrintedLine{LineChannel::kDebug, "Tile with more than one frame!"};
    default:
      return std::nullopt;
  }
}

LoadReport LoadReport::Into(std::vector<LoadNote>& notes) { return LoadReport(Append, &notes); }

LoadReport LoadReport::ForFile(std::string_view file) const {
  LoadReport narrowed = *this;
  narrowed.file_ = file;
  return narrowed;
}

LoadReport LoadReport::ForType(const Tag& tag) const {
  LoadReport narrowed = *this;
  narrowed.tag_ = tag;
  narrowed.chunk_.reset();
  narrowed.frame_.reset();
  return narrowed;
}

LoadReport LoadReport::ForChunk(const Tag& tag, const ChunkEntry& chunk) const {
  LoadReport narrowed = ForType(tag);
  narrowed.chunk_ = chunk;
  return narrowed;
}

LoadReport LoadReport::ForFrame(std::uint32_t index) const {
  LoadReport narrowed = *this;
  narrowed.frame_ = index;
  return narrowed;
}

void LoadReport::Note(NoteKind kind, std::uint64_t value, const Tag& detail) const {
  if (receiver_ == nullptr) {
    return;
  }
  receiver_(context_, LoadNote{kind, std::string(file_), tag_, chunk_, frame_, value, detail});
}

void LoadReport::Pass(LoadNote note) const {
  if (receiver_ == nullptr) {
    return;
  }
  note.file = std::string(file_);
  receiver_(context_, note);
}

}  // namespace karst
