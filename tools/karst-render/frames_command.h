// karst-render frames FILE.GFF -o DIR: every frame of every "TILE", "BMP " and "CBMP" chunk as an
// indexed PNG with a greyscale palette, DIR/<TAG>-<number>-<frame>.png.
#pragma once

#include "tools/cli/cli11.h"

namespace karst::tools {

// Registers the command; it sets `exitCode` when it runs.
void AddFramesCommand(CLI::App& app, int& exitCode);

}  // namespace karst::tools
