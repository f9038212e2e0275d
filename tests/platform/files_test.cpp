// The platform's file services: the program's own path and the wildcard directory search.
#include <gtest/gtest.h>

#include <array>
#include <filesystem>
#include <string>
#include <vector>

#include "platform/files.h"
#include "tests/support/temp_dir.h"

namespace karst::platform {
namespace {

TEST(WildcardMatch, StarQuestionMarkAndCase) {
  struct Case {
    const char* pattern;
    const char* name;
    bool matches;
  };
  const Case cases[] = {
      {"RGN*.GFF", "RGN01.GFF", true},
      {"RGN*.GFF", "rgn02.gff", true},
      {"RGN*.GFF", "RGNX.GFF", true},
      {"RGN*.GFF", "RGN.GFF", true},  // '*' may stand for nothing
      {"RGN*.GFF", "XRGN01.GFF", false},
      {"RGN*.GFF", "RGN01.GFF.BAK", false},
      {"RGN*.GFF", "RGN01.GF", false},
      {"RGN?.GFF", "RGN1.GFF", true},
      {"RGN?.GFF", "RGN.GFF", false},
      {"RGN?.GFF", "RGN12.GFF", false},
      {"*", "", true},
      {"", "", true},
      {"", "A", false},
      {"*A*B", "xxAyyAzzB", true},
      {"*A*B", "xxAyyBzz", false},
      {"R*N*.G*F", "RGN01.GFF", true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(WildcardMatch(c.pattern, c.name), c.matches) << c.pattern << " vs " << c.name;
  }
}

TEST(WildcardMatch, ManyStarsStayFast) {
  // A pattern that makes naive backtracking exponential.
  const std::string name(2000, 'a');
  EXPECT_FALSE(WildcardMatch("*a*a*a*a*a*a*a*a*a*a*a*b", name));
}

// POSIX only: names that differ only in case cannot lie side by side in a Windows folder.
#ifndef _WIN32
TEST(FindFiles, SortsWithoutRegardToCaseAndListsDirectories) {
  karst::testing::TempDir dir;
  for (const char* name : {"rgn02.gff", "RGN01.GFF", "RGNX.GFF", "RGN.GFF", "XRGN01.GFF", "Rgn01.gff"}) {
    dir.Write(name, {});
  }
  std::filesystem::create_directory(dir.path() / "RGN03.GFF");
  const std::vector<std::string> names = FindFiles((dir.path() / "RGN*.GFF").string());
  // "RGN01.GFF" and "Rgn01.gff" are equal without regard to case: byte order decides.
  EXPECT_EQ(names,
            (std::vector<std::string>{"RGN.GFF", "RGN01.GFF", "Rgn01.gff", "rgn02.gff", "RGN03.GFF", "RGNX.GFF"}));
}
#endif  // _WIN32

TEST(FindFiles, MissingDirectoryGivesNothing) {
  karst::testing::TempDir dir;
  EXPECT_TRUE(FindFiles((dir.path() / "absent" / "RGN*.GFF").string()).empty());
}

// POSIX only: the two spellings cannot lie side by side in a Windows folder, whose paths this
// test also spells with '/'.
#ifndef _WIN32
TEST(LocateFile, FindsANameWithoutRegardToCasePreferringTheExactSpelling) {
  karst::testing::TempDir dir;
  dir.Write("objex.gff", {});
  const std::string folder = dir.path().string();
  EXPECT_EQ(LocateFile(folder, "OBJEX.GFF"), folder + "/objex.gff");
  EXPECT_EQ(LocateFile(folder + "/", "Objex.Gff"), folder + "/objex.gff");
  dir.Write("OBJEX.GFF", {});
  EXPECT_EQ(LocateFile(folder, "OBJEX.GFF"), folder + "/OBJEX.GFF");
  EXPECT_EQ(LocateFile(folder, "objex.gff"), folder + "/objex.gff");
  // No wildcards: "OBJ*.GFF" names no file, and a missing name gives nothing.
  EXPECT_EQ(LocateFile(folder, "OBJ*.GFF"), "");
  EXPECT_EQ(LocateFile(folder, "RGN01.GFF"), "");
}
#endif  // _WIN32

TEST(GetModuleFileName, ReadsThisProgramAndRefusesAShortBuffer) {
  std::array<char, 512> buffer{};
  const std::size_t length = GetModuleFileName(buffer);
  ASSERT_GT(length, 0u);
  EXPECT_EQ(buffer[length], '\0');
  EXPECT_EQ(std::filesystem::path(buffer.data()).stem(), "test_platform");
  // A buffer that cannot hold the path and its zero byte gives 0, not a cut path.
  std::vector<char> tight(length);
  EXPECT_EQ(GetModuleFileName(tight), 0u);
  std::vector<char> exact(length + 1);
  EXPECT_EQ(GetModuleFileName(exact), length);
}

}  // namespace
}  // namespace karst::platform
