#include <cstdlib>

#include "platform/text_encoding.h"
#include "platform/user_folders.h"

namespace karst::platform {
namespace {

// The variable as a path string of this process (platform/paths.h); empty when it is not set.
std::string FolderVariable(const wchar_t* name) {
  const wchar_t* value = _wgetenv(name);
  return value != nullptr ? BytesFromWide(value, PathCodePage()) : std::string();
}

}  // namespace

std::string ConfigFolder() { return FolderVariable(L"APPDATA"); }

std::string DataFolder() { return FolderVariable(L"LOCALAPPDATA"); }

}  // namespace karst::platform
