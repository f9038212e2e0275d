#include "tools/pack/unpack_files.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "platform/file_safety.h"
#include "platform/paths.h"
#include "tools/files/input_file.h"
#include "tools/files/output_file.h"
#include "tools/pack/pack_record.h"

namespace karst::tools {
namespace {

namespace fs = std::filesystem;

// Whether `path`, links resolved, lies inside `root` (itself resolved).
bool Inside(const fs::path& root, const fs::path& path) {
  std::error_code error;
  const fs::path resolved = fs::weakly_canonical(path, error);
  if (error) {
    return false;
  }
  const auto [rootEnd, pathEnd] = std::mismatch(root.begin(), root.end(), resolved.begin(), resolved.end());
  return rootEnd == root.end() && pathEnd != resolved.end();
}

// Reads the files of one folder, each checked once to lie inside it: a folder on the way is
// resolved once, a file only when it is a link.
class FolderReader {
 public:
  explicit FolderReader(fs::path root) : root_(std::move(root)) {}

  std::optional<std::vector<std::uint8_t>> Read(const std::string& name, std::string& error) {
    const fs::path path = root_ / platform::NativePath(name);
    std::string unsafe = UnsafeFolderName(name);
    if (unsafe.empty() && !InsideRoot(path)) {
      unsafe = "leads out of the folder through a link";
    }
    if (!unsafe.empty()) {
      error = name + ": " + unsafe + "; pack reads nothing outside the folder; nothing written";
      return std::nullopt;
    }
    std::optional<std::vector<std::uint8_t>> bytes = ReadWholeFile(platform::PathText(path));
    if (!bytes) {
      const std::string problem = InputProblem(platform::PathText(path));
      error = name + ": " + (problem.empty() ? std::string("cannot be read") : problem) + "; nothing written";
    }
    return bytes;
  }

 private:
  bool InsideRoot(const fs::path& path) {
    std::error_code error;
    const fs::path parent = path.parent_path();
    auto known = parents_.find(parent);
    if (known == parents_.end()) {
      known = parents_.emplace(parent, parent == root_ || Inside(root_, parent)).first;
    }
    return known->second && (!fs::is_symlink(fs::symlink_status(path, error)) || Inside(root_, path));
  }

  fs::path root_;
  std::map<fs::path, bool> parents_;
};

}  // namespace

std::optional<UnpackFolder> ReadUnpackFolder(const std::string& folder, std::string& error,
                                             UnreadableFolderFile* unreadable) {
  std::error_code failure;
  const fs::path root = fs::canonical(platform::NativePath(folder), failure);
  if (failure || !fs::is_directory(root, failure)) {
    error = "is no folder" + (failure ? ": " + failure.message() : std::string());
    return std::nullopt;
  }
  FolderReader reader(root);
  std::optional<std::vector<std::uint8_t>> manifestText = reader.Read(kManifestName, error);
  if (!manifestText) {
    error = "holds no readable manifest.json: not a folder that karst-gff unpack made; nothing written";
    return std::nullopt;
  }
  std::optional<Manifest> manifest = ParseManifest(*manifestText, error);
  if (!manifest) {
    error += "; nothing written";
    return std::nullopt;
  }
  UnpackFolder result{std::move(*manifest), {}};
  result.files[kManifestName] = std::move(*manifestText);
  for (const auto& [name, hash] : result.manifest.hashes) {
    std::optional<std::vector<std::uint8_t>> bytes = reader.Read(name, error);
    if (!bytes) {
      if (unreadable != nullptr && UnsafeFolderName(name).empty()) {
        *unreadable = {name, result.manifest.source};
      }
      return std::nullopt;
    }
    result.files[name] = std::move(*bytes);
  }
  return result;
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
    error = "exists and is no folder; nothing written";
    return std::nullopt;
  }
  // pack's record alone is no file of the user's: the folder is as good as empty.
  bool onlyRecord = true;
  for (fs::directory_iterator entry(root, failure), end; !failure && entry != end; entry.increment(failure)) {
    onlyRecord = onlyRecord && entry->path().filename() == kPackRecordName;
  }
  if (onlyRecord && !failure) {
    return earlier;
  }
  FolderFiles files;
  std::string problem;
  if (!fs::exists(root / kManifestName, failure)) {
    error =
        "holds files but no manifest.json: it is no earlier unpack, and unpack writes only into a missing or "
        "empty folder or one it made; nothing written";
    return std::nullopt;
  }
  const std::optional<std::vector<std::uint8_t>> manifestText = ReadWholeFile(platform::PathText(root / kManifestName));
  const std::optional<Manifest> manifest =
      manifestText ? ParseManifest(*manifestText, problem) : std::optional<Manifest>();
  if (!manifest) {
    error = "holds a manifest.json that is not an unpack's of ours (" + problem + "); nothing written";
    return std::nullopt;
  }
  earlier.files.push_back(kManifestName);
  for (const auto& [name, hash] : manifest->hashes) {
    earlier.files.push_back(name);
    const fs::path path = root / platform::NativePath(name);
    if (!UnsafeFolderName(name).empty() || !Inside(fs::canonical(root, failure), path)) {
      error = "its manifest.json names " + name + ", outside the folder; nothing written";
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

std::string WriteUnpackFolder(const std::string& folder, const FolderFiles& files, const EarlierUnpack& earlier) {
  const fs::path root = platform::NativePath(folder);
  std::set<std::string> earlierFiles(earlier.files.begin(), earlier.files.end());
  std::set<fs::path> made;
  for (const auto& [name, bytes] : files) {
    const fs::path path = root / platform::NativePath(name);
    const std::string target = platform::PathText(path);
    if (!earlierFiles.contains(name) && platform::InspectPath(target).kind != platform::FileKind::kMissing) {
      return target + ": exists and is no file of the earlier unpack; nothing of it written over";
    }
    if (made.insert(path.parent_path()).second) {
      std::error_code failure;
      fs::create_directories(path.parent_path(), failure);
      if (failure) {
        return platform::PathText(path.parent_path()) + ": cannot create the folder: " + failure.message();
      }
    }
    if (const std::string failure = WriteOutput(target, bytes); !failure.empty()) {
      return target + ": " + failure;
    }
  }
  for (const std::string& name : earlier.files) {
    if (!files.contains(name)) {
      platform::RemoveFile(platform::PathText(root / platform::NativePath(name)));
    }
  }
  const std::string record = platform::PathText(root / kPackRecordName);
  if (platform::InspectPath(record).kind == platform::FileKind::kRegular) {
    platform::RemoveFile(record);
  }
  return {};
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
              "of them such as frames); nothing written";
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
  for (const std::string& name : restored) {
    const fs::path parent = (root / platform::NativePath(name)).parent_path();
    if (parent != root && !Inside(root, parent)) {
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
