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

// One problem: the file, the chunk it concerns ("BMP 7"; empty when it is about the file), the
// place in the file ("TILE 9 frame 0", "MAP 0", "directory"; empty for the whole file) and what
// is wrong, with its consequence.
struct Finding {
  std::string file;
  FindingKind kind = FindingKind::kUnreadable;
  std::string chunk;
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

}  // namespace karst::tools
