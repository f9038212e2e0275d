#include "tools/pictures/region_palette.h"

#include <filesystem>
#include <memory>
#include <vector>

#include "data/region.h"
#include "data/zone.h"
#include "gff/format.h"
#include "gff/load_report.h"
#include "platform/paths.h"
#include "tools/files/input_file.h"
#include "tools/text/json_text.h"

namespace karst::tools {
namespace {

// Why the loader could not read a chunk whole; empty for the notes that say nothing of that.
std::string UnreadReason(NoteKind kind) {
  if (kind != NoteKind::kChunkPassedOver && !FailsTheLoad(kind)) {
    return {};
  }
  return "it " + std::string(UnreadChunkText(kind));
}

std::string PaletteLabel(const ChunkEntry& chunk) { return "\"PAL \" chunk " + std::to_string(chunk.number); }

}  // namespace

PngPalette PngPaletteOf(const platform::PaletteTable& entries) {
  PngPalette palette{};
  for (std::size_t i = 0; i < entries.size(); ++i) {
    palette[3 * i] = entries[i].red;
    palette[3 * i + 1] = entries[i].green;
    palette[3 * i + 2] = entries[i].blue;
  }
  return palette;
}

std::optional<RegionColours> ReadRegionColours(const std::string& path, std::string& error) {
  if (std::string problem = InputProblem(path); !problem.empty()) {
    error = std::move(problem);
    return std::nullopt;
  }
  std::vector<LoadNote> notes;
  const std::unique_ptr<Region> region = LoadRegion(path, LoadReport::Into(notes));
  if (region == nullptr) {
    error = kNotContainer;
    return std::nullopt;
  }
  // A palette chunk the loader could not read whole is either missing from the region or kept
  // as zeros that would pass for its colours; a later chunk that was read replaces it.
  for (const LoadNote& note : notes) {
    const std::string reason = UnreadReason(note.kind);
    if (!reason.empty() && SameTag(note.tag, kTagPal) && note.chunk &&
        (!region->paletteChunk ||
         (note.chunk->number == region->paletteChunk->number && note.chunk->offset == region->paletteChunk->offset))) {
      error = "the " + PaletteLabel(*note.chunk) + " cannot be read whole: " + reason;
      return std::nullopt;
    }
  }
  for (const LoadNote& rejection : RegionRejections(*region)) {
    if (rejection.kind != NoteKind::kPaletteRejected) {
      continue;
    }
    if (!rejection.chunk) {
      error = LooksLikeLibraryFile(path) ? std::string(kLibraryNotRegion) + ": it has no palette"
                                         : "no \"PAL \" chunk: the region has no colours";
    } else {
      error = "the " + PaletteLabel(*rejection.chunk) + " holds " + std::to_string(rejection.value) +
              " bytes, fewer than the " + std::to_string(kPaletteBytes) + " of 256 colours";
    }
    return std::nullopt;
  }
  RegionColours colours;
  colours.palette = PngPaletteOf(ConvertPalette(*region->paletteData));
  colours.name = region->name && !region->name->empty() ? ByteText(*region->name)
                                                        : platform::PathText(platform::NativePath(path).filename());
  return colours;
}

}  // namespace karst::tools
