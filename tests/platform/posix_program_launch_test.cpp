// Other programs found on the PATH and started beside this one, which goes on without waiting.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <thread>

#include "platform/program_launch.h"
#include "tests/support/temp_dir.h"

namespace karst::platform {
namespace {

TEST(ProgramLaunch, FindsOnlyProgramsThePathHas) {
  struct Case {
    const char* name;
    bool found;
  };
  for (const Case& c : {Case{"sh", true}, Case{"karst-no-such-program", false}, Case{"", false}}) {
    const std::string path = FindProgram(c.name);
    EXPECT_EQ(!path.empty(), c.found) << c.name << " -> " << path;
    if (c.found) {
      EXPECT_TRUE(std::filesystem::is_regular_file(path)) << path;
    }
  }
}

TEST(ProgramLaunch, StartsAProgramWithItsArgumentsAndDoesNotWait) {
  const testing::TempDir folder;
  const std::filesystem::path marker = folder.path() / "started with spaces";
  // The program waits a little before it writes, so a launch that waited for it would be seen
  // finding the file at once.
  EXPECT_EQ(StartProgram("sh", {"-c", "sleep 1; echo \"$0\" > \"$1\"", "one word", marker.string()}), "");
  EXPECT_FALSE(std::filesystem::exists(marker));
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (!std::filesystem::exists(marker) && std::chrono::steady_clock::now() < limit) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  ASSERT_TRUE(std::filesystem::exists(marker));
  EXPECT_NE(StartProgram("karst-no-such-program", {}), "");
}

}  // namespace
}  // namespace karst::platform
