// One game file edited in its edit folder (tools/edit/edit_folders.h): starting the edit (an
// unpack, or going on with an earlier one), packing it into the game file after a save, and
// putting the original back.
//
// The rules of what is replaced are pack's (tools/pack/pack_job.h), with the folder's own record
// (packed.json): the first replacement keeps the original under platform::KeptName, as a pack
// that replaces does; later ones replace only the bytes this edit itself last wrote, and keep no
// copy of them. A game file another program changed is never replaced without the person's say.
//
// The edit keeps its own state (the kept original, whether it is paused) in edit.json beside
// packed.json: bookkeeping, never a file the modder edits, and never changed by the modder.
// Nothing here prints or names a command-line option or a button.
#pragma once

#include <string>
#include <vector>

#include "tools/job/job_context.h"
#include "tools/job/job_problem.h"
#include "tools/pack/pack_folder.h"

namespace karst::tools {

// The edit's bookkeeping in its folder, which a watch of the folder ignores.
inline constexpr const char* kEditStateName = "edit.json";

struct EditStart {
  std::string folder;
  bool resumed = false;  // the folder held an earlier edit of the same file, which goes on
  std::vector<JobProblem> problems;
};

// Unpacks `gameFile` into its edit folder (UnpackJob), or, when the folder holds an earlier edit
// of the same file, goes on with it (resumed; a paused edit is no longer paused). Refuses a game
// folder that cannot be written (a file made and removed there, or the system's read-only test),
// before anything is unpacked. No folder is named in the result when it is refused.
EditStart StartEdit(const std::string& gameFile, JobContext& context);

enum class EditOutcome {
  kReplaced,        // the game file now holds the pack of the folder
  kUnchanged,       // it already held those very bytes: nothing written
  kRefused,         // the folder does not pack (a problem says where), or the file cannot be written
  kChangedByOther,  // another program changed the game file: nothing written
  kInUse,           // another program holds the game file open: nothing written, tried again at the next save
  kFolderGone,      // the edit folder is no longer there
  kCancelled,       // cancelled before anything was written
  kPaused,          // the edit is paused after a revert: nothing packed until it is started again
};

struct EditPack {
  EditOutcome outcome = EditOutcome::kRefused;
  std::string keptOriginal;          // the first replacement's .orig name; empty otherwise
  std::vector<JobProblem> problems;  // with their file and place (cell, entity, layer)
};

struct EditPackRequest {
  std::string folder;           // the edit (unpack) folder
  std::string target;           // the game file
  bool replaceChanged = false;  // the person confirmed replacing a file another program changed
  // An existing target that is not this edit's own output may be replaced (keeping it first). A
  // loop that starts with no target of its own leaves it false: it makes the file, then replaces
  // only what it wrote.
  bool replace = true;
  PackOptions options;
};

// Packs the folder and replaces the target in one step (a temporary file in the target's folder,
// then a rename). A refused pack writes nothing. A rename the system refuses because another
// program holds the file is tried again for a few seconds, then kInUse.
EditPack PackEdit(const EditPackRequest& request, JobContext& context);

// Puts the kept original back over the target (one step) and pauses the edit; the original stays
// kept. A target another program changed since the edit last wrote it is kept first under
// platform::KeptName, so nothing is lost. Empty on success, else why not.
std::string RevertEdit(const std::string& folder, const std::string& target);

// Ends the pause a revert began: the next save packs again. Empty on success, else why not.
std::string ResumeEdit(const std::string& folder);

// What the edit's bookkeeping says.
struct EditState {
  std::string keptOriginal;    // the first replacement kept the original under this name
  bool createdTarget = false;  // the target did not exist before the edit first wrote it
  bool paused = false;         // after a revert: nothing is packed until the edit is started again
};
EditState ReadEditState(const std::string& folder);

// The words for an outcome that wrote nothing, as a person reads them after the game file's name
// ("was changed by another program; nothing written"); empty for kReplaced and kUnchanged.
std::string EditOutcomeWords(EditOutcome outcome);

}  // namespace karst::tools
