// The key commands through real key events: stepping through the regions and its ends,
// scrolling by 16 with a frame for every press, keys without a command, Escape, and a region
// that fails to load on the way.
#include <gtest/gtest.h>

#include "tests/app/app_test_support.h"

namespace karst::app_tests {
namespace {

using platform::CapturedMessageBoxes;
using KeyTest = ViewerTest;

TEST_F(KeyTest, SpaceAndBackspaceStepThroughTheRegionsInOrder) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  const RegionList::Node* first = app().regionList->head();
  const RegionList::Node* second = first->next.get();
  const RegionList::Node* third = second->next.get();
  ASSERT_NE(third, nullptr);

  Press(SDLK_SPACE);
  EXPECT_EQ(app().currentEntry, second);
  EXPECT_EQ(flips(), 2u);
  Press(SDLK_SPACE);
  EXPECT_EQ(app().currentEntry, third);
  EXPECT_EQ(currentPath(), world.path() + platform::kPathSeparator + "RGN03.GFF");
  EXPECT_EQ(flips(), 3u);
  Press(SDLK_BACKSPACE);
  EXPECT_EQ(app().currentEntry, second);
  EXPECT_EQ(flips(), 4u);
  Press(SDLK_BACKSPACE);
  EXPECT_EQ(app().currentEntry, first);
  EXPECT_EQ(flips(), 5u);
  EXPECT_TRUE(CapturedMessageBoxes().empty());
  EXPECT_EQ(QuitWithEscape(), 0);
}

TEST_F(KeyTest, SpaceAtTheLastAndBackspaceAtTheFirstDoNothing) {
  TestWorld world(2);
  ASSERT_TRUE(Start(world));
  const Region* firstRegion = app().display->region.get();
  Press(SDLK_BACKSPACE);
  EXPECT_EQ(app().currentEntry, app().regionList->head());
  EXPECT_EQ(app().display->region.get(), firstRegion) << "no reload";
  EXPECT_EQ(flips(), 1u) << "no frame";

  Press(SDLK_SPACE);
  const Region* lastRegion = app().display->region.get();
  Press(SDLK_RIGHT);  // the view moves; staying at the last entry must keep it
  ASSERT_EQ(flips(), 3u);
  Press(SDLK_SPACE);
  EXPECT_EQ(app().currentEntry, app().regionList->tail());
  EXPECT_EQ(app().display->region.get(), lastRegion);
  EXPECT_EQ(view(), std::make_pair(16, 0));
  EXPECT_EQ(flips(), 3u);
  EXPECT_EQ(QuitWithEscape(), 0);
}

TEST_F(KeyTest, ASingleRegionIgnoresBothStepKeys) {
  TestWorld world(1);
  ASSERT_TRUE(Start(world));
  Press(SDLK_SPACE);
  Press(SDLK_BACKSPACE);
  EXPECT_EQ(app().currentEntry, app().regionList->head());
  EXPECT_EQ(flips(), 1u);
  EXPECT_EQ(QuitWithEscape(), 0);
}

TEST_F(KeyTest, SteppingPutsTheViewBackAtTheOrigin) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  Press(SDLK_RIGHT);
  Press(SDLK_DOWN);
  ASSERT_EQ(view(), std::make_pair(16, 16));
  Press(SDLK_SPACE);
  EXPECT_EQ(view(), std::make_pair(0, 0));
  Press(SDLK_DOWN);
  Press(SDLK_BACKSPACE);
  EXPECT_EQ(view(), std::make_pair(0, 0));
  EXPECT_EQ(QuitWithEscape(), 0);
}

TEST_F(KeyTest, ArrowsScrollBy16AndPresentEveryPress) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  struct Step {
    SDL_Keycode key;
    std::pair<std::int32_t, std::int32_t> view;
  };
  const Step steps[] = {
      {SDLK_RIGHT, {16, 0}}, {SDLK_DOWN, {16, 16}}, {SDLK_RIGHT, {32, 16}},
      {SDLK_LEFT, {16, 16}}, {SDLK_UP, {16, 0}},    {SDLK_UP, {16, 0}},  // top edge: stays, still a frame
      {SDLK_LEFT, {0, 0}},   {SDLK_LEFT, {0, 0}},                        // left edge
  };
  std::uint64_t expectedFlips = 1;
  for (const Step& step : steps) {
    SCOPED_TRACE(SDL_GetKeyName(step.key));
    Press(step.key);
    ++expectedFlips;
    EXPECT_EQ(view(), step.view);
    EXPECT_EQ(flips(), expectedFlips);
  }
  EXPECT_EQ(QuitWithEscape(), 0);
}

