#include "tools/common/cli.h"

#include <iostream>

namespace karst::tools {

int ParseCommandLine(CLI::App& app, int argc, char** argv) {
  // --version answers before anything else is looked at, as --help does: a subcommand or a
  // file it would otherwise need is not asked for.
  if (app.get_option_no_throw("--version") != nullptr) {
    for (int i = 1; i < argc && std::string_view(argv[i]) != "--"; ++i) {
      if (std::string_view(argv[i]) == "--version") {
        std::cout << app.get_name() << " " << KARST_VERSION << "\n";
        return kExitSuccess;
      }
    }
  }
  try {
    app.parse(argc, argv);
  } catch (const CLI::CallForHelp&) {
    // Help of the innermost subcommand given, so "tool info --help" explains "info".
    const CLI::App* target = &app;
    while (!target->get_subcommands().empty()) {
      target = target->get_subcommands().front();
    }
    std::cout << target->help();
    return kExitSuccess;
  } catch (const CLI::CallForAllHelp&) {
    std::cout << app.help("", CLI::AppFormatMode::All);
    return kExitSuccess;
  } catch (const CLI::ParseError& error) {
    std::cerr << app.get_name() << ": " << error.what() << "\n"
              << "Run with --help for usage.\n";
    return kExitUsage;
  }
  return -1;
}

void ReportError(std::string_view tool, std::string_view file, std::string_view message) {
  std::cerr << tool << ": " << file << ": " << message << "\n";
}

}  // namespace karst::tools
