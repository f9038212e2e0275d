// The file-system side of `karst-gff unpack` and `pack`: reading an unpack folder without
// leaving it, and writing one, or some of its files again, without losing anything of the
// user's. Where a packed container goes is tools/pack/pack_target.h.
//
// An unpack that stops midway (cancelled, killed, out of space) must not leave a folder that
// reads as whole: its manifest would name hashes the files no longer have, and the next unpack
// would take them for edits. So the writing marks the folder unfinished before its first file
// (.unpacking, which names every file the folder may then hold of ours), writes manifest.json
// last and then removes the mark. A folder with the mark is an unfinished unpack: pack refuses
// it, and the next unpack into it finishes it, whatever it held before. A mark cut short (the
// unpack was killed while it wrote it, before anything else) names nothing: the folder is then as
// it was before that unpack.
#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <vector>

#include "tools/job/job_problem.h"
#include "tools/pack/unpack_manifest.h"

namespace karst::tools {

struct UnpackFolder {
  Manifest manifest;
  FolderFiles files;  // manifest.json and every file it lists
};

// The manifest and every file it lists, read from the folder `folder`. Nothing, with why in
// `problem` (its words naming the file), when the folder is none (kUnreadable), is an unfinished
// unpack (kUnfinished), holds no manifest of ours (kNotContainer), or a listed file is missing or
// unreadable (kUnreadable) or leads out of the folder (a "..", an absolute path, a link pointing
// outside: kEditRefused); a listed file that is missing or unreadable is the problem's place.
// `source` gets the manifest's source once the manifest is read.
std::optional<UnpackFolder> ReadUnpackFolder(const std::string& folder, JobProblem& problem, std::string& source);

// Whether `folder` is an unpack folder or one an unpack left unfinished: it holds manifest.json or
// the mark.
bool HoldsUnpack(const std::string& folder);

// What may be in `folder` before an unpack of the bytes of hash `sourceHash` writes into it:
// nothing (missing, empty, or only pack's record), an earlier unpack of ours, or one that did not
// finish. An earlier unpack's files that differ from their hash are listed in `changed`, unless
// pack's record says they are exactly the edits it packed into those very bytes: then unpacking
// them again loses nothing. `files` are the files of ours the folder may hold, which the new
// unpack replaces or removes: those its manifest lists, or those the mark of an unfinished one
// names (whose files are never edits). Nothing, with why, when the folder holds anything else.
struct EarlierUnpack {
  std::vector<std::string> changed;
  std::vector<std::string> files;
  bool unfinished = false;
};
std::optional<EarlierUnpack> InspectUnpackTarget(const std::string& folder, const std::string& sourceHash,
                                                 std::string& error);

// Called before each file is written, with how many of the `count` files are written and the
// name of the next one; false stops the writing there, before that file.
using UnpackFileStep = std::function<bool(std::size_t written, std::size_t count, const std::string& name)>;

struct UnpackFolderWrite {
  std::vector<std::string> written;  // the files written, in order, manifest.json last
  bool finished = false;             // every file written and the mark removed
  std::string error;                 // why the writing failed, naming the file; empty when it did not
};

// Writes `files` into `folder` (made when missing), each by a temporary file and a rename: the
// mark first (before any folder inside `folder` is made), then every file but the manifest; then removes the files of
// `earlier` that `files` no longer holds, and pack's record (it tells what was packed from the folder's earlier
// contents); then the manifest, and last the mark goes. Stopped by `step`, or by a failure, the
// folder keeps the mark and every file written is whole. Nothing is written when a file of
// `files` is there already and is none of `earlier`'s.
UnpackFolderWrite WriteUnpackFolder(const std::string& folder, const FolderFiles& files, const EarlierUnpack& earlier,
                                    const UnpackFileStep& step);

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
