// The system's own dialog for choosing a folder, for the programs that open a game folder from a
// window: Windows' folder dialog; elsewhere there is none here, and the caller shows a chooser of
// its own.
#pragma once

#include <string>

struct SDL_Window;

namespace karst::platform {

enum class FolderChoiceOutcome {
  kChosen,     // `folder` holds the folder chosen
  kCancelled,  // the person closed the dialog without choosing
  kNoChooser,  // the system has no dialog here: the caller offers its own
  kFailed,     // the dialog could not be shown or gave no usable folder: `problem` says why
};

struct FolderChoice {
  FolderChoiceOutcome outcome = FolderChoiceOutcome::kNoChooser;
  std::string folder;   // a path string as platform/paths.h describes them
  std::string problem;  // in words, for the window to show
};

// Shows the system's folder dialog over `owner` (null: no owner), opened at `startFolder` where
// that is a folder (empty: the system's choice), and returns once it is closed. Blocks the calling
// thread, as the dialog is modal: call it from the window's own thread.
FolderChoice ChooseFolderWithSystem(SDL_Window* owner, const std::string& startFolder);

}  // namespace karst::platform
