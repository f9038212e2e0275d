// karst-gff check GAMEDIR|FILE.GFF [--json]: everything that would keep the viewer from loading a
// region or drawing it correctly, one line per finding and a summary, or the findings as JSON.
#pragma once

#include "tools/cli/cli11.h"

namespace karst::tools {

// Registers the command; it sets `exitCode` when it runs.
void AddCheckCommand(CLI::App& app, int& exitCode);

}  // namespace karst::tools
