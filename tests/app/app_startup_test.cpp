// Start-up: the first frame of a good world, the window class and window, and every failure
// before and after the window exists, each with its exact message and exit code 0.
#include <gtest/gtest.h>

#include <atomic>
#include <string>
#include <thread>
#include <vector>

#include "tests/app/app_test_support.h"

namespace karst::app_tests {
namespace {

using platform::CapturedMessageBoxes;

constexpr char kStartUpFailed[] = "Unable to initialize DirectDraw and load object data!";

int RunOn(const TestWorld& world) { return RunViewer(platform::GetModuleHandle(nullptr), world.path()); }

// The shell holds nothing once its window is gone.
void ExpectReleased(const MapViewerApp& shell) {
  EXPECT_EQ(shell.display, nullptr);
  EXPECT_FALSE(shell.workingPath.has_value());
  EXPECT_EQ(shell.regionList, nullptr);
  EXPECT_EQ(shell.currentEntry, nullptr);
}

using StartUpTest = ViewerTest;

TEST_F(StartUpTest, AGoodWorldShowsItsFirstRegionAtTheOrigin) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  EXPECT_TRUE(CapturedMessageBoxes().empty());
  EXPECT_EQ(app().workingPath, world.path());
  ASSERT_NE(app().regionList, nullptr);
  EXPECT_EQ(app().regionList->count(), 3);
  EXPECT_EQ(app().currentEntry, app().regionList->head());
  EXPECT_EQ(currentPath(), world.path() + platform::kPathSeparator + "RGN01.GFF");
  ASSERT_NE(app().display, nullptr);
  EXPECT_EQ(app().display->window, app().mainWindow);
  EXPECT_EQ(app().display->screenWidth, 640);
  EXPECT_EQ(app().display->screenHeight, 480);
  EXPECT_EQ(app().display->bitsPerPixel, 8);
  EXPECT_EQ(app().display->nonExclusive, 0u);
  EXPECT_NE(app().display->region, nullptr);
  EXPECT_NE(app().display->objects, nullptr);
  EXPECT_EQ(view(), std::make_pair(0, 0));
  EXPECT_EQ(flips(), 1u) << "exactly the first frame";
  EXPECT_EQ(app().active, 0u);
  EXPECT_EQ(app().mouseX, 0);
  EXPECT_EQ(app().mouseY, 0);

  EXPECT_EQ(QuitWithEscape(), 0);
  ExpectReleased(app());
  EXPECT_TRUE(CapturedMessageBoxes().empty());
}

TEST_F(StartUpTest, TheWindowClassIsNamedAfterTheTitle) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  ASSERT_NE(app().mainWindow, nullptr);
  EXPECT_EQ(SDL_GetWindowTitle(platform::NativeWindow(app().mainWindow)), std::string("Karst Map Viewer"));
  // The class is registered under the title, letters compared without regard to case.
  EXPECT_EQ(CreateMainWindow("KARST MAP VIEWER", platform::InstanceHandle{}), nullptr);
  platform::WindowClass other = platform::testing::TestClass("Karst Map Viewer", MainWindowProc);
  EXPECT_EQ(platform::RegisterClass(other), 0);
  EXPECT_EQ(QuitWithEscape(), 0);
}

TEST_F(StartUpTest, TheWholeEntryRunsUntilEscape) {
  TestWorld world;
  // Escape is pressed again and again from another thread until the entry returns; the queue is
  // held open so that a press before the window exists waits for it.
  ASSERT_EQ(SDL_InitSubSystem(SDL_INIT_EVENTS), 0);
  std::atomic<bool> ended{false};
  std::thread presser([&ended] {
    while (!ended) {
      SDL_Event event{};
      event.type = SDL_KEYDOWN;
      event.key.state = SDL_PRESSED;
      event.key.keysym.sym = SDLK_ESCAPE;
      SDL_PushEvent(&event);
      std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
  });
  EXPECT_EQ(RunOn(world), 0);
  ended = true;
  presser.join();
  SDL_QuitSubSystem(SDL_INIT_EVENTS);
  EXPECT_TRUE(CapturedMessageBoxes().empty());
  ExpectReleased(app());
}

TEST_F(StartUpTest, ACloseRequestEndsTheLoopThroughTheDefaultProcedure) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  platform::testing::PushWindowEvent(app().mainWindow, SDL_WINDOWEVENT_CLOSE);
  EXPECT_EQ(RunMessageLoop(), 0);
  ExpectReleased(app());
}

