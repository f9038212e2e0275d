#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>
#include <thread>

#include "platform/program_launch.h"

extern char** environ;

namespace karst::platform {

std::string FindProgram(const std::string& name, const std::string& /*windowsFolder*/) {
  const char* path = std::getenv("PATH");
  if (path == nullptr || name.empty()) {
    return {};
  }
  const std::string folders = path;
  std::size_t start = 0;
  while (start <= folders.size()) {
    const std::size_t end = std::min(folders.find(':', start), folders.size());
    const std::string folder = end == start ? "." : folders.substr(start, end - start);
    const std::string candidate = folder + "/" + name;
    std::error_code error;
    if (std::filesystem::is_regular_file(candidate, error) && access(candidate.c_str(), X_OK) == 0) {
      return candidate;
    }
    start = end + 1;
  }
  return {};
}

std::string StartProgram(const std::string& program, const std::vector<std::string>& arguments) {
  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);
  // Its own process group, so a Ctrl+C meant for this program does not end the editor too.
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETPGROUP);
  posix_spawnattr_setpgroup(&attributes, 0);
  pid_t child = 0;
  const int failed = posix_spawnp(&child, program.c_str(), nullptr, &attributes, argv.data(), environ);
  posix_spawnattr_destroy(&attributes);
  if (failed != 0) {
    return program + " cannot be started: " + std::strerror(failed);
  }
  // Nothing waits for the program; a thread of its own collects it when it ends, so it leaves no
  // zombie behind.
  std::thread([child] {
    int status = 0;
    while (waitpid(child, &status, 0) < 0 && errno == EINTR) {
    }
  }).detach();
  return {};
}

std::string OpenWithSystem(const std::string& path) {
  const std::string opener = FindProgram("xdg-open");
  if (opener.empty()) {
    return "nothing here opens files for you (xdg-open is not installed): " + path;
  }
  return StartProgram(opener, {path});
}

}  // namespace karst::platform
