// The two diagnostic channels, and taking them over with a ChannelCapture.
#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

#include "platform/channels.h"

namespace karst::platform {
namespace {

TEST(Channels, OutputLineGetsALineFeedAndDebugTextStaysExact) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  WriteOutputLine("Something peculiar happened!");
  WriteDebugText("Y offset: 3 is different!\n");
  WriteDebugText("no line end");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "Something peculiar happened!\n");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "Y offset: 3 is different!\nno line end");
}

TEST(Channels, CaptureCollectsBothChannelsInOrderAndWritesNothing) {
  ::testing::internal::CaptureStdout();
  ::testing::internal::CaptureStderr();
  {
    ChannelCapture capture;
    WriteOutputLine("We ran outta space!");
    WriteDebugText("Tile with more than one frame!");
    WriteOutputLine("");
    ASSERT_EQ(capture.texts().size(), 3u);
    EXPECT_EQ(capture.texts()[0].channel, Channel::kOutputLine);
    EXPECT_EQ(capture.texts()[0].text, "We ran outta space!");
    EXPECT_EQ(capture.texts()[1].channel, Channel::kDebug);
    EXPECT_EQ(capture.texts()[1].text, "Tile with more than one frame!");
    EXPECT_EQ(capture.texts()[2].text, "");
  }
  // Once the capture ends, the channels write again.
  WriteOutputLine("after");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "after\n");
  EXPECT_EQ(::testing::internal::GetCapturedStderr(), "");
}

TEST(Channels, TakeHandsOverAndKeepsCollecting) {
  ChannelCapture capture;
  WriteOutputLine("first");
  const std::vector<CapturedText> taken = capture.Take();
  ASSERT_EQ(taken.size(), 1u);
  EXPECT_EQ(taken[0].text, "first");
  EXPECT_TRUE(capture.texts().empty());
  WriteDebugText("second");
  ASSERT_EQ(capture.texts().size(), 1u);
  EXPECT_EQ(capture.texts()[0].text, "second");
}

TEST(Channels, NestedCapturesCollectInTheNewestAndHandBackInOrder) {
  ChannelCapture outer;
  WriteOutputLine("outer 1");
  {
    ChannelCapture inner;
    WriteOutputLine("inner");
    ASSERT_EQ(inner.texts().size(), 1u);
  }
  WriteOutputLine("outer 2");
  ASSERT_EQ(outer.texts().size(), 2u);
  EXPECT_EQ(outer.texts()[0].text, "outer 1");
  EXPECT_EQ(outer.texts()[1].text, "outer 2");
}

TEST(Channels, CaptureTakesOnlyItsOwnThread) {
  ::testing::internal::CaptureStdout();
  ChannelCapture capture;
  std::thread other([] { WriteOutputLine("from the other thread"); });
  other.join();
  WriteOutputLine("from this thread");
  EXPECT_EQ(::testing::internal::GetCapturedStdout(), "from the other thread\n");
  ASSERT_EQ(capture.texts().size(), 1u);
  EXPECT_EQ(capture.texts()[0].text, "from this thread");
}

}  // namespace
}  // namespace karst::platform
