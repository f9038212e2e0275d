// karst-gff palette RGN.GFF -o OUT [--format gpl|pal|act|png]: a region's 256 colours, as the
// viewer shows them, in a form paint programs read.
#pragma once

#include "tools/cli/cli11.h"

namespace karst::tools {

// Registers the command; it sets `exitCode` when it runs.
void AddPaletteCommand(CLI::App& app, int& exitCode);

}  // namespace karst::tools
