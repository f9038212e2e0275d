// The working directory, the region file list and the list type under it.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "app/region_files.h"
#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace karst {
namespace {

std::vector<std::string> Paths(const RegionList& list) {
  std::vector<std::string> paths;
  for (const std::string& path : list) {
    paths.push_back(path);
  }
  return paths;
}

TEST(DirectoryOf, KeepsTheLastSeparatorOfEitherKind) {
  EXPECT_EQ(DirectoryOf("C:\\maps\\viewer.exe"), "C:\\maps\\");
  EXPECT_EQ(DirectoryOf("C:/maps/viewer.exe"), "C:/maps/");
  EXPECT_EQ(DirectoryOf("/opt/karst/bin/karst-viewer"), "/opt/karst/bin/");
  EXPECT_EQ(DirectoryOf("a/b\\c"), "a/b\\");
  EXPECT_EQ(DirectoryOf("viewer.exe"), "viewer.exe");  // no separator: the whole path
  EXPECT_EQ(DirectoryOf("/"), "/");
  EXPECT_EQ(DirectoryOf(""), "");
  EXPECT_EQ(DirectoryOf(std::nullopt), std::nullopt);
}

TEST(FindWorkingPath, IsTheDirectoryOfThisProgram) {
  const std::optional<std::string> path = FindWorkingPath();
  ASSERT_TRUE(path.has_value());
  ASSERT_FALSE(path->empty());
  EXPECT_EQ(path->back(), platform::kPathSeparator);
  EXPECT_TRUE(std::filesystem::exists(*path + "test_app") || std::filesystem::exists(*path + "test_app.exe"));
}

TEST(FindRegionFiles, ListsMatchesInNameOrderAsFullPaths) {
  karst::testing::TempDir dir;
  for (const char* name : {"rgn02.gff", "XRGN01.GFF", "RGNX.GFF", "RGN01.GFF", "RGN.GFF", "OBJEX.GFF"}) {
    dir.Write(name, {});
  }
  std::filesystem::create_directory(dir.path() / "RGN05.GFF");  // listed like a file
  const std::string directory = dir.path().string() + platform::kPathSeparator;
  const std::string separator(1, platform::kPathSeparator);
  const std::unique_ptr<RegionList> list = FindRegionFiles(directory, kRegionFilePattern);
  ASSERT_NE(list, nullptr);
  // The separator is always added, so a directory ending in one gives two in a row.
  EXPECT_EQ(Paths(*list),
            (std::vector<std::string>{directory + separator + "RGN.GFF", directory + separator + "RGN01.GFF",
                                      directory + separator + "rgn02.gff", directory + separator + "RGN05.GFF",
                                      directory + separator + "RGNX.GFF"}));
  EXPECT_EQ(list->count(), 5);
  EXPECT_TRUE(std::filesystem::exists(list->head()->data.operator*()));
}

TEST(FindRegionFiles, DirectoryWithoutSeparatorGetsOne) {
  karst::testing::TempDir dir;
  dir.Write("RGN01.GFF", {});
  const std::unique_ptr<RegionList> list = FindRegionFiles(dir.path().string(), kRegionFilePattern);
  EXPECT_EQ(Paths(*list), std::vector<std::string>{dir.path().string() + platform::kPathSeparator + "RGN01.GFF"});
  // One node: no neighbours either way.
  EXPECT_EQ(list->head(), list->tail());
  EXPECT_EQ(list->head()->next, nullptr);
  EXPECT_EQ(list->head()->prev, nullptr);
}

TEST(FindRegionFiles, NothingMatchingGivesAnEmptyListNotNull) {
  karst::testing::TempDir dir;
  dir.Write("XRGN01.GFF", {});
  const std::unique_ptr<RegionList> list = FindRegionFiles(dir.path().string() + "/", kRegionFilePattern);
  ASSERT_NE(list, nullptr);
  EXPECT_EQ(list->count(), 0);
  EXPECT_EQ(list->head(), nullptr);
  EXPECT_EQ(FindRegionFiles((dir.path() / "absent").string(), kRegionFilePattern)->count(), 0);
}

TEST(PointerList, AppendLinksBothWaysAndClearEmpties) {
  PointerList<int> list;
  list.Clear();  // clearing an empty list only sets the count
  EXPECT_EQ(list.count(), 0);
  for (int i = 0; i < 3; ++i) {
    list.Append(std::make_unique<int>(i));
  }
  ASSERT_EQ(list.count(), 3);
  const PointerListNode<int>* first = list.head();
  const PointerListNode<int>* second = first->next.get();
  const PointerListNode<int>* third = second->next.get();
  EXPECT_EQ(first->prev, nullptr);
  EXPECT_EQ(second->prev, first);
  EXPECT_EQ(third->prev, second);
  EXPECT_EQ(third->next, nullptr);
  EXPECT_EQ(list.tail(), third);
  EXPECT_EQ(*third->data, 2);
  list.Clear();
  EXPECT_EQ(list.count(), 0);
  EXPECT_EQ(list.head(), nullptr);
  EXPECT_EQ(list.tail(), nullptr);
  list.Append(std::make_unique<int>(7));  // usable again after clearing
  EXPECT_EQ(*list.head()->data, 7);
}

TEST(PointerList, ClearsAMillionNodesWithoutDeepRecursion) {
  PointerList<int> list;
  for (int i = 0; i < 1000000; ++i) {
    list.Append(std::make_unique<int>(i));
  }
  EXPECT_EQ(list.count(), 1000000);
  list.Clear();
  EXPECT_EQ(list.count(), 0);
}

}  // namespace
}  // namespace karst
