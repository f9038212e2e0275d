// The workbench's window: SDL's window and renderer with Dear ImGui over them, the loop that sleeps
// while nothing happens, and the keys. What is shown comes from the model (workbench/model/); the
// panels (panels.h) draw it and ask it for actions.
#pragma once

#include <optional>
#include <string>

namespace karst::workbench {

struct WindowSize {
  int width = 0;
  int height = 0;
};

struct WorkbenchOptions {
  std::string path;                // a game folder or a file in one; empty: the last folder, or the start page
  std::optional<WindowSize> size;  // none: the size kept from last time, or most of the screen
};

// How the window ended: its exit code, and a line for standard error when something failed (no
// window could be opened, the settings could not be saved). The program's face prints it.
struct WorkbenchExit {
  int code = 0;
  std::string problem;
};

// Runs the window until it is closed.
WorkbenchExit RunWorkbench(const WorkbenchOptions& options);

class Workbench;
struct WindowState;

// The interface's font at `scale` (1 at 96 dots per inch) into the current ImGui context, and its
// sizes scaled to match.
void UseInterfaceFont(float scale);

// One frame, after the platform's ImGui back end has begun it (or the caller has set the display's
// size): the panels drawn from the model, the map composed where it changed, everything presented.
void DrawFrame(Workbench& model, WindowState& state);

}  // namespace karst::workbench