TEST_F(StartUpTest, NoWorkingPathEndsBeforeAnyWindow) {
  EXPECT_EQ(RunViewer(platform::GetModuleHandle(nullptr), std::nullopt), 0);
  ASSERT_EQ(CapturedMessageBoxes().size(), 1u);
  EXPECT_EQ(CapturedMessageBoxes()[0].owner, nullptr);
  EXPECT_EQ(CapturedMessageBoxes()[0].text, "Unable to discover current working path!");
  EXPECT_EQ(CapturedMessageBoxes()[0].caption, "Error");
  EXPECT_EQ(CapturedMessageBoxes()[0].type, 0u);
  EXPECT_EQ(app().mainWindow, nullptr);
  ExpectReleased(app());
}

TEST_F(StartUpTest, NoRegionFilesEndsBeforeAnyWindow) {
  TestWorld world(0);
  world.Write("XRGN01.GFF", RegionFile("Not a match", 1));
  world.Write("RGN01.GFX", RegionFile("Not a match", 1));
  EXPECT_EQ(RunOn(world), 0);
  ASSERT_EQ(CapturedMessageBoxes().size(), 1u);
  EXPECT_EQ(CapturedMessageBoxes()[0].owner, nullptr);
  EXPECT_EQ(CapturedMessageBoxes()[0].text, "Unable to find region files!");
  EXPECT_EQ(CapturedMessageBoxes()[0].caption, "Error");
  EXPECT_EQ(CapturedMessageBoxes()[0].type, 0u);
  EXPECT_EQ(app().mainWindow, nullptr);
  ExpectReleased(app());
}

TEST_F(StartUpTest, AWorkingPathThatIsNoFolderFindsNoRegions) {
  TestWorld world;
  EXPECT_EQ(RunViewer(platform::GetModuleHandle(nullptr), world.path() + "RGN01.GFF/"), 0);
  ASSERT_EQ(CapturedMessageBoxes().size(), 1u);
  EXPECT_EQ(CapturedMessageBoxes()[0].text, "Unable to find region files!");
}

// A failure once the window exists: one box owned by the window, the window destroyed, the
// loop run to the quit message, exit code 0.
void ExpectStartUpFailure(MapViewerApp& shell, const std::vector<platform::CapturedMessageBox>& boxes) {
  ASSERT_FALSE(boxes.empty());
  const platform::CapturedMessageBox& last = boxes.back();
  EXPECT_NE(last.owner, nullptr);
  EXPECT_EQ(last.owner, shell.mainWindow);
  EXPECT_EQ(last.text, kStartUpFailed);
  EXPECT_EQ(last.caption, "Error");
  EXPECT_EQ(last.type, 0u);
  ExpectReleased(shell);
  EXPECT_EQ(platform::DestroyWindow(shell.mainWindow), 0) << "the window is already gone";
}

TEST_F(StartUpTest, AMissingObjectLibraryFailsStartUp) {
  TestWorld world;
  world.Remove("OBJEX.GFF");
  EXPECT_EQ(RunOn(world), 0);
  EXPECT_EQ(CapturedMessageBoxes().size(), 1u);
  ExpectStartUpFailure(app(), CapturedMessageBoxes());
}

TEST_F(StartUpTest, TheObjectLibraryIsFoundWithoutRegardToCase) {
  for (const char* name : {"objex.gff", "Objex.Gff", "OBJEX.gff"}) {
    SCOPED_TRACE(name);
    Reset();
    TestWorld world;
    world.Remove("OBJEX.GFF");
    world.Write(name, ObjectLibraryFile());
    ASSERT_TRUE(Start(world));
    EXPECT_TRUE(CapturedMessageBoxes().empty());
    ASSERT_NE(app().display->objects, nullptr);
    EXPECT_EQ(app().display->objectSurfaces.size(), 1u);
    EXPECT_EQ(QuitWithEscape(), 0);
  }
}

TEST_F(StartUpTest, ALibraryNamedOtherwiseIsNotTheObjectLibrary) {
  TestWorld world;
  world.Remove("OBJEX.GFF");
  world.Write("OBJEX.GFF.BAK", ObjectLibraryFile());
  world.Write("XOBJEX.GFF", ObjectLibraryFile());
  EXPECT_EQ(RunOn(world), 0);
  EXPECT_EQ(CapturedMessageBoxes().size(), 1u);
  ExpectStartUpFailure(app(), CapturedMessageBoxes());
}

