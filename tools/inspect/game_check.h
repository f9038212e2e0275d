// What `karst-gff check` looks for: everything in a region file or the object library that would
// keep the viewer from loading a region or from drawing it as its data means it.
//
// The checks load a file with the viewer's own loaders and say what their notes mean, each with
// the chunk and frame it concerns; whether a region loads is the region switch's own rule
// (RegionRejections in data/zone.h). Then they look at what the loaders built.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include "data/object_library.h"
#include "gff/load_report.h"
#include "tools/job/job_context.h"
#include "tools/job/job_problem.h"

namespace karst::tools {

// What a finding is about, one value per kind of problem; FindingKindName gives each a short
// name that machine output keeps from release to release. The check's own kinds come first; then
// one kind for every kind of note the loaders make, in NoteKind's order (FindingKindOf), named
// as the note is (NoteKindName).
enum class FindingKind : std::uint8_t {
  kLibraryMissing,
  kUnreadable,
  kNotContainer,
  kNoBitmaps,
  kNoRegions,
  kDirectoryCutShort,
  kNoPalette,
  kShortPalette,
  kNoTiles,
  kTooManyTiles,
  kNoMap,
  kShortMap,
  kTileWithoutFrames,
  kTileWithoutPixels,
  kTileWrongSize,
  kMapTileOutOfRange,
  kFirstNoteKind,
  // The last kind: the last note kind's.
  kEntityBitmapTooLarge = kFirstNoteKind + static_cast<std::uint8_t>(NoteKind::kEntityBitmapTooLarge),
};

// The finding kind of a note kind.
constexpr FindingKind FindingKindOf(NoteKind kind) {
  return static_cast<FindingKind>(static_cast<int>(FindingKind::kFirstNoteKind) + static_cast<int>(kind));
}

// "no-palette", "chunk-cut-short", ...: lower case words joined by hyphens.
std::string_view FindingKindName(FindingKind kind);

// One problem: the file; where a window can show it (the chunk it concerns, "BMP 7", empty when
// it is about the file; the first map cell or entity it names); the place in the file as the line
// names it ("TILE 9 frame 0", "MAP 0", "directory"; empty for the whole file) and what is wrong,
// with its consequence.
struct Finding {
  std::string file;
  FindingKind kind = FindingKind::kUnreadable;
  ProblemPlace place;
  std::string where;
  std::string message;
};

// "where: message", or the message alone without a place: the finding as its file's line says it.
std::string FindingLine(const Finding& finding);

// "file: where: message", or "file: message" without a place, for a terminal: bytes of the game's
// files in the line (an unknown encoding's tag) are shown as ShownText shows them.
std::string FindingText(const Finding& finding);

struct LibraryCheck {
  std::vector<Finding> findings;
  // What the viewer would hold after loading; null when the file is missing or no container.
  std::unique_ptr<ObjectLibrary> library;
  // The viewer's start-up would get past the library: it is a container with a "BMP " frame set.
  bool loads = false;
};

struct RegionCheck {
  std::vector<Finding> findings;
  // The viewer's region switch would succeed.
  bool loads = false;
  // Why the switch would turn the region away, in the order it looks; empty when it loads or
  // when the file is no container.
  std::vector<LoadNote> rejections;
};

// Checks an object library file.
LibraryCheck CheckLibrary(const std::string& path);

// Checks a region file; its entities are checked against `library` when one is given.
RegionCheck CheckRegion(const std::string& path, const ObjectLibrary* library);

// The same checks of a file's bytes, before they are written: `path` names the file in the
// findings.
LibraryCheck CheckLibraryBytes(std::vector<std::uint8_t> bytes, const std::string& path);
RegionCheck CheckRegionBytes(std::vector<std::uint8_t> bytes, const std::string& path, const ObjectLibrary* library);

// One file the check job looked at (or the folder, for a finding about the folder) and whether the
// viewer would get past it.
struct CheckedFile {
  std::string file;
  bool loads = false;
  // A region file, counted among the regions checked.
  bool region = false;
  std::vector<Finding> findings;
};

// What the check job was given: a game folder, a region file, or the object library alone.
enum class CheckedInput { kFolder, kRegion, kLibrary };

struct GameCheckResult {
  CheckedInput input = CheckedInput::kFolder;
  // In the order checked: a folder's library, the folder itself when it has no region files, then
  // each region in the viewer's order; or the one file.
  std::vector<CheckedFile> files;
  // kUnreadable when the path cannot be read at all; kNote for a region checked without a
  // readable library beside it; kCancelled.
  std::vector<JobProblem> problems;

  std::size_t RegionCount() const;
  std::size_t FailedRegionCount() const;
  std::size_t FindingCount() const;
  // The viewer would start and load every region: every file loads, and nothing stopped the check.
  bool Passed() const;
};

// The check job. A folder: its OBJEX.GFF, then every RGN*.GFF in the viewer's order, one item each
// (the library first), cancelled between files. A file: that file alone, one item: the object
// library (by its name or its directory), or a region, checked against the OBJEX.GFF beside it.
GameCheckResult CheckGame(const std::string& path, JobContext& context);

}  // namespace karst::tools
