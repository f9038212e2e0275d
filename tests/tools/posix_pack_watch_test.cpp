// karst-gff pack --watch as a program: an edit saved as editors save it (a temporary file renamed
// over map.tmj) comes out in the game file, SIGINT ends the watch, and a watch killed outright
// (SIGKILL) at any moment of a pack leaves the game file old or new, never a mix. POSIX only:
// signals and programs started in the background.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <thread>
#include <vector>

#include <nlohmann/json.hpp>

#include "tests/support/built_programs.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace karst {
namespace {

namespace fs = std::filesystem;
using Bytes = std::vector<std::uint8_t>;
using std::chrono::milliseconds;

std::string WatchedText(const fs::path& path) {
  const Bytes bytes = testing::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

// Waits, with a generous limit, until `done` holds; whether it did.
template <typename Done>
bool WaitUntil(Done done) {
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (!done() && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(20));
  }
  return done();
}

struct WatchedWorld {
  testing::TempDir dir;
  fs::path game = dir.path() / "game";
  fs::path target = game / "RGN01.GFF";
  fs::path folder = dir.path() / "rgn01";

  WatchedWorld() {
    testing::WriteSampleWorld(game);
    EXPECT_EQ(
        testing::RunProgram(testing::BuiltProgram("karst-gff"), {"unpack", target.string(), "-o", folder.string()})
            .exitCode,
        0);
  }
  std::vector<std::string> WatchArguments() const {
    return {"pack", "--watch", folder.string(), "-o", target.string(), "--replace"};
  }
  // The folder packed as it is now by a plain pack, elsewhere.
  Bytes Packed() const {
    const fs::path elsewhere = dir.path() / "elsewhere.gff";
    fs::remove(elsewhere);
    testing::RunProgram(testing::BuiltProgram("karst-gff"), {"pack", folder.string(), "-o", elsewhere.string()});
    return testing::ReadFileBytes(elsewhere);
  }
};

TEST(PackWatch, AMapRenamedIntoPlaceIsPackedAndSigintEndsTheWatch) {
  WatchedWorld world;
  const Bytes original = testing::ReadFileBytes(world.target);
  testing::StartedProgram watch(testing::BuiltProgram("karst-gff"), world.WatchArguments());
  std::this_thread::sleep_for(milliseconds(500));
  nlohmann::json map = nlohmann::json::parse(WatchedText(world.folder / "map.tmj"));
  const int painted = map["layers"][0]["data"][5].get<int>() == 3 ? 4 : 3;
  map["layers"][0]["data"][5] = painted;
  // As Tiled saves: the whole map into a temporary file beside it, renamed over it.
  std::ofstream(world.folder / "map.tmj.saving", std::ios::binary) << map.dump();
  fs::rename(world.folder / "map.tmj.saving", world.folder / "map.tmj");
  EXPECT_TRUE(WaitUntil([&] { return testing::ReadFileBytes(world.target) != original; }));
  // The tools' own reader finds the cell repainted.
  const fs::path check = world.dir.path() / "check";
  ASSERT_EQ(
      testing::RunProgram(testing::BuiltProgram("karst-gff"), {"unpack", world.target.string(), "-o", check.string()})
          .exitCode,
      0);
  EXPECT_EQ(nlohmann::json::parse(WatchedText(check / "map.tmj"))["layers"][0]["data"][5].get<int>(), painted);
  EXPECT_EQ(testing::ReadFileBytes(world.target.string() + ".orig"), original);
  watch.Signal(SIGINT);
  const testing::ProgramResult result = watch.Wait();
  EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
  EXPECT_NE(result.output.find(": packed (the file it replaced kept as "), std::string::npos) << result.output;
}

TEST(PackWatch, KilledDuringAPackTheGameFileIsOldOrNewNeverAMix) {
  WatchedWorld world;
  std::mt19937 random(41);
  for (int round = 0; round < 12; ++round) {
    // The file as it is, or the folder packed before this round's save: the watch packs that first,
    // when the last round was killed before its pack.
    const Bytes before = testing::ReadFileBytes(world.target);
    const Bytes unsaved = world.Packed();
    testing::StartedProgram watch(testing::BuiltProgram("karst-gff"), world.WatchArguments());
    std::this_thread::sleep_for(milliseconds(300));
    std::ofstream(world.folder / "name.txt", std::ios::binary) << "Round " << round;
    const Bytes after = world.Packed();
    // Around the moment the save settles (300 ms) and the pack runs.
    std::this_thread::sleep_for(milliseconds(250 + random() % 200));
    watch.Signal(SIGKILL);
    watch.Wait();
    const Bytes now = testing::ReadFileBytes(world.target);
    EXPECT_TRUE(now == before || now == unsaved || now == after) << "round " << round;
  }
}

}  // namespace
}  // namespace karst
