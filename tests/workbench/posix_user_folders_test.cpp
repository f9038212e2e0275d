// Where the workbench keeps its settings and its sample world on POSIX: the XDG folders when they
// are absolute paths, else the home folder's .config and .local/share.
#include <gtest/gtest.h>

#include <cstdlib>
#include <optional>
#include <string>

#include "platform/user_folders.h"
#include "tests/support/scoped_variable.h"
#include "workbench/model/folder_opening.h"
#include "workbench/model/settings.h"

namespace karst::workbench {
namespace {

using testing::ScopedVariable;

TEST(UserFolders, XdgFoldersCountOnlyWhenAbsolute) {
  struct Case {
    const char* name;
    std::optional<std::string> config;
    std::optional<std::string> data;
    std::string settings;
    std::string sampleWorld;
  };
  const Case cases[] = {
      {"set", "/x/config", "/x/data", "/x/config/karst/workbench.json", "/x/data/karst/sample-world"},
      {"unset", std::nullopt, std::nullopt, "/home/someone/.config/karst/workbench.json",
       "/home/someone/.local/share/karst/sample-world"},
      {"relative", "config", "data", "/home/someone/.config/karst/workbench.json",
       "/home/someone/.local/share/karst/sample-world"},
      {"empty", "", "", "/home/someone/.config/karst/workbench.json", "/home/someone/.local/share/karst/sample-world"},
  };
  const ScopedVariable home("HOME", "/home/someone");
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    const ScopedVariable config("XDG_CONFIG_HOME", test.config);
    const ScopedVariable data("XDG_DATA_HOME", test.data);
    EXPECT_EQ(SettingsPath(), test.settings);
    EXPECT_EQ(SampleWorldFolder(), test.sampleWorld);
  }
}

}  // namespace
}  // namespace karst::workbench
