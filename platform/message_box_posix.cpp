#include <SDL.h>

#include "platform/fault_injection.h"
#include "platform/native_window.h"

namespace karst::platform {

bool ShowNativeMessageBox(const Window* owner, const std::string& text, const std::string& caption) {
  // The display step can be failed on its own, so the fallback is testable on any machine.
  return !ShouldFail("SDL_ShowSimpleMessageBox") &&
         SDL_ShowSimpleMessageBox(0, caption.c_str(), text.c_str(), NativeWindow(owner)) == 0;
}

}  // namespace karst::platform
