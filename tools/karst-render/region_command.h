// karst-render region RGN.GFF [--objects OBJEX.GFF] [--view X,Y] -o OUT.png: a region as an
// indexed PNG in its own palette. Without --view the whole 2048 x 1536 region (tiles, then the
// objects, no name); with --view the 640 x 480 frame the viewer presents at that view origin.
#pragma once

#include "tools/cli/cli11.h"

namespace karst::tools {

// Registers the command; it sets `exitCode` when it runs.
void AddRegionCommand(CLI::App& app, int& exitCode);

}  // namespace karst::tools
