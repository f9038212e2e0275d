// The bridge between the window stand-in and the display stand-in: the SDL window behind a
// window handle. Only platform/ code includes this header.
#pragma once

#include <string>

struct SDL_Window;

namespace karst::platform {

class Window;

// The SDL window behind `window`; null for a handle that is no window and for a window that no
// display has taken yet.
SDL_Window* NativeWindow(const Window* window);

// True for the handle of a window that exists, whether a display has taken it or not.
bool IsWindowHandle(const Window* window);

// The SDL window behind `window`, made at the first call: hidden, with the window's title,
// position, size and frame (borderless unless its style has a caption). The first one made starts SDL video, with the
// first driver that can show a window to a person (not SDL's offscreen, dummy or evdev drivers) unless the environment
// variable SDL_VIDEODRIVER names a driver; video stops again when the last SDL window goes. Null for a handle that is
// no window, when no such driver starts, or when the window cannot be made.
SDL_Window* OpenNativeWindow(Window* window);

// The picture a display shows in `window`, `width` x `height` pixels: mouse positions are
// reported in its pixels and clamped into it. Nothing for a handle that is no window.
void SetPictureSize(Window* window, int width, int height);

// Shows a modal box with `caption`, `text` and an OK button, owned by `owner`'s window where
// there is one, and returns once it is closed: SDL's box on POSIX, MessageBoxA on Windows.
// False when no box can be shown.
bool ShowNativeMessageBox(const Window* owner, const std::string& text, const std::string& caption);

}  // namespace karst::platform
