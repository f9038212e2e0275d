// MessageBoxA: a modal box with one OK button.
//
// On Windows the box is MessageBoxA's own, elsewhere SDL's, owned by `owner`'s window where there
// is one. Where no display can show it (no X server, or a video driver without message boxes),
// "caption: text" and a line feed go to the debug channel (standard error) instead, so the
// message is never lost. Tests switch on capture: every box is then recorded and nothing is
// shown.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace karst::platform {

class Window;

inline constexpr std::uint32_t MB_OK = 0;
inline constexpr int IDOK = 1;

// Shows the box and returns IDOK once it is closed; 0 when the box cannot be made. The box
// has only an OK button whatever `type` asks for. A null caption reads "Error", like Win32's.
int MessageBox(Window* owner, const char* text, const char* caption, std::uint32_t type);

// One box as the program asked for it. `owner` only identifies the window; it may be gone.
struct CapturedMessageBox {
  const Window* owner;
  std::string text;
  std::string caption;
  std::uint32_t type;
};

// Test-only: with `capture` set, boxes are recorded instead of shown. Either way the record
// starts empty.
void CaptureMessageBoxes(bool capture = true);
// Test-only: the boxes recorded since capture was last switched.
const std::vector<CapturedMessageBox>& CapturedMessageBoxes();

}  // namespace karst::platform
