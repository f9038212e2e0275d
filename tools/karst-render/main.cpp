// karst-render: pictures of the game data as indexed PNG files.
#include <CLI/CLI.hpp>

#include "tools/common/cli.h"
#include "tools/karst-render/frames_command.h"

int main(int argc, char** argv) {
  CLI::App app("Render the game data as indexed PNG pictures: regions, views, frames.",
               "karst-render");
  app.footer(
      "Examples:\n"
      "  karst-render frames OBJEX.GFF -o objects     every object bitmap as its own PNG");
  app.require_subcommand(1);
  int exitCode = karst::tools::kExitSuccess;
  karst::tools::AddFramesCommand(app, exitCode);
  const int parsed = karst::tools::ParseCommandLine(app, argc, argv);
  return parsed >= 0 ? parsed : exitCode;
}
