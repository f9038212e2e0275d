// Helpers for the window and message tests: a clean window system per test, a window procedure
// that records what it is sent, and real SDL input events pushed into SDL's queue.
#pragma once

#include <SDL.h>

#include <cstdint>
#include <vector>

#include "platform/fault_injection.h"
#include "platform/message_box.h"
#include "platform/native_window.h"
#include "platform/window.h"

namespace karst::platform::testing {

// Every message a recording procedure was sent, in order.
inline std::vector<Message>& Received() {
  static std::vector<Message> received;
  return received;
}

// Records the message, then behaves as the default procedure.
inline LResult RecordingProc(Window* window, std::uint32_t message, WParam wParam, LParam lParam) {
  Received().push_back(Message{window, message, wParam, lParam});
  return DefWindowProc(window, message, wParam, lParam);
}

// Like the viewer's procedure on WM_DESTROY: posts the quit message with 0.
inline LResult QuittingProc(Window* window, std::uint32_t message, WParam wParam, LParam lParam) {
  if (message == WM_DESTROY) {
    PostQuitMessage(0);
  }
  return RecordingProc(window, message, wParam, lParam);
}

// Puts the window system, the fault switch and message boxes back to their start for the
// lifetime of a test, and again at its end.
class CleanWindowSystem {
 public:
  CleanWindowSystem() { Reset(); }
  ~CleanWindowSystem() { Reset(); }
  CleanWindowSystem(const CleanWindowSystem&) = delete;
  CleanWindowSystem& operator=(const CleanWindowSystem&) = delete;

 private:
  static void Reset() {
    ResetWindowSystem();
    ClearFailures();
    CaptureMessageBoxes(false);
    Received().clear();
  }
};

inline WindowClass TestClass(const char* name, WindowProc procedure) {
  return WindowClass{CS_HREDRAW | CS_VREDRAW, procedure,     0,       0,   InstanceHandle{}, IconHandle{},
                     CursorHandle{},          BrushHandle{}, nullptr, name};
}

// Registers `className` (once) and creates a 640 x 480 popup window of it, as the viewer does,
// with its SDL window made as a display makes it, so that input reaches it.
inline Window* MakeWindow(const char* className = "Test Window", WindowProc procedure = RecordingProc) {
  RegisterClass(TestClass(className, procedure));
  Window* window = CreateWindowEx(WS_EX_TOPMOST, className, className, WS_POPUP, 0, 0, 640, 480, nullptr, MenuHandle{},
                                  InstanceHandle{}, nullptr);
  return OpenNativeWindow(window) != nullptr ? window : nullptr;
}

inline Uint32 IdOf(const Window* window) { return SDL_GetWindowID(NativeWindow(window)); }

inline void PushKey(const Window* window, SDL_Keycode key, bool repeat = false) {
  SDL_Event event{};
  event.type = SDL_KEYDOWN;
  event.key.windowID = IdOf(window);
  event.key.state = SDL_PRESSED;
  event.key.repeat = repeat ? 1 : 0;
  event.key.keysym.sym = key;
  SDL_PushEvent(&event);
}

inline void PushMouse(const Window* window, int x, int y) {
  SDL_Event event{};
  event.type = SDL_MOUSEMOTION;
  event.motion.windowID = IdOf(window);
  event.motion.x = x;
  event.motion.y = y;
  SDL_PushEvent(&event);
}

inline void PushWindowEvent(const Window* window, SDL_WindowEventID id) {
  SDL_Event event{};
  event.type = SDL_WINDOWEVENT;
  event.window.windowID = IdOf(window);
  event.window.event = static_cast<Uint8>(id);
  SDL_PushEvent(&event);
}

// Removes and returns every waiting message; a quit message ends the list.
inline std::vector<Message> TakeAll() {
  std::vector<Message> taken;
  Message message{};
  while (PeekMessage(message, nullptr, 0, 0, PM_REMOVE) == 1) {
    taken.push_back(message);
    if (message.message == WM_QUIT) {
      break;
    }
  }
  return taken;
}

}  // namespace karst::platform::testing
