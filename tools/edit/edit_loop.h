// The live edit loop: watches an edit folder and packs it into its game file after each settled
// save (tools/edit/edit_session.h), until cancelled. The workbench runs it on a thread of its own;
// `karst-gff pack --watch` runs it in the foreground.
//
// A save settles when files changed and then stayed still for the settle time (300 ms): editors
// write a file in several steps, or several files, and one pack must see all of them. A change
// during a pack makes another pack follow, so the game file always ends as the pack of the
// folder's final state. The loop never changes a file the modder edits.
#pragma once

#include <chrono>
#include <functional>
#include <optional>

#include "tools/edit/edit_session.h"
#include "tools/job/job_context.h"

namespace karst::tools {

// The settle rule as plain data: fed the moments changes were seen, it says when to pack.
class SettleRule {
 public:
  using Clock = std::chrono::steady_clock;

  explicit SettleRule(std::chrono::milliseconds settle) : settle_(settle) {}

  // A change was seen at `now`.
  void Changed(Clock::time_point now) {
    lastChange_ = now;
    pending_ = true;
  }
  // Whether changes are waiting to be packed.
  bool pending() const { return pending_; }
  // When the changes waiting will have settled; nothing when none wait.
  std::optional<Clock::time_point> SettlesAt() const;
  // Whether the changes waiting have settled at `now`; they are then taken (no longer pending).
  bool TakeSettled(Clock::time_point now);

 private:
  std::chrono::milliseconds settle_;
  bool pending_ = false;
  Clock::time_point lastChange_;
};

struct WatchRequest {
  EditPackRequest pack;
  std::chrono::milliseconds settle{300};
  // Packs the folder once as soon as the watch is set up, so that saves made before it (while the
  // edit started, or while no loop ran) reach the game file too.
  bool packAtStart = false;
};

// Watches the folder (platform::FolderWatch) and packs after each settled change, calling
// `report` after every pack or refusal (and kFolderGone when the folder is deleted: the loop
// ends). Returns when the context is cancelled (JobContext::Cancel also wakes the watch), once any
// pack in flight has finished. Packs nothing while the edit is paused (after a revert).
void RunEditLoop(const WatchRequest& request, JobContext& context, const std::function<void(const EditPack&)>& report);

}  // namespace karst::tools
