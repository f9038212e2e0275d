// The live edit loop as the workbench calls it: what each pack of an edit does to the game file
// (kept, replaced, refused, written nothing), the settle rule, edit folders, and the loop ending
// with the game file equal to a pack of the folder's final state after saves in quick succession.
#include <gtest/gtest.h>

#include <chrono>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/temp_dir.h"
#include "tools/edit/edit_folders.h"
#include "tools/edit/edit_loop.h"
#include "tools/edit/edit_session.h"
#include "tools/pack/pack_job.h"
#include "tools/pack/unpack_job.h"

namespace karst::tools {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;
using Bytes = std::vector<std::uint8_t>;

void WriteEditText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

// POSIX only where marked: the user's data folder is set through XDG_DATA_HOME.
#ifndef _WIN32
// The user's data folder set for one test (XDG_DATA_HOME), as it was again afterwards.
class DataFolderSet {
 public:
  explicit DataFolderSet(const fs::path& folder) {
    if (const char* before = std::getenv("XDG_DATA_HOME")) {
      saved_ = before;
    }
    setenv("XDG_DATA_HOME", folder.string().c_str(), 1);
  }
  ~DataFolderSet() {
    if (saved_) {
      setenv("XDG_DATA_HOME", saved_->c_str(), 1);
    } else {
      unsetenv("XDG_DATA_HOME");
    }
  }
  DataFolderSet(const DataFolderSet&) = delete;
  DataFolderSet& operator=(const DataFolderSet&) = delete;

 private:
  std::optional<std::string> saved_;
};
#endif

// A game folder of the sample world and RGN01.GFF unpacked into an edit folder beside it.
struct EditWorld {
  testing::TempDir dir;
  fs::path game = dir.path() / "game";
  fs::path target = game / "RGN01.GFF";
  fs::path folder = dir.path() / "edit";
  Bytes original;

  EditWorld() {
    testing::WriteSampleWorld(game);
    original = testing::ReadFileBytes(target);
    JobContext context;
    UnpackRequest request;
    request.input = target.string();
    request.output = folder.string();
    EXPECT_FALSE(UnpackJob(request, context).refused);
  }

