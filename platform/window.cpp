#include "platform/window.h"

#include <SDL.h>

#include <algorithm>
#include <cctype>
#include <deque>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/display_errors.h"
#include "platform/fault_injection.h"
#include "platform/native_window.h"

namespace karst::platform {
namespace {

struct SdlWindowDeleter {
  void operator()(SDL_Window* window) const { SDL_DestroyWindow(window); }
};
using SdlWindowPtr = std::unique_ptr<SDL_Window, SdlWindowDeleter>;

}  // namespace

class Window {
 public:
  Window(WindowProc windowProcedure, std::string windowTitle, std::uint32_t windowStyle, int left, int top,
         int insideWidth, int insideHeight)
      : procedure_(windowProcedure),
        title_(std::move(windowTitle)),
        style_(windowStyle),
        x_(left),
        y_(top),
        width_(insideWidth),
        height_(insideHeight),
        pictureWidth_(insideWidth),
        pictureHeight_(insideHeight) {}

  WindowProc procedure() const { return procedure_; }
  const std::string& title() const { return title_; }
  std::uint32_t style() const { return style_; }
  int x() const { return x_; }
  int y() const { return y_; }
  // Null until a display takes the window.
  SDL_Window* native() const { return native_.get(); }
  void SetNative(SdlWindowPtr nativeWindow) { native_ = std::move(nativeWindow); }
  // The size the window was created with.
  int width() const { return width_; }
  int height() const { return height_; }
  // The picture the mouse position is clamped into: the window's size until a display sets
  // its mode, then the mode's size, which the display keeps however large the window becomes.
  int pictureWidth() const { return pictureWidth_; }
  int pictureHeight() const { return pictureHeight_; }
  void SetPicture(int pictureWidth, int pictureHeight) {
    pictureWidth_ = pictureWidth;
    pictureHeight_ = pictureHeight;
  }
  bool destroying() const { return destroying_; }
  void MarkDestroying() { destroying_ = true; }

