#include "tests/support/run_program.h"

#include <spawn.h>
#include <sys/wait.h>
#include <fcntl.h>
#include <unistd.h>

#include <filesystem>

#include "tests/support/temp_dir.h"

extern char** environ;

namespace karst::testing {
namespace {

std::string ReadText(const std::filesystem::path& path) {
  const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
  TempDir dir;
  const std::string outPath = (dir.path() / "stdout").string();
  const std::string errPath = (dir.path() / "stderr").string();

  std::vector<std::string> words{program};
  words.insert(words.end(), arguments.begin(), arguments.end());
  std::vector<char*> argv;
  for (std::string& word : words) {
    argv.push_back(word.data());
  }
  argv.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, STDIN_FILENO, "/dev/null", O_RDONLY, 0);
  posix_spawn_file_actions_addopen(&actions, STDOUT_FILENO, outPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  posix_spawn_file_actions_addopen(&actions, STDERR_FILENO, errPath.c_str(), O_WRONLY | O_CREAT | O_TRUNC, 0644);
  pid_t pid = 0;
  const int spawned = posix_spawn(&pid, program.c_str(), &actions, nullptr, argv.data(), environ);
  posix_spawn_file_actions_destroy(&actions);

  ProgramResult result;
  if (spawned != 0) {
    return result;
  }
  int status = 0;
  while (waitpid(pid, &status, 0) < 0) {
  }
  if (WIFEXITED(status)) {
    result.exitCode = WEXITSTATUS(status);
  }
  result.output = ReadText(outPath);
  result.errorOutput = ReadText(errPath);
  return result;
}

bool RunningAsRoot() { return geteuid() == 0; }

ProgramResult RunProgramUnprivileged(const std::string& program, const std::vector<std::string>& arguments) {
  TempDir dir;
  const std::filesystem::path copy = dir.path() / std::filesystem::path(program).filename();
  std::filesystem::copy_file(program, copy);
  std::filesystem::permissions(dir.path(), std::filesystem::perms::owner_all | std::filesystem::perms::group_read |
                                               std::filesystem::perms::group_exec |
                                               std::filesystem::perms::others_read |
                                               std::filesystem::perms::others_exec);
  std::vector<std::string> words{"--reuid=nobody", "--regid=nogroup", "--clear-groups", copy.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  return RunProgram("/usr/bin/setpriv", words);
}

}  // namespace karst::testing
