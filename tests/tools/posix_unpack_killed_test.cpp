// karst-gff unpack of a game folder killed outright midway (SIGKILL, no handler runs): the next
// unpack into the same folder finishes it, and pack of the finished folder gives back the very
// bytes of every file of the game. POSIX only: signals.
#include <gtest/gtest.h>
#include <signal.h>

#include <chrono>
#include <filesystem>
#include <string>
#include <thread>

#include "tests/support/built_programs.h"
#include "tests/support/run_program.h"
#include "tests/support/temp_dir.h"

namespace karst {
namespace {

namespace fs = std::filesystem;
using testing::ProgramResult;
using testing::TempDir;

ProgramResult Gff(const std::vector<std::string>& arguments) {
  return testing::RunProgram(testing::BuiltProgram("karst-gff"), arguments);
}

TEST(UnpackKilled, TheNextUnpackFinishesItAndPackGivesTheOriginalBytes) {
  const TempDir dir;
  const fs::path game = dir.path() / "game";
  testing::WriteSampleWorld(game);
  // Enough regions that the unpack takes a while after its first file.
  for (int copy = 5; copy < 40; ++copy) {
    fs::copy_file(game / "RGN01.GFF", game / ("RGN" + std::to_string(copy) + ".GFF"));
  }
  const fs::path work = dir.path() / "work";
  testing::StartedProgram run(testing::BuiltProgram("karst-gff"), {"unpack", game.string(), "-o", work.string()});
  bool seen = false;
  while (!seen && !run.HasEnded()) {
    std::error_code ignored;
    seen = fs::exists(work / "OBJEX" / "chunks", ignored);
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  }
  ASSERT_TRUE(seen) << "the unpack ended before its first file was seen";
  run.Signal(SIGKILL);
  ASSERT_EQ(run.Wait().exitCode, 128 + SIGKILL);

  const ProgramResult finished = Gff({"unpack", game.string(), "-o", work.string()});
  ASSERT_EQ(finished.exitCode, 0) << finished.errorOutput;
  const fs::path packed = dir.path() / "packed";
  const ProgramResult pack = Gff({"pack", work.string(), "-o", packed.string()});
  ASSERT_EQ(pack.exitCode, 0) << pack.errorOutput;
  EXPECT_EQ(testing::FileNamesIn(packed), testing::FileNamesIn(game));
  for (const std::string& name : testing::FileNamesIn(game)) {
    EXPECT_EQ(testing::ReadFileBytes(packed / name), testing::ReadFileBytes(game / name)) << name;
  }
}

}  // namespace
}  // namespace karst
