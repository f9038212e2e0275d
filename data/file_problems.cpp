#include "data/file_problems.h"

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <system_error>
#include <vector>

#include "data/object_library.h"
#include "data/region.h"
#include "data/zone.h"
#include "gff/format.h"
#include "platform/file_safety.h"
#include "platform/paths.h"

namespace karst {
namespace {

std::string Bytes(std::uint64_t count) { return std::to_string(count) + (count == 1 ? " byte" : " bytes"); }

std::string CannotBeRead(const std::string& problem, std::string_view consequence) {
  return "cannot be read (" + problem + "): " + std::string(consequence);
}

// Loads `path` with `load`. When the file cannot be read, or the loader gives nothing, `problem`
// gets why, followed by `consequence`, and the result is empty.
template <typename Load>
auto LoadOrSayWhy(const std::string& path, std::string_view consequence, Load load, std::string& problem) {
  decltype(load(path)) loaded;
  if (const std::string input = InputProblem(path); !input.empty()) {
    problem = CannotBeRead(input, consequence);
    return loaded;
  }
  loaded = load(path);
  if (loaded == nullptr) {
    problem = std::string(kNotContainer) + ": " + std::string(consequence);
  }
  return loaded;
}

}  // namespace

std::string InputProblem(const std::string& path) {
  std::error_code error;
  const std::filesystem::file_status status = std::filesystem::status(platform::NativePath(path), error);
  if (status.type() == std::filesystem::file_type::not_found) {
    return std::make_error_code(std::errc::no_such_file_or_directory).message();
  }
  if (status.type() == std::filesystem::file_type::directory) {
    return std::make_error_code(std::errc::is_a_directory).message();
  }
  // Opening says what the mode bits, access lists and mounts together allow.
  return platform::ReadableFileProblem(path);
}

std::string_view UnreadChunkText(NoteKind kind) {
  switch (kind) {
    case NoteKind::kChunkPassedOver:
      return "is passed over, as an earlier chunk could not be read";
    case NoteKind::kChunkOutOfReach:
      return "lies out of reach";
    case NoteKind::kChunkLargerThanFile:
      return "claims more bytes than the whole file holds";
    case NoteKind::kChunkOverBudget:
      return "needs more memory than a load of this file may take";
    case NoteKind::kIndexChunkCutShort:
    case NoteKind::kChunkCutShort:
      return "runs past the end of the file";
    default:
      return {};
  }
}

RejectionWords WordsFor(const LoadNote& rejection) {
  if (rejection.kind == NoteKind::kTilesRejected) {
    return {"", rejection.value == 0 ? "no TILE chunk"
                                     : std::to_string(rejection.value) + " tiles, more than the " +
                                           std::to_string(kMostTilesInStrip) + " a tile strip can hold"};
  }
  if (!rejection.chunk) {
    return {"", "no " + TagName(rejection.tag) + " chunk"};
  }
  const std::string chunk = TagName(rejection.tag) + " " + std::to_string(rejection.chunk->number);
  if (rejection.kind == NoteKind::kPaletteRejected) {
    return {chunk, Bytes(rejection.value) + ", under the " + std::to_string(kPaletteBytes) + " of a palette"};
  }
  return {chunk, Bytes(rejection.value) + ", under the " + std::to_string(kMapBytes) + " of a " +
                     std::to_string(kMapColumns) + " x " + std::to_string(kMapRows) + " map"};
}

std::string RegionProblem(const std::string& path) {
  std::string problem;
  const std::unique_ptr<Region> region = LoadOrSayWhy(
      path, kRegionWouldNotLoad, [](const std::string& file) { return LoadRegion(file, LoadReport()); }, problem);
  if (region == nullptr) {
    return problem;
  }
  return LoadedRegionProblem(*region);
}

std::string LoadedRegionProblem(const Region& region) {
  const std::vector<LoadNote> rejections = RegionRejections(region);
  if (rejections.empty()) {
    return {};
  }
  const RejectionWords words = WordsFor(rejections.front());
  return (words.chunk.empty() ? "" : words.chunk + ": ") + words.problem + ": " + std::string(kRegionWouldNotLoad);
}

std::string LibraryProblem(const std::string& path) {
  std::string problem;
  const std::unique_ptr<ObjectLibrary> library = LoadOrSayWhy(
      path, kViewerCannotStart, [](const std::string& file) { return LoadObjectLibrary(file, LoadReport()); }, problem);
  return library == nullptr ? problem : LoadedLibraryProblem(*library);
}

std::string LoadedLibraryProblem(const ObjectLibrary& library) {
  return library.bmpSets.empty() ? "no BMP frame set: " + std::string(kViewerCannotStart) : std::string();
}

std::string NotLibraryProblem(const GffDirectory& directory) {
  if (LooksLikeObjectLibrary(directory)) {
    return {};
  }
  for (const ChunkType& record : directory) {
    if (SameTag(record.tag, kTagPal) || SameTag(record.tag, kTagTile) || SameTag(record.tag, kTagMap)) {
      return "a region file (it has PAL, TILE or MAP chunks), not an object library";
    }
  }
  return "not an object library (no OJFF, BMP or CBMP chunks)";
}

}  // namespace karst