TEST_F(StartUpTest, AnEmptyObjectLibraryFailsStartUp) {
  TestWorld world;
  world.Write("OBJEX.GFF", {});
  EXPECT_EQ(RunOn(world), 0);
  EXPECT_EQ(CapturedMessageBoxes().size(), 1u);
  ExpectStartUpFailure(app(), CapturedMessageBoxes());
}

TEST_F(StartUpTest, AnObjectLibraryWithoutBitmapsFailsStartUp) {
  TestWorld world;
  const std::vector<std::uint8_t> definition(16, 0);
  world.Write("OBJEX.GFF",
              authoring::WriteContainer({
                  Type(kTagOjff, {{1, definition}}), Type(kTagCbmp, {{7, PlainTile(3)}}),  // a thumbnail is no bitmap
              }));
  EXPECT_EQ(RunOn(world), 0);
  EXPECT_EQ(CapturedMessageBoxes().size(), 1u);
  ExpectStartUpFailure(app(), CapturedMessageBoxes());
}

TEST_F(StartUpTest, AFirstRegionThatIsNoContainerFailsStartUp) {
  TestWorld world;
  world.Write("RGN01.GFF", Text("GFF? no, just text"));
  EXPECT_EQ(RunOn(world), 0);
  ExpectStartUpFailure(app(), CapturedMessageBoxes());
}

TEST_F(StartUpTest, AFirstRegionWithoutPaletteFailsStartUpAfterItsOwnMessage) {
  TestWorld world;
  world.Write("RGN01.GFF", authoring::WriteContainer({Type(kTagTile, {{1, PlainTile(1)}}),
                                                      Type(kTagMap, {{1, std::vector<std::uint8_t>(kMapBytes)}})}));
  EXPECT_EQ(RunOn(world), 0);
  ExpectStartUpFailure(app(), CapturedMessageBoxes());
}

TEST_F(StartUpTest, EveryFailingDisplayStepFailsStartUp) {
  for (const char* call : {"DirectDrawCreate", "SetCooperativeLevel", "SetDisplayMode", "CreateSurface",
                           "GetAttachedSurface", "CreateClipper", "SetHWnd", "SetClipper"}) {
    SCOPED_TRACE(call);
    Reset();
    TestWorld world;
    platform::FailCall(call);
    EXPECT_EQ(RunOn(world), 0);
    EXPECT_EQ(CapturedMessageBoxes().size(), 1u);
    ExpectStartUpFailure(app(), CapturedMessageBoxes());
  }
}

TEST_F(StartUpTest, NoWindowClassOrWindowEndsWithoutMessage) {
  for (const char* call : {"RegisterClass", "CreateWindow"}) {
    SCOPED_TRACE(call);
    Reset();
    TestWorld world;
    platform::FailCall(call);
    EXPECT_EQ(RunOn(world), 0);
    EXPECT_TRUE(CapturedMessageBoxes().empty());
    EXPECT_EQ(app().mainWindow, nullptr);
    ExpectReleased(app());
  }
}

// The command line's start: the region named first, Backspace to the one before it; a folder
// named on the command line and holding no region files is named on standard error.
TEST_F(StartUpTest, ANamedRegionComesFirstAndBackspaceStepsBack) {
  TestWorld world;
  StartOptions start;
  start.firstRegion = "RGN03.GFF";
  ASSERT_TRUE(StartViewer(platform::GetModuleHandle(nullptr), world.path(), start));
  EXPECT_EQ(currentPath(), world.path() + platform::kPathSeparator + "RGN03.GFF");
  EXPECT_EQ(flips(), 1u);
  Press(SDLK_BACKSPACE);
  EXPECT_EQ(currentPath(), world.path() + platform::kPathSeparator + "RGN02.GFF");
  Press(SDLK_SPACE);
  Press(SDLK_SPACE);
  EXPECT_EQ(currentPath(), world.path() + platform::kPathSeparator + "RGN03.GFF") << "nothing after the last";
  EXPECT_EQ(QuitWithEscape(), 0);
}

TEST_F(StartUpTest, OnlyANamedFolderWithoutRegionsIsNamedOnStandardError) {
  TestWorld world(0);
  for (const bool named : {false, true}) {
    platform::CaptureMessageBoxes(true);
    StartOptions start;
    start.namedFolder = named;
    ::testing::internal::CaptureStderr();
    EXPECT_EQ(RunViewer(platform::GetModuleHandle(nullptr), world.path(), start), 0);
    const std::string errors = ::testing::internal::GetCapturedStderr();
    EXPECT_EQ(errors, named ? NoRegionFilesLine(world.path()) : "");
    ASSERT_EQ(CapturedMessageBoxes().size(), 1u);
    EXPECT_EQ(CapturedMessageBoxes()[0].text, "Unable to find region files!");
    EXPECT_EQ(app().mainWindow, nullptr);
  }
}

