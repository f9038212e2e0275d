// karst-gff entities RGN.GFF [--objects OBJEX.GFF] [--json]: every entity of a region, with the
// bitmap and rectangle it is drawn with, or why it is not drawn.
// karst-gff find GAMEDIR (--object N | --bitmap N | --name TEXT) [--json]: where in a game folder
// an object or bitmap is placed, or which regions carry a name.
#pragma once

#include "tools/cli/cli11.h"

namespace karst::tools {

// Register the commands; each sets `exitCode` when it runs.
void AddEntitiesCommand(CLI::App& app, int& exitCode);
void AddFindCommand(CLI::App& app, int& exitCode);

}  // namespace karst::tools
