// Whether a standard stream goes to a terminal, so a tool can draw a progress bar there and
// write plain lines into files and pipes.
#pragma once

namespace karst::platform {

bool StandardErrorIsTerminal();

}  // namespace karst::platform