 private:
  WindowProc procedure_;
  std::string title_;
  std::uint32_t style_;
  int x_;
  int y_;
  int width_;
  int height_;
  int pictureWidth_;
  int pictureHeight_;
  SdlWindowPtr native_;
  bool destroying_ = false;
};

namespace {

struct RegisteredClass {
  std::string name;
  WindowProc procedure;
};

// Win32 class atoms live in 0xC000..0xFFFF.
constexpr std::uint32_t kFirstAtom = 0xC000;
constexpr std::uint32_t kLastAtom = 0xFFFF;

// The stand-in for the process's module handle; any nonzero value serves.
constexpr InstanceHandle kProgramInstance{1};
// The standard arrow cursor; the cursor is never drawn, only handed back.
constexpr CursorHandle kArrowCursor{IDC_ARROW};

// Everything Win32 keeps per process and thread: classes, windows (oldest first), the queue.
struct WindowSystem {
  std::vector<RegisteredClass> classes;
  std::uint32_t nextAtom = kFirstAtom;
  std::vector<std::unique_ptr<Window>> windows;
  std::deque<Message> queue;
  bool quitPosted = false;
  int quitCode = 0;
  // SDL video is held while at least one window has its SDL window.
  bool videoStarted = false;
};

WindowSystem& System() {
  static WindowSystem system;
  return system;
}

bool SameClassName(std::string_view a, std::string_view b) {
  return std::ranges::equal(a, b, [](char x, char y) {
    return std::tolower(static_cast<unsigned char>(x)) == std::tolower(static_cast<unsigned char>(y));
  });
}

const RegisteredClass* FindClass(std::string_view name) {
  for (const RegisteredClass& registered : System().classes) {
    if (SameClassName(registered.name, name)) {
      return &registered;
    }
  }
  return nullptr;
}

std::vector<std::unique_ptr<Window>>::iterator FindWindowEntry(const Window* window) {
  std::vector<std::unique_ptr<Window>>& windows = System().windows;
  return std::ranges::find_if(windows,
                              [window](const std::unique_ptr<Window>& entry) { return entry.get() == window; });
}

bool IsWindow(const Window* window) { return window != nullptr && FindWindowEntry(window) != System().windows.end(); }

// SDL's drivers that show nothing to anyone. When no display server answers, SDL falls back
// to its offscreen driver, and a viewer there would wait, unseen, for a focus that never comes.
bool ShowsNothing(std::string_view driver) { return driver == "offscreen" || driver == "dummy" || driver == "evdev"; }

// Wayland's client library finds the compositor by WAYLAND_DISPLAY as an absolute path or by a
// socket name in XDG_RUNTIME_DIR. Without either, connecting can only fail, and the library
// complains about it on standard error.
bool WaylandReachable() {
  const char* display = SDL_getenv("WAYLAND_DISPLAY");
  const char* runtime = SDL_getenv("XDG_RUNTIME_DIR");
  return (display != nullptr && display[0] == '/') || (runtime != nullptr && runtime[0] != '\0');
}

// The drivers that can show a window to a person, in SDL's order, as the comma-separated list
// SDL tries one after another.
std::string VisibleDrivers() {
  std::string drivers;
  for (int i = 0; i < SDL_GetNumVideoDrivers(); ++i) {
    const std::string_view driver = SDL_GetVideoDriver(i);
    if (ShowsNothing(driver) || (driver == "wayland" && !WaylandReachable())) {
      continue;
    }
    drivers += drivers.empty() ? "" : ",";
    drivers += driver;
  }
  return drivers;
}

// Starts the first driver that shows windows to a person, or the one SDL_VIDEODRIVER names
// (the tests ask for "dummy" that way).
bool StartVideo() {
  WindowSystem& system = System();
  if (system.videoStarted) {
    return true;
  }
  // SDL does not take over main() (SDL_MAIN_HANDLED where it would, on Windows): it is told here
  // that main has run.
  SDL_SetMainReady();
  // A full-screen window on the desktop must stay up when the user switches to another program.
  SDL_SetHint(SDL_HINT_VIDEO_MINIMIZE_ON_FOCUS_LOSS, "0");
  DropLateWakeupErrors();
  const char* requested = SDL_getenv("SDL_VIDEODRIVER");
  int started = 0;
  if (requested != nullptr && requested[0] != '\0') {
    started = SDL_InitSubSystem(SDL_INIT_VIDEO);
  } else {
    const std::string drivers = VisibleDrivers();
    if (drivers.empty()) {
      return false;
    }
    // Lent for this start only: the next start looks at the environment afresh.
    SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, drivers.c_str(), SDL_HINT_OVERRIDE);
    started = SDL_InitSubSystem(SDL_INIT_VIDEO);
    SDL_ResetHint(SDL_HINT_VIDEODRIVER);
  }
  if (started != 0) {
    return false;
  }
  system.videoStarted = true;
  return true;
}

void StopVideoWhenIdle() {
  WindowSystem& system = System();
  const bool anyNative = std::ranges::any_of(
      system.windows, [](const std::unique_ptr<Window>& window) { return window->native() != nullptr; });
  if (system.videoStarted && !anyNative) {
    SDL_QuitSubSystem(SDL_INIT_VIDEO);
    system.videoStarted = false;
  }
}

LResult Send(Window* window, std::uint32_t message, WParam wParam, LParam lParam) {
  return window->procedure()(window, message, wParam, lParam);
}

// Win32 virtual-key codes for SDL key codes, where the Win32 key is obvious.
std::uint32_t RemapKey(SDL_Keycode key) {
  if (key >= SDLK_a && key <= SDLK_z) {
    return static_cast<std::uint32_t>('A' + (key - SDLK_a));
  }
  if (key >= SDLK_0 && key <= SDLK_9) {
    return static_cast<std::uint32_t>('0' + (key - SDLK_0));
  }
  if (key >= SDLK_F1 && key <= SDLK_F12) {
    return static_cast<std::uint32_t>(VK_F1 + static_cast<std::uint32_t>(key - SDLK_F1));
  }
  if (key >= SDLK_KP_1 && key <= SDLK_KP_9) {
    return static_cast<std::uint32_t>(97 + (key - SDLK_KP_1));  // VK_NUMPAD1..
  }
  switch (key) {
    case SDLK_BACKSPACE:
      return VK_BACK;
    case SDLK_TAB:
      return VK_TAB;
    case SDLK_RETURN:
    case SDLK_KP_ENTER:
      return VK_RETURN;
    case SDLK_LSHIFT:
    case SDLK_RSHIFT:
      return 16;  // VK_SHIFT
    case SDLK_LCTRL:
    case SDLK_RCTRL:
      return 17;  // VK_CONTROL
    case SDLK_LALT:
    case SDLK_RALT:
      return 18;  // VK_MENU
    case SDLK_PAUSE:
      return 19;
    case SDLK_CAPSLOCK:
      return 20;
    case SDLK_ESCAPE:
      return VK_ESCAPE;
    case SDLK_SPACE:
      return VK_SPACE;
    case SDLK_PAGEUP:
      return 33;
    case SDLK_PAGEDOWN:
      return 34;
    case SDLK_END:
      return 35;
    case SDLK_HOME:
      return 36;
    case SDLK_LEFT:
      return VK_LEFT;
    case SDLK_UP:
      return VK_UP;
    case SDLK_RIGHT:
      return VK_RIGHT;
    case SDLK_DOWN:
      return VK_DOWN;
    case SDLK_INSERT:
      return 45;
    case SDLK_DELETE:
      return 46;
    case SDLK_KP_0:
      return 96;  // VK_NUMPAD0
    default:
      return VK_UNKNOWN;
  }
}

Window* WindowWithId(Uint32 windowId) {
  for (const std::unique_ptr<Window>& window : System().windows) {
    if (window->native() != nullptr && SDL_GetWindowID(window->native()) == windowId) {
      return window.get();
    }
  }
  return nullptr;
}

// Input without a window of ours (no keyboard or mouse focus, SDL_QUIT) goes to the oldest
// window, the program's main window.
Window* InputTarget(Uint32 windowId) {
  if (Window* window = WindowWithId(windowId)) {
    return window;
  }
  std::vector<std::unique_ptr<Window>>& windows = System().windows;
  return windows.empty() ? nullptr : windows.front().get();
}

// The event PostMessage pushes: the message in `code`, the window in `data1`, wParam in
// `data2`. Registered once, whichever thread asks first.
Uint32 PostedEventType() {
  static const Uint32 type = SDL_RegisterEvents(1);
  return type;
}

// The one place where SDL events become window messages.
std::optional<Message> TranslateEvent(const SDL_Event& event) {
  if (event.type == PostedEventType()) {
    auto* window = static_cast<Window*>(event.user.data1);
    if (!IsWindow(window)) {
      return std::nullopt;
    }
    return Message{window, static_cast<std::uint32_t>(event.user.code), reinterpret_cast<WParam>(event.user.data2), 0};
  }
  switch (event.type) {
    case SDL_KEYDOWN: {
      Window* window = InputTarget(event.key.windowID);
      if (window == nullptr) {
        return std::nullopt;
      }
      // Repeat count 1; bit 30 says the key was already down.
      const LParam lParam = event.key.repeat != 0 ? (LParam{1} << 30) | 1 : 1;
      return Message{window, WM_KEYDOWN, RemapKey(event.key.keysym.sym), lParam};
    }
    case SDL_MOUSEMOTION: {
      Window* window = InputTarget(event.motion.windowID);
      if (window == nullptr) {
        return std::nullopt;
      }
      // A pointer in a letterbox border or beyond the picture rests at the picture's edge.
      const int x = std::clamp(event.motion.x, 0, std::max(window->pictureWidth(), 1) - 1);
      const int y = std::clamp(event.motion.y, 0, std::max(window->pictureHeight(), 1) - 1);
      WParam buttons = 0;
      if ((event.motion.state & SDL_BUTTON_LMASK) != 0) buttons |= MK_LBUTTON;
      if ((event.motion.state & SDL_BUTTON_RMASK) != 0) buttons |= MK_RBUTTON;
      if ((event.motion.state & SDL_BUTTON_MMASK) != 0) buttons |= MK_MBUTTON;
      const LParam position = static_cast<LParam>(x) | (static_cast<LParam>(y) << 16);
      return Message{window, WM_MOUSEMOVE, buttons, position};
    }
    case SDL_WINDOWEVENT: {
      Window* window = WindowWithId(event.window.windowID);
      if (window == nullptr) {
        return std::nullopt;
      }
      switch (event.window.event) {
        case SDL_WINDOWEVENT_FOCUS_GAINED:
          return Message{window, WM_ACTIVATEAPP, 1, 0};
        case SDL_WINDOWEVENT_FOCUS_LOST:
          return Message{window, WM_ACTIVATEAPP, 0, 0};
        case SDL_WINDOWEVENT_CLOSE:
          return Message{window, WM_CLOSE, 0, 0};
        case SDL_WINDOWEVENT_LEAVE:
          return Message{window, WM_MOUSELEAVE, 0, 0};
        default:
          return std::nullopt;
      }
    }
    case SDL_QUIT: {
      Window* window = InputTarget(0);
      if (window == nullptr) {
        return std::nullopt;
      }
      return Message{window, WM_CLOSE, 0, 0};
    }
    default:
      return std::nullopt;
  }
}

void PumpEvents() {
  WindowSystem& system = System();
  if (!system.videoStarted) {
    return;
  }
  SDL_Event event;
  while (SDL_PollEvent(&event) != 0) {
    if (std::optional<Message> message = TranslateEvent(event)) {
      system.queue.push_back(*message);
    }
  }
}

bool Matches(const Message& message, const Window* filter, std::uint32_t min, std::uint32_t max) {
  if (filter != nullptr && message.window != filter) {
    return false;
  }
  return (min == 0 && max == 0) || (message.message >= min && message.message <= max);
}

// The character a key types, or nothing for keys that type none.
std::optional<char> TypedCharacter(WParam virtualKey) {
  if (virtualKey >= 'A' && virtualKey <= 'Z') {
    const SDL_Keymod mods = SDL_GetModState();
    const bool upper = ((mods & KMOD_SHIFT) != 0) != ((mods & KMOD_CAPS) != 0);
    const char letter = static_cast<char>(virtualKey);
    return upper ? letter : static_cast<char>(letter - 'A' + 'a');
  }
  if (virtualKey >= '0' && virtualKey <= '9') {
    return static_cast<char>(virtualKey);
  }
  switch (virtualKey) {
    case VK_BACK:
    case VK_TAB:
    case VK_RETURN:
    case VK_ESCAPE:
    case VK_SPACE:
      return static_cast<char>(virtualKey);
    default:
      return std::nullopt;
  }
}

}  // namespace

