// karst-workbench: a game folder in one window, to look through, search, check and export.
#include <cstdint>
#include <iostream>
#include <string>

#include "tools/cli/cli.h"
#include "tools/cli/cli11.h"
#include "workbench/window/workbench_window.h"

namespace {

constexpr const char* kProgramName = "karst-workbench";

// "WxH", each from 1 to 16384.
std::string CheckSize(const std::string& text, karst::workbench::WindowSize& size) {
  const std::size_t cross = text.find('x');
  try {
    std::size_t widthEnd = 0;
    std::size_t heightEnd = 0;
    if (cross != std::string::npos) {
      const int width = std::stoi(text.substr(0, cross), &widthEnd);
      const int height = std::stoi(text.substr(cross + 1), &heightEnd);
      if (widthEnd == cross && heightEnd == text.size() - cross - 1 && width >= 1 && width <= 16384 && height >= 1 &&
          height <= 16384) {
        size = {width, height};
        return {};
      }
    }
  } catch (const std::exception&) {
    // Not a number: refused below like any other malformed size.
  }
  return "a window size is WIDTHxHEIGHT in pixels, each from 1 to 16384, like 1600x900";
}

}  // namespace

int main(int argc, char** argv) {
  CLI::App app(
      "Look through a game folder in one window: its regions and their maps, entities, objects and\n"
      "where they are used, the check's findings, and exports.\n"
      "\n"
      "Examples:\n"
      "  karst-workbench                     the last folder used, or the start page\n"
      "  karst-workbench ~/game              a game folder\n"
      "  karst-workbench ~/game/RGN03.GFF    its folder, with that region shown\n"
      "  karst-workbench --size 1600x900 ~/game",
      kProgramName);
  karst::workbench::WorkbenchOptions options;
  std::string size;
  app.add_option("PATH", options.path, "A game folder, or a file in one (a region, the object library)")
      ->type_name("GAMEDIR|FILE");
  app.add_option("--size", size, "The window's size in pixels (default: most of the screen)")
      ->type_name("WxH")
      ->check([&options](const std::string& text) {
        karst::workbench::WindowSize parsed;
        const std::string problem = CheckSize(text, parsed);
        if (problem.empty()) {
          options.size = parsed;
        }
        return problem;
      });
  karst::tools::AddVersionFlag(app);
  const int parsed = karst::tools::ParseCommandLine(app, argc, argv);
  if (parsed >= 0) {
    return parsed;
  }
  const karst::workbench::WorkbenchExit exit = karst::workbench::RunWorkbench(options);
  if (!exit.problem.empty()) {
    std::cerr << kProgramName << ": " << exit.problem << std::endl;
  }
  return exit.code;
}
