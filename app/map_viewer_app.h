// The viewer's shell: the process-wide state, the entry that brings the viewer up, the main
// window, the message loop with its idle work, the window procedure and the key commands.
//
// Ownership: the one `MapViewerApp` record owns the display, the working path and the region
// list from start-up until WM_DESTROY, which frees them and posts the quit message. The main
// window belongs to the window layer; the record only holds its handle. `currentEntry` points
// into `regionList` and is never owned. Everything here runs on the main thread.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "app/command_line.h"
#include "app/live_reload.h"
#include "app/region_files.h"
#include "display/display_surface.h"
#include "platform/window.h"

namespace karst {

inline constexpr char kViewerTitle[] = "Karst Map Viewer";

// The shell's state. Every field starts at zero or null.
struct MapViewerApp {
  // The wParam of the last WM_ACTIVATEAPP: nonzero while the viewer is the active program.
  std::uint32_t active = 0;
  std::unique_ptr<DisplaySurface> display;
  platform::Window* mainWindow = nullptr;
  // The program's directory, ending in its separator.
  std::optional<std::string> workingPath;
  std::unique_ptr<RegionList> regionList;
  // The entry whose region is on screen.
  const RegionList::Node* currentEntry = nullptr;
  // The last mouse position in screen pixels, from WM_MOUSEMOVE.
  std::int32_t mouseX = 0;
  std::int32_t mouseY = 0;
  // In a window (--window) rather than the whole screen. There the mouse scrolls only while it
  // is inside: since its last WM_MOUSEMOVE, no WM_MOUSELEAVE came.
  bool windowed = false;
  bool mouseInside = false;
  // The folder was named on the command line: a region reached with Space or Backspace that
  // cannot be shown is named on standard error, with the reason, before its message box.
  bool namedFolder = false;
  // Given a folder or file: the files on screen as they were read, and the thread that says when
  // the folder's files change. Null without a path: nothing is watched. The notifier goes first
  // at WM_DESTROY, so nothing is posted to a window that is going.
  std::optional<ShownFiles> shownFiles;
  std::unique_ptr<FolderChangeNotifier> changeNotifier;
};

// How the shell starts beyond its working path, from the command line. The defaults are the
// viewer without arguments.
struct StartOptions {
  // The file name of the region shown first; empty, or none of the list: the list's first.
  std::string firstRegion;
  // The folder was named on the command line: when it holds no region files, or start-up
  // fails on its object library or first region, a line on standard error names the folder or
  // file and why, besides the message box.
  bool namedFolder = false;
  // A GFF file named on the command line that is not there: the start ends with the message of
  // a folder without region files, and a line on standard error names the file.
  std::string missingFile;
  // A window of 640 windowScale x 480 windowScale instead of the whole screen; 0: the largest
  // scale that fits the desktop.
  bool window = false;
  int windowScale = 0;
  // Reload the region on screen and the object library when their files change on disk.
  bool watch = false;
};

// The process-wide record. It exists, zeroed, before the entry runs. Tests put it back to zero
// between runs by assigning a fresh record, before they clear the window system: the display
// presents into the main window, so it must go first.
MapViewerApp& TheApp();

// The program's entry after its command line: the working path is the folder `options` names,
// or else the directory of the program's own file (or the sample world beside it). Returns the
// exit code, 0 on every path.
int ViewerMain(platform::InstanceHandle instance, const ViewerOptions& options);

// The entry with the working path given (empty: it could not be found), so tests can point the
// viewer at a folder of their own. Start-up, then the message loop; returns the exit code.
int RunViewer(platform::InstanceHandle instance, std::optional<std::string> workingPath,
              const StartOptions& start = {});

// The start-up steps: region files, window, display, object library, first region, first
// frame, with the messages of each failure. False when the program ends before the window
// exists; true when the message loop must run, which includes a failed start-up after the
// window was made (the window is then already destroyed and the quit message waits).
bool StartViewer(platform::InstanceHandle instance, std::optional<std::string> workingPath,
                 const StartOptions& start = {});

// Registers the window class named `title` and creates the main window; null when either fails.
// With `windowScale` 0 the full-screen popup of 640 x 480; otherwise a window with a frame and
// title bar, resizable, of 640 windowScale x 480 windowScale, placed by the system.
platform::Window* CreateMainWindow(const char* title, platform::InstanceHandle instance, int windowScale = 0);

// What one pass of the message loop did.
enum class PassOutcome {
  kQuit,        // the quit message was fetched (or no message can ever come): the loop ends
  kDispatched,  // one message went to its window procedure
  kIdleWorked,  // no message waited; the idle work restored or presented a frame
  kWaited,      // no message waited and there was nothing to do: blocked until one came
};

struct LoopPass {
  PassOutcome outcome;
  int exitCode;  // for kQuit: the quit message's parameter
};

// One pass of the message loop. It blocks only when it reports kWaited.
LoopPass RunLoopPass();

// Runs passes until the quit message; returns its parameter.
int RunMessageLoop();

// The main window's procedure.
platform::LResult MainWindowProc(platform::Window* window, std::uint32_t message, platform::WParam wParam,
                                 platform::LParam lParam);

// The keyboard commands for the virtual-key code of a key-down message.
void HandleKey(std::int32_t virtualKey);

}  // namespace karst
