// Message boxes: capture in tests, the fault switch, and the standard-error fallback.
#include <gtest/gtest.h>

#include <cstdlib>

#include "tests/platform/window_test_support.h"

namespace karst::platform {
namespace {

using testing::CleanWindowSystem;
using testing::MakeWindow;

TEST(MessageBoxTest, CaptureRecordsEveryBoxAndShowsNothing) {
  CleanWindowSystem clean;
  Window* window = MakeWindow();
  ASSERT_NE(window, nullptr);
  CaptureMessageBoxes();
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBox(nullptr, "Unable to find region files!", "Error", MB_OK), IDOK);
  EXPECT_EQ(MessageBox(window, "Error loading zone!", "Error!", 0x30), IDOK);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");

  const std::vector<CapturedMessageBox>& boxes = CapturedMessageBoxes();
  ASSERT_EQ(boxes.size(), 2u);
  EXPECT_EQ(boxes[0].owner, nullptr);
  EXPECT_EQ(boxes[0].text, "Unable to find region files!");
  EXPECT_EQ(boxes[0].caption, "Error");
  EXPECT_EQ(boxes[0].type, MB_OK);
  EXPECT_EQ(boxes[1].owner, window);
  EXPECT_EQ(boxes[1].text, "Error loading zone!");
  EXPECT_EQ(boxes[1].caption, "Error!");
  EXPECT_EQ(boxes[1].type, 0x30u);

  CaptureMessageBoxes();
  EXPECT_TRUE(CapturedMessageBoxes().empty()) << "switching capture starts a new record";
}

TEST(MessageBoxTest, MissingCaptionReadsErrorAndMissingTextIsEmpty) {
  CleanWindowSystem clean;
  CaptureMessageBoxes();
  EXPECT_EQ(MessageBox(nullptr, nullptr, nullptr, MB_OK), IDOK);
  ASSERT_EQ(CapturedMessageBoxes().size(), 1u);
  EXPECT_EQ(CapturedMessageBoxes()[0].caption, "Error");
  EXPECT_EQ(CapturedMessageBoxes()[0].text, "");
}

TEST(MessageBoxTest, FaultSwitchFailsTheBoxWithoutShowingIt) {
  CleanWindowSystem clean;
  CaptureMessageBoxes();
  FailCall("MessageBox");
  EXPECT_EQ(MessageBox(nullptr, "Unable to find region files!", "Error", MB_OK), 0);
  EXPECT_TRUE(CapturedMessageBoxes().empty());
  EXPECT_EQ(MessageBox(nullptr, "Unable to find region files!", "Error", MB_OK), IDOK);
  EXPECT_EQ(CapturedMessageBoxes().size(), 1u);
}

TEST(MessageBoxTest, WithoutADisplayTheTextGoesToStandardError) {
  CleanWindowSystem clean;
  FailCall("SDL_ShowSimpleMessageBox");
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBox(nullptr, "Unable to discover current working path!", "Error", MB_OK), IDOK);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error: Unable to discover current working path!\n");
}

// POSIX only: MessageBoxA shows its box whatever SDL's video driver.
#ifndef _WIN32
TEST(MessageBoxTest, TheDummyDriverCannotShowAnOwnedBox) {
  // Without a display server SDL has nowhere to show the box; with one it would really show it
  // and wait for a click.
  if (std::getenv("DISPLAY") != nullptr || std::getenv("WAYLAND_DISPLAY") != nullptr) {
    GTEST_SKIP() << "a display server is reachable";
  }
  CleanWindowSystem clean;
  Window* window = MakeWindow();
  ASSERT_NE(window, nullptr);
  ::testing::internal::CaptureStderr();
  EXPECT_EQ(MessageBox(window, "Error loading zone!", "Error!", MB_OK), IDOK);
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Error!: Error loading zone!\n");
}
#endif  // _WIN32

}  // namespace
}  // namespace karst::platform
