#include "tools/karst-gff/game_check.h"

#include <algorithm>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <set>
#include <span>
#include <string_view>
#include <utility>

#include "data/region.h"
#include "gff/allocation_budget.h"
#include "gff/byte_reader.h"
#include "gff/format.h"
#include "gff/frame_set.h"
#include "gff/gff_file.h"
#include "platform/channels.h"
#include "tools/common/input_file.h"
#include "tools/karst-gff/chunk_label.h"

namespace karst::tools {
namespace {

// The tile strip is one surface, and a surface is at most 65536 pixels wide.
constexpr std::int32_t kMostTilesInStrip = 65536 / kTileSize;

constexpr std::string_view kRegionFails = "the region would not load";
constexpr std::string_view kViewerCannotStart =
    "the viewer cannot start (\"Unable to initialize DirectDraw and load object data!\")";

enum class FileKind { kRegion, kLibrary };

bool IsFrameSetTag(const Tag& tag) {
  return SameTag(tag, kTagTile) || SameTag(tag, kTagBmp) || SameTag(tag, kTagCbmp);
}

// The loaders take every chunk of these types and only the first of the others.
bool TakesEveryChunk(const Tag& tag) { return IsFrameSetTag(tag) || SameTag(tag, kTagOjff); }

bool IsLoaded(FileKind kind, const Tag& tag) {
  if (kind == FileKind::kLibrary) {
    return SameTag(tag, kTagBmp) || SameTag(tag, kTagCbmp) || SameTag(tag, kTagOjff);
  }
  return SameTag(tag, kTagPal) || SameTag(tag, kTagTile) || SameTag(tag, kTagMap) ||
         SameTag(tag, kTagGmap) || SameTag(tag, kTagRnme) || SameTag(tag, kTagEtab);
}

bool StartsWith(std::string_view text, std::string_view prefix) {
  return text.substr(0, prefix.size()) == prefix;
}

std::string Plural(std::size_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// A decoder's or reader's line, with what it means for the picture.
std::string Explain(const platform::CapturedText& captured) {
  const std::string text = captured.Line();
  const std::string quoted = "(\"" + text + "\")";
  if (StartsWith(text, "Unknown type: ")) {
    return "unknown encoding \"" + text.substr(14) + "\": drawn as index 0 " + quoted;
  }
  if (text == "Something peculiar happened!") {
    return "an NRML command runs past its segment's pixel count " + quoted;
  }
  if (text == "We ran outta space!") {
    return "the frame's data ends before the frame does: decoded as far as it goes " + quoted;
  }
  if (StartsWith(text, "Y offset: ")) {
    return "the first row is not row 0 " + quoted;
  }
  if (StartsWith(text, "It's a GFFI")) {
    return "an indexed record comes before any GFFI record: it and every record after it are "
           "dropped " +
           quoted;
  }
  return "\"" + text + "\"";
}

void AddDiagnostics(const platform::ChannelCapture& capture, const std::string& file,
                    const std::string& where, std::vector<Finding>& findings) {
  for (const platform::CapturedText& captured : capture.texts()) {
    findings.push_back({file, where, Explain(captured)});
  }
}

// Decodes a frame-set payload as DecodeFrameSet does, but one frame at a time, so that every
// diagnostic is known by the frame it came from.
void DecodeFramesReporting(std::span<const std::uint8_t> payload, AllocationBudget& budget,
                           const std::string& file, const std::string& label,
                           std::vector<Finding>& findings) {
  ByteReader reader(payload);
  reader.seek(4);
  const std::uint16_t count = reader.u16le();
  if (reader.ranOut() || !budget.Take(std::uint64_t{count} * sizeof(Frame))) {
    return;
  }
  for (std::uint32_t index = 0; index < count; ++index) {
    const std::uint32_t position = reader.u32le();
    if (reader.ranOut()) {
      return;
    }
    Frame frame;
    platform::ChannelCapture capture;
    DecodeFrame(frame, payload, position, budget);
    AddDiagnostics(capture, file, label + " frame " + std::to_string(index), findings);
  }
}

// Reads the chunks that the viewer's loader reads, in its order and through one stream as it
// does: the first chunk that cannot be read fails the stream, and every chunk after it is passed
// over. Decodes the frame sets with their diagnostics caught. Returns the chunks that were read.
std::set<const ChunkEntry*> WalkChunks(GffFile& file, FileKind kind, const std::string& path,
                                       std::vector<Finding>& findings) {
  std::set<const ChunkEntry*> read;
  std::optional<std::size_t> failure;
  std::size_t passedOver = 0;
  for (const ChunkType& record : file.directory()) {
    if (!IsLoaded(kind, record.tag) || !record.entries) {
      continue;
    }
    for (const ChunkEntry& entry : *record.entries) {
      const std::string label = ChunkLabel(record.tag, entry.number);
      const std::string place = "(offset " + std::to_string(entry.offset) + ", size " +
                                std::to_string(entry.size) + ", file " + std::to_string(file.size()) +
                                " bytes)";
      if (file.StreamFailed()) {
        ++passedOver;
      } else if (!file.SeekTo(entry)) {
        failure = findings.size();
        findings.push_back({path, label, "lies out of reach " + place + ": not read"});
      } else if (file.ClaimsMoreThanFile(entry)) {
        failure = findings.size();
        findings.push_back({path, label, "is larger than the whole file " + place + ": not read"});
      } else {
        std::vector<std::uint8_t> payload(entry.size);
        file.Read(payload);
        read.insert(&entry);
        if (file.StreamFailed()) {
          failure = findings.size();
          findings.push_back(
              {path, label, "runs past the end of the file " + place + ": the missing bytes read as 0"});
        }
        if (IsFrameSetTag(record.tag)) {
          DecodeFramesReporting(payload, file.budget(), path, label, findings);
        }
      }
      if (!TakesEveryChunk(record.tag)) {
        break;
      }
    }
  }
  if (failure && passedOver > 0) {
    findings[*failure].message += "; " + Plural(passedOver, "chunk after it is", "chunks after it are") + " passed over";
  }
  return read;
}

// The chunk record whose content a region keeps: a later record of the same tag replaces what an
// earlier one gave.
const ChunkType* TakenRecord(const GffDirectory& directory, const Tag& tag) {
  const ChunkType* taken = nullptr;
  for (const ChunkType& record : directory) {
    if (SameTag(record.tag, tag) && record.entries &&
        (SameTag(tag, kTagTile) || record.entries->count() > 0)) {
      taken = &record;
    }
  }
  return taken;
}

const ChunkEntry* TakenChunk(const GffDirectory& directory, const Tag& tag) {
  const ChunkType* record = TakenRecord(directory, tag);
  if (record == nullptr || record->entries->count() == 0) {
    return nullptr;
  }
  return &*record->entries->begin();
}

// "MAP 0" for the map chunk the region took; the bare tag when it took none.
std::string TakenLabel(const GffDirectory& directory, const Tag& tag) {
  const ChunkEntry* chunk = TakenChunk(directory, tag);
  return chunk != nullptr ? ChunkLabel(tag, chunk->number) : TagText(tag);
}

// A directory that the end of the file cuts short loses the records it does not hold whole.
void CheckDirectoryExtent(std::span<const std::uint8_t> bytes, const std::string& path,
                          std::vector<Finding>& findings) {
  ByteReader reader(bytes);
  reader.seek(12);
  const std::uint32_t position = reader.u32le();
  reader.seek(static_cast<std::uint32_t>(position + 4));
  const std::uint32_t length = reader.u32le();
  if (reader.ranOut() || std::uint64_t{position} + length > bytes.size()) {
    findings.push_back({path, "directory",
                        "runs past the end of the file (position " + std::to_string(position) + ", length " +
                            std::to_string(length) + ", file " + std::to_string(bytes.size()) +
                            " bytes): the records it does not hold whole are lost"});
  }
}

// Index chunks hold the positions of indexed records' chunks: one the file cuts short gives
// those chunks no place or a wrong one.
void CheckIndexChunks(const GffFile& file, const std::string& path, std::vector<Finding>& findings) {
  for (const ChunkType& record : file.directory()) {
    if (!SameTag(record.tag, kTagGffi) || !record.entries) {
      continue;
    }
    for (const ChunkEntry& entry : *record.entries) {
      if (std::uint64_t{entry.offset} + entry.size > file.size()) {
        findings.push_back({path, ChunkLabel(kTagGffi, entry.number),
                            "index chunk runs past the end of the file (offset " + std::to_string(entry.offset) +
                                ", size " + std::to_string(entry.size) + ", file " + std::to_string(file.size()) +
                                " bytes): the records indexed by it lose their chunks"});
      }
    }
  }
}

// Opens a container from bytes; with `findings`, reports what the directory read met.
bool OpenReporting(GffFile& file, std::vector<std::uint8_t> bytes, const std::string& path,
                   std::vector<Finding>* findings) {
  std::vector<Finding> found;
  CheckDirectoryExtent(bytes, path, found);
  platform::ChannelCapture capture;
  if (!file.OpenBytes(std::move(bytes))) {
    return false;
  }
  if (findings != nullptr) {
    findings->insert(findings->end(), found.begin(), found.end());
    AddDiagnostics(capture, path, "directory", *findings);
    CheckIndexChunks(file, path, *findings);
  }
  return true;
}

// What a region needs to load at all: the viewer's region switch rejects it otherwise.
bool CheckRejection(const Region& region, const GffDirectory& directory, const std::string& path,
                    std::vector<Finding>& findings) {
  bool loads = true;
  const auto reject = [&](const std::string& where, const std::string& message) {
    findings.push_back({path, where, message + ": " + std::string(kRegionFails)});
    loads = false;
  };
  if (!region.paletteData) {
    reject("", "no PAL chunk");
  } else if (region.paletteSize < kPaletteBytes) {
    reject(TakenLabel(directory, kTagPal),
           Plural(region.paletteSize, "byte", "bytes") + ", under the 768 of a palette");
  }
  if (region.tileCount == 0) {
    reject("", "no TILE chunk");
  } else if (region.tileCount > kMostTilesInStrip) {
    reject("", std::to_string(region.tileCount) + " tiles, more than the " +
                   std::to_string(kMostTilesInStrip) + " a tile strip can hold");
  }
  if (!region.mapData) {
    reject("", "no MAP chunk");
  } else if (region.mapSize < kMapBytes) {
    reject(TakenLabel(directory, kTagMap),
           Plural(region.mapSize, "byte", "bytes") + ", under the 12288 of a 128 x 96 map");
  }
  return loads;
}

void CheckTiles(const Region& region, const GffDirectory& directory,
                const std::set<const ChunkEntry*>& read, const std::string& path,
                std::vector<Finding>& findings) {
  const ChunkType* record = TakenRecord(directory, kTagTile);
  if (record == nullptr) {
    return;
  }
  std::size_t index = 0;
  for (const ChunkEntry& entry : *record->entries) {
    if (index >= region.tiles.size()) {
      break;
    }
    const FrameSet& tile = region.tiles[index];
    const std::string where = ChunkLabel(kTagTile, entry.number) + " (tile " + std::to_string(index) + ")";
    ++index;
    // A chunk that was never read is reported with the read that failed.
    if (read.count(&entry) == 0) {
      continue;
    }
    if (tile.frames.empty()) {
      findings.push_back({path, where, "no frames: drawn as index 0"});
      continue;
    }
    const Frame& frame = tile.frames.front();
    if (!frame.HasPixels()) {
      findings.push_back({path, where, "frame 0 has no pixels: drawn as index 0"});
    } else if (frame.width != kTileSize || frame.height != kTileSize) {
      findings.push_back({path, where,
                          "frame 0 is " + std::to_string(frame.width) + " x " + std::to_string(frame.height) +
                              ", not 16 x 16: only the part inside 16 x 16 is drawn, the rest as index 0"});
    }
    if (tile.frames.size() > 1) {
      findings.push_back({path, where,
                          std::to_string(tile.frames.size()) +
                              " frames: only frame 0 is drawn (\"Tile with more than one frame!\")"});
    }
  }
}

void CheckMap(const Region& region, const GffDirectory& directory, const std::string& path,
              std::vector<Finding>& findings) {
  if (!region.mapData || region.mapSize < kMapBytes || region.tileCount <= 0) {
    return;
  }
  std::size_t beyond = 0;
  std::size_t first = 0;
  unsigned highest = 0;
  for (std::size_t cell = 0; cell < kMapBytes; ++cell) {
    const unsigned index = (*region.mapData)[cell];
    if (static_cast<std::int32_t>(index) >= region.tileCount) {
      if (beyond == 0) {
        first = cell;
      }
      ++beyond;
      highest = std::max(highest, index);
    }
  }
  if (beyond == 0) {
    return;
  }
  findings.push_back({path, TakenLabel(directory, kTagMap),
                      Plural(beyond, "cell names", "cells name") + " a tile beyond the region's " +
                          Plural(static_cast<std::size_t>(region.tileCount), "tile", "tiles") +
                          " (indices up to " + std::to_string(highest) + "; first at column " +
                          std::to_string(first % kMapColumns) + ", row " +
                          std::to_string(first / kMapColumns) + "): drawn with tile 0"});
}

// Why the object layer would pass an entity over, or nothing when it draws it.
std::optional<std::string> EntityProblem(const Entity& entity, const ObjectLibrary& library) {
  const std::string object = "object " + std::to_string(entity.objectId);
  const std::string definition = "OJFF " + std::to_string(entity.objectId);
  const ObjectDrawing drawing = DrawingOf(library, entity.objectId);
  if (drawing == ObjectDrawing::kDrawn) {
    return std::nullopt;
  }
  if (drawing == ObjectDrawing::kNoDefinition) {
    return object + ", which the library does not have (no " + definition + ")";
  }
  if (drawing == ObjectDrawing::kWrongSizeDefinition) {
    return object + ", whose definition (" + definition + ") is not 16 bytes long";
  }
  const std::uint32_t bitmapId = library.objectDefs.at(static_cast<std::int32_t>(entity.objectId))->bitmapId;
  const std::string bitmap = "bitmap " + std::to_string(bitmapId);
  const std::string chunk = "BMP " + std::to_string(bitmapId);
  switch (drawing) {
    case ObjectDrawing::kNoBitmap:
      return object + ", whose " + bitmap + " the library does not have (no " + chunk + ")";
    case ObjectDrawing::kNoFrames:
      return object + ", whose " + bitmap + " (" + chunk + ") has no frames";
    default:
      return object + ", whose " + bitmap + " (" + chunk + ") has no pixels in frame 0";
  }
}

void CheckEntities(const Region& region, const GffDirectory& directory,
                   const std::set<const ChunkEntry*>& read, const ObjectLibrary* library,
                   const std::string& path, std::vector<Finding>& findings) {
  const ChunkEntry* chunk = TakenChunk(directory, kTagEtab);
  if (chunk == nullptr || read.count(chunk) == 0) {
    return;
  }
  const std::string where = ChunkLabel(kTagEtab, chunk->number);
  if (!region.entities) {
    findings.push_back({path, where, Plural(chunk->size, "byte", "bytes") +
                                         ", not a multiple of 8: no object of the region is drawn"});
    return;
  }
  if (library == nullptr) {
    return;
  }
  // One line per problem, however many entities share it.
  struct Group {
    std::size_t count = 0;
    std::size_t firstIndex = 0;
    const Entity* first = nullptr;
  };
  std::vector<std::string> order;
  std::map<std::string, Group> groups;
  for (std::size_t index = 0; index < region.entities->size(); ++index) {
    const Entity& entity = (*region.entities)[index];
    const std::optional<std::string> problem = EntityProblem(entity, *library);
    if (!problem) {
      continue;
    }
    Group& group = groups[*problem];
    if (group.count++ == 0) {
      group.firstIndex = index;
      group.first = &entity;
      order.push_back(*problem);
    }
  }
  for (const std::string& problem : order) {
    const Group& group = groups[problem];
    findings.push_back({path, where,
                        Plural(group.count, "entity names", "entities name") + " " + problem + " (first: entity " +
                            std::to_string(group.firstIndex) + " at " + std::to_string(group.first->x) + ", " +
                            std::to_string(group.first->y) + "): not drawn"});
  }
}

}  // namespace

std::string FindingText(const Finding& finding) {
  if (finding.where.empty()) {
    return finding.file + ": " + finding.message;
  }
  return finding.file + ": " + finding.where + ": " + finding.message;
}

LibraryCheck CheckLibrary(const std::string& path) {
  LibraryCheck result;
  std::error_code error;
  if (!std::filesystem::exists(path, error)) {
    result.findings.push_back({path, "", "missing: " + std::string(kViewerCannotStart)});
    return result;
  }
  std::optional<std::vector<std::uint8_t>> bytes = ReadWholeFile(path);
  if (!bytes) {
    result.findings.push_back({path, "", "cannot be read (" + InputProblem(path) + "): " + std::string(kViewerCannotStart)});
    return result;
  }
  GffFile walkFile;
  if (!OpenReporting(walkFile, *bytes, path, &result.findings)) {
    result.findings.push_back(
        {path, "", "not a GFF container (no \"GFFI\" header, or too short): " + std::string(kViewerCannotStart)});
    return result;
  }
  WalkChunks(walkFile, FileKind::kLibrary, path, result.findings);
  GffFile loadFile;
  OpenReporting(loadFile, std::move(*bytes), path, nullptr);
  {
    platform::ChannelCapture reported;  // already attributed by the walk
    result.library = LoadObjectLibrary(loadFile);
  }
  result.loads = result.library && !result.library->bmpSets.empty();
  if (result.library && !result.loads) {
    result.findings.push_back({path, "", "no BMP frame set: " + std::string(kViewerCannotStart)});
  }
  return result;
}

RegionCheck CheckRegion(const std::string& path, const ObjectLibrary* library) {
  RegionCheck result;
  std::optional<std::vector<std::uint8_t>> bytes = ReadWholeFile(path);
  if (!bytes) {
    result.findings.push_back({path, "", "cannot be read (" + InputProblem(path) + "): " + std::string(kRegionFails)});
    return result;
  }
  GffFile walkFile;
  if (!OpenReporting(walkFile, *bytes, path, &result.findings)) {
    result.findings.push_back(
        {path, "", "not a GFF container (no \"GFFI\" header, or too short): " + std::string(kRegionFails)});
    return result;
  }
  const std::set<const ChunkEntry*> read = WalkChunks(walkFile, FileKind::kRegion, path, result.findings);
  GffFile loadFile;
  OpenReporting(loadFile, std::move(*bytes), path, nullptr);
  std::unique_ptr<Region> region;
  {
    platform::ChannelCapture reported;  // already attributed by the walk
    region = LoadRegion(loadFile);
  }
  const GffDirectory& directory = walkFile.directory();
  result.loads = CheckRejection(*region, directory, path, result.findings);
  CheckTiles(*region, directory, read, path, result.findings);
  CheckMap(*region, directory, path, result.findings);
  CheckEntities(*region, directory, read, library, path, result.findings);
  return result;
}

}  // namespace karst::tools
