#include "workbench/model/live_edit.h"

#include <filesystem>
#include <mutex>
#include <system_error>
#include <utility>

#include "platform/file_safety.h"
#include "platform/paths.h"
#include "tools/edit/edit_folders.h"
#include "tools/edit/edit_loop.h"
#include "tools/pack/unpack_manifest.h"

namespace karst::workbench {

class LiveEditInbox {
 public:
  void Put(tools::EditPack pack) {
    const std::lock_guard lock(mutex_);
    packs_.push_back(std::move(pack));
  }
  std::vector<tools::EditPack> Take() {
    const std::lock_guard lock(mutex_);
    return std::exchange(packs_, {});
  }

 private:
  std::mutex mutex_;
  std::vector<tools::EditPack> packs_;
};

namespace {

// A problem as a line: its file, its place where it has one, its words.
std::string ProblemLine(const tools::JobProblem& problem) {
  std::string line = problem.file.empty() ? std::string() : platform::FileNameOf(problem.file) + ": ";
  const tools::ProblemPlace& place = problem.place;
  if (!place.form.empty()) {
    line += place.form + ": ";
  }
  if (place.cellX && place.cellY) {
    line += "cell " + std::to_string(*place.cellX) + ", " + std::to_string(*place.cellY) + ": ";
  }
  if (place.entity) {
    line += "entity " + std::to_string(*place.entity) + ": ";
  }
  if (!place.layer.empty()) {
    line += "layer " + place.layer + ": ";
  }
  return line + problem.words;
}

}  // namespace

bool HasEditFolder(const std::string& gameFile) {
  const std::string folder = tools::EditFolderFor(gameFile);
  std::error_code error;
  return !folder.empty() &&
         std::filesystem::is_regular_file(platform::NativePath(folder) / tools::kManifestName, error);
}

LiveEdit::LiveEdit(std::string gameFile, std::function<void()> wake)
    : gameFile_(std::move(gameFile)), wake_(std::move(wake)), inbox_(std::make_shared<LiveEditInbox>()) {
  Say("Unpacking " + platform::FileNameOf(gameFile_) + " into its edit folder...");
  StartEditJob();
}

// The jobs go first, each cancelled and joined by its own destructor; the loop finishes a pack in
// flight before it ends, so the game file is whole.
LiveEdit::~LiveEdit() {
  action_.reset();
  loop_.reset();
  start_.reset();
}

// Unpacks into the edit folder, or goes on with it (which also lifts a pause), beside the window.
void LiveEdit::StartEditJob() {
  start_ = std::make_unique<BackgroundJob<tools::EditStart>>(
      [file = gameFile_](tools::JobContext& context) { return tools::StartEdit(file, context); }, wake_);
}

void LiveEdit::Say(std::string line) {
  lines_.push_back(std::move(line));
  if (lines_.size() > kLiveEditLines) {
    lines_.erase(lines_.begin());
  }
}

void LiveEdit::StartLoop() {
  tools::WatchRequest request;
  request.pack.folder = folder_;
  request.pack.target = gameFile_;
  request.packAtStart = true;
  firstPack_ = true;
  std::function<void()> wake = wake_;
  loop_ = std::make_unique<BackgroundJob<bool>>(
      [request, inbox = inbox_, wake](tools::JobContext& context) {
        tools::RunEditLoop(request, context, [&inbox, &wake](const tools::EditPack& pack) {
          inbox->Put(pack);
          if (wake) {
            wake();
          }
        });
        return true;
      },
      wake_);
}

void LiveEdit::Note(const tools::EditPack& pack) {
  const std::string file = platform::FileNameOf(gameFile_);
  problems_.clear();
  if (pack.outcome != tools::EditOutcome::kUnchanged) {
    firstPack_ = false;
  }
  switch (pack.outcome) {
    case tools::EditOutcome::kReplaced:
      status_ = LiveEditStatus::kWatching;
      replaced_ = true;
      Say(pack.keptOriginal.empty()
              ? "Packed and replaced " + file
              : "Packed and replaced " + file + "; the original is kept as " + platform::FileNameOf(pack.keptOriginal));
      return;
    case tools::EditOutcome::kUnchanged:
      status_ = LiveEditStatus::kWatching;
      // The pack at the loop's start finds the game file as the folder says it most times.
      if (!std::exchange(firstPack_, false)) {
        Say("Saved, and " + file + " already holds it: nothing written");
      }
      return;
    case tools::EditOutcome::kRefused:
      status_ = LiveEditStatus::kRefused;
      break;
    case tools::EditOutcome::kChangedByOther:
      status_ = LiveEditStatus::kChangedByOther;
      break;
    case tools::EditOutcome::kInUse:
      status_ = LiveEditStatus::kInUse;
      break;
    case tools::EditOutcome::kFolderGone:
      status_ = LiveEditStatus::kEnded;
      break;
    case tools::EditOutcome::kPaused:
      status_ = LiveEditStatus::kPaused;
      break;
    case tools::EditOutcome::kCancelled:
      return;
  }
  Say(file + " " + tools::EditOutcomeWords(pack.outcome));
  problems_ = pack.problems;
  for (const tools::JobProblem& problem : problems_) {
    Say("  " + ProblemLine(problem));
  }
}

bool LiveEdit::Poll() {
  if (start_ && start_->Ready()) {
    tools::EditStart started = start_->Take();
    start_.reset();
    for (const tools::JobProblem& problem : started.problems) {
      Say(ProblemLine(problem));
    }
    if (started.folder.empty()) {
      status_ = LiveEditStatus::kEnded;
      Say("The edit of " + platform::FileNameOf(gameFile_) + " did not start; nothing was written");
    } else {
      folder_ = started.folder;
      resumed_ = started.resumed;
      status_ = LiveEditStatus::kWatching;
      Say((resumed_ ? "Going on with the edit in " : "Editing in ") + folder_ + ": every save there is packed into " +
          platform::FileNameOf(gameFile_));
      StartLoop();
    }
  }
  for (const tools::EditPack& pack : inbox_->Take()) {
    Note(pack);
  }
  if (loop_ && loop_->Ready()) {
    loop_->Take();
    loop_.reset();
    if (status_ != LiveEditStatus::kEnded && status_ != LiveEditStatus::kPaused) {
      status_ = LiveEditStatus::kEnded;
      Say("The edit of " + platform::FileNameOf(gameFile_) + " ended");
    }
  }
  if (action_ && action_->Ready()) {
    Note(action_->Take());
    action_.reset();
  }
  return std::exchange(replaced_, false);
}

void LiveEdit::ReplaceAnyway() {
  if (status_ != LiveEditStatus::kChangedByOther || action_ || folder_.empty()) {
    return;
  }
  tools::EditPackRequest request;
  request.folder = folder_;
  request.target = gameFile_;
  request.replaceChanged = true;
  action_ = std::make_unique<BackgroundJob<tools::EditPack>>(
      [request](tools::JobContext& context) { return tools::PackEdit(request, context); }, wake_);
}

void LiveEdit::Revert() {
  if (folder_.empty()) {
    return;
  }
  // The loop ends first, once a pack in flight is whole, so the original is not written over
  // behind the revert; Resume starts it again.
  loop_.reset();
  action_.reset();
  const std::string problem = tools::RevertEdit(folder_, gameFile_);
  if (!problem.empty()) {
    Say("Not reverted: " + problem);
    return;
  }
  status_ = LiveEditStatus::kPaused;
  replaced_ = true;
  problems_.clear();
  inbox_->Take();
  Say(platform::FileNameOf(gameFile_) + " is the original again; the edit is paused and its folder keeps every edit");
}

void LiveEdit::Resume() {
  if (status_ != LiveEditStatus::kPaused) {
    return;
  }
  // Starting the edit again goes on with its folder and lifts the pause; the loop stays.
  loop_.reset();
  status_ = LiveEditStatus::kStarting;
  StartEditJob();
}

void LiveEdit::StartAgain() {
  if (status_ != LiveEditStatus::kChangedByOther || folder_.empty()) {
    return;
  }
  loop_.reset();
  action_.reset();
  const std::string aside = platform::KeptName(folder_);
  std::error_code error;
  std::filesystem::rename(platform::NativePath(folder_), platform::NativePath(aside), error);
  if (error) {
    Say("The edit folder cannot be set aside (" + error.message() + "): " + folder_);
    return;
  }
  Say("The earlier edit is kept in " + aside);
  folder_.clear();
  status_ = LiveEditStatus::kStarting;
  StartEditJob();
}

}  // namespace karst::workbench
