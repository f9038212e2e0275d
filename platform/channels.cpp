#include "platform/channels.h"

#include <cstdio>

namespace karst::platform {

void WriteOutputLine(std::string_view text) {
  std::fwrite(text.data(), 1, text.size(), stdout);
  std::fputc('\n', stdout);
  std::fflush(stdout);
}

}  // namespace karst::platform
