// The window and message stand-in for the Win32 USER calls the viewer makes: window classes,
// windows, the thread's message queue and the default window procedure, with the Win32 message
// numbers and virtual-key codes.
//
// Every call returns what the Win32 call it stands for returns: null handles and 0 on failure.
// The class registry, the window table and the message queue are process state, used from the
// main thread only. A `Window*` is a handle: the window belongs to this layer and lives until
// `DestroyWindow`; afterwards the handle is invalid and calls given it fail.
//
// Input comes from SDL events, translated in one place when the queue is read:
//   key down (auto-repeat included)   WM_KEYDOWN, wParam = virtual-key code, lParam = repeat
//                                     count 1, bit 30 set for an auto-repeat
//   mouse motion                      WM_MOUSEMOVE, lParam = x | (y << 16), the position in the
//                                     window's picture (the display mode's pixels, or the
//                                     window's size until a display takes it), clamped into it;
//                                     wParam = MK_LBUTTON | MK_RBUTTON | MK_MBUTTON held
//   the pointer leaves the window     WM_MOUSELEAVE
//   focus gained / lost               WM_ACTIVATEAPP, wParam = 1 / 0
//   window close request, SDL_QUIT    WM_CLOSE (SDL_QUIT goes to the oldest window)
//   PostMessage (from any thread)     the message posted, for its window while that still
//                                     exists, wParam as posted, lParam 0
// Every other event is dropped.
//
// The program's own messages lie from WM_APP up, above every Win32 message the viewer takes:
//   WM_FOLDERCHANGED (WM_APP)         files below a folder the viewer watches changed and have
//                                     stayed still since; wParam 0
#pragma once

#include <cstdint>

