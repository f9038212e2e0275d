#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

#include "platform/user_folders.h"

namespace karst::platform {
namespace {

// The variable's value when it is an absolute path; empty otherwise.
std::string AbsoluteVariable(const char* name) {
  const char* value = std::getenv(name);
  return value != nullptr && value[0] == '/' ? std::string(value) : std::string();
}

std::string HomeFolder() {
  if (const char* home = std::getenv("HOME"); home != nullptr && home[0] != '\0') {
    return home;
  }
  // getpwuid's record is the C library's own; only the folder is copied out of it.
  const passwd* entry = getpwuid(getuid());
  return entry != nullptr && entry->pw_dir != nullptr ? std::string(entry->pw_dir) : std::string();
}

std::string XdgFolder(const char* variable, std::string_view underHome) {
  if (std::string folder = AbsoluteVariable(variable); !folder.empty()) {
    return folder;
  }
  const std::string home = HomeFolder();
  return home.empty() ? std::string() : home + "/" + std::string(underHome);
}

}  // namespace

std::string ConfigFolder() { return XdgFolder("XDG_CONFIG_HOME", ".config"); }

std::string DataFolder() { return XdgFolder("XDG_DATA_HOME", ".local/share"); }

}  // namespace karst::platform
