// karst-gff objects OBJEX.GFF [--json]: every object definition of a library, with the bitmap
// that draws it, as an aligned table or as JSON.
#pragma once

#include "tools/cli/cli11.h"

namespace karst::tools {

// Registers the command; it sets `exitCode` when it runs.
void AddObjectsCommand(CLI::App& app, int& exitCode);

}  // namespace karst::tools