namespace karst::platform {

class Window;

// The procedure's parameters and result, as wide as a pointer like their Win32 namesakes.
using WParam = std::uintptr_t;
using LParam = std::intptr_t;
using LResult = std::intptr_t;

using WindowProc = LResult (*)(Window* window, std::uint32_t message, WParam wParam, LParam lParam);

// Opaque handles; the zero value is the null handle.
enum class InstanceHandle : std::uintptr_t {};
enum class IconHandle : std::uintptr_t {};
enum class CursorHandle : std::uintptr_t {};
enum class BrushHandle : std::uintptr_t {};
enum class MenuHandle : std::uintptr_t {};

// Messages.
inline constexpr std::uint32_t WM_CREATE = 1;
inline constexpr std::uint32_t WM_DESTROY = 2;
inline constexpr std::uint32_t WM_CLOSE = 16;
inline constexpr std::uint32_t WM_QUIT = 18;
inline constexpr std::uint32_t WM_ACTIVATEAPP = 28;
inline constexpr std::uint32_t WM_KEYDOWN = 256;
inline constexpr std::uint32_t WM_CHAR = 258;
inline constexpr std::uint32_t WM_MOUSEMOVE = 512;
inline constexpr std::uint32_t WM_MOUSELEAVE = 0x02A3;
inline constexpr std::uint32_t WM_APP = 0x8000;
inline constexpr std::uint32_t WM_FOLDERCHANGED = WM_APP;

// Virtual-key codes of the viewer's keys. Other keys give their Win32 codes where one is
// obvious (letters 'A'..'Z', digits '0'..'9', Tab 9, Return 13, F1 112, ...), otherwise 0xFF.
inline constexpr std::uint32_t VK_BACK = 8;
inline constexpr std::uint32_t VK_TAB = 9;
inline constexpr std::uint32_t VK_RETURN = 13;
inline constexpr std::uint32_t VK_ESCAPE = 27;
inline constexpr std::uint32_t VK_SPACE = 32;
inline constexpr std::uint32_t VK_LEFT = 37;
inline constexpr std::uint32_t VK_UP = 38;
inline constexpr std::uint32_t VK_RIGHT = 39;
inline constexpr std::uint32_t VK_DOWN = 40;
inline constexpr std::uint32_t VK_F1 = 112;
inline constexpr std::uint32_t VK_UNKNOWN = 0xFF;

// Mouse buttons held during WM_MOUSEMOVE (its wParam).
inline constexpr std::uint32_t MK_LBUTTON = 0x01;
inline constexpr std::uint32_t MK_RBUTTON = 0x02;
inline constexpr std::uint32_t MK_MBUTTON = 0x10;

// Class styles, window styles, extended styles.
inline constexpr std::uint32_t CS_VREDRAW = 0x0001;
inline constexpr std::uint32_t CS_HREDRAW = 0x0002;
inline constexpr std::uint32_t WS_POPUP = 0x80000000;
inline constexpr std::uint32_t WS_CAPTION = 0x00C00000;
inline constexpr std::uint32_t WS_THICKFRAME = 0x00040000;
inline constexpr std::uint32_t WS_OVERLAPPEDWINDOW = 0x00CF0000;
inline constexpr std::uint32_t WS_EX_TOPMOST = 0x00000008;

// A window position the system chooses.
inline constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// Standard resource identifiers.
inline constexpr int IDI_APPLICATION = 32512;
inline constexpr int IDC_ARROW = 32512;

// PeekMessage removal flags.
inline constexpr std::uint32_t PM_NOREMOVE = 0;
inline constexpr std::uint32_t PM_REMOVE = 1;

struct WindowClass {
  std::uint32_t style;
  WindowProc procedure;
  int classExtra;
  int windowExtra;
  InstanceHandle instance;
  IconHandle icon;
  CursorHandle cursor;
  BrushHandle background;
  const char* menuName;
  const char* className;  // copied at registration
};

// One queued message. The quit message has no window.
struct Message {
  Window* window;
  std::uint32_t message;
  WParam wParam;
  LParam lParam;
};

// The handle of the running program's module for a null name; any other name: null.
InstanceHandle GetModuleHandle(const char* moduleName);

// The program carries no resources, so every icon lookup gives null.
IconHandle LoadIcon(InstanceHandle instance, int resourceId);
// The standard arrow for a null instance and IDC_ARROW; null otherwise.
CursorHandle LoadCursor(InstanceHandle instance, int resourceId);

// Registers a class under its name (letters compared without regard to case). Returns the
// class atom, or 0 when the name or procedure is missing or the name is already registered.
std::uint16_t RegisterClass(const WindowClass& windowClass);

// Creates a window of the given size and sends WM_CREATE, with lParam = `param`, before
// returning. It needs no display: the window gets its SDL window, and the program its video
// driver, only when a display takes it (the DirectDraw stand-in's SetCooperativeLevel), so a
// machine without a screen fails there. The size is that of the window's inside. A style with
// WS_CAPTION gives a window with the system's frame and title bar, resizable with
// WS_THICKFRAME; any other style a window without them. CW_USEDEFAULT for x lets the system
// place the window. Returns null when the class is unknown, the window
// cannot be made, or the procedure answers WM_CREATE with -1. WS_EX_TOPMOST is not honoured:
// once the viewer loses focus, the program the user switched to comes to the front.
// Parent, menu and instance are not used; the window has no children and no menu.
Window* CreateWindowEx(std::uint32_t exStyle, const char* className, const char* windowName, std::uint32_t style, int x,
                       int y, int width, int height, Window* parent, MenuHandle menu, InstanceHandle instance,
                       void* param);

// Sends WM_DESTROY to the window's procedure, drops the window's queued messages and destroys
// it. Returns 1, or 0 for a handle that is not (or no longer) a window.
int DestroyWindow(Window* window);

// WM_CLOSE destroys the window; every other message is answered with 0.
LResult DefWindowProc(Window* window, std::uint32_t message, WParam wParam, LParam lParam);

// Queues the quit message with `exitCode` as its wParam. It is retrieved once no other
// matching message waits.
void PostQuitMessage(int exitCode);

// Queues `message` for `window` from any thread, waking a GetMessage or WaitMessage that
// blocks. It arrives in the queue's order with the input, with lParam 0, and is dropped when the
// window is gone by then. Returns 1, or 0 when no display has started the event queue.
int PostMessage(Window* window, std::uint32_t message, WParam wParam);

// Takes the first waiting message for `filter` (null: any) whose number lies in min..max
// (both 0: any) into `message`; with PM_REMOVE it leaves the queue. Returns 1 when one was
// found, 0 otherwise. Never blocks.
int PeekMessage(Message& message, Window* filter, std::uint32_t min, std::uint32_t max, std::uint32_t remove);

// Like PeekMessage with PM_REMOVE, but blocks until a message comes. Returns 0 for the quit
// message, 1 for any other, -1 when no message can ever come (no window on a display and an
// empty queue).
int GetMessage(Message& message, Window* filter, std::uint32_t min, std::uint32_t max);

// For WM_KEYDOWN of a key that types a character (letters, digits, Space, Backspace, Tab,
// Return, Escape) queues WM_CHAR with that character to be retrieved next. Returns nonzero for
// every WM_KEYDOWN, 0 for other messages.
int TranslateMessage(const Message& message);

// Calls the procedure of the message's window and returns its result; 0 for a message without
// a window or with a destroyed one.
LResult DispatchMessage(const Message& message);

// Blocks until a message is queued or an input event arrives; returns at once when one already
// waits. Returns 1, or 0 when nothing can ever arrive (no window on a display and an empty
// queue).
int WaitMessage();

// The part of the desktop that windows may take (without panels and docks) on the first
// display, in `width` and `height`. Returns 1, or 0 when no display can be asked, like
// SystemParametersInfo(SPI_GETWORKAREA).
int GetWorkArea(int& width, int& height);

// Test-only: destroys every window without sending it messages, forgets every class and
// empties the queue, the quit message included.
void ResetWindowSystem();

}  // namespace karst::platform
