#include "platform/paths.h"

namespace karst::platform {

std::filesystem::path NativePath(std::string_view text) { return std::filesystem::path(text); }

std::string PathText(const std::filesystem::path& path) { return path.native(); }

std::vector<std::string> BeginConsoleTool(int argc, char** argv) {
  return std::vector<std::string>(argv, argv + (argc > 0 ? argc : 0));
}

}  // namespace karst::platform
