#include "tools/pack/unpack_files.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include <nlohmann/json.hpp>

#include "platform/file_safety.h"
#include "platform/paths.h"
#include "tools/files/input_file.h"
#include "tools/files/output_file.h"
#include "tools/pack/pack_record.h"
#include "tools/text/json_reader.h"
#include "tools/text/json_text.h"

namespace karst::tools {
namespace {

namespace fs = std::filesystem;

constexpr const char* kMarkMadeBy = "karst-gff unpack";

// Reads the files of one folder, each checked once to lie inside it: a folder on the way is
// resolved once, a file only when it is a link.
class FolderReader {
 public:
  explicit FolderReader(fs::path root) : root_(std::move(root)), rootText_(platform::PathText(root_)) {}

  // The file's bytes; nothing, with why in `problem`, when it cannot be read or leads out of the
  // folder (`outside` then set).
  std::optional<std::vector<std::uint8_t>> Read(const std::string& name, std::string& problem, bool& outside) {
    const fs::path path = root_ / platform::NativePath(name);
    std::string unsafe = UnsafeFolderName(name);
    if (unsafe.empty() && !InsideRoot(path)) {
      unsafe = "leads out of the folder through a link";
    }
    outside = !unsafe.empty();
    if (outside) {
      problem = name + ": " + unsafe + "; pack reads nothing outside the folder";
      return std::nullopt;
    }
    std::optional<std::vector<std::uint8_t>> bytes = ReadWholeFile(platform::PathText(path));
    if (!bytes) {
      const std::string reason = InputProblem(platform::PathText(path));
      problem = name + ": " + (reason.empty() ? std::string("cannot be read") : reason);
    }
    return bytes;
  }

 private:
  bool InsideRoot(const fs::path& path) {
    std::error_code error;
    const fs::path parent = path.parent_path();
    auto known = parents_.find(parent);
    if (known == parents_.end()) {
      known = parents_.emplace(parent, parent == root_ || platform::LiesInside(rootText_, platform::PathText(parent)))
                  .first;
    }
    return known->second && (!fs::is_symlink(fs::symlink_status(path, error)) ||
                             platform::LiesInside(rootText_, platform::PathText(path)));
  }

