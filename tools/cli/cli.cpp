#include "tools/cli/cli.h"

#include <algorithm>
#include <charconv>
#include <cstdint>
#include <iostream>
#include <string>
#include <system_error>
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

// What is wrong with a command line that names no subcommand of `app`: its first word that is
// no option names none, or there is no such word. Empty when that word is a subcommand after all
// (the parser stopped before it, at something else).
std::string SubcommandProblem(const CLI::App& app, const std::vector<std::string>& words) {
  std::vector<std::string> names;
  std::string list;  // "region, frames, all, atlas"
  for (const CLI::App* subcommand : app.get_subcommands([](const CLI::App*) { return true; })) {
    names.push_back(subcommand->get_name());
    list += (list.empty() ? "" : ", ") + names.back();
  }
  for (std::size_t i = 1; i < words.size() && words[i] != "--"; ++i) {
    if (words[i].starts_with("-")) {
      continue;
    }
    if (std::find(names.begin(), names.end(), words[i]) != names.end()) {
      return {};
    }
    return "unknown subcommand \"" + words[i] + "\"; the subcommands are " + list;
  }
  return "a subcommand is needed, one of " + list;
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
    // Help of the innermost subcommand given, so "tool info --help" explains "info", its usage
    // line headed by the whole command: "Usage: tool info [OPTIONS] FILE.GFF...".
    const CLI::App* target = &app;
    std::string command;
    while (!target->get_subcommands().empty()) {
      command += (command.empty() ? "" : " ") + target->get_name();
      target = target->get_subcommands().front();
    }
    std::cout << target->help(command);
    return kExitSuccess;
  } catch (const CLI::CallForAllHelp&) {
    std::cout << app.help("", CLI::AppFormatMode::All);
    return kExitSuccess;
  } catch (const CLI::ParseError& error) {
    std::string problem;
    if (app.get_require_subcommand_min() > 0 && app.get_subcommands().empty()) {
      problem = SubcommandProblem(app, words);
    }
    std::cerr << app.get_name() << ": " << (problem.empty() ? error.what() : problem) << "\n"
              << "Run with --help for usage.\n";
    return kExitUsage;
  }
  return -1;
}

CLI::Validator ChunkNumber() {
  return CLI::Validator(
      [](const std::string& text) {
        std::uint32_t number = 0;
        const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), number);
        if (!text.empty() && error == std::errc{} && end == text.data() + text.size()) {
          return std::string();
        }
        return "\"" + text + "\" is not a chunk number, a whole number from 0 to 4294967295";
      },
      "");
}

void ReportError(std::string_view tool, std::string_view file, std::string_view message) {
  std::cerr << tool << ": " << file << ": " << message << "\n";
}

}  // namespace karst::tools
