// The folder chooser inside the window: sub-folders only, sorted without regard to case, hidden
// ones left out; going up ends at the root; a folder that cannot be listed is named.
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "workbench/model/folder_browser.h"

namespace karst::workbench {
namespace {

namespace fs = std::filesystem;

TEST(FolderChooser, ListsTheSubfoldersSortedWithoutHiddenOnesOrFiles) {
  const testing::TempDir dir;
  for (const char* name : {"beta", "Alpha", ".hidden", "alpha2", "Zed"}) {
    fs::create_directory(dir.path() / name);
  }
  std::ofstream(dir.path() / "RGN01.GFF") << "a file";
  const FolderBrowser browser = BrowseFolder(dir.path().string() + "/beta/..");
  EXPECT_EQ(browser.current, dir.path().string());
  EXPECT_EQ(browser.problem, "");
  EXPECT_EQ(browser.subfolders, (std::vector<std::string>{"Alpha", "alpha2", "beta", "Zed"}));
  EXPECT_EQ(SubfolderPath(browser.current, "Alpha"), (dir.path() / "Alpha").string());

  const FolderBrowser missing = BrowseFolder((dir.path() / "gone").string());
  EXPECT_EQ(missing.problem.find((dir.path() / "gone").string() + ": "), 0u) << missing.problem;
  EXPECT_TRUE(missing.subfolders.empty());
}

TEST(FolderChooser, GoingUpEndsAtTheRoot) {
  const std::string root = fs::path(fs::current_path()).root_path().string();
  struct Case {
    std::string path;
    std::string parent;
  };
  const Case cases[] = {
      {root + "games" + "/world", root + "games"},
      {root + "games/world/", root + "games"},
      {root + "games", root},
      {root, root},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.path);
    EXPECT_EQ(fs::path(ParentFolder(test.path)), fs::path(test.parent));
  }
}

}  // namespace
}  // namespace karst::workbench
