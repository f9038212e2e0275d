// The message loop's passes: messages before idle work, edge scrolling by 10 from the mouse
// bands, a frame every idle pass that scrolls, and waiting (no frame, no spinning) whenever
// the viewer is inactive or has nothing to do.
#include <gtest/gtest.h>

#include <chrono>

#include "tests/app/app_test_support.h"

namespace karst::app_tests {
namespace {

using std::chrono::milliseconds;
using LoopTest = ViewerTest;

constexpr milliseconds kWakeDelay{150};

// One pass that must block: it returns only after the wake-up comes, with nothing drawn.
void ExpectPassWaits() {
  const std::uint64_t before = TheApp().display->primary->flipCount();
  const auto start = std::chrono::steady_clock::now();
  PassOutcome outcome{};
  {
    DelayedWake wake(kWakeDelay);
    outcome = RunLoopPass().outcome;
  }
  const auto waited = std::chrono::steady_clock::now() - start;
  EXPECT_EQ(outcome, PassOutcome::kWaited);
  EXPECT_GE(waited, kWakeDelay - milliseconds(20));
  EXPECT_EQ(TheApp().display->primary->flipCount(), before);
}

// One pass with a wake-up armed, so that a pass which waits by mistake reports it instead of
// hanging the test.
LoopPass GuardedPass() {
  DelayedWake wake(milliseconds(50));
  return RunLoopPass();
}

TEST_F(LoopTest, FocusEventsSetAndClearTheActivationFlag) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  EXPECT_EQ(app().active, 0u);
  platform::testing::PushWindowEvent(app().mainWindow, SDL_WINDOWEVENT_FOCUS_GAINED);
  DispatchWaiting();
  EXPECT_EQ(app().active, 1u);
  platform::testing::PushWindowEvent(app().mainWindow, SDL_WINDOWEVENT_FOCUS_LOST);
  DispatchWaiting();
  EXPECT_EQ(app().active, 0u);
  EXPECT_EQ(MainWindowProc(app().mainWindow, platform::WM_ACTIVATEAPP, 7, 0), 0);
  EXPECT_EQ(app().active, 7u) << "the parameter as it came";
  EXPECT_EQ(QuitWithEscape(), 0);
}

TEST_F(LoopTest, TheMouseAtTheOriginScrollsUpLeftOnEveryPassOnceActive) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  Activate();
  ASSERT_EQ(flips(), 1u);
  for (std::uint64_t pass = 1; pass <= 3; ++pass) {
    EXPECT_EQ(GuardedPass().outcome, PassOutcome::kIdleWorked);
    EXPECT_EQ(view(), std::make_pair(0, 0)) << "clamped at the origin";
    EXPECT_EQ(flips(), 1 + pass) << "a frame every pass";
  }
  app().display->ScrollBy(100, 100);
  EXPECT_EQ(GuardedPass().outcome, PassOutcome::kIdleWorked);
  EXPECT_EQ(view(), std::make_pair(90, 90));
  EXPECT_EQ(QuitWithEscape(), 0);
}

TEST_F(LoopTest, InactiveTheLoopDrawsNothingAndWaits) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  ExpectPassWaits();  // the mouse rests at (0, 0), the edge, but the viewer is not active
  EXPECT_EQ(view(), std::make_pair(0, 0));

  Activate();
  platform::testing::PushWindowEvent(app().mainWindow, SDL_WINDOWEVENT_FOCUS_LOST);
  DispatchWaiting();
  ExpectPassWaits();
  EXPECT_EQ(QuitWithEscape(), 0);
}

TEST_F(LoopTest, AWaitingMessageComesBeforeTheIdleWork) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  Activate();
  const std::uint64_t before = flips();
  platform::testing::PushKey(app().mainWindow, SDLK_a);
  EXPECT_EQ(RunLoopPass().outcome, PassOutcome::kDispatched);  // WM_KEYDOWN
  EXPECT_EQ(RunLoopPass().outcome, PassOutcome::kDispatched);  // the WM_CHAR it made
  EXPECT_EQ(flips(), before);
  EXPECT_EQ(GuardedPass().outcome, PassOutcome::kIdleWorked);
  EXPECT_EQ(flips(), before + 1);
  EXPECT_EQ(QuitWithEscape(), 0);
}

struct EdgeCase {
  int x;
  int y;
  std::pair<std::int32_t, std::int32_t> view;  // from (100, 100); unchanged: no scroll, a wait
};

TEST_F(LoopTest, TheEdgeBandsDecideTheScroll) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  Activate();
  const EdgeCase cases[] = {
      {5, 240, {90, 100}},    {6, 240, {100, 100}},   {634, 240, {100, 100}}, {635, 240, {110, 100}},
      {320, 5, {100, 90}},    {320, 6, {100, 100}},   {320, 474, {100, 100}}, {320, 475, {100, 110}},
      {0, 0, {90, 90}},       {639, 479, {110, 110}}, {0, 479, {90, 110}},    {639, 0, {110, 90}},
      {320, 240, {100, 100}},
  };
  for (const EdgeCase& c : cases) {
    SCOPED_TRACE(::testing::Message() << "mouse at " << c.x << ", " << c.y);
    app().display->ScrollBy(100 - app().display->viewX, 100 - app().display->viewY);
    ASSERT_EQ(view(), std::make_pair(100, 100));
    MoveMouse(c.x, c.y);
    EXPECT_EQ(app().mouseX, c.x);
    EXPECT_EQ(app().mouseY, c.y);
    if (c.view == std::make_pair(100, 100)) {
      ExpectPassWaits();
    } else {
      const std::uint64_t before = flips();
      EXPECT_EQ(GuardedPass().outcome, PassOutcome::kIdleWorked);
      EXPECT_EQ(flips(), before + 1);
    }
    EXPECT_EQ(view(), c.view);
  }
  EXPECT_EQ(QuitWithEscape(), 0);
}