TEST_F(KeyTest, ArrowsStopAtTheFarEdgesAndStillPresent) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  app().display->ScrollBy(1400, 1050);
  ASSERT_EQ(view(), std::make_pair(1400, 1050));
  const std::uint64_t before = flips();
  Press(SDLK_RIGHT);
  EXPECT_EQ(view(), std::make_pair(1408, 1050)) << "2048 - 640";
  Press(SDLK_DOWN);
  EXPECT_EQ(view(), std::make_pair(1408, 1056)) << "1536 - 480";
  Press(SDLK_RIGHT);
  Press(SDLK_DOWN);
  EXPECT_EQ(view(), std::make_pair(1408, 1056));
  EXPECT_EQ(flips(), before + 4);
  EXPECT_EQ(QuitWithEscape(), 0);
}

TEST_F(KeyTest, AutoRepeatedArrowsScrollOnEveryRepeat) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  for (int i = 0; i < 3; ++i) {
    platform::testing::PushKey(app().mainWindow, SDLK_DOWN, i > 0);
  }
  DispatchWaiting();
  EXPECT_EQ(view(), std::make_pair(0, 48));
  EXPECT_EQ(flips(), 4u);
  EXPECT_EQ(QuitWithEscape(), 0);
}

TEST_F(KeyTest, OtherKeysAreConsumedWithoutEffect) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  Press(SDLK_RIGHT);
  for (const SDL_Keycode key : {SDLK_a, SDLK_RETURN, SDLK_TAB, SDLK_F1, SDLK_HOME, SDLK_MUTE, SDLK_KP_8}) {
    Press(key);
  }
  // Codes the keyboard never sends, straight to the procedure: the result is 0 and nothing
  // changes, whatever the code.
  for (const platform::WParam code : {platform::WParam{0}, platform::WParam{7}, platform::WParam{41},
                                      platform::WParam{0xFF}, platform::WParam{0x10000 + 32}}) {
    EXPECT_EQ(MainWindowProc(app().mainWindow, platform::WM_KEYDOWN, code, 1), 0);
  }
  EXPECT_EQ(view(), std::make_pair(16, 0));
  EXPECT_EQ(flips(), 2u);
  EXPECT_EQ(app().currentEntry, app().regionList->head());
  EXPECT_TRUE(CapturedMessageBoxes().empty());
  EXPECT_NE(app().display, nullptr) << "the window is still there";
  EXPECT_EQ(QuitWithEscape(), 0);
}

TEST_F(KeyTest, EscapeDestroysTheWindowAndTheLoopEndsWithZero) {
  TestWorld world;
  ASSERT_TRUE(Start(world));
  platform::Window* window = app().mainWindow;
  Press(SDLK_ESCAPE);
  EXPECT_EQ(app().display, nullptr);
  EXPECT_EQ(app().regionList, nullptr);
  EXPECT_FALSE(app().workingPath.has_value());
  EXPECT_EQ(platform::DestroyWindow(window), 0) << "already destroyed";
  const LoopPass pass = RunLoopPass();
  EXPECT_EQ(pass.outcome, PassOutcome::kQuit);
  EXPECT_EQ(pass.exitCode, 0);
}

TEST_F(KeyTest, ARegionThatFailsToLoadWhileSteppingEndsTheProgram) {
  TestWorld world;
  world.Write("RGN02.GFF", Text("not a container"));
  ASSERT_TRUE(Start(world));
  platform::Window* window = app().mainWindow;
  platform::testing::PushKey(window, SDLK_SPACE);
  // The key is dispatched, the box shown, the window destroyed and the loop left.
  EXPECT_EQ(RunMessageLoop(), 0);
  ASSERT_EQ(CapturedMessageBoxes().size(), 1u);
  EXPECT_EQ(CapturedMessageBoxes()[0].owner, window);
  EXPECT_EQ(CapturedMessageBoxes()[0].text, "Error loading zone!");
  EXPECT_EQ(CapturedMessageBoxes()[0].caption, "Error!");
  EXPECT_EQ(CapturedMessageBoxes()[0].type, 0u);
  EXPECT_EQ(app().display, nullptr);
  EXPECT_EQ(app().regionList, nullptr);
  EXPECT_EQ(app().currentEntry, nullptr);
}

TEST_F(KeyTest, ARegionWithoutPaletteEndsTheProgramAfterItsOwnMessages) {
  TestWorld world;
  world.Write("RGN02.GFF", authoring::WriteContainer({Type(kTagTile, {{1, PlainTile(1)}}),
                                                      Type(kTagMap, {{1, std::vector<std::uint8_t>(kMapBytes)}}),
                                                      Type(kTagRnme, {{1, Text("No palette")}})}));
  ASSERT_TRUE(Start(world));
  platform::Window* window = app().mainWindow;
  platform::testing::PushKey(window, SDLK_SPACE);
  EXPECT_EQ(RunMessageLoop(), 0);
  ASSERT_FALSE(CapturedMessageBoxes().empty());
  EXPECT_EQ(CapturedMessageBoxes().back().owner, window);
  EXPECT_EQ(CapturedMessageBoxes().back().text, "Error loading zone!");
  EXPECT_EQ(CapturedMessageBoxes().back().caption, "Error!");
  EXPECT_EQ(app().display, nullptr);
}

}  // namespace
}  // namespace karst::app_tests
