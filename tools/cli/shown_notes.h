// The decoders' lines as the command lines print them.
#pragma once

#include "gff/load_report.h"

namespace karst::tools {

// Prints the viewer's line for `note`, if it has one, on its channel as the viewer prints it
// (platform/channels.h), but with the game's bytes in it (an unknown encoding's tag) shown as
// ShownText shows them: the tools' terminals get no control byte of a file.
void PrintShownNote(const LoadNote& note);

}  // namespace karst::tools
