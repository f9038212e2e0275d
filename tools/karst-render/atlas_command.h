// karst-render atlas GAMEDIR -o SITE: every region of a game folder as a static web site that
// opens from disk: an index with thumbnails and search, and a zoomable map of each region with
// its objects, entity markers and map grid.
#pragma once

#include "tools/cli/cli11.h"

namespace karst::tools {

// Registers the command; it sets `exitCode` when it runs.
void AddAtlasCommand(CLI::App& app, int& exitCode);

}  // namespace karst::tools