TEST_F(LoopTest, RestingInTheCornerScrollsToTheFarBoundThenKeepsPresenting) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  Activate();
  app().display->ScrollBy(1390, 1040);
  MoveMouse(639, 479);
  const std::uint64_t before = flips();
  const std::pair<std::int32_t, std::int32_t> expected[] = {{1400, 1050}, {1408, 1056}, {1408, 1056}};
  for (const auto& step : expected) {
    EXPECT_EQ(GuardedPass().outcome, PassOutcome::kIdleWorked);
    EXPECT_EQ(view(), step);
  }
  EXPECT_EQ(flips(), before + 3);
  EXPECT_EQ(QuitWithEscape(), 0);
}

TEST_F(LoopTest, MouseMovesKeepTheLow16BitsOfEachHalfUnsigned) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  Activate();
  platform::Window* window = app().mainWindow;
  // x = 0xFFFF, y = 1: taken as signed, x would be -1 and scroll left.
  EXPECT_EQ(MainWindowProc(window, platform::WM_MOUSEMOVE, 0, 0x0001FFFF), 0);
  EXPECT_EQ(app().mouseX, 65535);
  EXPECT_EQ(app().mouseY, 1);
  app().display->ScrollBy(100, 100);
  EXPECT_EQ(GuardedPass().outcome, PassOutcome::kIdleWorked);
  EXPECT_EQ(view(), std::make_pair(110, 90));
  // Bits above the two halves are not looked at.
  const platform::LParam wide = static_cast<platform::LParam>((std::uint64_t{1} << 40) | (479u << 16) | 3u);
  EXPECT_EQ(MainWindowProc(window, platform::WM_MOUSEMOVE, 0, wide), 0);
  EXPECT_EQ(app().mouseX, 3);
  EXPECT_EQ(app().mouseY, 479);
  EXPECT_EQ(QuitWithEscape(), 0);
}

TEST_F(LoopTest, OtherMessagesGetTheDefaultBehaviour) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  platform::Window* window = app().mainWindow;
  EXPECT_EQ(MainWindowProc(window, platform::WM_CREATE, 0, 0), 0);
  EXPECT_EQ(MainWindowProc(window, platform::WM_CHAR, ' ', 0), 0);
  EXPECT_NE(app().display, nullptr);
  // WM_CLOSE reaches the default procedure, which destroys the window.
  EXPECT_EQ(MainWindowProc(window, platform::WM_CLOSE, 0, 0), 0);
  EXPECT_EQ(app().display, nullptr);
  const LoopPass pass = RunLoopPass();
  EXPECT_EQ(pass.outcome, PassOutcome::kQuit);
  EXPECT_EQ(pass.exitCode, 0);
}

// In a window the mouse scrolls only from inside it: not before it first moves in, not after it
// left; in full screen a pointer gone elsewhere still counts where it was last seen.
TEST_F(LoopTest, InAWindowEdgeScrollingNeedsTheMouseInside) {
  TestWorld world;
  StartOptions start;
  start.window = true;
  start.windowScale = 1;
  ASSERT_TRUE(StartViewer(platform::GetModuleHandle(nullptr), world.path(), start));
  Activate();
  ExpectPassWaits();  // at (0, 0), the edge, but the mouse never came in
  EXPECT_EQ(view(), std::make_pair(0, 0));

  MoveMouse(639, 200);
  DispatchWaiting();
  EXPECT_EQ(GuardedPass().outcome, PassOutcome::kIdleWorked);
  EXPECT_EQ(view(), std::make_pair(10, 0));

  platform::testing::PushWindowEvent(app().mainWindow, SDL_WINDOWEVENT_LEAVE);
  DispatchWaiting();
  ExpectPassWaits();
  EXPECT_EQ(view(), std::make_pair(10, 0)) << "the mouse left at the right edge";

  MoveMouse(639, 200);
  DispatchWaiting();
  EXPECT_EQ(GuardedPass().outcome, PassOutcome::kIdleWorked);
  EXPECT_EQ(view(), std::make_pair(20, 0)) << "back inside";
  EXPECT_EQ(QuitWithEscape(), 0);
}

TEST_F(LoopTest, FullScreenTheMouseLeavingChangesNothing) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  Activate();
  MoveMouse(639, 200);
  platform::testing::PushWindowEvent(app().mainWindow, SDL_WINDOWEVENT_LEAVE);
  DispatchWaiting();
  EXPECT_EQ(GuardedPass().outcome, PassOutcome::kIdleWorked);
  EXPECT_EQ(view(), std::make_pair(10, 0));
  EXPECT_EQ(QuitWithEscape(), 0);
}

}  // namespace
}  // namespace karst::app_tests
