// `karst-gff unpack` as one call: a container, or every .GFF file of a game folder, taken apart
// into folders of files people edit (tools/pack/unpack_folder.h), or some files of such folders
// written again as unpack writes them, every other file and edit left as it is.
//
// Everything is checked before the first file is written: the output is none of the inputs, and
// each folder is missing, empty, an unfinished unpack, or an earlier unpack whose edits would not
// be lost (all of them were packed into the very file unpacked now, or `overEdits`). Then each
// container is unpacked in its turn. Progress: for a game folder, item i of n is its i-th
// container; for one container, the file being written. A cancel is looked at before every
// file: the folder at hand keeps its mark of an unfinished unpack (tools/pack/unpack_files.h),
// which the next unpack into it finishes, and every folder before it is whole.
//
// Nothing here prints or names a command-line option: the problems' kinds say what would lift a
// refusal (kEditsWouldBeLost: unpacking over the edits, or restoring single files), and their
// places the file of a folder that restoring would write again.
#pragma once

#include <cstddef>
#include <string>
#include <vector>

#include "tools/job/job_context.h"
#include "tools/job/job_problem.h"

namespace karst::tools {

struct UnpackRequest {
  std::string input;   // a container, or a game folder
  std::string output;  // its folder; for a game folder, the folder of the containers' folders
  // A region whose colours an object library's (or any other non-region container's) pictures
  // get; empty: greyscale, or when restoring, the colours the folder was unpacked with.
  std::string palette;
  // The object library a region's map draws its objects with; empty: the OBJEX.GFF beside each
  // region, where there is one the viewer would start with.
  std::string objects;
  bool overEdits = false;  // unpack over an earlier unpack whose files were edited, losing the edits
  // Only these files are written again: each a file of a folder or a folder of them, named inside
  // the folder ("frames/TILE-9-0.png") or through it ("rgn01/frames/TILE-9-0.png").
  std::vector<std::string> restore;
};

// What was written of one container's folder.
struct UnpackedFolder {
  std::string input;
  std::string folder;
  std::string kind;  // "region", "object library" or "container"
  std::size_t chunks = 0;
  std::size_t pictures = 0;
  bool map = false;                  // map.tmj was written
  std::string mapObjects;            // the library the map's objects were drawn with; empty: none
  std::vector<std::string> leftOut;  // the files left out, each with why
  // The pictures are greyscale: the region whose colours would colour them (the first beside the
  // container, or a stand-in name when there is none); empty otherwise.
  std::string greyscaleRegion;
  std::vector<std::string> written;  // the files written, named inside the folder, in order
  bool finished = false;             // false: stopped midway, the folder marked unfinished
  // Restoring: the container changed since the folder was unpacked, and whether it holds what
  // the folder last packed into it.
  bool sourceChanged = false;
  bool holdsLastPack = false;
};

struct UnpackResult {
  bool restoring = false;
  // Every folder written to, in order: whole, or the last one stopped midway.
  std::vector<UnpackedFolder> folders;
  std::vector<JobProblem> problems;
  bool refused = false;    // a problem stopped the job before its first file: nothing was written
  bool cancelled = false;  // stopped by a cancel; a problem of kind kCancelled says where
};

UnpackResult UnpackJob(const UnpackRequest& request, JobContext& context);

}  // namespace karst::tools
