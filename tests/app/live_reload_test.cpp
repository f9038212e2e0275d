// Which changed files the viewer reads again and hands over to be shown, which it turns away with
// a line naming the file, and that each change is judged once.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/live_reload.h"
#include "data/object_library.h"
#include "data/region.h"
#include "tests/app/app_test_support.h"

namespace karst::app_tests {
namespace {

namespace fs = std::filesystem;

// Replaces `name` as editors and pack do: a file written aside, renamed over it.
void RenameOver(const TestWorld& world, const std::string& name, const std::vector<std::uint8_t>& bytes) {
  world.Write(".saving", bytes);
  fs::rename(world.path() + ".saving", world.path() + name);
}

// Writes `name` in place, as an editor that truncates and rewrites does, after the viewer read it.
void WriteInPlace(const TestWorld& world, const std::string& name, const std::vector<std::uint8_t>& bytes) {
  std::this_thread::sleep_for(std::chrono::milliseconds(30));
  world.Write(name, bytes);
}

void CutShort(const TestWorld& world, const std::string& name) { fs::resize_file(world.path() + name, 40); }

struct ReloadCase {
  const char* what;
  void (*change)(const TestWorld& world);
  std::optional<std::string> regionShown;  // the name of the region handed over; none: nothing
  bool libraryShown;
  std::vector<std::string> named;  // the files the lines name, in order
};

const ReloadCase kReloadCases[] = {
    {"nothing changed", [](const TestWorld&) {}, std::nullopt, false, {}},
    {"another file of the folder changed",
     [](const TestWorld& w) { RenameOver(w, "RGN02.GFF", RegionFile("X", 3)); },
     std::nullopt,
     false,
     {}},
    {"the region replaced by a rename",
     [](const TestWorld& w) { RenameOver(w, "RGN01.GFF", RegionFile("Region 2", 20)); },
     "Region 2",
     false,
     {}},
    {"the region written in place, same size",
     [](const TestWorld& w) { WriteInPlace(w, "RGN01.GFF", RegionFile("Region 9", 90)); },
     "Region 9",
     false,
     {}},
    {"the region cut short", [](const TestWorld& w) { CutShort(w, "RGN01.GFF"); }, std::nullopt, false, {"RGN01.GFF"}},
    {"the region deleted", [](const TestWorld& w) { w.Remove("RGN01.GFF"); }, std::nullopt, false, {"RGN01.GFF"}},
    {"the region replaced by the library",
     [](const TestWorld& w) { RenameOver(w, "RGN01.GFF", ObjectLibraryFile()); },
     std::nullopt,
     false,
     {"RGN01.GFF"}},
    {"the library replaced by a rename",
     [](const TestWorld& w) { RenameOver(w, "OBJEX.GFF", ObjectLibraryFile()); },
     std::nullopt,
     true,
     {}},
    {"the library cut short", [](const TestWorld& w) { CutShort(w, "OBJEX.GFF"); }, std::nullopt, false, {"OBJEX.GFF"}},
    {"the library replaced by a region",
     [](const TestWorld& w) { RenameOver(w, "OBJEX.GFF", RegionFile("Region 1", 10)); },
     std::nullopt,
     false,
     {"OBJEX.GFF"}},
    {"both replaced",
     [](const TestWorld& w) {
       RenameOver(w, "OBJEX.GFF", ObjectLibraryFile());
       RenameOver(w, "RGN01.GFF", RegionFile("Region 3", 30));
     },
     "Region 3",
     true,
     {}},
    {"both broken",
     [](const TestWorld& w) {
       CutShort(w, "OBJEX.GFF");
       CutShort(w, "RGN01.GFF");
     },
     std::nullopt,
     false,
     {"OBJEX.GFF", "RGN01.GFF"}},
};

ShownFiles ShownFilesOf(const TestWorld& world) {
  return ShownFiles{Watched(world.path() + "RGN01.GFF"), Watched(world.path() + "OBJEX.GFF")};
}

TEST(ReadChangedFilesTest, ReadsWhatChangedAndCanBeShownAndNamesWhatCannot) {
  for (const ReloadCase& c : kReloadCases) {
    SCOPED_TRACE(c.what);
    TestWorld world;
    ShownFiles shown = ShownFilesOf(world);
    c.change(world);

    const ChangedFiles changed = ReadChangedFiles(shown, LoadReport());
    EXPECT_EQ(changed.region != nullptr ? changed.region->name : std::nullopt, c.regionShown);
    EXPECT_EQ(changed.library != nullptr, c.libraryShown);
    ASSERT_EQ(changed.problems.size(), c.named.size());
    for (std::size_t i = 0; i < c.named.size(); ++i) {
      EXPECT_EQ(changed.problems[i].rfind("karst-viewer: " + world.path() + c.named[i] + ": ", 0), 0u)
          << changed.problems[i];
      EXPECT_NE(changed.problems[i].find("read before stay"), std::string::npos) << changed.problems[i];
    }

    // The same state again is no change: nothing read, nothing said twice.
    const ChangedFiles again = ReadChangedFiles(shown, LoadReport());
    EXPECT_EQ(again.region, nullptr);
    EXPECT_EQ(again.library, nullptr);
    EXPECT_TRUE(again.problems.empty());
  }
}

TEST(ReadChangedFilesTest, AGoodSaveAfterABrokenOneIsRead) {
  TestWorld world;
  ShownFiles shown = ShownFilesOf(world);
  CutShort(world, "RGN01.GFF");
  EXPECT_EQ(ReadChangedFiles(shown, LoadReport()).problems.size(), 1u);
  RenameOver(world, "RGN01.GFF", RegionFile("Region 5", 50));
  const ChangedFiles changed = ReadChangedFiles(shown, LoadReport());
  ASSERT_NE(changed.region, nullptr);
  EXPECT_EQ(changed.region->name, "Region 5");
  EXPECT_TRUE(changed.problems.empty());
}

}  // namespace
}  // namespace karst::app_tests
