#include "platform/terminal.h"

#include <unistd.h>

namespace karst::platform {

bool StandardErrorIsTerminal() { return isatty(STDERR_FILENO) == 1; }

}  // namespace karst::platform
