#include "tools/inspect/game_check.h"

#include <algorithm>
#include <cctype>
#include <cstdint>
#include <filesystem>
#include <map>
#include <optional>
#include <span>
#include <string_view>
#include <utility>

#include "data/file_problems.h"
#include "data/region.h"
#include "data/zone.h"
#include "gff/format.h"
#include "gff/frame_set.h"
#include "gff/gff_file.h"
#include "gff/load_report.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tools/files/game_folder.h"
#include "tools/files/input_file.h"
#include "tools/inspect/chunk_label.h"
#include "tools/inspect/load_notes.h"
#include "tools/text/name_text.h"

namespace karst::tools {
namespace {

std::string Plural(std::uint64_t count, std::string_view one, std::string_view many) {
  return std::to_string(count) + " " + std::string(count == 1 ? one : many);
}

// Where a note was met, as the findings name it: "TILE 21 frame 0", "BMP 13", "directory".
std::string PlaceOf(const LoadNote& note) {
  if (note.kind == NoteKind::kIndexedBeforeGffi) {
    return "directory";
  }
  if (!note.chunk) {
    return TagName(note.tag);
  }
  std::string place = ChunkLabel(note.tag, note.chunk->number);
  if (note.frame) {
    place += " frame " + std::to_string(*note.frame);
  }
  return place;
}

// The chunk a note names, "BMP 13"; empty when it names none.
std::string ChunkOf(const LoadNote& note) { return note.chunk ? ChunkLabel(note.tag, note.chunk->number) : ""; }

// "(offset 40, size 12, file 300 bytes)": where a chunk lies against the file's end.
std::string Extent(const LoadNote& note, std::uint64_t fileSize) {
  const std::string file = "file " + std::to_string(fileSize) + " bytes)";
  if (!note.chunk) {
    return "(" + file;
  }
  return "(offset " + std::to_string(note.chunk->offset) + ", size " + std::to_string(note.chunk->size) + ", " + file;
}

// The viewer's own line for a note, quoted: ("Something peculiar happened!").
std::string Quoted(const LoadNote& note) { return "(\"" + NoteLine(note) + "\")"; }

struct Meaning {
  FindingKind kind;
  std::string message;
};

// What a reading or decoding note means for the picture; nothing for the notes that are named
// elsewhere (passed-over chunks, the entity table) or that a check never meets.
std::optional<Meaning> MeaningOf(const LoadNote& note, std::uint64_t fileSize) {
  switch (note.kind) {
    case NoteKind::kIndexedBeforeGffi:
      return Meaning{
          FindingKindOf(note.kind),
          "an indexed record comes before any GFFI record: it and every record after it are dropped " + Quoted(note)};
    case NoteKind::kUnknownEncoding:
      return Meaning{FindingKindOf(note.kind),
                     "unknown encoding \"" + TagText(note.detail) + "\": drawn as index 0 " + Quoted(note)};
    case NoteKind::kSegmentOverrun:
      return Meaning{FindingKindOf(note.kind), "an NRML command runs past its segment's pixel count " + Quoted(note)};
    case NoteKind::kDataRanOut:
      return Meaning{FindingKindOf(note.kind),
                     "the frame's data ends before the frame does: decoded as far as it goes " + Quoted(note)};
    case NoteKind::kFirstRowNotZero:
      return Meaning{FindingKindOf(note.kind), "the first row is not row 0 " + Quoted(note)};
    case NoteKind::kIndexChunkCutShort:
      return Meaning{FindingKindOf(note.kind), "index chunk " + std::string(UnreadChunkText(note.kind)) + " " +
                                                   Extent(note, fileSize) +
                                                   ": the records indexed by it lose their chunks"};
    case NoteKind::kChunkOutOfReach:
    case NoteKind::kChunkLargerThanFile:
    case NoteKind::kChunkOverBudget:
      return Meaning{FindingKindOf(note.kind),
                     std::string(UnreadChunkText(note.kind)) + " " + Extent(note, fileSize) + ": not read"};
    case NoteKind::kChunkCutShort:
      return Meaning{FindingKindOf(note.kind), std::string(UnreadChunkText(note.kind)) + " " + Extent(note, fileSize) +
                                                   ": the missing bytes read as 0"};
    default:
      return std::nullopt;
  }
}

// The findings for what the reading and decoding met, in the order they met it. Once a chunk
// cannot be read, the load passes every later one over: their number goes with that finding.
void AddLoadFindings(const std::vector<LoadNote>& notes, const std::string& path, std::uint64_t fileSize,
                     std::vector<Finding>& findings) {
  std::optional<std::size_t> failure;
  std::size_t passedOver = 0;
  for (const LoadNote& note : notes) {
    if (note.kind == NoteKind::kChunkPassedOver) {
      ++passedOver;
      continue;
    }
    std::optional<Meaning> meaning = MeaningOf(note, fileSize);
    if (!meaning) {
      continue;
    }
    if (FailsTheLoad(note.kind)) {
      failure = findings.size();
    }
    findings.push_back({path, meaning->kind, ChunkPlace(ChunkOf(note)), PlaceOf(note), std::move(meaning->message)});
  }
  if (failure && passedOver > 0) {
    findings[*failure].message +=
        "; " + Plural(passedOver, "chunk after it is", "chunks after it are") + " passed over";
  }
}

// A directory that the end of the file cuts short loses the records it does not hold whole.
void CheckDirectoryExtent(const GffFile& file, const std::string& path, std::vector<Finding>& findings) {
  if (file.directoryLengthCutShort() || file.directoryEnd() > file.size()) {
    findings.push_back({path, FindingKind::kDirectoryCutShort, ProblemPlace(), "directory",
                        "runs past the end of the file (position " + std::to_string(file.directoryPosition()) +
                            ", length " + std::to_string(file.directoryLength()) + ", file " +
                            std::to_string(file.size()) + " bytes): the records it does not hold whole are lost"});
  }
}

// Why the viewer's region switch would turn the region away, by the switch's own rule, listed
// palette, tiles, map.
void AddRejections(const std::vector<LoadNote>& rejections, const std::string& path, std::vector<Finding>& findings) {
  for (const NoteKind kind : {NoteKind::kPaletteRejected, NoteKind::kTilesRejected, NoteKind::kMapRejected}) {
    for (const LoadNote& note : rejections) {
      if (note.kind != kind) {
        continue;
      }
      FindingKind finding = note.chunk ? FindingKind::kShortMap : FindingKind::kNoMap;
      if (kind == NoteKind::kTilesRejected) {
        finding = note.value == 0 ? FindingKind::kNoTiles : FindingKind::kTooManyTiles;
      } else if (kind == NoteKind::kPaletteRejected) {
        finding = note.chunk ? FindingKind::kShortPalette : FindingKind::kNoPalette;
      }
      const RejectionWords words = WordsFor(note);
      findings.push_back({path, finding, ChunkPlace(words.chunk), words.chunk,
                          words.problem + ": " + std::string(kRegionWouldNotLoad)});
    }
  }
}

void CheckTiles(const Region& region, const std::string& path, std::vector<Finding>& findings) {
  // Tiles that were never read are reported with the read that failed.
  const auto read = std::min(static_cast<std::size_t>(std::max(region.tilesRead, 0)), region.tiles.size());
  for (std::size_t index = 0; index < read; ++index) {
    const FrameSet& tile = region.tiles[index];
    const std::string chunk = ChunkLabel(kTagTile, tile.number);
    const std::string where = chunk + " (tile " + std::to_string(index) + ")";
    if (tile.frames.empty()) {
      findings.push_back(
          {path, FindingKind::kTileWithoutFrames, ChunkPlace(chunk), where, "no frames: drawn as index 0"});
      continue;
    }
    const Frame& frame = tile.frames.front();
    if (!frame.HasPixels()) {
      findings.push_back(
          {path, FindingKind::kTileWithoutPixels, ChunkPlace(chunk), where, "frame 0 has no pixels: drawn as index 0"});
    } else if (!FillsTileSquare(frame)) {
      const std::string square = std::to_string(kTileSize) + " x " + std::to_string(kTileSize);
      findings.push_back({path, FindingKind::kTileWrongSize, ChunkPlace(chunk), where,
                          "frame 0 is " + std::to_string(frame.width) + " x " + std::to_string(frame.height) +
                              ", not " + square + ": only the part inside " + square +
                              " is drawn, the rest as index 0"});
    }
    if (HasSeveralFrames(tile)) {
      LoadNote line;
      line.kind = NoteKind::kTileWithSeveralFrames;
      findings.push_back({path, FindingKindOf(line.kind), ChunkPlace(chunk), where,
                          std::to_string(tile.frames.size()) + " frames: only frame 0 is drawn " + Quoted(line)});
    }
  }
}

void CheckMap(const Region& region, const std::string& path, std::vector<Finding>& findings) {
  if (!region.mapData || region.mapSize < kMapBytes || region.tileCount <= 0 || !region.mapChunk) {
    return;
  }
  std::size_t beyond = 0;
  std::size_t first = 0;
  unsigned highest = 0;
  for (std::size_t cell = 0; cell < kMapBytes; ++cell) {
    const unsigned index = (*region.mapData)[cell];
    if (DrawnTile(static_cast<std::int32_t>(index), region.tileCount) != static_cast<std::int32_t>(index)) {
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
  const std::string chunk = ChunkLabel(kTagMap, region.mapChunk->number);
  // The place is the first such cell.
  ProblemPlace place = ChunkPlace(chunk);
  place.cellX = static_cast<std::uint32_t>(first % kMapColumns);
  place.cellY = static_cast<std::uint32_t>(first / kMapColumns);
  findings.push_back({path, FindingKind::kMapTileOutOfRange, std::move(place), chunk,
                      Plural(beyond, "cell names", "cells name") + " a tile beyond the region's " +
                          Plural(static_cast<std::size_t>(region.tileCount), "tile", "tiles") + " (indices up to " +
                          std::to_string(highest) + "; first at column " + std::to_string(first % kMapColumns) +
                          ", row " + std::to_string(first / kMapColumns) + "): drawn with tile 0"});
}

// Why the object layer passes an entity over, from the note that says so.
std::string EntityProblem(const LoadNote& note, const Entity& entity, const ObjectLibrary& library) {
  const std::string object = "object " + std::to_string(entity.objectId);
  const std::string definition = "OJFF " + std::to_string(entity.objectId);
  if (note.kind == NoteKind::kEntityWithoutDefinition) {
    return object + ", which the library does not have (no " + definition + ")";
  }
  if (note.kind == NoteKind::kEntityDefinitionWrongSize) {
    return object + ", whose definition (" + definition + ") is not " + std::to_string(kObjectDefSize) + " bytes long";
  }
  const std::uint32_t bitmapId = library.objectDefs.at(static_cast<std::int32_t>(entity.objectId))->bitmapId;
  const std::string bitmap = "bitmap " + std::to_string(bitmapId);
  const std::string chunk = "BMP " + std::to_string(bitmapId);
  switch (note.kind) {
    case NoteKind::kEntityWithoutBitmap:
      return object + ", whose " + bitmap + " the library does not have (no " + chunk + ")";
    case NoteKind::kEntityBitmapWithoutFrames:
      return object + ", whose " + bitmap + " (" + chunk + ") has no frames";
    case NoteKind::kEntityBitmapTooLarge:
      return object + ", whose " + bitmap + " (" + chunk + ") has a frame 0 wider or taller than " +
             std::to_string(kLargestObjectSide) + " pixels";
    default:
      return object + ", whose " + bitmap + " (" + chunk + ") has no pixels in frame 0";
  }
}

void CheckEntities(const Region& region, const std::vector<LoadNote>& notes, const ObjectLibrary* library,
                   const std::string& path, std::vector<Finding>& findings) {
  for (const LoadNote& note : notes) {
    if (note.kind == NoteKind::kEntityTableRejected) {
      findings.push_back({path, FindingKindOf(note.kind), ChunkPlace(ChunkOf(note)), PlaceOf(note),
                          Plural(note.value, "byte", "bytes") + ", not a multiple of " +
                              std::to_string(kEntityRecordSize) + ": no object of the region is drawn"});
    }
  }
  if (library == nullptr || !region.entities || !region.entityChunk) {
    return;
  }
  const std::string where = ChunkLabel(kTagEtab, region.entityChunk->number);
  std::vector<LoadNote> undrawn;
  NoteUndrawnEntities(*region.entities, *library, LoadReport::Into(undrawn));
  // One line per problem, however many entities share it.
  struct Group {
    FindingKind kind = FindingKindOf(NoteKind::kEntityWithoutDefinition);
    std::size_t count = 0;
    std::size_t firstIndex = 0;
    const Entity* first = nullptr;
  };
  std::vector<std::string> order;
  std::map<std::string, Group> groups;
  for (const LoadNote& note : undrawn) {
    const auto index = static_cast<std::size_t>(note.value);
    const Entity& entity = (*region.entities)[index];
    const std::string problem = EntityProblem(note, entity, *library);
    Group& group = groups[problem];
    if (group.count++ == 0) {
      group.kind = FindingKindOf(note.kind);
      group.firstIndex = index;
      group.first = &entity;
      order.push_back(problem);
    }
  }
  for (const std::string& problem : order) {
    const Group& group = groups[problem];
    // The place is the first entity that names it.
    ProblemPlace place = ChunkPlace(where);
    place.entity = static_cast<std::uint32_t>(group.firstIndex);
    findings.push_back({path, group.kind, std::move(place), where,
                        Plural(group.count, "entity names", "entities name") + " " + problem + " (first: entity " +
                            std::to_string(group.firstIndex) + " at " + std::to_string(group.first->x) + ", " +
                            std::to_string(group.first->y) + "): not drawn"});
  }
}

// Opens `bytes` as a container for a load with `report`: its size, or nothing with the one
// finding that says why it cannot be loaded and what that means (`consequence`). A directory that
// the file cuts short is a finding of its own, made before the load's.
std::optional<std::uint64_t> OpenChecked(std::vector<std::uint8_t> bytes, const std::string& path,
                                         std::string_view consequence, const LoadReport& report, GffFile& file,
                                         std::vector<Finding>& findings) {
  if (!file.OpenBytes(std::move(bytes), report)) {
    findings.push_back({path, FindingKind::kNotContainer, ProblemPlace(), "",
                        std::string(kNotContainer) + ": " + std::string(consequence)});
    return std::nullopt;
  }
  CheckDirectoryExtent(file, path, findings);
  return file.size();
}

// The file's bytes; nothing, with the finding that says why they cannot be read, when they cannot.
std::optional<std::vector<std::uint8_t>> ReadChecked(const std::string& path, std::string_view consequence,
                                                     std::vector<Finding>& findings) {
  std::optional<std::vector<std::uint8_t>> bytes = ReadWholeFile(path);
  if (!bytes) {
    findings.push_back({path, FindingKind::kUnreadable, ProblemPlace(), "",
                        "cannot be read (" + InputProblem(path) + "): " + std::string(consequence)});
  }
  return bytes;
}

bool NamedLikeLibrary(const std::filesystem::path& path) {
  std::string name = platform::PathText(path.filename());
  for (char& c : name) {
    c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  }
  return name == kObjectLibraryFileName;
}

CheckedFile LibraryFile(const std::string& path, LibraryCheck& check) {
  return {path, check.loads, false, std::move(check.findings)};
}

CheckedFile RegionFile(const std::string& path, RegionCheck check) {
  return {path, check.loads, true, std::move(check.findings)};
}

// The whole folder, as the viewer would meet it: the library first, then every region.
void CheckFolder(const std::filesystem::path& folder, JobContext& context, GameCheckResult& result) {
  const std::string libraryPath = ObjectLibraryIn(platform::PathText(folder));
  const RegionFileList regionFiles = RegionFilesIn(platform::PathText(folder));
  const std::vector<std::string>& names = regionFiles.names;
  const std::size_t items = 1 + names.size();
  context.Report(0, items, libraryPath);
  if (context.Cancelled()) {
    result.problems.push_back({libraryPath, ProblemKind::kCancelled, "cancelled before this file was checked", {}});
    return;
  }
  LibraryCheck library = CheckLibrary(libraryPath);
  result.files.push_back(LibraryFile(libraryPath, library));
  if (!regionFiles.problem.empty()) {
    const std::string path = platform::PathText(folder);
    Finding none{path, FindingKind::kNoRegions, ProblemPlace(), "",
                 regionFiles.problem + ": the viewer cannot start (\"Unable to find region files!\")"};
    result.files.push_back({path, false, false, {std::move(none)}});
  }
  for (std::size_t i = 0; i < names.size(); ++i) {
    const std::string path = platform::PathText(folder / platform::NativePath(names[i]));
    context.Report(1 + i, items, path);
    if (context.Cancelled()) {
      result.problems.push_back({path, ProblemKind::kCancelled, "cancelled before this file was checked", {}});
      return;
    }
    result.files.push_back(RegionFile(path, CheckRegion(path, library.library.get())));
  }
  context.Report(items, items);
}

// One file: the library by itself, or a region against the library beside it.
void CheckFile(const std::filesystem::path& file, JobContext& context, GameCheckResult& result) {
  const std::string path = platform::PathText(file);
  context.Report(0, 1, path);
  if (NamedLikeLibrary(file) || LooksLikeLibraryFile(path)) {
    result.input = CheckedInput::kLibrary;
    LibraryCheck library = CheckLibrary(path);
    result.files.push_back(LibraryFile(path, library));
    context.Report(1, 1);
    return;
  }
  result.input = CheckedInput::kRegion;
  const std::string besideIt = LibraryBeside(path);
  std::unique_ptr<ObjectLibrary> library;
  if (!besideIt.empty()) {
    library = std::move(CheckLibrary(besideIt).library);
  }
  if (!library) {
    const std::string words = "no readable " + std::string(kObjectLibraryFileName) + " beside " + path +
                              ": the objects of its entities are not checked";
    result.problems.push_back({path, ProblemKind::kNote, words, ProblemPlace()});
  }
  result.files.push_back(RegionFile(path, CheckRegion(path, library.get())));
  context.Report(1, 1);
}

}  // namespace

std::string_view FindingKindName(FindingKind kind) {
  if (kind >= FindingKind::kFirstNoteKind) {
    return NoteKindName(static_cast<NoteKind>(static_cast<int>(kind) - static_cast<int>(FindingKind::kFirstNoteKind)));
  }
  switch (kind) {
    case FindingKind::kLibraryMissing:
      return "library-missing";
    case FindingKind::kUnreadable:
      return "unreadable";
    case FindingKind::kNotContainer:
      return "not-container";
    case FindingKind::kNoBitmaps:
      return "no-bitmaps";
    case FindingKind::kNoRegions:
      return "no-regions";
    case FindingKind::kDirectoryCutShort:
      return "directory-cut-short";
    case FindingKind::kNoPalette:
      return "no-palette";
    case FindingKind::kShortPalette:
      return "short-palette";
    case FindingKind::kNoTiles:
      return "no-tiles";
    case FindingKind::kTooManyTiles:
      return "too-many-tiles";
    case FindingKind::kNoMap:
      return "no-map";
    case FindingKind::kShortMap:
      return "short-map";
    case FindingKind::kTileWithoutFrames:
      return "tile-without-frames";
    case FindingKind::kTileWithoutPixels:
      return "tile-without-pixels";
    case FindingKind::kTileWrongSize:
      return "tile-wrong-size";
    case FindingKind::kMapTileOutOfRange:
      return "map-tile-out-of-range";
    default:
      return "unknown";
  }
}

std::string FindingLine(const Finding& finding) {
  return finding.where.empty() ? finding.message : finding.where + ": " + finding.message;
}

std::string FindingText(const Finding& finding) { return finding.file + ": " + ShownText(FindingLine(finding)); }

LibraryCheck CheckLibrary(const std::string& path) {
  LibraryCheck result;
  std::error_code error;
  if (!std::filesystem::exists(platform::NativePath(path), error)) {
    result.findings.push_back(
        {path, FindingKind::kLibraryMissing, ProblemPlace(), "", "missing: " + std::string(kViewerCannotStart)});
    return result;
  }
  std::optional<std::vector<std::uint8_t>> bytes = ReadChecked(path, kViewerCannotStart, result.findings);
  return bytes ? CheckLibraryBytes(std::move(*bytes), path) : std::move(result);
}

LibraryCheck CheckLibraryBytes(std::vector<std::uint8_t> bytes, const std::string& path) {
  LibraryCheck result;
  std::vector<LoadNote> notes;
  const LoadReport report = LoadReport::Into(notes).ForFile(path);
  GffFile file;
  const std::optional<std::uint64_t> fileSize =
      OpenChecked(std::move(bytes), path, kViewerCannotStart, report, file, result.findings);
  if (!fileSize) {
    return result;
  }
  result.library = LoadObjectLibrary(file, report);
  AddLoadFindings(notes, path, *fileSize, result.findings);
  if (result.library) {
    std::string problem = LoadedLibraryProblem(*result.library);
    result.loads = problem.empty();
    if (!result.loads) {
      result.findings.push_back({path, FindingKind::kNoBitmaps, ProblemPlace(), "", std::move(problem)});
    }
  }
  return result;
}

RegionCheck CheckRegion(const std::string& path, const ObjectLibrary* library) {
  RegionCheck result;
  std::optional<std::vector<std::uint8_t>> bytes = ReadChecked(path, kRegionWouldNotLoad, result.findings);
  return bytes ? CheckRegionBytes(std::move(*bytes), path, library) : std::move(result);
}

RegionCheck CheckRegionBytes(std::vector<std::uint8_t> bytes, const std::string& path, const ObjectLibrary* library) {
  RegionCheck result;
  std::vector<LoadNote> notes;
  const LoadReport report = LoadReport::Into(notes).ForFile(path);
  GffFile file;
  const std::optional<std::uint64_t> fileSize =
      OpenChecked(std::move(bytes), path, kRegionWouldNotLoad, report, file, result.findings);
  if (!fileSize) {
    return result;
  }
  const std::unique_ptr<Region> region = LoadRegion(file, report);
  AddLoadFindings(notes, path, *fileSize, result.findings);
  result.rejections = RegionRejections(*region);
  result.loads = result.rejections.empty();
  AddRejections(result.rejections, path, result.findings);
  CheckTiles(*region, path, result.findings);
  CheckMap(*region, path, result.findings);
  CheckEntities(*region, notes, library, path, result.findings);
  return result;
}

std::size_t GameCheckResult::RegionCount() const {
  return static_cast<std::size_t>(
      std::count_if(files.begin(), files.end(), [](const CheckedFile& file) { return file.region; }));
}

std::size_t GameCheckResult::FailedRegionCount() const {
  return static_cast<std::size_t>(
      std::count_if(files.begin(), files.end(), [](const CheckedFile& file) { return file.region && !file.loads; }));
}

std::size_t GameCheckResult::FindingCount() const {
  std::size_t count = 0;
  for (const CheckedFile& file : files) {
    count += file.findings.size();
  }
  return count;
}

bool GameCheckResult::Passed() const {
  return std::all_of(files.begin(), files.end(), [](const CheckedFile& file) { return file.loads; }) &&
         std::none_of(problems.begin(), problems.end(),
                      [](const JobProblem& problem) { return problem.kind != ProblemKind::kNote; });
}

GameCheckResult CheckGame(const std::string& path, JobContext& context) {
  GameCheckResult result;
  std::error_code error;
  const std::filesystem::path native = platform::NativePath(path);
  if (std::filesystem::is_directory(native, error)) {
    CheckFolder(native, context, result);
  } else if (std::string problem = InputProblem(path); !problem.empty()) {
    result.problems.push_back({path, ProblemKind::kUnreadable, std::move(problem), {}});
  } else {
    CheckFile(native, context, result);
  }
  return result;
}

}  // namespace karst::tools
