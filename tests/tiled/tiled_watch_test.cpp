// Tiled itself saves while karst-gff pack --watch runs: tiled --export-map writes an edited map
// over map.tmj as a save does, and the game file then holds the edit, as the tools' own reader
// (unpack) finds it.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <fstream>
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
using testing::ProgramResult;

std::string SavedText(const fs::path& path) {
  const std::vector<std::uint8_t> bytes = testing::ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

TEST(TiledWatch, ASaveByTiledComesOutInTheGameFile) {
  const testing::TempDir dir;
  const fs::path game = dir.path() / "game";
  testing::WriteSampleWorld(game);
  const fs::path target = game / "RGN01.GFF";
  const fs::path folder = dir.path() / "rgn01";
  const std::string gff = testing::BuiltProgram("karst-gff");
  ASSERT_EQ(testing::RunProgram(gff, {"unpack", target.string(), "-o", folder.string()}).exitCode, 0);
  nlohmann::json map = nlohmann::json::parse(SavedText(folder / "map.tmj"));
  const int painted = map["layers"][0]["data"][77].get<int>() == 3 ? 4 : 3;
  map["layers"][0]["data"][77] = painted;
  // The edit as a map of Tiled's beside map.tmj, so that its tilesets are found the same way.
  std::ofstream(folder / "edited.tmj", std::ios::binary) << map.dump();
  const std::vector<std::uint8_t> original = testing::ReadFileBytes(target);

  testing::StartedProgram watch(gff, {"pack", "--watch", folder.string(), "-o", target.string(), "--replace"});
  std::this_thread::sleep_for(std::chrono::milliseconds(500));
  const ProgramResult tiled =
      testing::RunProgram("/usr/bin/env", {"QT_QPA_PLATFORM=offscreen", "tiled", "--export-map", "json",
                                           (folder / "edited.tmj").string(), (folder / "map.tmj").string()});
  ASSERT_EQ(tiled.exitCode, 0) << tiled.errorOutput;
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (testing::ReadFileBytes(target) == original && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(std::chrono::milliseconds(20));
  }
  // Let any pack in flight finish; then the file holds the last one.
  watch.Signal(SIGINT);
  const ProgramResult result = watch.Wait();
  EXPECT_EQ(result.exitCode, 0) << result.errorOutput;
  const fs::path check = dir.path() / "check";
  ASSERT_EQ(testing::RunProgram(gff, {"unpack", target.string(), "-o", check.string()}).exitCode, 0)
      << result.output << result.errorOutput;
  EXPECT_EQ(nlohmann::json::parse(SavedText(check / "map.tmj"))["layers"][0]["data"][77].get<int>(), painted)
      << result.output << result.errorOutput;
}

}  // namespace
}  // namespace karst