  fs::path root_;
  std::string rootText_;
  std::map<fs::path, bool> parents_;
};

bool HoldsFile(const fs::path& folder, const char* name) {
  return platform::InspectPath(platform::PathText(folder / name)).kind == platform::FileKind::kRegular;
}

std::vector<std::uint8_t> MarkText(const std::vector<std::string>& files) {
  const nlohmann::json mark = {
      {"madeBy", kMarkMadeBy},
      {"about", "an unpack that has not finished: unpacking into this folder again finishes it"},
      {"files", files}};
  const std::string text = JsonText(mark) + "\n";
  return {text.begin(), text.end()};
}

// Marks `root` unfinished, naming `files`. A new mark is written in place, so that an unpack killed
// while it writes one leaves no file but the mark, cut short; one that is there already is
// replaced whole, by a temporary file and a rename. Empty on success, else why, naming the mark.
std::string MarkUnfinished(const fs::path& root, const std::vector<std::string>& files) {
  const std::string mark = platform::PathText(root / kUnfinishedMarkName);
  const std::vector<std::uint8_t> text = MarkText(files);
  std::string failure;
  if (platform::InspectPath(mark).kind != platform::FileKind::kMissing) {
    failure = WriteOutput(mark, text);
  } else {
    platform::WritableFile file = platform::WritableFile::CreateNew(mark);
    failure = file.is_open() ? file.Write(text) : "cannot be created: " + file.error();
    if (const std::string closing = file.Close(); failure.empty()) {
      failure = closing;
    }
  }
  return failure.empty() ? std::string() : mark + ": " + failure;
}

// The files the mark of an unfinished unpack names; nothing when it is not ours.
std::optional<std::vector<std::string>> MarkedFiles(const fs::path& folder) {
  const std::optional<std::vector<std::uint8_t>> text = ReadWholeFile(platform::PathText(folder / kUnfinishedMarkName));
  if (!text) {
    return std::nullopt;
  }
  const nlohmann::json json = nlohmann::json::parse(text->begin(), text->end(), nullptr, false);
  std::string error;
  JsonFields fields(json, kUnfinishedMarkName, error);
  if (fields.Text("madeBy") != kMarkMadeBy) {
    return std::nullopt;
  }
  std::vector<std::string> files;
  for (const nlohmann::json& file : fields.Array("files")) {
    if (!file.is_string() || !UnsafeFolderName(file.get<std::string>()).empty()) {
      return std::nullopt;
    }
    files.push_back(file.get<std::string>());
  }
  if (!error.empty()) {
    return std::nullopt;
  }
  return files;
}

}  // namespace

std::optional<UnpackFolder> ReadUnpackFolder(const std::string& folder, JobProblem& problem, std::string& source) {
  problem.file = folder;
  std::error_code failure;
  const fs::path root = fs::canonical(platform::NativePath(folder), failure);
  if (failure || !fs::is_directory(root, failure)) {
    problem.kind = ProblemKind::kUnreadable;
    problem.words = "is no folder" + (failure ? ": " + failure.message() : std::string());
    return std::nullopt;
  }
  if (HoldsFile(root, kUnfinishedMarkName)) {
    problem.kind = ProblemKind::kUnfinished;
    problem.words = "is an unpack that did not finish: unpacking into it again finishes it";
    return std::nullopt;
  }
  FolderReader reader(root);
  bool outside = false;
  std::optional<std::vector<std::uint8_t>> manifestText = reader.Read(kManifestName, problem.words, outside);
  problem.kind = ProblemKind::kNotContainer;
  if (!manifestText) {
    problem.words = "holds no readable manifest.json: not a folder that karst-gff unpack made";
    return std::nullopt;
  }
  problem.words.clear();
  std::optional<Manifest> manifest = ParseManifest(*manifestText, problem.words);
  if (!manifest) {
    return std::nullopt;
  }
  source = manifest->source;
  UnpackFolder result{std::move(*manifest), {}};
  result.files[kManifestName] = std::move(*manifestText);
  for (const auto& [name, hash] : result.manifest.hashes) {
    std::optional<std::vector<std::uint8_t>> bytes = reader.Read(name, problem.words, outside);
    if (!bytes) {
      problem.kind = outside ? ProblemKind::kEditRefused : ProblemKind::kUnreadable;
      if (UnsafeFolderName(name).empty()) {
        problem.place.form = name;
      }
      return std::nullopt;
    }
    result.files[name] = std::move(*bytes);
  }
  return result;
}

bool HoldsUnpack(const std::string& folder) {
  const fs::path root = platform::NativePath(folder);
  return HoldsFile(root, kManifestName) || HoldsFile(root, kUnfinishedMarkName);
}

std::optional<EarlierUnpack> InspectUnpackTarget(const std::string& folder, const std::string& sourceHash,
                                                 std::string& error) {
  EarlierUnpack earlier;
  const fs::path root = platform::NativePath(folder);
  std::error_code failure;
  if (!fs::exists(root, failure)) {
    return earlier;
  }
  if (!fs::is_directory(root, failure)) {
    error = "exists and is no folder";
    return std::nullopt;
  }
  if (std::optional<std::vector<std::string>> marked = MarkedFiles(root)) {
    earlier.files = std::move(*marked);
    earlier.unfinished = true;
    return earlier;
  }
  // A mark that names nothing was cut short while it was written, before any other file: the
  // folder is as it was. pack's record and such a mark are no files of the user's: alone, the
  // folder is as good as empty.
  bool onlyRecord = true;
  for (fs::directory_iterator entry(root, failure), end; !failure && entry != end; entry.increment(failure)) {
    const fs::path name = entry->path().filename();
    onlyRecord = onlyRecord && (name == kPackRecordName || name == kUnfinishedMarkName);
  }
  if (onlyRecord && !failure) {
    return earlier;
  }
  FolderFiles files;
  std::string problem;
  if (!fs::exists(root / kManifestName, failure)) {
    error =
        "holds files but no manifest.json: it is no earlier unpack, and unpack writes only into a missing or "
        "empty folder or one it made";
    return std::nullopt;
  }
  const std::optional<std::vector<std::uint8_t>> manifestText = ReadWholeFile(platform::PathText(root / kManifestName));
  const std::optional<Manifest> manifest =
      manifestText ? ParseManifest(*manifestText, problem) : std::optional<Manifest>();
  if (!manifest) {
    error = "holds a manifest.json that is not an unpack's of ours (" + problem + ")";
    return std::nullopt;
  }
  const std::string resolved = platform::PathText(fs::canonical(root, failure));
  earlier.files.push_back(kManifestName);
  for (const auto& [name, hash] : manifest->hashes) {
    earlier.files.push_back(name);
    const fs::path path = root / platform::NativePath(name);
    if (!UnsafeFolderName(name).empty() || !platform::LiesInside(resolved, platform::PathText(path))) {
      error = "its manifest.json names " + name + ", outside the folder";
      return std::nullopt;
    }
    if (std::optional<std::vector<std::uint8_t>> bytes = ReadWholeFile(platform::PathText(path))) {
      files[name] = std::move(*bytes);
    }
  }
  for (const auto& [name, hash] : EditsOf(*manifest, files)) {
    earlier.changed.push_back(name);
  }
  if (!earlier.changed.empty() && ReadPackRecord(folder).HoldsEdits(sourceHash, EditsOf(*manifest, files))) {
    earlier.changed.clear();
  }
  return earlier;
}

UnpackFolderWrite WriteUnpackFolder(const std::string& folder, const FolderFiles& files, const EarlierUnpack& earlier,
                                    const UnpackFileStep& step) {
  UnpackFolderWrite result;
  const fs::path root = platform::NativePath(folder);
  std::set<std::string> ours(earlier.files.begin(), earlier.files.end());
  for (const auto& [name, bytes] : files) {
    const std::string target = platform::PathText(root / platform::NativePath(name));
    if (!ours.contains(name) && platform::InspectPath(target).kind != platform::FileKind::kMissing) {
      result.error = target + ": exists and is no file of the earlier unpack; nothing of it written over";
      return result;
    }
  }
  // The manifest says the folder is whole: it goes last.
  std::vector<std::string> order;
  for (const auto& [name, bytes] : files) {
    if (name != kManifestName) {
      order.push_back(name);
    }
    ours.insert(name);
  }
  order.push_back(kManifestName);
  std::set<fs::path> made;
  for (const std::string& name : order) {
    if (step && !step(result.written.size(), order.size(), name)) {
      return result;
    }
    const fs::path path = root / platform::NativePath(name);
    // The mark comes before anything else the unpack makes in the folder, its folders included.
    for (const fs::path& folderOfFile : {root, path.parent_path()}) {
      if (made.insert(folderOfFile).second) {
        std::error_code failure;
        fs::create_directories(folderOfFile, failure);
        if (failure) {
          result.error = platform::PathText(folderOfFile) + ": cannot create the folder: " + failure.message();
          return result;
        }
      }
      if (folderOfFile == root && result.written.empty()) {
        result.error = MarkUnfinished(root, {ours.begin(), ours.end()});
        if (!result.error.empty()) {
          return result;
        }
      }
    }
    if (name == kManifestName) {
      for (const std::string& earlierFile : earlier.files) {
        if (!files.contains(earlierFile)) {
          platform::RemoveStaleFile(folder, earlierFile);
        }
      }
      if (HoldsFile(root, kPackRecordName)) {
        platform::RemoveFile(platform::PathText(root / kPackRecordName));
      }
    }
    const std::string target = platform::PathText(path);
    if (const std::string failure = WriteOutput(target, files.at(name)); !failure.empty()) {
      result.error = target + ": " + failure;
      return result;
    }
    result.written.push_back(name);
  }
  platform::RemoveFile(platform::PathText(root / kUnfinishedMarkName));
  result.finished = true;
  return result;
}

std::optional<std::vector<std::string>> RestoredFiles(const FolderFiles& fresh, const std::vector<std::string>& names,
                                                      std::string& error) {
  std::vector<std::string> restored;
  for (const std::string& name : names) {
    const std::size_t before = restored.size();
    for (const auto& [file, bytes] : fresh) {
      if ((file == name || (file.starts_with(name) && file[name.size()] == '/')) &&
          std::find(restored.begin(), restored.end(), file) == restored.end()) {
        restored.push_back(file);
      }
    }
    if (restored.size() == before) {
      error = name +
              ": no file that unpack writes (a file of the folder such as frames/TILE-9-0.png, or a folder "
              "of them such as frames)";
      return std::nullopt;
    }
  }
  return restored;
}

std::string RestoreUnpackFiles(const std::string& folder, const FolderFiles& fresh,
                               const std::vector<std::string>& restored) {
  std::error_code failure;
  const fs::path root = fs::canonical(platform::NativePath(folder), failure);
  if (failure) {
    return folder + ": " + failure.message() + "; nothing written";
  }
  const std::string rootText = platform::PathText(root);
  for (const std::string& name : restored) {
    const fs::path parent = (root / platform::NativePath(name)).parent_path();
    if (parent != root && !platform::LiesInside(rootText, platform::PathText(parent))) {
      return platform::PathText(root / platform::NativePath(name)) +
             ": its folder leads out of the unpack folder through a link; nothing written";
    }
  }
  // The manifest, which says the folder is whole, goes last.
  std::vector<std::string> order = restored;
  std::stable_partition(order.begin(), order.end(), [](const std::string& name) { return name != kManifestName; });
  for (const std::string& name : order) {
    const fs::path path = root / platform::NativePath(name);
    fs::create_directories(path.parent_path(), failure);
    if (failure) {
      return platform::PathText(path.parent_path()) + ": cannot create the folder: " + failure.message();
    }
    if (const std::string problem = WriteOutput(platform::PathText(path), fresh.at(name)); !problem.empty()) {
      return platform::PathText(path) + ": " + problem;
    }
  }
  return {};
}

}  // namespace karst::tools
