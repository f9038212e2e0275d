// The file-system side of `karst-gff unpack` and `pack`: reading an unpack folder without
// leaving it, and writing one, or some of its files again, without losing anything of the
// user's. Where a packed container goes is tools/pack/pack_target.h.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/pack/unpack_manifest.h"

namespace karst::tools {

struct UnpackFolder {
  Manifest manifest;
  FolderFiles files;  // manifest.json and every file it lists
};

// A listed file that ReadUnpackFolder found missing or unreadable, and the name of the container
// the folder was unpacked from, so that a caller can say how to have the file written again.
struct UnreadableFolderFile {
  std::string file;
  std::string source;
};

// The manifest and every file it lists, read from the folder `folder`. Nothing, with why (naming
// the file), when the manifest is missing or not ours, or a listed file is missing, unreadable,
// or leads out of the folder (a "..", an absolute path, a link pointing outside); a listed file
// missing or unreadable is also named in `unreadable`, when given.
std::optional<UnpackFolder> ReadUnpackFolder(const std::string& folder, std::string& error,
                                             UnreadableFolderFile* unreadable = nullptr);

// What may be in `folder` before an unpack of the bytes of hash `sourceHash` writes into it:
// nothing (missing, empty, or only pack's record), or an earlier unpack of ours. Its files that
// differ from their hash are listed in `changed`, unless pack's record says they are exactly the
// edits it packed into those very bytes: then unpacking them again loses nothing. `files` are all
// of its files, which the new unpack replaces or removes. Nothing, with why, when the folder
// holds anything else.
struct EarlierUnpack {
  std::vector<std::string> changed;
  std::vector<std::string> files;  // every file the earlier manifest lists, manifest.json included
};
std::optional<EarlierUnpack> InspectUnpackTarget(const std::string& folder, const std::string& sourceHash,
                                                 std::string& error);

// Writes `files` into `folder` (made when missing), each by a temporary file and a rename, then
// removes the files of `earlier` that `files` no longer holds, and pack's record: it tells what
// was packed from the folder's earlier contents. Empty on success, else why, naming the file.
std::string WriteUnpackFolder(const std::string& folder, const FolderFiles& files, const EarlierUnpack& earlier);

// The files of `fresh` (what unpack writes for the folder now) that `names` name: a file of the
// folder ("frames/TILE-9-0.png"), or a folder of it for every file under it ("frames"). Nothing,
// with why, when a name names none of them.
std::optional<std::vector<std::string>> RestoredFiles(const FolderFiles& fresh, const std::vector<std::string>& names,
                                                      std::string& error);

// Writes the files `restored` of `fresh` into `folder`, each by a temporary file and a rename,
// and nothing else: every other file, edited or not, stays as it is. Empty on success, else why,
// naming the file; a file whose folder leads out of `folder` through a link is refused before
// anything is written.
std::string RestoreUnpackFiles(const std::string& folder, const FolderFiles& fresh,
                               const std::vector<std::string>& restored);

}  // namespace karst::tools