SDL_Window* NativeWindow(const Window* window) { return IsWindow(window) ? window->native() : nullptr; }

bool IsWindowHandle(const Window* window) { return IsWindow(window); }

SDL_Window* OpenNativeWindow(Window* window) {
  if (!IsWindow(window)) {
    return nullptr;
  }
  if (window->native() != nullptr) {
    return window->native();
  }
  if (!StartVideo()) {
    return nullptr;
  }
  Uint32 flags = SDL_WINDOW_HIDDEN;
  if ((window->style() & WS_CAPTION) == 0) {
    flags |= SDL_WINDOW_BORDERLESS;
  } else if ((window->style() & WS_THICKFRAME) != 0) {
    flags |= SDL_WINDOW_RESIZABLE;
  }
  const bool placedBySystem = window->x() == CW_USEDEFAULT;
  SdlWindowPtr native(SDL_CreateWindow(window->title().c_str(), placedBySystem ? SDL_WINDOWPOS_UNDEFINED : window->x(),
                                       placedBySystem ? SDL_WINDOWPOS_UNDEFINED : window->y(), window->width(),
                                       window->height(), flags));
  if (native == nullptr) {
    StopVideoWhenIdle();
    return nullptr;
  }
  window->SetNative(std::move(native));
  return window->native();
}

