#include "tools/common/cli.h"

#include <iostream>
#include <string>
#include <vector>

#include "platform/paths.h"

namespace karst::tools {
namespace {

// CLI11 takes "/name" for an option on Windows; ours are "--name" everywhere, and a word that
// begins with '/' is a path.
void OnlyDashOptions(CLI::App& app) {
  app.allow_windows_style_options(false);
  for (CLI::App* subcommand : app.get_subcommands({})) {
    OnlyDashOptions(*subcommand);
  }
}

}  // namespace

int ParseCommandLine(CLI::App& app, int argc, char** argv) {
  std::vector<std::string> words = platform::BeginConsoleTool(argc, argv);
  OnlyDashOptions(app);
  std::vector<char*> wordPointers;
  for (std::string& word : words) {
    wordPointers.push_back(word.data());
  }
  // --version answers before anything else is looked at, as --help does: a subcommand or a
  // file it would otherwise need is not asked for.
  if (app.get_option_no_throw("--version") != nullptr) {
    for (std::size_t i = 1; i < words.size() && words[i] != "--"; ++i) {
      if (words[i] == "--version") {
        std::cout << app.get_name() << " " << KARST_VERSION << "\n";
        return kExitSuccess;
      }
    }
  }
  try {
    app.parse(static_cast<int>(wordPointers.size()), wordPointers.data());
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
