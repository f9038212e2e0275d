// karst-render all GAMEDIR -o DIR: every region of a game folder, with its objects, as
// DIR/<region file name without .GFF>.png, drawn on several threads.
#pragma once

#include "tools/cli/cli11.h"

namespace karst::tools {

// Registers the command; it sets `exitCode` when it runs.
void AddAllCommand(CLI::App& app, int& exitCode);

}  // namespace karst::tools
