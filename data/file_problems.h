// Why a file of a game folder keeps the viewer from showing it, in one set of words: `karst-gff
// check` builds its findings from them, and the viewer names the file at fault with them when a
// run given a path fails.
#pragma once

#include <string>
#include <string_view>

#include "gff/gff_directory.h"
#include "gff/load_report.h"

namespace karst {

struct ObjectLibrary;
struct Region;

// What follows a region's problem, and the object library's.
inline constexpr std::string_view kRegionWouldNotLoad = "the region would not load";
inline constexpr std::string_view kViewerCannotStart =
    "the viewer cannot start (\"Unable to initialize DirectDraw and load object data!\")";
inline constexpr std::string_view kNotContainer = "not a GFF container (no \"GFFI\" header, or too short)";
// What a file given as a region is when its directory reads as an object library's; the caller
// follows it with what the region lacks.
inline constexpr std::string_view kLibraryNotRegion = "an object library, not a region";

// Why a chunk could not be read whole, for the notes that say so ("runs past the end of the
// file"), said of the chunk; empty for every other kind. The check follows it with where the
// chunk lies and what that means; a tool that needs the chunk says "it" before it.
std::string_view UnreadChunkText(NoteKind kind);

// Why `path` cannot be read as a file, in the system's words ("No such file or directory", "Is a
// directory", "Permission denied"); empty when it can be opened for reading.
std::string InputProblem(const std::string& path);

// One reason of RegionRejections (data/zone.h): the chunk it concerns ("PAL 3"; empty when the
// region has no such chunk) and what is wrong ("100 bytes, under the 768 of a palette", "no PAL
// chunk", "no TILE chunk").
struct RejectionWords {
  std::string chunk;
  std::string problem;
};
RejectionWords WordsFor(const LoadNote& rejection);

// Why the region at `path` cannot be shown, as the check's line after "FILE: " says it: "cannot
// be read (Permission denied): the region would not load", "PAL 3: 100 bytes, under the 768 of a
// palette: the region would not load" (the first reason the region switch meets). Empty when
// nothing in the file stands in the way. The file is read again, quietly.
std::string RegionProblem(const std::string& path);

// The same for a region already loaded: "PAL 3: 100 bytes, under the 768 of a palette: the region
// would not load", or empty.
std::string LoadedRegionProblem(const Region& region);

// The same for the object library at `path`: unreadable, no container, or no "BMP " frame set.
std::string LibraryProblem(const std::string& path);

// The same for a library already loaded: "no BMP frame set: the viewer cannot start (...)", or
// empty.
std::string LoadedLibraryProblem(const ObjectLibrary& library);

// Why a container whose directory is `directory` is no object library to read: "a region file (it
// has PAL, TILE or MAP chunks), not an object library", or "not an object library (no OJFF, BMP or
// CBMP chunks)". Empty when it reads as one (LooksLikeObjectLibrary).
std::string NotLibraryProblem(const GffDirectory& directory);

}  // namespace karst
