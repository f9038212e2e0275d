#include <cstdio>
#include <string>

#include "platform/channels.h"

#include "platform/windows_api.h"

namespace karst::platform {

void WriteDebugText(std::string_view text) {
  OutputDebugStringA(std::string(text).c_str());
  // A window program started from an icon has no standard error; one started from a console or
  // with its streams redirected has.
  const HANDLE standardError = GetStdHandle(STD_ERROR_HANDLE);
  if (standardError != nullptr && standardError != INVALID_HANDLE_VALUE) {
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
  }
}

}  // namespace karst::platform
