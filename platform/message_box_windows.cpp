#include <SDL.h>
#include <SDL_syswm.h>

#include "platform/fault_injection.h"
#include "platform/native_window.h"

#include "platform/windows_api.h"

namespace karst::platform {

bool ShowNativeMessageBox(const Window* owner, const std::string& text, const std::string& caption) {
  // The display step can be failed on its own, so the fallback is testable on any machine.
  if (ShouldFail("SDL_ShowSimpleMessageBox")) {
    return false;
  }
  HWND ownerWindow = nullptr;
  SDL_SysWMinfo info;
  SDL_VERSION(&info.version);
  if (SDL_Window* native = NativeWindow(owner);
      native != nullptr && SDL_GetWindowWMInfo(native, &info) == SDL_TRUE && info.subsystem == SDL_SYSWM_WINDOWS) {
    ownerWindow = info.info.win.window;
  }
  return MessageBoxA(ownerWindow, text.c_str(), caption.c_str(), MB_OK) != 0;
}

}  // namespace karst::platform
