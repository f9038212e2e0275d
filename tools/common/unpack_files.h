// The file-system side of `karst-gff unpack` and `pack`: reading an unpack folder without
// leaving it, writing one without losing anything of the user's, and putting a packed container
// in place (keeping the file it replaces).
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/common/unpack_manifest.h"

namespace karst::tools {

struct UnpackFolder {
  Manifest manifest;
  FolderFiles files;  // manifest.json and every file it lists
};

// The manifest and every file it lists, read from the folder `folder`. Nothing, with why (naming
// the file), when the manifest is missing or not ours, or a listed file is missing, unreadable,
// or leads out of the folder (a "..", an absolute path, a link pointing outside).
std::optional<UnpackFolder> ReadUnpackFolder(const std::string& folder, std::string& error);

// What may be in `folder` before an unpack writes into it: nothing (missing or empty), or an
// earlier unpack of ours. Files of the earlier unpack that differ from their hash are listed in
// `changed`, and `files` are all of its files, which the new unpack replaces or removes. Nothing,
// with why, when the folder holds anything else.
struct EarlierUnpack {
  std::vector<std::string> changed;
  std::vector<std::string> files;  // every file the earlier manifest lists, manifest.json included
};
std::optional<EarlierUnpack> InspectUnpackTarget(const std::string& folder, std::string& error);

// Writes `files` into `folder` (made when missing), each by a temporary file and a rename, then
// removes the files of `earlier` that `files` no longer holds. Empty on success, else why, naming
// the file.
std::string WriteUnpackFolder(const std::string& folder, const FolderFiles& files, const EarlierUnpack& earlier);

// Writes `bytes` to `target` by a temporary file and a rename. An existing file there is refused
// unless `replace`; with it, the file is first kept beside it as TARGET.orig, or TARGET.orig.2,
// .orig.3, ... when that exists (none is ever overwritten). Empty on success, else why. `kept`
// names the file kept.
std::string PutPackedFile(const std::string& target, std::span<const std::uint8_t> bytes, bool replace,
                          std::string& kept);

// Why `target` may not be a packed file's place, before anything is written: an existing file
// without `replace`, a folder, a device. Empty when it may.
std::string PackedFileProblem(const std::string& target, bool replace);

}  // namespace karst::tools
