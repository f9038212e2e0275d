#include <cstdio>

#include "platform/channels.h"

namespace karst::platform {

void WriteDebugText(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stderr);
  std::fflush(stderr);
}

}  // namespace karst::platform
