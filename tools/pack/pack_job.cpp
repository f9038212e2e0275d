#include "tools/pack/pack_job.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <optional>
#include <utility>

#include "platform/file_safety.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "tools/pack/pack_record.h"
#include "tools/pack/pack_target.h"
#include "tools/pack/unpack_files.h"
#include "tools/text/content_hash.h"

namespace karst::tools {
namespace {

namespace fs = std::filesystem;

// One folder on its way to its file, beside what becomes of it in the result.
struct Job {
  PackTarget target;
  PackRecord record;
  FolderEdits edits;
  std::vector<std::uint8_t> bytes;
};

void Note(PackResult& result, std::string file, ProblemKind kind, std::string words, ProblemPlace place = {}) {
  result.problems.push_back({std::move(file), kind, std::move(words), std::move(place)});
}

// The file name a game folder's packed file takes: the manifest's source when it is a plain
// name, else the folder's name with .GFF.
std::string PackedName(const Manifest& manifest, const std::string& folder) {
  if (!manifest.source.empty() && UnsafeFolderName(manifest.source).empty() &&
      manifest.source.find('/') == std::string::npos) {
    return manifest.source;
  }
  return platform::PathText(platform::NativePath(folder).filename()) + ".GFF";
}

// A map Tiled saved in its XML format beside map.tmj is never read: say so rather than pass it over.
void NoteUnreadMaps(const std::string& folder, Packed& packed) {
  std::error_code error;
  for (fs::directory_iterator entry(platform::NativePath(folder), error), end; !error && entry != end;
       entry.increment(error)) {
    std::string extension = platform::PathText(entry->path().extension());
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return std::tolower(c); });
    if (extension == ".tmx") {
      packed.notes.push_back(platform::PathText(entry->path().filename()) +
                             ": not read: pack reads the map only from map.tmj (in Tiled, File > Save As, the JSON "
                             "map format, map.tmj)");
    }
  }
}

// The unpack folders `request` names: itself, or the folders in it that hold an unpack, finished
// or not; empty after saying why.
std::vector<std::string> FoldersOf(const PackRequest& request, PackResult& result) {
  if (HoldsUnpack(request.folder)) {
    return {request.folder};
  }
  std::vector<fs::path> folders;
  std::error_code error;
  for (fs::directory_iterator entry(platform::NativePath(request.folder), error), end; !error && entry != end;
       entry.increment(error)) {
    if (entry->is_directory(error) && HoldsUnpack(platform::PathText(entry->path()))) {
      folders.push_back(entry->path());
    }
  }
  std::sort(folders.begin(), folders.end());
  if (folders.empty()) {
    Note(result, request.folder, ProblemKind::kNotContainer,
         "holds no manifest.json, nor folders that do: not a folder that karst-gff unpack made");
  }
  std::vector<std::string> paths;
  for (const fs::path& folder : folders) {
    paths.push_back(platform::PathText(folder));
  }
  return paths;
}

// Reads and packs one folder and plans its target; false after saying why not.
bool PackOne(Job& job, PackedFolder& folder, const PackRequest& request, bool outputIsFolder, PackResult& result) {
  JobProblem problem;
  std::optional<UnpackFolder> unpacked = ReadUnpackFolder(folder.folder, problem, folder.source);
  if (!unpacked) {
    result.problems.push_back(std::move(problem));
    return false;
  }
  const Manifest& manifest = unpacked->manifest;
  if (outputIsFolder) {
    folder.output = platform::PathText(platform::NativePath(folder.output) /
                                       platform::NativePath(PackedName(manifest, folder.folder)));
  }
  std::optional<Packed> packed = Pack(manifest, unpacked->files, request.options, problem);
  if (!packed) {
    problem.file = folder.folder;
    result.problems.push_back(std::move(problem));
    return false;
  }
  job.bytes = std::move(packed->bytes);
  folder.packed = std::move(*packed);
  NoteUnreadMaps(folder.folder, folder.packed);
  job.record = ReadPackRecord(folder.folder);
  job.edits = EditsOf(manifest, unpacked->files);
  job.target = PlanPackTarget(folder.output, job.bytes,
                              {request.replace, request.replaceChanged, manifest.sourceHash, &job.record,
                               request.replaceOwnOutput, request.originalKept});
  folder.path = job.target.path;
  if (job.target.refusal == PackTargetRefusal::kNone) {
    return true;
  }
  ProblemKind kind = ProblemKind::kOutputRefused;
  if (job.target.refusal == PackTargetRefusal::kExists) {
    kind = ProblemKind::kOutputExists;
  } else if (job.target.refusal == PackTargetRefusal::kChanged) {
    kind = ProblemKind::kOutputChanged;
  }
  if (kind != ProblemKind::kOutputRefused) {
    folder.keptAs = platform::KeptName(job.target.path);
  }
  Note(result, job.target.path, kind, job.target.reason);
  return false;
}

