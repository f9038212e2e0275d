// karst-gff extract FILE.GFF TAG NUMBER -o OUT: the raw payload of one chunk, written to OUT.
#pragma once

#include "tools/cli/cli11.h"

namespace karst::tools {

// Registers the command; it sets `exitCode` when it runs.
void AddExtractCommand(CLI::App& app, int& exitCode);

}  // namespace karst::tools
