#include "workbench/model/folder_opening.h"

#include <filesystem>
#include <sstream>
#include <system_error>
#include <utility>

#include "authoring/sample_world.h"
#include "data/region.h"
#include "platform/file_safety.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/user_folders.h"
#include "tools/files/game_folder.h"
#include "tools/files/input_file.h"
#include "tools/files/output_file.h"
#include "tools/files/unique_names.h"
#include "tools/inspect/directory_listing.h"
#include "tools/job/job_context.h"
#include "workbench/model/folder_browser.h"
#include "workbench/model/window_text.h"

namespace karst::workbench {
namespace {

std::string Joined(const std::string& folder, const std::string& name) {
  return platform::PathText(platform::NativePath(folder) / platform::NativePath(name));
}

OpenedPath Failed(std::string problem) {
  OpenedPath failed;
  failed.problem = std::move(problem);
  return failed;
}

std::string Missing(const std::string& path) {
  return path + ": " + std::make_error_code(std::errc::no_such_file_or_directory).message();
}

// The folder's region files and library, or why it cannot be read.
void ReadFolder(OpenedPath& opened) {
  std::error_code error;
  const std::filesystem::directory_iterator readable(platform::NativePath(opened.folder), error);
  if (error) {
    opened = Failed(opened.folder + ": " + error.message());
    return;
  }
  const tools::RegionFileList regions = tools::RegionFilesIn(opened.folder);
  for (const std::string& name : regions.names) {
    opened.regionFiles.push_back(Joined(opened.folder, name));
  }
  if (regions.names.empty()) {
    opened.note = opened.folder + ": " + regions.problem;
  }
  const std::string library = tools::ObjectLibraryIn(opened.folder);
  if (platform::InspectPath(library).kind == platform::FileKind::kRegular) {
    opened.library = library;
  }
}

OpenedKind KindOfFile(const std::string& path, const std::string& folderLibrary) {
  const std::string name = platform::FileNameOf(path);
  if (path == folderLibrary || tools::LooksLikeLibraryFile(path)) {
    return OpenedKind::kLibrary;
  }
  if (platform::WildcardMatch(kRegionFilePattern, name)) {
    return OpenedKind::kRegion;
  }
  return OpenedKind::kOtherContainer;
}

}  // namespace

OpenedPath OpenPath(const std::string& path) {
  if (path.empty()) {
    return Failed("no folder or file was given");
  }
  std::string absolute = AbsolutePath(path);
  platform::FileKind kind = platform::InspectPath(absolute).kind;
  if (kind == platform::FileKind::kMissing) {
    // As the game's own platform finds files: "rgn01.gff" opens RGN01.GFF.
    const std::filesystem::path native = platform::NativePath(absolute);
    const std::string found =
        platform::LocateFile(platform::PathText(native.parent_path()), platform::PathText(native.filename()));
    if (found.empty()) {
      return Failed(Missing(path));
    }
    absolute = found;
    kind = platform::InspectPath(absolute).kind;
  }
  OpenedPath opened;
  if (kind == platform::FileKind::kDirectory) {
    opened.folder = absolute;
    ReadFolder(opened);
    return opened;
  }
  opened.folder = ParentFolder(absolute);
  opened.selected = absolute;
  ReadFolder(opened);
  // The file as its folder spells it, also where the system found it under another case.
  for (const std::string& spelled : opened.regionFiles) {
    if (tools::FoldCase(spelled) == tools::FoldCase(absolute)) {
      opened.selected = spelled;
    }
  }
  if (opened.problem.empty()) {
    opened.kind = KindOfFile(absolute, opened.library);
  }
  return opened;
}

std::vector<std::string> ChunkLines(const std::string& path) {
  tools::JobContext context;
  const tools::DirectoriesResult result = tools::ReadDirectories({path}, context);
  std::vector<std::string> lines;
  for (const tools::ContainerDirectory& listed : result.files) {
    for (const tools::JobProblem& note : listed.notes) {
      lines.push_back(listed.file + ": " + WindowText(note.words));
    }
    if (listed.problem) {
      lines.push_back(listed.file + ": " + listed.problem->words);
      continue;
    }
    for (const std::string& warning : listed.warnings) {
      lines.push_back(listed.file + ": warning: " + warning);
    }
    std::istringstream listing(tools::DirectoryListing(listed.file, listed.records));
    for (std::string line; std::getline(listing, line);) {
      lines.push_back(line);
    }
  }
  return lines;
}

std::string SampleWorldFolder() {
  const std::string data = platform::DataFolder();
  return data.empty() ? std::string() : Joined(Joined(data, "karst"), "sample-world");
}

std::string EnsureSampleWorld() {
  const std::string folder = SampleWorldFolder();
  return folder.empty() ? "no data folder is known to write the sample world into" : EnsureSampleWorldIn(folder);
}

std::string EnsureSampleWorldIn(const std::string& folder) {
  if (std::string problem = tools::MakeOutputFolder(folder); !problem.empty()) {
    return folder + ": " + problem;
  }
  for (const authoring::WorldFile& file : authoring::MakeSampleWorld()) {
    // A file there in any case is the world's own, perhaps edited since: it is kept.
    if (!platform::LocateFile(folder, file.name).empty()) {
      continue;
    }
    const std::string target = Joined(folder, file.name);
    if (std::string problem = tools::WriteOutput(target, file.bytes); !problem.empty()) {
      return target + ": " + problem;
    }
  }
  return {};
}

}  // namespace karst::workbench