// Whether two of the folders would be packed into one name; true after saying which.
bool Collide(PackResult& result) {
  const std::vector<PackedFolder>& folders = result.folders;
  for (std::size_t i = 0; i < folders.size(); ++i) {
    for (std::size_t j = 0; j < i; ++j) {
      if (platform::SameFileName(folders[i].output, folders[j].output)) {
        Note(result, folders[i].output, ProblemKind::kOutputRefused,
             "is where both " + folders[j].folder + " and " + folders[i].folder +
                 " would be packed (names are the same without regard to case, as the game finds its files): pack "
                 "one of them on its own, into a file of its own");
        return true;
      }
    }
  }
  return false;
}

// Puts one packed file in place and keeps the record of it; false after saying why not.
bool WriteOne(Job& job, PackedFolder& folder, const PackRequest& request, PackResult& result) {
  bool inUse = false;
  if (const std::string failure = PutPackedFile(job.target, job.bytes, folder.kept, request.inUsePatience, inUse);
      !failure.empty()) {
    Note(result, job.target.path, inUse ? ProblemKind::kFileInUse : ProblemKind::kWriteFailed,
         inUse ? "is held open by another program: " + failure : failure);
    return false;
  }
  folder.identical = job.target.identical;
  folder.written = !job.target.identical;
  if (folder.written) {
    result.written.push_back(job.target.path);
  }
  job.record.Note({job.target.key, ContentHash(job.bytes), job.edits});
  job.bytes = {};
  if (const std::string failure = WritePackRecord(folder.folder, job.record); !failure.empty()) {
    Note(result, folder.folder, ProblemKind::kWriteFailed,
         "cannot keep the record of what was packed (" + failure + "): a later pack that replaces " + job.target.path +
             " will take it for a file someone else changed");
  }
  return true;
}

}  // namespace

PackResult PackJob(const PackRequest& request, JobContext& context) {
  PackResult result;
  std::error_code error;
  const bool outputIsFolder = fs::is_directory(platform::NativePath(request.output), error);
  const std::vector<std::string> folders = FoldersOf(request, result);
  if (folders.empty()) {
    return result;
  }
  // A folder of unpacks, or an output folder, gives each packed file its own name inside it.
  const bool severalOutputs = outputIsFolder || folders.size() > 1 || folders.front() != request.folder;
  const std::size_t total = 2 * folders.size();
  const auto cancelled = [&](std::size_t done, const std::string& item) {
    context.Report(done, total, item);
    if (context.Cancelled()) {
      result.cancelled = true;
      Note(result, item, ProblemKind::kCancelled,
           result.written.empty() ? "cancelled before anything was written" : "cancelled before it was written");
    }
    return result.cancelled;
  };
  // Every output is packed, planned and checked before the first is written; each folder's files
  // are let go once it is packed.
  std::vector<Job> jobs(folders.size());
  result.folders.reserve(folders.size());
  for (std::size_t i = 0; i < folders.size(); ++i) {
    if (cancelled(i, folders[i])) {
      return result;
    }
    PackedFolder& folder = result.folders.emplace_back();
    folder.folder = folders[i];
    folder.output = request.output;
    if (!PackOne(jobs[i], folder, request, severalOutputs, result)) {
      return result;
    }
  }
  if (Collide(result)) {
    return result;
  }
  if (severalOutputs) {
    fs::create_directories(platform::NativePath(request.output), error);
    if (error) {
      Note(result, request.output, ProblemKind::kWriteFailed, "cannot create the folder: " + error.message());
      return result;
    }
  }
  for (std::size_t i = 0; i < jobs.size(); ++i) {
    if (cancelled(jobs.size() + i, jobs[i].target.path) || !WriteOne(jobs[i], result.folders[i], request, result)) {
      return result;
    }
  }
  context.Report(total, total);
  result.complete = true;
  return result;
}

}  // namespace karst::tools
