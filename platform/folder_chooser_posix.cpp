#include "platform/folder_chooser.h"

namespace karst::platform {

// No system dialog is reached from here: the window's own chooser serves.
FolderChoice ChooseFolderWithSystem(SDL_Window* /*owner*/, const std::string& /*startFolder*/) {
  return {FolderChoiceOutcome::kNoChooser, {}, {}};
}

}  // namespace karst::platform
