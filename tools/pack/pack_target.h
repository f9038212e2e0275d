// Where `karst-gff pack` puts a container and whether it may, decided for every output before
// the first is written, and the write itself, which keeps the file it replaces.
//
// A name that differs only by case from a file beside it is that file, as the game's platform
// finds files. A file there is replaced only when asked to, and then only when it holds the
// bytes the folder was unpacked from or the bytes this folder's own last pack wrote there (its
// record, tools/pack/pack_record.h): anything else was changed by someone else, and packing
// over it would undo that change. A file that already holds the very bytes is left as it is.
// An object library is never written under a region's name, nor a region under the library's.
// Nothing here names a command-line option: the face that calls it adds its own hint.
#pragma once

#include <chrono>
#include <cstdint>
#include <span>
#include <string>

#include "tools/pack/pack_record.h"

namespace karst::tools {

enum class PackTargetRefusal {
  kNone,
  kWrongName,  // a library under a region's name, a region under the library's
  kNoFile,     // a folder, device or anything else but a plain file is there
  kExists,     // a file is there, and replacing it was not asked for
  kChanged,    // it holds neither the bytes the folder was unpacked from nor those it last packed there
};

struct PackTargetRules {
  bool replace = false;         // an existing file may be replaced
  bool replaceChanged = false;  // even one changed since the unpack or the folder's last pack
  std::string sourceHash;       // of the bytes the folder was unpacked from; empty when unknown
  const PackRecord* record = nullptr;
  // The bytes the folder's own last pack wrote there (its record) are replaced even without
  // `replace`, and without keeping them: a loop that packs every save replaces its own output.
  bool replaceOwnOutput = false;
  // The target's bytes from before the folder's first pack there are safe (kept already, or there
  // were none): bytes equal to those the folder was unpacked from need no other copy. Without it
  // such bytes are kept, even as the folder's own output, as they may be the only original.
  bool originalKept = false;
};

struct PackTarget {
  std::string path;  // as written: the spelling of the file there when the name differs only by case
  std::string key;   // PackedFileKey(path), for the record
  bool exists = false;
  bool identical = false;  // it already holds the very bytes to be written: nothing is written
  std::string hash;        // of the file there now, when one is
  bool keep = true;        // the file there is kept under platform::KeptName before it is replaced
  PackTargetRefusal refusal = PackTargetRefusal::kNone;
  std::string reason;  // why refused: "exists", "changed since this folder was unpacked or last packed; ..."
};

// The target for `bytes` at `output`.
PackTarget PlanPackTarget(const std::string& output, std::span<const std::uint8_t> bytes, const PackTargetRules& rules);

// Puts `bytes` at the planned target by a temporary file and a rename, first keeping a file
// there under platform::KeptName (unless the plan says not to), named in `kept`. Writes nothing
// when the target is identical, and refuses when what is there changed since it was planned. A
// rename refused because another program holds the file is tried again for `inUsePatience`, then
// `inUse` is set. Empty on success, else why.
std::string PutPackedFile(const PackTarget& target, std::span<const std::uint8_t> bytes, std::string& kept,
                          std::chrono::milliseconds inUsePatience, bool& inUse);

}  // namespace karst::tools
