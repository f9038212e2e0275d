// karst-gff unpack FILE.GFF|GAMEDIR -o DIR: a container taken apart into files people edit, and
// karst-gff pack DIR -o OUT.GFF|OUTDIR: such a folder put back together.
#pragma once

#include <string>

#include "tools/cli/cli11.h"

namespace karst::tools {

// The words of a refusal with what both commands add when the run wrote nothing: "; nothing
// written" (unless the words say so already).
std::string NothingWritten(const std::string& words);

// Register the commands; each sets `exitCode` when it runs.
void AddUnpackCommand(CLI::App& app, int& exitCode);
void AddPackCommand(CLI::App& app, int& exitCode);

}  // namespace karst::tools
