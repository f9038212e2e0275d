#include "app/map_viewer_app.h"

#include <cstdio>
#include <utility>

#include "data/file_problems.h"
#include "display/printed_notes.h"
#include "platform/files.h"
#include "platform/message_box.h"

namespace karst {
namespace {

constexpr std::int32_t kScreenWidth = 640;
constexpr std::int32_t kScreenHeight = 480;
constexpr std::uint8_t kBitsPerPixel = 8;
// The mouse scrolls while it rests within this many pixels of an edge (0..5 on the left and
// top, width - 5 .. width - 1 on the right and bottom).
constexpr std::int32_t kEdgeBand = 5;
constexpr std::int32_t kEdgeScrollStep = 10;
constexpr std::int32_t kKeyScrollStep = 16;

constexpr char kNoWorkingPath[] = "Unable to discover current working path!";
constexpr char kNoRegionFiles[] = "Unable to find region files!";
constexpr char kStartUpFailed[] = "Unable to initialize DirectDraw and load object data!";
constexpr char kStartUpCaption[] = "Error";
constexpr char kZoneFailed[] = "Error loading zone!";
constexpr char kZoneCaption[] = "Error!";

// A lost surface is restored and the frame drawn again; then the view follows a mouse that
// rests at a screen edge. True when anything was restored or presented.
bool DoIdleWork(MapViewerApp& app) {
  DisplaySurface* display = app.display.get();
  if (display == nullptr || display->primary == nullptr || display->backBuffer == nullptr) {
    return false;
  }
  bool worked = false;
  if (display->primary->IsLost() != 0) {
    if (display->backBuffer->IsLost() != 0) {
      display->backBuffer->Restore();
    }
    display->PresentFrame();
    worked = true;
  }
  if (display->backBuffer->IsLost() != 0) {
    display->backBuffer->Restore();
    display->PresentFrame();
    worked = true;
  }

  // A window's edges scroll only with the mouse inside it.
  if (app.windowed && !app.mouseInside) {
    return worked;
  }
  // Later tests win on the same axis.
  std::int32_t dx = 0;
  std::int32_t dy = 0;
  if (app.mouseX <= kEdgeBand) dx = -kEdgeScrollStep;
  if (app.mouseY <= kEdgeBand) dy = -kEdgeScrollStep;
  if (app.mouseX >= display->screenWidth - kEdgeBand) dx = kEdgeScrollStep;
  if (app.mouseY >= display->screenHeight - kEdgeBand) dy = kEdgeScrollStep;
  if (dx != 0 || dy != 0) {
    display->ScrollBy(dx, dy);
    // ScrollBy presents a frame whenever a region is on screen, even when the view stayed.
    worked = worked || display->region != nullptr;
  }
  return worked;
}

// The window's scale: the one asked for, or the largest that fits the desktop's free area (1
// where that cannot be asked). An asked scale whose window would not fit is reduced to that
// largest, and standard error says so: a window larger than the screen would reach past its
// edges, its title bar out of reach.
int WindowScale(int asked) {
  int width = 0;
  int height = 0;
  if (platform::GetWorkArea(width, height) != 1) {
    return asked != 0 ? asked : 1;
  }
  const int fitting = WindowScaleFor(width, height);
  if (asked == 0) {
    return fitting;
  }
  if (asked <= fitting) {
    return asked;
  }
  std::fputs(WindowScaleReducedLine(asked, fitting, width, height).c_str(), stderr);
  return fitting;
}

// Why the region at `path` could not be shown, on standard error: what is wrong with the file,
// or else that the display turned its palette or tiles away.
void SayWhyRegionFailed(const std::string& path) {
  std::string problem = RegionProblem(path);
  if (problem.empty()) {
    problem = "the display could not take its palette or tiles";
  }
  std::fputs(FileProblemLine(path, problem).c_str(), stderr);
}

// Backspace and Space: the neighbouring entry becomes current before its load is tried, so a
// failed load leaves it current while the program ends.
void StepTo(MapViewerApp& app, const RegionList::Node* entry) {
  if (entry == nullptr || app.display == nullptr) {
    return;
  }
  app.currentEntry = entry;
  if (app.shownFiles) {
    app.shownFiles->region = Watched(*entry->data);
  }
  if (app.display->LoadZone(entry->data->c_str())) {
    app.display->PresentFrame();
    return;
  }
  if (app.namedFolder) {
    SayWhyRegionFailed(*entry->data);
  }
  platform::MessageBox(app.mainWindow, kZoneFailed, kZoneCaption, platform::MB_OK);
  platform::DestroyWindow(app.mainWindow);
}

void ScrollView(MapViewerApp& app, std::int32_t dx, std::int32_t dy) {
  if (app.display != nullptr) {
    app.display->ScrollBy(dx, dy);
  }
}

// WM_FOLDERCHANGED: the shown region's file and the object library, each read again when it
// changed, replace what is on screen only when they can be shown; the view stays where it was,
// clamped as scrolling clamps it. A region the display then turns away gives the old one back.
void ShowChangedFiles(MapViewerApp& app) {
  DisplaySurface* display = app.display.get();
  if (display == nullptr || !app.shownFiles) {
    return;
  }
  ChangedFiles changed = ReadChangedFiles(*app.shownFiles, display->report);
  for (const std::string& line : changed.problems) {
    std::fputs(line.c_str(), stderr);
  }
  if (changed.library == nullptr && changed.region == nullptr) {
    return;
  }
  const std::int32_t viewX = display->viewX;
  const std::int32_t viewY = display->viewY;
  if (changed.library != nullptr) {
    display->UseObjectLibrary(std::move(changed.library));
  }
  if (changed.region != nullptr) {
    const std::string& path = app.shownFiles->region.path;
    std::unique_ptr<Region> shown = std::move(display->region);
    if (!display->SwitchToRegion(std::move(changed.region), path)) {
      std::fputs(FileProblemLine(path,
                                 "the display could not take its palette or tiles; the region read before "
                                 "stays on screen")
                     .c_str(),
                 stderr);
      display->SwitchToRegion(std::move(shown), path);
    }
  }
  display->viewX = viewX;
  display->viewY = viewY;
  display->ScrollBy(0, 0);
}

// WM_DESTROY: the change notifier, the display (display objects first, then the data it holds),
// the working path, the region list, then the quit message. The entry pointed into the list, so
// it goes too.
void CleanUp(MapViewerApp& app) {
  app.changeNotifier.reset();
  app.shownFiles.reset();
  app.display.reset();
  app.workingPath.reset();
  app.currentEntry = nullptr;
  if (app.regionList != nullptr) {
    app.regionList->Clear();
    app.regionList.reset();
  }
  platform::PostQuitMessage(0);
}

}  // namespace

MapViewerApp& TheApp() {
  static MapViewerApp app;
  return app;
}

int RunViewer(platform::InstanceHandle instance, std::optional<std::string> workingPath, const StartOptions& start) {
  if (!StartViewer(instance, std::move(workingPath), start)) {
    return 0;
  }
  return RunMessageLoop();
}

bool StartViewer(platform::InstanceHandle instance, std::optional<std::string> workingPath, const StartOptions& start) {
  MapViewerApp& app = TheApp();
  app.workingPath = std::move(workingPath);
  if (!app.workingPath) {
    platform::MessageBox(nullptr, kNoWorkingPath, kStartUpCaption, platform::MB_OK);
    return false;
  }
  app.regionList = start.missingFile.empty() ? FindRegionFiles(*app.workingPath, kRegionFilePattern)
                                             : std::make_unique<RegionList>();
  if (app.regionList->empty()) {
    if (!start.missingFile.empty()) {
      std::fputs(MissingFileLine(start.missingFile).c_str(), stderr);
    } else if (start.namedFolder) {
      std::fputs(NoRegionFilesLine(*app.workingPath).c_str(), stderr);
    }
    platform::MessageBox(nullptr, kNoRegionFiles, kStartUpCaption, platform::MB_OK);
    app.regionList.reset();
    app.workingPath.reset();
    return false;
  }
  app.currentEntry = EntryNamed(*app.regionList, start.firstRegion);

  app.windowed = start.window;
  app.namedFolder = start.namedFolder;
  int windowScale = 0;
  if (start.window) {
    windowScale = WindowScale(start.windowScale);
  }
  app.mainWindow = CreateMainWindow(kViewerTitle, instance, windowScale);
  if (app.mainWindow == nullptr) {
    // No window, so no WM_DESTROY to free these.
    app.currentEntry = nullptr;
    app.regionList.reset();
    app.workingPath.reset();
    return false;
  }

  app.display = std::make_unique<DisplaySurface>(app.mainWindow, kScreenHeight, kScreenWidth, kBitsPerPixel,
                                                 start.window ? 1 : 0);
  app.display->report = PrintedNotes();
  bool ready = app.display->InitDirectDraw() == 1;
  if (ready && start.watch) {
    // Watched before the files are stamped and read, so a change made meanwhile is shown.
    app.changeNotifier = std::make_unique<FolderChangeNotifier>(*app.workingPath, app.mainWindow);
    app.shownFiles = ShownFiles{};
  }
  if (ready) {
    // Found without regard to case, as on the game's own platform; when there is none, the
    // load fails on the name as it is spelt.
    std::string objectLibraryPath = platform::LocateFile(*app.workingPath, kObjectLibraryFileName);
    const bool libraryFound = !objectLibraryPath.empty();
    if (!libraryFound) {
      objectLibraryPath = *app.workingPath + kObjectLibraryFileName;
    }
    if (app.shownFiles) {
      app.shownFiles->library = Watched(objectLibraryPath);
      app.shownFiles->region = Watched(*app.currentEntry->data);
    }
    if (app.display->LoadObjects(objectLibraryPath) != 1) {
      ready = false;
      if (start.namedFolder) {
        const std::string line = libraryFound ? FileProblemLine(objectLibraryPath, LibraryProblem(objectLibraryPath))
                                              : NoObjectLibraryLine(*app.workingPath);
        std::fputs(line.c_str(), stderr);
      }
    } else if (!app.display->LoadZone(app.currentEntry->data->c_str())) {
      ready = false;
      if (start.namedFolder) {
        SayWhyRegionFailed(*app.currentEntry->data);
      }
    }
  }
  if (ready) {
    app.display->PresentFrame();
  } else {
    platform::MessageBox(app.mainWindow, kStartUpFailed, kStartUpCaption, platform::MB_OK);
    platform::DestroyWindow(app.mainWindow);
  }
  return true;
}

platform::Window* CreateMainWindow(const char* title, platform::InstanceHandle instance, int windowScale) {
  const platform::WindowClass windowClass{
      platform::CS_HREDRAW | platform::CS_VREDRAW,
      MainWindowProc,
      0,
      0,
      instance,
      platform::LoadIcon(instance, platform::IDI_APPLICATION),
      platform::LoadCursor(platform::InstanceHandle{}, platform::IDC_ARROW),
      platform::BrushHandle{},
      nullptr,
      title,
  };
  if (platform::RegisterClass(windowClass) == 0) {
    return nullptr;
  }
  if (windowScale != 0) {
    return platform::CreateWindowEx(0, title, title, platform::WS_OVERLAPPEDWINDOW, platform::CW_USEDEFAULT,
                                    platform::CW_USEDEFAULT, kScreenWidth * windowScale, kScreenHeight * windowScale,
                                    nullptr, platform::MenuHandle{}, instance, nullptr);
  }
  return platform::CreateWindowEx(platform::WS_EX_TOPMOST, title, title, platform::WS_POPUP, 0, 0, kScreenWidth,
                                  kScreenHeight, nullptr, platform::MenuHandle{}, instance, nullptr);
}

LoopPass RunLoopPass() {
  platform::Message message{};
  if (platform::PeekMessage(message, nullptr, 0, 0, platform::PM_NOREMOVE) != 0) {
    if (platform::GetMessage(message, nullptr, 0, 0) <= 0) {
      const int exitCode = message.message == platform::WM_QUIT ? static_cast<int>(message.wParam) : 0;
      return LoopPass{PassOutcome::kQuit, exitCode};
    }
    platform::TranslateMessage(message);
    platform::DispatchMessage(message);
    return LoopPass{PassOutcome::kDispatched, 0};
  }
  MapViewerApp& app = TheApp();
  if (app.active != 0 && DoIdleWork(app)) {
    return LoopPass{PassOutcome::kIdleWorked, 0};
  }
  // Nothing can change until a message arrives. When none ever can, the loop ends rather than
  // spin.
  if (platform::WaitMessage() == 0) {
    return LoopPass{PassOutcome::kQuit, 0};
  }
  return LoopPass{PassOutcome::kWaited, 0};
}

int RunMessageLoop() {
  while (true) {
    const LoopPass pass = RunLoopPass();
    if (pass.outcome == PassOutcome::kQuit) {
      return pass.exitCode;
    }
  }
}

platform::LResult MainWindowProc(platform::Window* window, std::uint32_t message, platform::WParam wParam,
                                 platform::LParam lParam) {
  MapViewerApp& app = TheApp();
  switch (message) {
    case platform::WM_CREATE:
      return 0;
    case platform::WM_DESTROY:
      CleanUp(app);
      return 0;
    case platform::WM_ACTIVATEAPP:
      app.active = static_cast<std::uint32_t>(wParam);
      return 0;
    case platform::WM_KEYDOWN:
      HandleKey(static_cast<std::int32_t>(wParam));
      return 0;
    case platform::WM_FOLDERCHANGED:
      ShowChangedFiles(app);
      return 0;
    case platform::WM_MOUSELEAVE:
      app.mouseInside = false;
      return 0;
    case platform::WM_MOUSEMOVE: {
      app.mouseInside = true;
      const auto position = static_cast<std::uint32_t>(lParam);
      app.mouseX = static_cast<std::int32_t>(position & 0xFFFFu);
      app.mouseY = static_cast<std::int32_t>((position >> 16) & 0xFFFFu);
      return 0;
    }
    default:
      return platform::DefWindowProc(window, message, wParam, lParam);
  }
}

void HandleKey(std::int32_t virtualKey) {
  MapViewerApp& app = TheApp();
  switch (static_cast<std::uint32_t>(virtualKey)) {
    case platform::VK_BACK:
      if (app.currentEntry != nullptr) {
        StepTo(app, app.currentEntry->prev);
      }
      break;
    case platform::VK_ESCAPE:
      platform::DestroyWindow(app.mainWindow);
      break;
    case platform::VK_SPACE:
      if (app.currentEntry != nullptr) {
        StepTo(app, app.currentEntry->next.get());
      }
      break;
    case platform::VK_LEFT:
      ScrollView(app, -kKeyScrollStep, 0);
      break;
    case platform::VK_UP:
      ScrollView(app, 0, -kKeyScrollStep);
      break;
    case platform::VK_RIGHT:
      ScrollView(app, kKeyScrollStep, 0);
      break;
    case platform::VK_DOWN:
      ScrollView(app, 0, kKeyScrollStep);
      break;
    default:
      break;
  }
}

}  // namespace karst
