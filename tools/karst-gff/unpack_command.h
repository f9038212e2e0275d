// karst-gff unpack FILE.GFF|GAMEDIR -o DIR: a container taken apart into files people edit, and
// karst-gff pack DIR -o OUT.GFF|OUTDIR: such a folder put back together.
#pragma once

#include "tools/cli/cli11.h"

namespace karst::tools {

// Register the commands; each sets `exitCode` when it runs.
void AddUnpackCommand(CLI::App& app, int& exitCode);
void AddPackCommand(CLI::App& app, int& exitCode);

}  // namespace karst::tools
