// The two diagnostic channels.
#include <gtest/gtest.h>

#include <string>

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

}  // namespace
}  // namespace karst::platform
