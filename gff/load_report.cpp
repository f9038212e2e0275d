#include "gff/load_report.h"

#include "gff/debug_printf.h"

namespace karst {
namespace {

void Append(void* context, const LoadNote& note) { static_cast<std::vector<LoadNote>*>(context)->push_back(note); }

}  // namespace

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