void SetPictureSize(Window* window, int width, int height) {
  if (IsWindow(window)) {
    window->SetPicture(width, height);
  }
}

InstanceHandle GetModuleHandle(const char* moduleName) {
  return moduleName == nullptr ? kProgramInstance : InstanceHandle{};
}

IconHandle LoadIcon(InstanceHandle, int) { return IconHandle{}; }

CursorHandle LoadCursor(InstanceHandle instance, int resourceId) {
  return instance == InstanceHandle{} && resourceId == IDC_ARROW ? kArrowCursor : CursorHandle{};
}

std::uint16_t RegisterClass(const WindowClass& windowClass) {
  if (ShouldFail("RegisterClass")) {
    return 0;
  }
  WindowSystem& system = System();
  if (windowClass.className == nullptr || windowClass.className[0] == '\0' || windowClass.procedure == nullptr ||
      FindClass(windowClass.className) != nullptr || system.nextAtom > kLastAtom) {
    return 0;
  }
  system.classes.push_back(RegisteredClass{windowClass.className, windowClass.procedure});
  return static_cast<std::uint16_t>(system.nextAtom++);
}

Window* CreateWindowEx(std::uint32_t, const char* className, const char* windowName, std::uint32_t style, int x, int y,
                       int width, int height, Window*, MenuHandle, InstanceHandle, void* param) {
  if (ShouldFail("CreateWindow") || className == nullptr) {
    return nullptr;
  }
  const RegisteredClass* windowClass = FindClass(className);
  if (windowClass == nullptr) {
    return nullptr;
  }
  WindowSystem& system = System();
  system.windows.push_back(std::make_unique<Window>(windowClass->procedure, windowName != nullptr ? windowName : "",
                                                    style, x, y, width, height));
  Window* window = system.windows.back().get();
  if (Send(window, WM_CREATE, 0, reinterpret_cast<LParam>(param)) == -1) {
    DestroyWindow(window);
    return nullptr;
  }
  // The procedure may have destroyed the window while it was being created.
  return IsWindow(window) ? window : nullptr;
}

