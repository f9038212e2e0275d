// The bridge between the window stand-in and the display stand-in: the SDL window behind a
// window handle. Only platform/ code includes this header.
#pragma once

struct SDL_Window;

namespace karst::platform {

class Window;

// The SDL window behind `window`, or null for a null handle.
SDL_Window* NativeWindow(const Window* window);

}  // namespace karst::platform
