#include "platform/terminal.h"

#include "platform/windows_api.h"

namespace karst::platform {

// Only a console has a console mode; files and pipes do not.
bool StandardErrorIsTerminal() {
  DWORD mode = 0;
  return GetConsoleMode(GetStdHandle(STD_ERROR_HANDLE), &mode) != 0;
}

}  // namespace karst::platform
