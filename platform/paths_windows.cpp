#include <fcntl.h>
#include <io.h>

#include <atomic>
#include <cstdio>
#include <memory>

#include "platform/paths.h"
#include "platform/text_encoding.h"

#include "platform/windows_api.h"
// After windows.h, which it needs.
#include <shellapi.h>

namespace karst::platform {
namespace {

std::atomic<unsigned> pathCodePage{CP_ACP};

struct LocalFreer {
  void operator()(LPWSTR* words) const { LocalFree(words); }
};

}  // namespace

unsigned PathCodePage() { return pathCodePage.load(); }

std::filesystem::path NativePath(std::string_view text) {
  return std::filesystem::path(WideFromBytes(text, pathCodePage.load()));
}

// One kind of separator, the system's own, whichever the parts were joined or given with: a path
// a message prints reads "site\maps\RGN04.png", not "site\maps/RGN04.png".
std::string PathText(const std::filesystem::path& path) {
  return BytesFromWide(std::filesystem::path(path).make_preferred().native(), pathCodePage.load());
}

std::vector<std::string> BeginConsoleTool(int argc, char** argv) {
  _setmode(_fileno(stdout), _O_BINARY);
  _setmode(_fileno(stderr), _O_BINARY);
  pathCodePage.store(CP_UTF8);
  int count = 0;
  const std::unique_ptr<LPWSTR, LocalFreer> wide(CommandLineToArgvW(GetCommandLineW(), &count));
  if (!wide) {
    // The narrow words are the best there is.
    return std::vector<std::string>(argv, argv + (argc > 0 ? argc : 0));
  }
  std::vector<std::string> words;
  for (int i = 0; i < count; ++i) {
    words.push_back(BytesFromWide(wide.get()[i], CP_UTF8));
  }
  return words;
}

}  // namespace karst::platform