  EditPackRequest Request() const { return {folder.string(), target.string(), false, true, {}}; }
  EditPack Pack(bool replaceChanged = false) const {
    EditPackRequest request = Request();
    request.replaceChanged = replaceChanged;
    JobContext context;
    return PackEdit(request, context);
  }
  // What a pack of the folder as it is now gives, written elsewhere.
  Bytes Packed() const {
    const fs::path elsewhere = dir.path() / "elsewhere.gff";
    fs::remove(elsewhere);
    JobContext context;
    PackJob({folder.string(), elsewhere.string(), false, false, {}}, context);
    return testing::ReadFileBytes(elsewhere);
  }
  std::size_t KeptFiles() const {
    std::size_t kept = 0;
    for (const auto& entry : fs::directory_iterator(game)) {
      kept += entry.path().filename().string().find(".orig") != std::string::npos ? 1 : 0;
    }
    return kept;
  }
};

TEST(PackEdit, WhatEachSaveDoesToTheGameFile) {
  struct Case {
    const char* what;
    std::function<void(EditWorld&)> before;  // the saves and packs before the one looked at
    bool replaceChanged;
    EditOutcome outcome;
    bool targetIsPack;        // the target holds the pack of the folder; else it is as it was before
    std::size_t keptFiles;    // .orig files beside the target afterwards
    const char* problemForm;  // the edited file a problem names; empty: none looked for
  };
  const auto save = [](const char* name) {
    return [name](EditWorld& world) { WriteEditText(world.folder / "name.txt", name); };
  };
  const auto saveAndPack = [](const char* name) {
    return [name](EditWorld& world) {
      WriteEditText(world.folder / "name.txt", name);
      EXPECT_EQ(world.Pack().outcome, EditOutcome::kReplaced);
    };
  };
  const Case cases[] = {
      {"the first replacement keeps the original", save("First"), false, EditOutcome::kReplaced, true, 1, ""},
      {"a later one keeps no copy of the edit's own bytes",
       [&](EditWorld& world) {
         saveAndPack("First")(world);
         save("Second")(world);
       },
       false, EditOutcome::kReplaced, true, 1, ""},
      {"a first pack identical to the original still keeps the original at the next",
       [&](EditWorld& world) {
         EXPECT_EQ(world.Pack().outcome, EditOutcome::kUnchanged);
         save("First")(world);
       },
       false, EditOutcome::kReplaced, true, 1, ""},
      {"a broken map writes nothing and names the map",
       [](EditWorld& world) { WriteEditText(world.folder / "map.tmj", "{\"layers\": ["); }, false,
       EditOutcome::kRefused, false, 0, "map.tmj"},
      {"another program's change is refused",
       [&](EditWorld& world) {
         saveAndPack("First")(world);
         WriteEditText(world.target, "someone else's bytes");
         save("Second")(world);
       },
       false, EditOutcome::kChangedByOther, false, 1, ""},
      {"and replaced when the person confirms, kept first",
       [&](EditWorld& world) {
         saveAndPack("First")(world);
         WriteEditText(world.target, "someone else's bytes");
         save("Second")(world);
       },
       true, EditOutcome::kReplaced, true, 2, ""},
      {"a paused edit packs nothing",
       [&](EditWorld& world) {
         saveAndPack("First")(world);
         EXPECT_EQ(RevertEdit(world.folder.string(), world.target.string()), "");
         save("Second")(world);
       },
       false, EditOutcome::kPaused, false, 1, ""},
      {"a deleted folder ends the edit", [](EditWorld& world) { fs::remove_all(world.folder); }, false,
       EditOutcome::kFolderGone, false, 0, ""},
  };
  for (const Case& c : cases) {
    EditWorld world;
    c.before(world);
    const Bytes before = testing::ReadFileBytes(world.target);
    const Bytes packed = fs::exists(world.folder) ? world.Packed() : Bytes();
    const EditPack pack = world.Pack(c.replaceChanged);
    EXPECT_EQ(pack.outcome, c.outcome) << c.what;
    EXPECT_EQ(testing::ReadFileBytes(world.target), c.targetIsPack ? packed : before) << c.what;
    EXPECT_EQ(world.KeptFiles(), c.keptFiles) << c.what;
    if (*c.problemForm != '\0') {
      ASSERT_FALSE(pack.problems.empty()) << c.what;
      EXPECT_EQ(pack.problems.front().place.form, c.problemForm) << c.what;
    }
  }
}

#ifndef _WIN32
TEST(StartEdit, UnpacksRevertsAndGoesOnWithoutAnotherCopy) {
  testing::TempDir dir;
  const DataFolderSet data(dir.path() / "data");
  const fs::path target = dir.path() / "game" / "RGN01.GFF";
  testing::WriteSampleWorld(target.parent_path());
  const Bytes original = testing::ReadFileBytes(target);
  JobContext context;
  const EditStart start = StartEdit(target.string(), context);
  ASSERT_TRUE(start.problems.empty()) << start.problems.front().words;
  EXPECT_FALSE(start.resumed);
  EXPECT_EQ(start.folder, EditFolderFor(target.string()));
  const fs::path folder = start.folder;
  const auto pack = [&] {
    JobContext packContext;
    return PackEdit({folder.string(), target.string(), false, true, {}}, packContext);
  };
  WriteEditText(folder / "name.txt", "First");
  EXPECT_EQ(pack().keptOriginal, target.string() + ".orig");
  EXPECT_EQ(RevertEdit(folder.string(), target.string()), "");
  EXPECT_EQ(testing::ReadFileBytes(target), original);
  WriteEditText(folder / "name.txt", "Second");
  EXPECT_EQ(pack().outcome, EditOutcome::kPaused);
  EXPECT_EQ(testing::ReadFileBytes(target), original);
  // Starting it again goes on with the edit; its next save packs over the original, kept already.
  const EditStart again = StartEdit(target.string(), context);
  EXPECT_TRUE(again.resumed);
  EXPECT_EQ(pack().outcome, EditOutcome::kReplaced);
  EXPECT_EQ(testing::FileNamesIn(target.parent_path()).count("RGN01.GFF.orig.2"), 0U);
  EXPECT_EQ(testing::ReadFileBytes(target.string() + ".orig"), original);
}

#endif

TEST(SettleRule, ChangesThenStillForTheSettleTime) {
  using Clock = SettleRule::Clock;
  const Clock::time_point zero{};
  struct Case {
    std::vector<int> changes;  // milliseconds
    int asked;
    bool settled;
  };
  const Case cases[] = {
      {{}, 1000, false},       // nothing changed
      {{0}, 299, false},       // still for less than the settle time
      {{0}, 300, true},        // still for exactly it
      {{0, 200}, 499, false},  // a second change starts it again
      {{0, 200}, 500, true},   //
      {{0, 100, 250}, 549, false},
  };
  for (const Case& c : cases) {
    SettleRule rule(milliseconds(300));
    for (const int change : c.changes) {
      rule.Changed(zero + milliseconds(change));
    }
    EXPECT_EQ(rule.TakeSettled(zero + milliseconds(c.asked)), c.settled) << c.asked;
    // Taken once: the same changes never make a second pack.
    EXPECT_FALSE(c.settled && rule.TakeSettled(zero + milliseconds(c.asked)));
  }
}

#ifndef _WIN32
TEST(EditFolderFor, OnePerGameFileNeverInsideTheGameFolder) {
  testing::TempDir dir;
  const fs::path data = dir.path() / "data";
  fs::create_directories(dir.path() / "a" / "game");
  fs::create_directories(dir.path() / "b" / "game");
  const DataFolderSet dataSet(data);
  const std::string a = EditFolderFor((dir.path() / "a" / "game" / "RGN01.GFF").string());
  EXPECT_TRUE(fs::path(a).string().starts_with((data / "karst" / "edits").string())) << a;
  // Two game folders of one name have folders of their own; two spellings of one file share one.
  EXPECT_NE(a, EditFolderFor((dir.path() / "b" / "game" / "RGN01.GFF").string()));
  EXPECT_EQ(a, EditFolderFor((dir.path() / "a" / "game" / ".." / "game" / "rgn01.gff").string()));
  // A data folder inside the game folder would put the edit among the game's files.
  setenv("XDG_DATA_HOME", (dir.path() / "a" / "game" / "data").string().c_str(), 1);
  EXPECT_EQ(EditFolderFor((dir.path() / "a" / "game" / "RGN01.GFF").string()), "");
}

#endif

TEST(RunEditLoop, SavesInQuickSuccessionEndAsAPackOfTheFinalState) {
  EditWorld world;
  JobContext context;
  std::vector<EditOutcome> outcomes;
  std::thread loop([&] {
    RunEditLoop({world.Request(), milliseconds(100)}, context,
                [&](const EditPack& pack) { outcomes.push_back(pack.outcome); });
  });
  std::this_thread::sleep_for(milliseconds(200));
  // Saves at intervals around the settle time: some fall during a pack.
  for (int save = 0; save < 6; ++save) {
    WriteEditText(world.folder / "name.txt", "Save " + std::to_string(save));
    std::this_thread::sleep_for(milliseconds(40 * save));
  }
  const Bytes final = world.Packed();
  const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
  while (testing::ReadFileBytes(world.target) != final && std::chrono::steady_clock::now() < deadline) {
    std::this_thread::sleep_for(milliseconds(50));
  }
  // Cancel wakes the watch: the loop returns without another change.
  context.Cancel();
  loop.join();
  EXPECT_EQ(testing::ReadFileBytes(world.target), final);
  EXPECT_FALSE(outcomes.empty());
  EXPECT_EQ(world.KeptFiles(), 1U);
}

}  // namespace
}  // namespace karst::tools
