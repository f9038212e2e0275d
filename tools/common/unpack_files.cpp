#include "tools/common/unpack_files.h"

#include <algorithm>
#include <filesystem>
#include <map>
#include <set>

#include "platform/file_safety.h"
#include "platform/paths.h"
#include "tools/common/content_hash.h"
#include "tools/common/input_file.h"
#include "tools/common/output_file.h"
#include "tools/common/pack_folder.h"

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

std::optional<UnpackFolder> ReadUnpackFolder(const std::string& folder, std::string& error) {
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
      return std::nullopt;
    }
    result.files[name] = std::move(*bytes);
  }
  return result;
}

std::optional<EarlierUnpack> InspectUnpackTarget(const std::string& folder, std::string& error) {
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
  if (fs::is_empty(root, failure)) {
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
    const std::optional<std::vector<std::uint8_t>> bytes = ReadWholeFile(platform::PathText(path));
    if (!bytes || ContentHash(*bytes) != hash) {
      earlier.changed.push_back(name);
    }
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
  return {};
}

std::string PackedFileProblem(const std::string& target, bool replace) {
  const platform::FileKind kind = platform::InspectPath(target).kind;
  if (kind == platform::FileKind::kMissing) {
    return {};
  }
  if (kind != platform::FileKind::kRegular) {
    return "exists and is no plain file; a packed container is written only as a file; nothing written";
  }
  if (!replace) {
    return "exists; --replace keeps it as " + target + ".orig and puts the new file in its place; nothing written";
  }
  return {};
}

std::string PutPackedFile(const std::string& target, std::span<const std::uint8_t> bytes, bool replace,
                          std::string& kept) {
  if (const std::string problem = PackedFileProblem(target, replace); !problem.empty()) {
    return problem;
  }
  OutputFile output(target);
  if (!output.error().empty()) {
    return output.error();
  }
  if (const std::string failure = output.Write(bytes); !failure.empty()) {
    return failure;
  }
  if (platform::InspectPath(target).kind == platform::FileKind::kRegular) {
    for (int copy = 1;; ++copy) {
      std::string candidate = target + ".orig";
      if (copy > 1) {
        candidate += '.';
        candidate += std::to_string(copy);
      }
      const fs::path place = platform::NativePath(candidate);
      std::error_code failure;
      if (fs::exists(fs::symlink_status(place, failure))) {
        continue;
      }
      fs::create_hard_link(platform::NativePath(target), place, failure);
      if (failure) {
        failure.clear();
        fs::copy_file(platform::NativePath(target), place, fs::copy_options::none, failure);
      }
      if (failure) {
        return "cannot keep the file it replaces as " + candidate + ": " + failure.message() + "; nothing written";
      }
      kept = candidate;
      break;
    }
  }
  return output.Finish({});
}

}  // namespace karst::tools
