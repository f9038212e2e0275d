// The workbench's live edit on the sample world: a save in the edit folder reaches the game file
// and asks for the map to be drawn again; a save that does not pack leaves the game file as it
// was; a revert puts the original back and pauses the edit.
#include "workbench/model/live_edit.h"

#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <thread>

#include "tests/support/scoped_variable.h"
#include "tests/support/temp_dir.h"
#include "workbench/model/map_pictures.h"

namespace karst::workbench {
namespace {

namespace fs = std::filesystem;

// Polls until `done` holds; the limit only keeps a hung loop from hanging the suite.
template <typename Done>
bool PollUntil(LiveEdit& edit, bool& replaced, Done done) {
  const auto limit = std::chrono::steady_clock::now() + std::chrono::seconds(30);
  while (std::chrono::steady_clock::now() < limit) {
    replaced = edit.Poll() || replaced;
    if (done()) {
      return true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  return false;
}

// Saves `text` into `file` as editors do: a temporary file beside it, then a rename.
void Save(const fs::path& file, const std::string& text) {
  const fs::path temporary = file.parent_path() / ".saving";
  std::ofstream(temporary, std::ios::binary) << text;
  fs::rename(temporary, file);
}

std::string NameOf(const fs::path& region) {
  MapPainter painter("");
  ShownRegion shown;
  std::string error;
  return painter.Paint(region.string(), shown, error) ? shown.name : "(" + error + ")";
}

TEST(LiveEdit, ASaveReachesTheGameFileARefusalWritesNothingAndRevertPutsTheOriginalBack) {
  const testing::TempDir dir;
  const testing::ScopedVariable data("XDG_DATA_HOME", (dir.path() / "data").string());
  const fs::path world = dir.path() / "world";
  testing::WriteSampleWorld(world);
  const fs::path region = world / "RGN02.GFF";
  const std::vector<std::uint8_t> original = testing::ReadFileBytes(region);

  LiveEdit edit(region.string(), [] {});
  bool replaced = false;
  ASSERT_TRUE(PollUntil(edit, replaced, [&] { return edit.status() != LiveEditStatus::kStarting; }));
  std::string said;
  for (const std::string& line : edit.lines()) {
    said += line + "\n";
  }
  ASSERT_EQ(edit.status(), LiveEditStatus::kWatching) << said;
  const fs::path folder = edit.folder();
  EXPECT_TRUE(fs::exists(folder / "map.tmj"));
  EXPECT_NE(folder.parent_path().parent_path(), world);

  Save(folder / "name.txt", "Saltmarsh\n");
  ASSERT_TRUE(PollUntil(edit, replaced, [&] { return replaced; })) << edit.lines().back();
  EXPECT_EQ(NameOf(region), "Saltmarsh");
  EXPECT_TRUE(fs::exists(world / "RGN02.GFF.orig"));

  // A name with a character no region name holds does not pack: nothing is written.
  const std::vector<std::uint8_t> packed = testing::ReadFileBytes(region);
  replaced = false;
  Save(folder / "name.txt", "Salt\xE2\x82\xACmarsh\n");
  ASSERT_TRUE(PollUntil(edit, replaced, [&] { return edit.status() == LiveEditStatus::kRefused; }));
  EXPECT_FALSE(replaced);
  EXPECT_FALSE(edit.problems().empty());
  EXPECT_EQ(testing::ReadFileBytes(region), packed);

  edit.Revert();
  EXPECT_EQ(edit.status(), LiveEditStatus::kPaused);
  EXPECT_EQ(testing::ReadFileBytes(region), original);
  EXPECT_TRUE(fs::exists(folder / "name.txt"));
}

}  // namespace
}  // namespace karst::workbench
