// karst-render: pictures of the game data as indexed PNG files.
#include "tools/cli/cli.h"
#include "tools/cli/cli11.h"
#include "tools/karst-render/all_command.h"
#include "tools/karst-render/atlas_command.h"
#include "tools/karst-render/frames_command.h"
#include "tools/karst-render/region_command.h"

int main(int argc, char** argv) {
  CLI::App app("Render the game data as indexed PNG pictures: regions, views, frames.", "karst-render");
  app.footer(
      "Examples:\n"
      "  karst-render region RGN01.GFF --objects OBJEX.GFF -o rgn01.png   a whole region\n"
      "  karst-render frames OBJEX.GFF -o objects     every object bitmap as its own PNG\n"
      "  karst-render frames OBJEX.GFF --palette RGN01.GFF --sheet -o sheets   sprite sheets in colour\n"
      "  karst-render all ~/game -o pictures          every region of a game folder");
  app.require_subcommand(1);
  int exitCode = karst::tools::kExitSuccess;
  karst::tools::AddRegionCommand(app, exitCode);
  karst::tools::AddFramesCommand(app, exitCode);
  karst::tools::AddAllCommand(app, exitCode);
  karst::tools::AddAtlasCommand(app, exitCode);
  karst::tools::AddVersionFlag(app);
  const int parsed = karst::tools::ParseCommandLine(app, argc, argv);
  return parsed >= 0 ? parsed : exitCode;
}
