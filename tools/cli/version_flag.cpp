#include "tools/cli/cli.h"

namespace karst::tools {

// Apart from ParseCommandLine: CLI11's own version flag, and this one in the same file, trip
// GCC's null-dereference warning inside the library.
void AddVersionFlag(CLI::App& app) {
  // Listed in the help and accepted by the parser; ParseCommandLine answers it before parsing.
  static bool requested = false;
  app.add_flag("--version", requested, "Print the version and exit");
}

}  // namespace karst::tools
