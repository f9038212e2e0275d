// The viewer program. Without arguments: the folder of its own file, full screen; the exit code
// is 0. With arguments: see app/command_line.h; a bad command line gives exit code 2.
#include <cstdio>
#include <string_view>
#include <vector>

#include "app/command_line.h"
#include "app/map_viewer_app.h"

int main(int argc, char** argv) {
  const std::vector<std::string_view> arguments(argv + (argc > 0 ? 1 : 0), argv + argc);
  const karst::ParsedCommandLine parsed = karst::ParseViewerCommandLine(arguments);
  switch (parsed.action) {
    case karst::CommandLineAction::kHelp:
      std::fputs(karst::ViewerHelp().c_str(), stdout);
      return 0;
    case karst::CommandLineAction::kVersion:
      std::fputs(karst::ViewerVersion().c_str(), stdout);
      return 0;
    case karst::CommandLineAction::kUsageError:
      std::fprintf(stderr, "karst-viewer: %s\n%sRun with --help for more.\n", parsed.error.c_str(),
                   karst::ViewerUsage().c_str());
      return 2;
    case karst::CommandLineAction::kRun:
      break;
  }
  return karst::ViewerMain(karst::platform::GetModuleHandle(nullptr), parsed.options);
}
