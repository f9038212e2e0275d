#include "tools/files/input_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "data/object_library.h"
#include "data/region.h"
#include "data/zone.h"
#include "gff/gff_file.h"
#include "platform/paths.h"

namespace karst::tools {
namespace {

// Why the viewer would not show a region, as the error says it.
std::string RejectionText(const LoadNote& rejection) {
  switch (rejection.kind) {
    case NoteKind::kMapRejected:
      return "no \"MAP \" chunk of " + std::to_string(kMapBytes) + " bytes";
    case NoteKind::kPaletteRejected:
      return "no \"PAL \" chunk of " + std::to_string(kPaletteBytes) + " bytes";
    default:
      return rejection.value == 0 ? "no \"TILE\" chunk"
                                  : std::to_string(rejection.value) + " tiles, more than the " +
                                        std::to_string(kMostTilesInStrip) + " a tile strip can hold";
  }
}

}  // namespace

bool LooksLikeLibraryFile(const std::string& path) {
  GffFile file;
  return file.Open(platform::NativePath(path), LoadReport()) && LooksLikeObjectLibrary(file.directory());
}

std::optional<std::vector<std::uint8_t>> ReadWholeFile(const std::string& path) {
  std::error_code error;
  if (!std::filesystem::is_regular_file(platform::NativePath(path), error)) {
    return std::nullopt;
  }
  std::ifstream input(platform::NativePath(path), std::ios::binary);
  if (!input) {
    return std::nullopt;
  }
  // Read in one go at the size the file has now, then whatever it grew by meanwhile.
  const std::uintmax_t size = std::filesystem::file_size(platform::NativePath(path), error);
  std::vector<std::uint8_t> bytes(error ? 0 : static_cast<std::size_t>(size));
  input.read(reinterpret_cast<char*>(bytes.data()), static_cast<std::streamsize>(bytes.size()));
  bytes.resize(static_cast<std::size_t>(input.gcount()));
  if (input) {
    bytes.insert(bytes.end(), std::istreambuf_iterator<char>(input), std::istreambuf_iterator<char>());
  }
  if (input.bad()) {
    return std::nullopt;
  }
  return bytes;
}

std::unique_ptr<Region> ReadRegionInput(const std::string& path, const LoadReport& report, std::string& error) {
  if (std::string problem = InputProblem(path); !problem.empty()) {
    error = std::move(problem);
    return nullptr;
  }
  std::unique_ptr<Region> region = LoadRegion(path, report);
  if (region == nullptr) {
    error = kNotContainer;
    return nullptr;
  }
  // Looked at before any display is asked, so the reason can be named; the viewer would say
  // "Error loading zone!".
  if (const std::vector<LoadNote> rejections = RegionRejections(*region); !rejections.empty()) {
    error = LooksLikeLibraryFile(path) ? "an object library, not a region: it has no palette, tiles or map"
                                       : "the region cannot be shown: " + RejectionText(rejections.front());
    return nullptr;
  }
  return region;
}

std::unique_ptr<ObjectLibrary> ReadLibraryInput(const std::string& path, const LoadReport& report, std::string& error) {
  if (std::string problem = InputProblem(path); !problem.empty()) {
    error = std::move(problem);
    return nullptr;
  }
  std::unique_ptr<ObjectLibrary> library = LoadObjectLibrary(path, report);
  if (library == nullptr) {
    error = kNotContainer;
    return nullptr;
  }
  if (library->bmpSets.empty()) {
    error = "no \"BMP \" frame sets: the viewer would not start with it";
    return nullptr;
  }
  return library;
}

}  // namespace karst::tools
