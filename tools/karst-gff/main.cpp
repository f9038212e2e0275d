// karst-gff: looking inside GFF containers.
#include "tools/cli/cli.h"
#include "tools/cli/cli11.h"
#include "tools/karst-gff/check_command.h"
#include "tools/karst-gff/entity_commands.h"
#include "tools/karst-gff/extract_command.h"
#include "tools/karst-gff/info_command.h"
#include "tools/karst-gff/objects_command.h"
#include "tools/karst-gff/palette_command.h"
#include "tools/karst-gff/unpack_command.h"

int main(int argc, char** argv) {
  CLI::App app(
      "Look inside GFF containers: chunk directories, raw chunk payloads, game-folder checks, entities; "
      "take them apart into files to edit and put them back.",
      "karst-gff");
  app.footer(
      "Examples:\n"
      "  karst-gff info RGN01.GFF --json\n"
      "  karst-gff info RGN01.GFF RGN02.GFF\n"
      "  karst-gff extract RGN01.GFF PAL 3 -o rgn01-pal.bin\n"
      "  karst-gff check ~/game --json\n"
      "  karst-gff objects OBJEX.GFF --json\n"
      "  karst-gff palette RGN01.GFF -o rgn01.gpl\n"
      "  karst-gff entities RGN01.GFF\n"
      "  karst-gff find ~/game --object 158\n"
      "  karst-gff unpack RGN01.GFF -o rgn01\n"
      "  karst-gff pack rgn01 -o RGN01.GFF --replace");
  app.require_subcommand(1);
  int exitCode = karst::tools::kExitSuccess;
  karst::tools::AddInfoCommand(app, exitCode);
  karst::tools::AddExtractCommand(app, exitCode);
  karst::tools::AddCheckCommand(app, exitCode);
  karst::tools::AddObjectsCommand(app, exitCode);
  karst::tools::AddPaletteCommand(app, exitCode);
  karst::tools::AddEntitiesCommand(app, exitCode);
  karst::tools::AddFindCommand(app, exitCode);
  karst::tools::AddUnpackCommand(app, exitCode);
  karst::tools::AddPackCommand(app, exitCode);
  karst::tools::AddVersionFlag(app);
  const int parsed = karst::tools::ParseCommandLine(app, argc, argv);
  return parsed >= 0 ? parsed : exitCode;
}
