#include "tools/pack/unpack_job.h"

#include <algorithm>
#include <filesystem>
#include <memory>
#include <optional>
#include <utility>

#include "data/region.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tools/files/game_folder.h"
#include "tools/files/input_file.h"
#include "tools/files/output_checks.h"
#include "tools/files/unique_names.h"
#include "tools/pack/pack_record.h"
#include "tools/pack/unpack_files.h"
#include "tools/pack/unpack_folder.h"
#include "tools/pictures/region_palette.h"
#include "tools/text/content_hash.h"

namespace karst::tools {
namespace {

namespace fs = std::filesystem;

// One container and the folder it goes into.
struct Planned {
  std::string input;
  std::string folder;
  EarlierUnpack earlier;
  // The object library a region's map is drawn with: the request's, or the one beside the file.
  std::string objects;
  // The container's bytes, read when the job is planned; nothing when they cannot be read.
  std::optional<std::vector<std::uint8_t>> bytes;
  // Restoring: the files of the folder to write again.
  std::vector<std::string> restore;

  Planned(std::string inputPath, std::string folderPath) : input(std::move(inputPath)), folder(std::move(folderPath)) {}
};

// The object library of the containers, read once for every run of them that draws with the same
// one; one the viewer would not start with draws no object.
struct Libraries {
  std::unique_ptr<ObjectLibrary> library;
  std::string from;

