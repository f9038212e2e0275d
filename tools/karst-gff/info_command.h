// karst-gff info FILE.GFF... [--json]: the chunk directory of each container, record by record.
#pragma once

#include "tools/cli/cli11.h"

namespace karst::tools {

// Registers the command; it sets `exitCode` when it runs.
void AddInfoCommand(CLI::App& app, int& exitCode);

}  // namespace karst::tools
