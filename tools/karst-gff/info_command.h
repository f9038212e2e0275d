// karst-gff info FILE.GFF... [--json]: the chunk directory of each container, record by record.
#pragma once

#include <CLI/CLI.hpp>

namespace karst::tools {

// Registers the command; it sets `exitCode` when it runs.
void AddInfoCommand(CLI::App& app, int& exitCode);

}  // namespace karst::tools
