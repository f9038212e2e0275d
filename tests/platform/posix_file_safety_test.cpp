// The file-safety rules every tool follows: what lies inside a folder once links are resolved, and
// which earlier files a tool may remove. POSIX only: symbolic links.
#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "platform/file_safety.h"
#include "tests/support/temp_dir.h"

namespace karst::platform {
namespace {

namespace fs = std::filesystem;

TEST(FileSafety, LinksLeadingOutOfAFolderAreNoneOfItsFiles) {
  const karst::testing::TempDir dir;
  const fs::path root = fs::canonical(dir.path());
  fs::create_directories(root / "folder" / "inner");
  fs::create_directories(root / "outside");
  dir.Write("folder/inner/file", std::vector<std::uint8_t>{'o'});
  dir.Write("outside/file", std::vector<std::uint8_t>{'t'});
  fs::create_directory_symlink(root / "outside", root / "folder" / "away");
  fs::create_symlink(root / "outside" / "file", root / "folder" / "link");
  fs::create_symlink("inner/file", root / "folder" / "near");
  const std::string folder = (root / "folder").string();
  const struct {
    const char* name;
    bool inside;
    bool removable;  // as a stale file; false: it stays
  } cases[] = {
      {"inner/file", true, true}, {"near", true, true},  // the link itself goes, not what it names
      {"link", false, true},      {"away/file", false, false},
      {"missing", true, true},    {"inner", true, false},  // a folder is no stale file
  };
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(LiesInside(folder, (root / "folder" / test.name).string()), test.inside);
  }
  EXPECT_FALSE(LiesInside(folder, folder));
  for (const auto& test : cases) {
    SCOPED_TRACE(test.name);
    EXPECT_EQ(RemoveStaleFile(folder, test.name), test.removable);
  }
  EXPECT_TRUE(fs::exists(root / "outside" / "file"));
  EXPECT_TRUE(fs::is_directory(root / "folder" / "inner"));
}

}  // namespace
}  // namespace karst::platform
