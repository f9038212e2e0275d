#include "tools/files/input_file.h"

#include <filesystem>
#include <fstream>
#include <iterator>
#include <system_error>

#include "data/object_library.h"
#include "data/region.h"
#include "gff/gff_file.h"
#include "platform/paths.h"

namespace karst::tools {
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

std::unique_ptr<Region> ReadRegionInput(const std::string& path, const LoadReport& report, JobProblem& problem) {
  problem = {path, ProblemKind::kUnreadable, InputProblem(path), {}};
  if (!problem.words.empty()) {
    return nullptr;
  }
  std::unique_ptr<Region> region = LoadRegion(path, report);
  if (region == nullptr) {
    problem = {path, ProblemKind::kNotContainer, std::string(kNotContainer), {}};
    return nullptr;
  }
  // Looked at before any display is asked, so the reason can be named; the viewer would say
  // "Error loading zone!".
  if (std::string rejection = LoadedRegionProblem(*region); !rejection.empty()) {
    problem = {path,
               ProblemKind::kWouldNotLoad,
               LooksLikeLibraryFile(path) ? std::string(kLibraryNotRegion) + ": it has no palette, tiles or map"
                                          : std::move(rejection),
               {}};
    return nullptr;
  }
  return region;
}

std::unique_ptr<Region> ReadRegionInput(const std::string& path, const LoadReport& report, std::string& error) {
  JobProblem problem;
  std::unique_ptr<Region> region = ReadRegionInput(path, report, problem);
  error = std::move(problem.words);
  return region;
}

std::unique_ptr<ObjectLibrary> ReadLibraryInput(const std::string& path, const LoadReport& report,
                                                JobProblem& problem) {
  problem = {path, ProblemKind::kUnreadable, InputProblem(path), {}};
  if (!problem.words.empty()) {
    return nullptr;
  }
  std::unique_ptr<ObjectLibrary> library = LoadObjectLibrary(path, report);
  if (library == nullptr) {
    problem = {path, ProblemKind::kNotContainer, std::string(kNotContainer), {}};
    return nullptr;
  }
  if (std::string rejection = LoadedLibraryProblem(*library); !rejection.empty()) {
    problem = {path, ProblemKind::kWouldNotLoad, std::move(rejection), {}};
    return nullptr;
  }
  return library;
}

std::unique_ptr<ObjectLibrary> ReadLibraryInput(const std::string& path, const LoadReport& report, std::string& error) {
  JobProblem problem;
  std::unique_ptr<ObjectLibrary> library = ReadLibraryInput(path, report, problem);
  error = std::move(problem.words);
  return library;
}

}  // namespace karst::tools