// A run given a path names the file that kept the viewer from starting, and why, in the words of
// `karst-gff check`; without a path it says nothing more. The boxes stay as they are.
TEST_F(StartUpTest, ARunGivenAPathNamesTheFileThatFailedStartUpAndWhy) {
  const std::string cannotStart =
      ": the viewer cannot start (\"Unable to initialize DirectDraw and load object data!\")\n";
  struct Case {
    const char* label;
    std::string file;  // written over, or removed when `bytes` is empty and the file is the library
    std::vector<std::uint8_t> bytes;
    const char* failingCall;  // armed before the start; empty: none
    std::string line;         // after "karst-viewer: ", the folder standing for DIR/
  };
  const std::vector<Case> cases = {
      {"no library", "OBJEX.GFF", {}, "", "no object library (OBJEX.GFF) in DIR/\n"},
      {"library no container", "OBJEX.GFF", Text("no container"), "",
       "DIR/OBJEX.GFF: not a GFF container (no \"GFFI\" header, or too short)" + cannotStart},
      {"library without bitmaps", "OBJEX.GFF", authoring::WriteContainer({Type(kTagOjff, {{1, Text("x")}})}), "",
       "DIR/OBJEX.GFF: no BMP frame set" + cannotStart},
      {"region without palette", "RGN01.GFF",
       authoring::WriteContainer(
           {Type(kTagTile, {{1, PlainTile(1)}}), Type(kTagMap, {{1, std::vector<std::uint8_t>(kMapBytes)}})}),
       "", "DIR/RGN01.GFF: no PAL chunk: the region would not load\n"},
      {"region with a short map", "RGN01.GFF",
       authoring::WriteContainer({Type(kTagPal, {{1, std::vector<std::uint8_t>(kPaletteBytes)}}),
                                  Type(kTagTile, {{1, PlainTile(1)}}),
                                  Type(kTagMap, {{4, std::vector<std::uint8_t>(100)}})}),
       "", "DIR/RGN01.GFF: MAP 4: 100 bytes, under the 12288 of a 128 x 96 map: the region would not load\n"},
      {"display refuses the palette",
       "",
       {},
       "CreatePalette",
       "DIR/RGN01.GFF: the display could not take its palette or tiles\n"},
  };
  for (const Case& c : cases) {
    for (const bool named : {false, true}) {
      SCOPED_TRACE(std::string(c.label) + (named ? ", named" : ""));
      Reset();
      TestWorld world;
      if (c.file == "OBJEX.GFF" && c.bytes.empty()) {
        world.Remove(c.file);
      } else if (!c.file.empty()) {
        world.Write(c.file, c.bytes);
      }
      if (*c.failingCall != '\0') {
        platform::FailCall(c.failingCall);
      }
      StartOptions start;
      start.namedFolder = named;
      ::testing::internal::CaptureStderr();
      EXPECT_EQ(RunViewer(platform::GetModuleHandle(nullptr), world.path(), start), 0);
      const std::string errors = ::testing::internal::GetCapturedStderr();
      std::string line = "karst-viewer: " + c.line;
      line.replace(line.find("DIR/"), 4, world.path());
      EXPECT_EQ(errors, named ? line : "");
      ExpectStartUpFailure(app(), CapturedMessageBoxes());
    }
  }
}

TEST_F(StartUpTest, ARunGivenAPathNamesARegionReachedWithSpaceThatCannotBeShown) {
  TestWorld world;
  world.Write("RGN02.GFF", Text("GFF? no, just text"));
  StartOptions start;
  start.namedFolder = true;
  ASSERT_TRUE(StartViewer(platform::GetModuleHandle(nullptr), world.path(), start));
  ::testing::internal::CaptureStderr();
  Press(SDLK_SPACE);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(),
            "karst-viewer: " + world.path() +
                "RGN02.GFF: not a GFF container (no \"GFFI\" header, or too short): the region would not load\n");
  ASSERT_EQ(CapturedMessageBoxes().size(), 1u);
  EXPECT_EQ(CapturedMessageBoxes()[0].text, "Error loading zone!");
  EXPECT_EQ(RunMessageLoop(), 0);
}

