// The workbench's settings: a round trip keeps them, and every file that holds no settings is set
// aside under a name that says so, never lost, never over an earlier one, with a line naming it,
// and the defaults are used.
#include <gtest/gtest.h>

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"
#include "workbench/model/settings.h"

namespace karst::workbench {
namespace {

namespace fs = std::filesystem;
using testing::ReadFileBytes;
using testing::TempDir;

std::vector<std::uint8_t> SettingsBytes(const std::string& text) { return {text.begin(), text.end()}; }

TEST(WorkbenchSettings, ARoundTripKeepsThemAndAMissingFileGivesTheDefaults) {
  const TempDir dir;
  const std::string path = (dir.path() / "karst" / "workbench.json").string();
  const SettingsLoad missing = LoadSettings(path);
  EXPECT_TRUE(missing.problem.empty());
  EXPECT_TRUE(missing.canSave);
  EXPECT_EQ(missing.settings.layers, "TO");
  EXPECT_TRUE(missing.settings.recentFolders.empty());

  Settings settings;
  for (const std::string folder : {"/a", "/b", "/a", "/ü-folder"}) {
    RememberFolder(settings, folder);
  }
  ShowLayer(settings, 'V', true);
  ShowLayer(settings, 'T', false);
  ShowLayer(settings, 'G', true);
  settings.windowWidth = 1600;
  settings.windowHeight = 900;
  // The folder is made when missing.
  ASSERT_EQ(SaveSettings(path, settings), "");
  const SettingsLoad loaded = LoadSettings(path);
  EXPECT_EQ(loaded.problem, "");
  EXPECT_EQ(loaded.settings.recentFolders, (std::vector<std::string>{"/ü-folder", "/a", "/b"}));
  EXPECT_EQ(loaded.settings.layers, "OGV");
  EXPECT_EQ(loaded.settings.windowWidth, 1600);
  EXPECT_EQ(loaded.settings.windowHeight, 900);
  // Nothing but the settings is left in the folder: no temporary file.
  EXPECT_EQ(testing::FileNamesIn(dir.path() / "karst"), (std::set<std::string>{"workbench.json"}));
}

TEST(WorkbenchSettings, TheRecentFoldersKeepTheNewestEightOnce) {
  Settings settings;
  for (int folder = 0; folder < 10; ++folder) {
    RememberFolder(settings, "/f" + std::to_string(folder));
  }
  RememberFolder(settings, "/f5");
  RememberFolder(settings, "");
  EXPECT_EQ(settings.recentFolders, (std::vector<std::string>{"/f5", "/f9", "/f8", "/f7", "/f6", "/f4", "/f3", "/f2"}));
}

TEST(WorkbenchSettings, AFileThatHoldsNoSettingsIsSetAsideAndTheDefaultsUsed) {
  struct Case {
    const char* name;
    std::string text;  // the file's bytes; a folder in its place when empty
    const char* reason;
  };
  const Case cases[] = {
      {"not JSON", "recentFolders = /a", "not JSON"},
      {"cut short", R"({"recentFolders":["/a"],"windowWi)", "not JSON"},
      {"binary junk", std::string("\0\x89PNG\r\n\x1a\n", 9), "not JSON"},
      {"no object", "[1,2]", "holds no JSON object"},
      {"folders no list", R"({"recentFolders":"/a"})", "\"recentFolders\" is no list"},
      {"folder no text", R"({"recentFolders":["/a",3]})", "\"recentFolders\" holds something"},
      {"width no number", R"({"windowWidth":"wide"})", "\"windowWidth\" is no window size"},
      {"height below 0", R"({"windowHeight":-1})", "\"windowHeight\" is no window size"},
      {"width too large", R"({"windowWidth":32769})", "\"windowWidth\" is no window size"},
      {"layer unknown", R"({"layers":"TX"})", "\"layers\" is no set"},
      {"layer twice", R"({"layers":"TT"})", "\"layers\" is no set"},
      {"layers no text", R"({"layers":["T"]})", "\"layers\" is no set"},
      {"a folder", "", ""},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const TempDir dir;
    const fs::path path = dir.path() / "workbench.json";
    if (test.text.empty()) {
      fs::create_directory(path);
    } else {
      dir.Write("workbench.json", SettingsBytes(test.text));
    }
    // An earlier file set aside is never replaced.
    dir.Write("workbench.json.unreadable", SettingsBytes("earlier"));
    const SettingsLoad load = LoadSettings(path.string());
    const fs::path aside = dir.path() / "workbench.json.unreadable.2";
    EXPECT_NE(load.problem.find(path.string() + ": " + test.reason), std::string::npos) << load.problem;
    EXPECT_NE(load.problem.find("set aside as " + aside.string()), std::string::npos) << load.problem;
    EXPECT_TRUE(load.canSave);
    EXPECT_EQ(load.settings.layers, "TO");
    EXPECT_EQ(load.settings.windowWidth, 0);
    EXPECT_TRUE(load.settings.recentFolders.empty());
    EXPECT_FALSE(fs::exists(path));
    if (!test.text.empty()) {
      EXPECT_EQ(ReadFileBytes(aside), SettingsBytes(test.text));
    }
    EXPECT_EQ(ReadFileBytes(dir.path() / "workbench.json.unreadable"), SettingsBytes("earlier"));
  }
}

TEST(WorkbenchSettings, AcceptedValuesAtTheirLimitsAndUnknownMembersAreRead) {
  const TempDir dir;
  const fs::path path = dir.Write(
      "workbench.json",
      SettingsBytes(R"({"windowWidth":32768,"windowHeight":0,"layers":"VBGOT","layers2":7,"recentFolders":[]})"));
  const SettingsLoad load = LoadSettings(path.string());
  EXPECT_EQ(load.problem, "");
  EXPECT_EQ(load.settings.windowWidth, 32768);
  EXPECT_EQ(load.settings.layers, "TOGBV");
  EXPECT_TRUE(fs::exists(path));
}

}  // namespace
}  // namespace karst::workbench