  const ObjectLibrary* For(const std::string& path) {
    if (path.empty()) {
      return nullptr;
    }
    if (path != from) {
      std::string reason;
      library = ReadLibraryInput(path, LoadReport(), reason);
      from = path;
    }
    return library.get();
  }
};

void Note(UnpackResult& result, std::string file, ProblemKind kind, std::string words, ProblemPlace place = {}) {
  result.problems.push_back({std::move(file), kind, std::move(words), std::move(place)});
}

// A problem that stops the job before its first file.
void Refuse(UnpackResult& result, std::string file, ProblemKind kind, std::string words, ProblemPlace place = {}) {
  Note(result, std::move(file), kind, std::move(words), std::move(place));
  result.refused = true;
}

std::string Joined(const std::vector<std::string>& names) {
  std::string text;
  for (const std::string& name : names) {
    text += (text.empty() ? "" : ", ") + name;
  }
  return text;
}

// The folder's earlier unpack; false after refusing it.
bool InspectTarget(Planned& planned, bool overEdits, UnpackResult& result) {
  std::string problem;
  std::optional<EarlierUnpack> earlier =
      InspectUnpackTarget(planned.folder, planned.bytes ? ContentHash(*planned.bytes) : std::string(), problem);
  if (!earlier) {
    Refuse(result, planned.folder, ProblemKind::kOutputExists, problem);
    return false;
  }
  if (!earlier->changed.empty() && !overEdits) {
    Refuse(result, planned.folder, ProblemKind::kEditsWouldBeLost,
           "is an earlier unpack in which files were changed (" + Joined(earlier->changed) +
               "): unpacking again would lose those edits");
    return false;
  }
  planned.earlier = std::move(*earlier);
  return true;
}

// Hands the restored path `path` (from the current folder, or from `output`) to the container
// whose folder holds it, as a name inside that folder; false when none does.
bool AssignRestore(std::vector<Planned>& plan, const std::string& output, std::string path) {
  while (path.size() > 1 && platform::IsPathSeparator(path.back())) {
    path.pop_back();
  }
  std::error_code error;
  for (const fs::path& place : {fs::absolute(platform::NativePath(path), error),
                                fs::absolute(platform::NativePath(output) / platform::NativePath(path), error)}) {
    for (Planned& planned : plan) {
      const fs::path root = fs::absolute(platform::NativePath(planned.folder), error).lexically_normal();
      const fs::path inside = place.lexically_normal().lexically_relative(root);
      if (!inside.empty() && *inside.begin() != ".." && inside != ".") {
        std::string name = platform::PathText(inside);
        std::replace(name.begin(), name.end(), platform::kPathSeparator, '/');
        planned.restore.push_back(name);
        return true;
      }
    }
  }
  return false;
}

// The containers of a single file or of every GFF file of a game folder, each checked; empty
// after refusing. `gameFolder` says which it was.
std::vector<Planned> Plan(const UnpackRequest& request, bool& gameFolder, UnpackResult& result) {
  std::vector<Planned> plan;
  const fs::path input = platform::NativePath(request.input);
  std::error_code error;
  gameFolder = fs::is_directory(input, error);
  if (gameFolder) {
    UniqueNames folders;
    for (const std::string& name : platform::FindFiles(platform::PathText(input / "*.GFF"))) {
      const fs::path file = input / platform::NativePath(name);
      if (fs::is_directory(file, error)) {
        continue;
      }
      const std::string stem = folders.Claim(platform::PathText(platform::NativePath(name).stem()));
      plan.emplace_back(platform::PathText(file),
                        platform::PathText(platform::NativePath(request.output) / platform::NativePath(stem)));
    }
    if (plan.empty()) {
      Refuse(result, request.input, ProblemKind::kNotContainer, "holds no .GFF file");
    }
  } else if (const std::string problem = InputProblem(request.input); !problem.empty()) {
    Refuse(result, request.input, ProblemKind::kUnreadable, problem);
  } else {
    plan.emplace_back(request.input, request.output);
  }
  for (const std::string& path : request.restore) {
    if (!plan.empty() && !AssignRestore(plan, request.output, path)) {
      Refuse(result, path, ProblemKind::kEditRefused, "lies in no folder of " + request.output + " that unpack writes");
      return {};
    }
  }
  const bool restoring = !request.restore.empty();
  std::erase_if(plan, [&](const Planned& planned) { return restoring && planned.restore.empty(); });
  for (Planned& planned : plan) {
    planned.objects = !request.objects.empty() ? request.objects : LibraryBeside(planned.input);
    planned.bytes = ReadWholeFile(planned.input);
    if (!restoring && !InspectTarget(planned, request.overEdits, result)) {
      return {};
    }
  }
  return plan;
}

// A region whose colours the pictures of `file` can have: the first beside it, else a stand-in.
std::string RegionBeside(const std::string& file) {
  const fs::path folder = platform::NativePath(file).parent_path();
  const RegionFileList regions = RegionFilesIn(platform::PathText(folder));
  return regions.names.empty() ? "RGN.GFF" : platform::PathText(folder / platform::NativePath(regions.names.front()));
}

// The manifest of the folder `folder`, when it holds one of ours.
std::optional<Manifest> FolderManifest(const std::string& folder) {
  const std::optional<std::vector<std::uint8_t>> text =
      ReadWholeFile(platform::PathText(platform::NativePath(folder) / kManifestName));
  std::string problem;
  return text ? ParseManifest(*text, problem) : std::nullopt;
}

// The files a restore writes into one folder, with what unpack writes for them now.
struct Restoring {
  const Planned* planned = nullptr;
  Unpacked fresh;
  std::vector<std::string> files;
  std::optional<Manifest> earlier;  // the folder's manifest, when it has one of ours
};

// What `planned` restores; nothing after refusing.
std::optional<Restoring> PlanRestore(const Planned& planned, Unpacked fresh, UnpackResult& result) {
  Restoring restoring{&planned, std::move(fresh), {}, FolderManifest(planned.folder)};
  std::string problem;
  std::optional<std::vector<std::string>> files = RestoredFiles(restoring.fresh.files, planned.restore, problem);
  if (!files) {
    Refuse(result, planned.folder, ProblemKind::kEditRefused, problem);
    return std::nullopt;
  }
  restoring.files = std::move(*files);
  if (platform::InspectPath(platform::PathText(platform::NativePath(planned.folder) / kUnfinishedMarkName)).kind !=
      platform::FileKind::kMissing) {
    Refuse(result, planned.folder, ProblemKind::kUnfinished,
           "is an unpack that did not finish: unpacking into it again finishes it");
    return std::nullopt;
  }
  const bool manifestRestored =
      std::find(restoring.files.begin(), restoring.files.end(), kManifestName) != restoring.files.end();
  if (!restoring.earlier && !manifestRestored) {
    ProblemPlace place;
    place.form = kManifestName;
    Refuse(result, planned.folder, ProblemKind::kNotContainer,
           "holds no manifest.json of an unpack: it is no unpack folder", place);
    return std::nullopt;
  }
  const Manifest* earlier = restoring.earlier ? &*restoring.earlier : nullptr;
  if (earlier != nullptr && earlier->sourceHash != restoring.fresh.manifest.sourceHash &&
      !platform::SameFileName(earlier->source, restoring.fresh.manifest.source)) {
    Refuse(result, planned.folder, ProblemKind::kOutputExists,
           "was unpacked from " + earlier->source + ", not from " + planned.input +
               ": its files are restored from the file it was unpacked from");
    return std::nullopt;
  }
  return restoring;
}

// Writes the restored files of each folder again, and nothing else.
void Restore(std::vector<Planned>& plan, const UnpackOptions& unpackOptions, Libraries& libraries, JobContext& context,
             UnpackResult& result) {
  std::vector<Restoring> restorings;
  for (const Planned& planned : plan) {
    if (!planned.bytes) {
      Refuse(result, planned.input, ProblemKind::kUnreadable, "cannot be read");
      return;
    }
    UnpackOptions options = unpackOptions;
    options.source = platform::PathText(platform::NativePath(planned.input).filename());
    options.objects = libraries.For(planned.objects);
    // A library's pictures come back in the colours the folder's others have, unless told.
    if (const std::optional<Manifest> earlier = FolderManifest(planned.folder);
        !options.libraryColours && earlier && earlier->palettes.contains(kLibraryPaletteKey)) {
      options.libraryColours = earlier->palettes.at(kLibraryPaletteKey);
    }
    std::string problem;
    std::optional<Unpacked> fresh = UnpackContainer(*planned.bytes, options, problem);
    if (!fresh) {
      Refuse(result, planned.input, ProblemKind::kNotContainer, problem);
      return;
    }
    std::optional<Restoring> restoring = PlanRestore(planned, std::move(*fresh), result);
    if (!restoring) {
      return;
    }
    restorings.push_back(std::move(*restoring));
  }
  for (std::size_t i = 0; i < restorings.size(); ++i) {
    const Restoring& restoring = restorings[i];
    context.Report(i, restorings.size(), restoring.planned->folder);
    if (context.Cancelled()) {
      result.cancelled = true;
      Note(result, restoring.planned->folder, ProblemKind::kCancelled, "cancelled before it was restored");
      return;
    }
    if (const std::string failure =
            RestoreUnpackFiles(restoring.planned->folder, restoring.fresh.files, restoring.files);
        !failure.empty()) {
      Note(result, restoring.planned->folder, ProblemKind::kWriteFailed, failure);
      return;
    }
    UnpackedFolder folder;
    folder.input = restoring.planned->input;
    folder.folder = restoring.planned->folder;
    folder.kind = restoring.fresh.kind;
    folder.written = restoring.files;
    folder.finished = true;
    const std::string& now = restoring.fresh.manifest.sourceHash;
    if (restoring.earlier && !restoring.earlier->sourceHash.empty() && restoring.earlier->sourceHash != now) {
      folder.sourceChanged = true;
      const PackRecord record = ReadPackRecord(restoring.planned->folder);
      const PackRecordEntry* packed = record.Find(PackedFileKey(restoring.planned->input));
      folder.holdsLastPack = packed != nullptr && packed->hash == now;
    }
    result.folders.push_back(std::move(folder));
  }
  context.Report(restorings.size(), restorings.size());
}

// Unpacks every container of the plan into its folder; a container that cannot be read or is no
// container is passed over, said in a problem.
void UnpackAll(std::vector<Planned>& plan, bool gameFolder, UnpackOptions options, Libraries& libraries,
               JobContext& context, UnpackResult& result) {
  std::size_t total = gameFolder ? plan.size() : 1;
  for (std::size_t i = 0; i < plan.size(); ++i) {
    Planned& planned = plan[i];
    context.Report(gameFolder ? i : 0, total, planned.input);
    if (context.Cancelled()) {
      result.cancelled = true;
      Note(result, planned.folder, ProblemKind::kCancelled, "cancelled before it was unpacked");
      return;
    }
    if (!planned.bytes) {
      Note(result, planned.input, ProblemKind::kUnreadable, "cannot be read");
      continue;
    }
    options.source = platform::PathText(platform::NativePath(planned.input).filename());
    options.objects = libraries.For(planned.objects);
    std::string problem;
    const std::optional<Unpacked> unpacked = UnpackContainer(*planned.bytes, options, problem);
    planned.bytes.reset();
    if (!unpacked) {
      Note(result, planned.input, ProblemKind::kNotContainer, problem);
      continue;
    }
    UnpackedFolder folder;
    folder.input = planned.input;
    folder.folder = planned.folder;
    folder.kind = unpacked->kind;
    folder.chunks = unpacked->manifest.chunks.size();
    folder.pictures = unpacked->manifest.pictures.size();
    folder.map = unpacked->manifest.mapFile.has_value();
    folder.mapObjects = options.objects != nullptr ? planned.objects : std::string();
    folder.leftOut = unpacked->leftOut;
    if (unpacked->greyscale) {
      folder.greyscaleRegion = RegionBeside(planned.input);
    }
    const UnpackFolderWrite write =
        WriteUnpackFolder(planned.folder, unpacked->files, planned.earlier,
                          [&](std::size_t written, std::size_t count, const std::string& name) {
                            if (!gameFolder) {
                              total = count;
                              context.Report(written, count, name);
                            }
                            return !context.Cancelled();
                          });
    folder.written = write.written;
    folder.finished = write.finished;
    result.folders.push_back(std::move(folder));
    if (!write.error.empty()) {
      Note(result, planned.folder, ProblemKind::kWriteFailed, write.error);
      return;
    }
    if (!write.finished) {
      result.cancelled = true;
      Note(result, planned.folder, ProblemKind::kCancelled,
           "cancelled midway: it is an unpack that did not finish, which unpacking into it again finishes");
      return;
    }
  }
  context.Report(total, total);
}

}  // namespace

UnpackResult UnpackJob(const UnpackRequest& request, JobContext& context) {
  UnpackResult result;
  result.restoring = !request.restore.empty();
  const InputFiles inputs({request.input, request.palette, request.objects});
  if (const std::string refusal = RefuseOutputFolder(request.output, inputs); !refusal.empty()) {
    Refuse(result, request.output, ProblemKind::kOutputRefused, refusal);
    return result;
  }
  UnpackOptions options;
  if (!request.palette.empty()) {
    std::string reason;
    const std::optional<RegionColours> colours = ReadRegionColours(request.palette, reason);
    if (!colours) {
      Refuse(result, request.palette, ProblemKind::kUnreadable, reason);
      return result;
    }
    options.libraryColours = colours->palette;
  }
  Libraries libraries;
  if (!request.objects.empty()) {
    std::string reason;
    libraries.library = ReadLibraryInput(request.objects, LoadReport(), reason);
    libraries.from = request.objects;
    if (libraries.library == nullptr) {
      Refuse(result, request.objects, ProblemKind::kWouldNotLoad, reason);
      return result;
    }
  }
  bool gameFolder = false;
  std::vector<Planned> plan = Plan(request, gameFolder, result);
  if (plan.empty()) {
    return result;
  }
  if (result.restoring) {
    Restore(plan, options, libraries, context, result);
  } else {
    UnpackAll(plan, gameFolder, std::move(options), libraries, context, result);
  }
  return result;
}

}  // namespace karst::tools