// --window: a framed, resizable window of 640N x 480N, the display not exclusive. N is given: the
// largest the desktop holds, as a larger one is reduced to it.
TEST_F(StartUpTest, AWindowHasAFrameTheScaledSizeAndNoFullScreen) {
  int desktopWidth = 0;
  int desktopHeight = 0;
  ASSERT_EQ(platform::GetWorkArea(desktopWidth, desktopHeight), 1);
  const int scale = WindowScaleFor(desktopWidth, desktopHeight);
  TestWorld world;
  StartOptions start;
  start.window = true;
  start.windowScale = scale;
  ASSERT_TRUE(StartViewer(platform::GetModuleHandle(nullptr), world.path(), start));
  EXPECT_EQ(app().display->nonExclusive, 1u);
  EXPECT_EQ(app().display->screenWidth, 640);
  EXPECT_EQ(app().display->screenHeight, 480);
  SDL_Window* native = platform::NativeWindow(app().mainWindow);
  ASSERT_NE(native, nullptr);
  const Uint32 flags = SDL_GetWindowFlags(native);
  EXPECT_NE(flags & SDL_WINDOW_RESIZABLE, 0u);
  EXPECT_EQ(flags & (SDL_WINDOW_BORDERLESS | SDL_WINDOW_FULLSCREEN_DESKTOP), 0u);
  EXPECT_NE(flags & SDL_WINDOW_SHOWN, 0u);
  int width = 0;
  int height = 0;
  SDL_GetWindowSize(native, &width, &height);
  EXPECT_EQ(std::make_pair(width, height), std::make_pair(640 * scale, 480 * scale));
  // The mouse is reported in the picture's pixels, clamped into it.
  platform::testing::PushMouse(app().mainWindow, 5000, 5000);
  DispatchWaiting();
  EXPECT_EQ(std::make_pair(app().mouseX, app().mouseY), std::make_pair(639, 479));
  // The close button quits like Escape.
  platform::testing::PushWindowEvent(app().mainWindow, SDL_WINDOWEVENT_CLOSE);
  EXPECT_EQ(RunMessageLoop(), 0);
  ExpectReleased(app());
}

// A scale whose window does not fit the desktop is reduced to the largest that does, and said.
TEST_F(StartUpTest, AWindowScaleThatDoesNotFitTheDesktopIsReduced) {
  int desktopWidth = 0;
  int desktopHeight = 0;
  ASSERT_EQ(platform::GetWorkArea(desktopWidth, desktopHeight), 1);
  const int fitting = WindowScaleFor(desktopWidth, desktopHeight);
  ASSERT_LT(fitting, kLargestWindowScale) << "the desktop takes every scale";
  for (const int asked : {fitting, fitting + 1, kLargestWindowScale}) {
    SCOPED_TRACE(asked);
    Reset();
    TestWorld world;
    StartOptions start;
    start.window = true;
    start.windowScale = asked;
    ::testing::internal::CaptureStderr();
    ASSERT_TRUE(StartViewer(platform::GetModuleHandle(nullptr), world.path(), start));
    EXPECT_EQ(::testing::internal::GetCapturedStderr(),
              asked == fitting ? "" : WindowScaleReducedLine(asked, fitting, desktopWidth, desktopHeight));
    int width = 0;
    int height = 0;
    SDL_GetWindowSize(platform::NativeWindow(app().mainWindow), &width, &height);
    EXPECT_EQ(std::make_pair(width, height), std::make_pair(640 * fitting, 480 * fitting));
    EXPECT_EQ(QuitWithEscape(), 0);
  }
}

TEST_F(StartUpTest, AWindowWithoutAScaleTakesTheLargestThatFitsTheDesktop) {
  int desktopWidth = 0;
  int desktopHeight = 0;
  ASSERT_EQ(platform::GetWorkArea(desktopWidth, desktopHeight), 1);
  TestWorld world;
  StartOptions start;
  start.window = true;
  ASSERT_TRUE(StartViewer(platform::GetModuleHandle(nullptr), world.path(), start));
  int width = 0;
  int height = 0;
  SDL_GetWindowSize(platform::NativeWindow(app().mainWindow), &width, &height);
  const int scale = WindowScaleFor(desktopWidth, desktopHeight);
  EXPECT_EQ(std::make_pair(width, height), std::make_pair(640 * scale, 480 * scale));
  EXPECT_EQ(QuitWithEscape(), 0);
}

}  // namespace
}  // namespace karst::app_tests
