// The workbench's edit of one game file: the edit folder made (or gone on with) beside the window,
// then the loop that packs every settled save into the game file (tools/edit/), and what it last
// said, as plain data for the edit panel. The window asks for the actions a refusal offers:
// revert, start again from the changed file, or replace anyway once the person has confirmed.
#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "tools/edit/edit_session.h"
#include "tools/job/job_problem.h"
#include "workbench/model/background_job.h"

namespace karst::workbench {

enum class LiveEditStatus {
  kStarting,        // unpacking into the edit folder
  kWatching,        // the loop waits for saves; the last one, if any, packed
  kRefused,         // the last save did not pack: `problems` say where; the game file is as it was
  kChangedByOther,  // another program changed the game file: nothing is written until the person says
  kInUse,           // another program held the game file: packed again at the next save
  kPaused,          // reverted to the original: nothing is packed until the edit goes on
  kEnded,           // the edit folder went, or the edit could not start: `line` says why
};

// The lines the loop's outcomes and the start's problems leave, newest last, at most this many.
inline constexpr std::size_t kLiveEditLines = 50;

class LiveEditInbox;

class LiveEdit {
 public:
  // Starts the edit of `gameFile` beside the window; `wake` is called from the jobs' threads.
  LiveEdit(std::string gameFile, std::function<void()> wake);
  ~LiveEdit();
  LiveEdit(const LiveEdit&) = delete;
  LiveEdit& operator=(const LiveEdit&) = delete;

  // Takes what the start and the loop reported. True when the game file was replaced since the
  // last call: what shows it must be read again.
  bool Poll();

  const std::string& gameFile() const { return gameFile_; }
  const std::string& folder() const { return folder_; }
  bool resumed() const { return resumed_; }
  LiveEditStatus status() const { return status_; }
  const std::vector<std::string>& lines() const { return lines_; }
  // The problems of the last refused pack, with their files and places.
  const std::vector<tools::JobProblem>& problems() const { return problems_; }
  bool Busy() const { return start_ != nullptr || loop_ != nullptr || action_ != nullptr; }

  // After kChangedByOther, confirmed: the folder packed over the changed file, which is kept first.
  void ReplaceAnyway();
  // Confirmed: the kept original back in the game folder, and the edit paused.
  void Revert();
  // After a revert: the loop packs again at the next save.
  void Resume();
  // After kChangedByOther: this edit folder is kept aside under a new name, and a new edit starts
  // from the file as it is now.
  void StartAgain();

 private:
  void StartEditJob();
  void StartLoop();
  void Note(const tools::EditPack& pack);
  void Say(std::string line);

  std::string gameFile_;
  std::function<void()> wake_;
  std::string folder_;
  bool resumed_ = false;
  LiveEditStatus status_ = LiveEditStatus::kStarting;
  std::vector<std::string> lines_;
  std::vector<tools::JobProblem> problems_;
  bool replaced_ = false;
  bool firstPack_ = true;
  std::shared_ptr<LiveEditInbox> inbox_;
  std::unique_ptr<BackgroundJob<tools::EditStart>> start_;
  std::unique_ptr<BackgroundJob<bool>> loop_;
  std::unique_ptr<BackgroundJob<tools::EditPack>> action_;
};

// Whether `gameFile` has an edit folder from an earlier session to go on with.
bool HasEditFolder(const std::string& gameFile);

}  // namespace karst::workbench
