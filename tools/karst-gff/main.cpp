// karst-gff: looking inside GFF containers.
#include <CLI/CLI.hpp>

#include "tools/common/cli.h"
#include "tools/karst-gff/check_command.h"
#include "tools/karst-gff/entity_commands.h"
#include "tools/karst-gff/extract_command.h"
#include "tools/karst-gff/info_command.h"

int main(int argc, char** argv) {
  CLI::App app("Look inside GFF containers: chunk directories, raw chunk payloads, game-folder checks, entities.",
               "karst-gff");
  app.footer(
      "Examples:\n"
      "  karst-gff info RGN01.GFF --json\n"
      "  karst-gff extract OBJEX.GFF BMP 7 -o bmp7.bin\n"
      "  karst-gff check ~/game\n"
      "  karst-gff entities RGN01.GFF\n"
      "  karst-gff find ~/game --object 158");
  app.require_subcommand(1);
  int exitCode = karst::tools::kExitSuccess;
  karst::tools::AddInfoCommand(app, exitCode);
  karst::tools::AddExtractCommand(app, exitCode);
  karst::tools::AddCheckCommand(app, exitCode);
  karst::tools::AddEntitiesCommand(app, exitCode);
  karst::tools::AddFindCommand(app, exitCode);
  karst::tools::AddVersionFlag(app);
  const int parsed = karst::tools::ParseCommandLine(app, argc, argv);
  return parsed >= 0 ? parsed : exitCode;
}