int DestroyWindow(Window* window) {
  if (!IsWindow(window) || window->destroying()) {
    return 0;
  }
  window->MarkDestroying();
  Send(window, WM_DESTROY, 0, 0);
  WindowSystem& system = System();
  std::erase_if(system.queue, [window](const Message& message) { return message.window == window; });
  // Found again: the procedure may have created windows and moved the table.
  auto entry = FindWindowEntry(window);
  std::unique_ptr<Window> destroyed = std::move(*entry);
  system.windows.erase(entry);
  destroyed.reset();
  StopVideoWhenIdle();
  return 1;
}

LResult DefWindowProc(Window* window, std::uint32_t message, WParam, LParam) {
  if (message == WM_CLOSE) {
    DestroyWindow(window);
  }
  return 0;
}

void PostQuitMessage(int exitCode) {
  WindowSystem& system = System();
  system.quitPosted = true;
  system.quitCode = exitCode;
}

int PostMessage(Window* window, std::uint32_t message, WParam wParam) {
  if (SDL_WasInit(SDL_INIT_EVENTS) == 0 || PostedEventType() == static_cast<Uint32>(-1)) {
    return 0;
  }
  SDL_Event event{};
  event.type = PostedEventType();
  event.user.code = static_cast<Sint32>(message);
  event.user.data1 = window;
  event.user.data2 = reinterpret_cast<void*>(wParam);
  return SDL_PushEvent(&event) == 1 ? 1 : 0;
}

int PeekMessage(Message& message, Window* filter, std::uint32_t min, std::uint32_t max, std::uint32_t remove) {
  PumpEvents();
  WindowSystem& system = System();
  const bool removing = (remove & PM_REMOVE) != 0;
  auto found =
      std::ranges::find_if(system.queue, [&](const Message& queued) { return Matches(queued, filter, min, max); });
  if (found != system.queue.end()) {
    message = *found;
    if (removing) {
      system.queue.erase(found);
    }
    return 1;
  }
  if (system.quitPosted) {
    message = Message{nullptr, WM_QUIT, static_cast<WParam>(system.quitCode), 0};
    if (removing) {
      system.quitPosted = false;
    }
    return 1;
  }
  return 0;
}

int GetMessage(Message& message, Window* filter, std::uint32_t min, std::uint32_t max) {
  while (PeekMessage(message, filter, min, max, PM_REMOVE) == 0) {
    if (WaitMessage() == 0) {
      return -1;
    }
  }
  return message.message == WM_QUIT ? 0 : 1;
}

int TranslateMessage(const Message& message) {
  if (message.message != WM_KEYDOWN) {
    return 0;
  }
  const std::optional<char> typed = TypedCharacter(message.wParam);
  if (typed && IsWindow(message.window)) {
    // Retrieved next, before input that came after the key.
    const auto character = static_cast<WParam>(static_cast<unsigned char>(*typed));
    System().queue.push_front(Message{message.window, WM_CHAR, character, message.lParam});
  }
  return 1;
}

LResult DispatchMessage(const Message& message) {
  if (!IsWindow(message.window)) {
    return 0;
  }
  return Send(message.window, message.message, message.wParam, message.lParam);
}

int WaitMessage() {
  WindowSystem& system = System();
  if (!system.queue.empty() || system.quitPosted) {
    return 1;
  }
  if (!system.videoStarted) {
    return 0;
  }
  return SDL_WaitEvent(nullptr) != 0 ? 1 : 0;
}

int GetWorkArea(int& width, int& height) {
  // Video is started for the question only when no window holds it yet.
  if (!StartVideo()) {
    return 0;
  }
  SDL_Rect area{};
  const bool known = SDL_GetDisplayUsableBounds(0, &area) == 0;
  StopVideoWhenIdle();
  if (!known) {
    return 0;
  }
  width = area.w;
  height = area.h;
  return 1;
}

void ResetWindowSystem() {
  WindowSystem& system = System();
  system.windows.clear();
  StopVideoWhenIdle();
  system = WindowSystem{};
}

}  // namespace karst::platform
