// A game folder's files as the viewer finds them: the region files in its order, or the reason
// there are none, and the object library in any case.
#include "tools/files/game_folder.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace karst {
namespace {

using karst::testing::TempDir;
namespace fs = std::filesystem;

TEST(GameFolder, RegionFilesComeInTheViewersOrderOrWithTheReasonThereAreNone) {
  TempDir dir;
  fs::create_directory(dir.path() / "empty");
  fs::create_directory(dir.path() / "game");
  for (const char* name : {"RGN02.gff", "Rgn10.Gff", "rgn01.GFF", "OBJEX.GFF", "notes.txt", "RGN03.GFF.orig"}) {
    dir.Write(std::string("game/") + name, std::vector<std::uint8_t>{1});
  }
  dir.Write("afile", std::vector<std::uint8_t>{1});
  struct Case {
    std::string folder;
    std::vector<std::string> names;
    std::string problem;
  };
  const std::vector<Case> cases = {
      {"game", {"rgn01.GFF", "RGN02.gff", "Rgn10.Gff"}, ""},
      {"empty", {}, "no region files (RGN*.GFF)"},
      {"nowhere", {}, "No such file or directory"},
      {"afile", {}, "Not a directory"},
  };
  for (const Case& c : cases) {
    const tools::RegionFileList list = tools::RegionFilesIn((dir.path() / c.folder).string());
    EXPECT_EQ(list.names, c.names) << c.folder;
    EXPECT_EQ(list.problem, c.problem) << c.folder;
  }
}

#ifndef _WIN32
TEST(GameFolder, AFolderThatCannotBeReadSaysWhy) {
  TempDir dir;
  const fs::path locked = dir.path() / "locked";
  fs::create_directory(locked);
  dir.Write("locked/RGN01.GFF", std::vector<std::uint8_t>{1});
  fs::permissions(locked, fs::perms::none);
  std::error_code error;
  const bool readable = fs::directory_iterator(locked, error) != fs::directory_iterator() && !error;
  const tools::RegionFileList list = tools::RegionFilesIn(locked.string());
  fs::permissions(locked, fs::perms::owner_all);
  if (readable) {
    GTEST_SKIP() << "root reads every folder";
  }
  EXPECT_TRUE(list.names.empty());
  EXPECT_EQ(list.problem, "Permission denied");
}
#endif

TEST(GameFolder, TheLibraryBesideARegionIsFoundInAnyCase) {
  struct Case {
    std::optional<std::string> library;  // the library's name in the folder, if it has one
    std::string beside;                  // what LibraryBeside finds
    std::string in;                      // what ObjectLibraryIn names
  };
  const std::vector<Case> cases = {
      {"OBJEX.GFF", "OBJEX.GFF", "OBJEX.GFF"},
      {"objex.gff", "objex.gff", "objex.gff"},
      {std::nullopt, "", "OBJEX.GFF"},
  };
  for (const Case& c : cases) {
    TempDir dir;
    if (c.library) {
      dir.Write(*c.library, std::vector<std::uint8_t>{1});
    }
    const fs::path region = dir.Write("RGN01.GFF", std::vector<std::uint8_t>{1});
    EXPECT_EQ(tools::LibraryBeside(region.string()), c.beside.empty() ? "" : (dir.path() / c.beside).string());
    EXPECT_EQ(tools::ObjectLibraryIn(dir.path().string()), (dir.path() / c.in).string());
  }
}

}  // namespace
}  // namespace karst
