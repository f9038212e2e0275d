// A problem a job met, as a value: the file, a kind for a program, words for a person, and the
// place in the file where it has one, so that a window can show the spot.
//
// The words never name a command-line option or a button: each face adds its own way forward
// from the kind (the command line names the flag that lifts a refusal, a window shows a button).
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

namespace karst::tools {

enum class ProblemKind : std::uint8_t {
  kUnreadable,           // the file cannot be read; the system's reason in the words
  kNotContainer,         // not a GFF container
  kWouldNotLoad,         // a region or library the viewer would refuse, or one a pack would make so
  kOutputRefused,        // an output that may never be written: an input, a game file, a folder
  kOutputExists,         // an existing file that is replaced only when asked
  kOutputChanged,        // a file changed since the folder was unpacked or last packed
  kEditsWouldBeLost,     // an unpack over a folder whose files were edited
  kEditRefused,          // an edited file that cannot be taken; the place says where
  kLayoutWouldChange,    // a container that cannot be laid out again without changing unedited chunks
  kWriteFailed,          // a file that could not be written; the system's reason in the words
  kCancelled,            // the job was cancelled before it finished
  kNote,                 // no failure: what a load met that the viewer would print, a part left unchecked
  kNotFound,             // what the request names (a chunk) is not in the file
  kUnfinished,           // a folder a job stopped midway left marked unfinished: running it again finishes it
  kColourMissing,        // a picture holds a colour its palette lacks: taking the nearest one would do
  kTransparencyMissing,  // a picture saved without transparency where its frame has transparent pixels
  kFileInUse,            // a file another program holds open, which the system would not replace
};

// The kind as machine output names it: "unreadable", "would-not-load", ...
std::string_view ProblemKindName(ProblemKind kind);

// Where in a file a problem lies, as far as it is known.
struct ProblemPlace {
  std::string chunk;                    // "TILE 3"
  std::string form;                     // the edited file of an unpack folder: "frames/TILE-3-0.png"
  std::optional<std::uint32_t> cellX;   // a map cell, 0-127
  std::optional<std::uint32_t> cellY;   // 0-95
  std::optional<std::uint32_t> entity;  // an entity's index in the region's table
  std::string layer;                    // a layer of the Tiled map: "Objects"
};

struct JobProblem {
  std::string file;
  ProblemKind kind = ProblemKind::kUnreadable;
  std::string words;
  ProblemPlace place;
};

}  // namespace karst::tools
