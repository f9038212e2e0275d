// A long headless session over the sample world with its objects: many region switches and many
// presented frames at moving views. Resident memory stays flat once warmed up and no file stays
// open. The release build runs the full session; the sanitizer build, whose quarantine holds
// freed memory back on purpose, runs a shorter one and leaves memory to LeakSanitizer.
// POSIX only: memory and open files are read in /proc/self/status and /proc/self/fd.
#include <gtest/gtest.h>

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <string>
#include <vector>

#include "data/region.h"
#include "display/display_surface.h"
#include "platform/message_box.h"
#include "tests/reliability/sample_world_dir.h"

namespace karst::reliability_tests {
namespace {

#ifdef KARST_SANITIZED_BUILD
constexpr bool kSanitized = true;
constexpr int kRegionSwitches = 300;
#else
constexpr bool kSanitized = false;
constexpr int kRegionSwitches = 10'000;
#endif
constexpr int kFramesPerSwitch = 10;
constexpr int kFrames = kRegionSwitches * kFramesPerSwitch;
// Resident memory is measured after this many switches, once every region and every buffer
// size has been met, and compared with the end.
constexpr int kWarmUpSwitches = kRegionSwitches / 10;

// Resident memory in KiB (VmRSS of /proc/self/status); 0 when it cannot be read.
std::uint64_t ResidentKiB() {
  std::ifstream status("/proc/self/status");
  std::string key;
  while (status >> key) {
    if (key == "VmRSS:") {
      std::uint64_t kib = 0;
      status >> kib;
      return kib;
    }
    status.ignore(1 << 16, '\n');
  }
  return 0;
}

// What every open descriptor names, sorted.
std::vector<std::string> OpenDescriptors() {
  std::vector<std::string> names;
  for (const auto& entry : std::filesystem::directory_iterator("/proc/self/fd")) {
    std::error_code error;
    names.push_back(std::filesystem::read_symlink(entry.path(), error).string());
  }
  std::sort(names.begin(), names.end());
  return names;
}

// A view that sweeps the region back and forth on both axes, so every frame shows another part
// and the clamps are met at all four edges.
struct Sweep {
  std::int32_t dx = 37;
  std::int32_t dy = 23;

  void Step(DisplaySurface& display) {
    display.ScrollBy(dx, dy);
    if (display.viewX == 0 || display.viewX == 2048 - display.screenWidth) {
      dx = display.viewX == 0 ? 37 : -37;
    }
    if (display.viewY == 0 || display.viewY == 1536 - display.screenHeight) {
      dy = display.viewY == 0 ? 23 : -23;
    }
  }
};

TEST(Soak, RegionSwitchesAndFramesKeepMemoryFlatAndCloseEveryFile) {
  const SampleWorldDir world;
  const std::vector<std::string> regions = world.regionPaths();
  ASSERT_GE(regions.size(), 2u);
  platform::CaptureMessageBoxes(true);
  std::vector<std::string> descriptorsWarm;
  const auto started = std::chrono::steady_clock::now();
  std::uint64_t warmKiB = 0;
  std::uint64_t peakKiB = 0;
  std::uint64_t flips = 0;
  {
    DisplaySurface display(nullptr, 480, 640, 8, 0);
    ASSERT_EQ(display.InitDirectDraw(), 1);
    ASSERT_EQ(display.LoadObjects(world.pathOf(authoring::kObjectLibraryFileName)), 1);
    Sweep sweep;
    for (int switchNumber = 0; switchNumber < kRegionSwitches; ++switchNumber) {
      const std::string& path = regions[static_cast<std::size_t>(switchNumber) % regions.size()];
      ASSERT_TRUE(display.LoadZone(path.c_str())) << path;
      for (int frame = 0; frame < kFramesPerSwitch; ++frame) {
        sweep.Step(display);
      }
      if (switchNumber + 1 == kWarmUpSwitches) {
        warmKiB = ResidentKiB();
        // The text font is opened on the first frame with a name and kept for the process.
        descriptorsWarm = OpenDescriptors();
      }
      if (switchNumber + 1 >= kWarmUpSwitches) {
        peakKiB = std::max(peakKiB, ResidentKiB());
      }
    }
    flips = display.primary->flipCount();
  }
  const std::uint64_t finalKiB = ResidentKiB();
  const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - started).count();
  std::cout << kRegionSwitches << " region switches, " << flips << " frames in " << seconds
            << " s; resident after warm-up " << warmKiB << " KiB, highest after it " << peakKiB
            << " KiB, after teardown " << finalKiB << " KiB\n";

  EXPECT_EQ(flips, static_cast<std::uint64_t>(kFrames));
  EXPECT_TRUE(platform::CapturedMessageBoxes().empty());
  // Nothing opened during the session, nor by the display, stays open after it.
  EXPECT_EQ(OpenDescriptors(), descriptorsWarm);
  EXPECT_TRUE(world.Unchanged());
  ASSERT_GT(warmKiB, 0u);
  if (!kSanitized) {
    // Within 1 % of the warmed-up figure for the rest of the session.
    EXPECT_LE(peakKiB * 100, warmKiB * 101) << "warm " << warmKiB << " KiB, peak " << peakKiB << " KiB";
  }
}

}  // namespace
}  // namespace karst::reliability_tests
