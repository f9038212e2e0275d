// `karst-gff pack` as one call: an unpack folder, or a folder of them (from a game folder), put
// back together into containers, with the record of what was written kept in each folder
// (tools/pack/pack_record.h).
//
// Every folder is read, packed and its target planned (tools/pack/pack_target.h) before the first
// file is written, and two folders that would be packed into one name, case ignored, are refused:
// a refusal writes nothing at all. Progress: item i of 2n, first packing each of the n folders,
// then writing each. A cancel is looked at before every item: while packing nothing has been
// written; while writing, every file written is whole, its record kept, and the result names it.
//
// Nothing here prints or names a command-line option: the problems' kinds say what would lift a
// refusal (kOutputExists: replacing; kOutputChanged: replacing a changed file too;
// kLayoutWouldChange, kWouldNotLoad: writing it anyway), and their places the file of a folder
// that unpacking it again would mend.
#pragma once

#include <chrono>
#include <cstdint>
#include <string>
#include <vector>

#include "tools/job/job_context.h"
#include "tools/job/job_problem.h"
#include "tools/pack/pack_folder.h"

namespace karst::tools {

struct PackRequest {
  std::string folder;           // an unpack folder, or a folder of them
  std::string output;           // the container to write, or a folder for several
  bool replace = false;         // an existing file may be replaced, kept first under platform::KeptName
  bool replaceChanged = false;  // even one changed since the folder was unpacked or last packed
  PackOptions options;
  // For a loop that packs every save: the bytes this folder's own last pack wrote there are
  // replaced even without `replace`, and not kept (tools/pack/pack_target.h).
  bool replaceOwnOutput = false;
  bool originalKept = false;  // the target's bytes from before the folder's first pack there are safe
  // A rename refused because another program holds the target open is tried again for this long
  // (then the problem is of the kind kFileInUse).
  std::chrono::milliseconds inUsePatience{0};
};

// One unpack folder and what became of it.
struct PackedFolder {
  std::string folder;
  std::string source;  // the file it was unpacked from, as its manifest names it
  std::string output;  // where it was asked to go
  std::string path;    // where it goes: the file there when the name differs only by case
  // Refused as existing or changed: the name that replacing would keep the file there under.
  std::string keptAs;
  Packed packed;           // what was packed, without the bytes, which only the written file holds
  bool written = false;    // the file was put in place
  bool identical = false;  // it already held the very bytes: nothing was written
  std::string kept;        // the file it replaced, kept under this name; empty when none
};

struct PackResult {
  // Every folder read, in order; those after a refusal are not.
  std::vector<PackedFolder> folders;
  std::vector<JobProblem> problems;
  std::vector<std::string> written;  // the files written, in order
  bool complete = false;             // every folder packed and written; a problem may still warn
  bool cancelled = false;            // stopped by a cancel; a problem of kind kCancelled says where
};

PackResult PackJob(const PackRequest& request, JobContext& context);

}  // namespace karst::tools
