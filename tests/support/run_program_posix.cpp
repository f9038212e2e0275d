#include "tests/support/run_program.h"

#include <fcntl.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>

extern char** environ;

namespace karst::testing {
namespace {

constexpr const char* kSetpriv = "/usr/bin/setpriv";

std::string ReadText(const std::filesystem::path& path) {
  const std::vector<std::uint8_t> bytes = ReadFileBytes(path);
  return std::string(bytes.begin(), bytes.end());
}

}  // namespace

StartedProgram::StartedProgram(const std::string& program, const std::vector<std::string>& arguments) {
  const std::string outPath = (dir_.path() / "stdout").string();
  const std::string errPath = (dir_.path() / "stderr").string();

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
  posix_spawnattr_t attributes;
  posix_spawnattr_init(&attributes);
  sigset_t defaults;
  sigemptyset(&defaults);
  sigaddset(&defaults, SIGINT);
  sigaddset(&defaults, SIGTERM);
  sigaddset(&defaults, SIGHUP);
  posix_spawnattr_setsigdefault(&attributes, &defaults);
  posix_spawnattr_setflags(&attributes, POSIX_SPAWN_SETSIGDEF);
  if (posix_spawn(&pid_, program.c_str(), &actions, &attributes, argv.data(), environ) != 0) {
    pid_ = -1;
  }
  posix_spawnattr_destroy(&attributes);
  posix_spawn_file_actions_destroy(&actions);
}

StartedProgram::~StartedProgram() {
  if (pid_ > 0 && !HasEnded()) {
    Signal(SIGKILL);
    Wait();
  }
}

bool StartedProgram::Reap(int options) {
  // wait4 gives the resources of this child alone, where getrusage(RUSAGE_CHILDREN) keeps the
  // largest of every child this process has waited for.
  struct rusage usage {};
  if (wait4(pid_, &status_, options, &usage) != pid_) {
    return false;
  }
  peakResidentBytes_ = static_cast<std::uint64_t>(usage.ru_maxrss) * 1024;  // counted in KiB
  return true;
}

bool StartedProgram::HasEnded() {
  if (pid_ <= 0 || ended_) {
    return true;
  }
  ended_ = Reap(WNOHANG);
  return ended_;
}

void StartedProgram::Signal(int signalNumber) const {
  if (pid_ > 0 && !ended_) {
    kill(pid_, signalNumber);
  }
}

ProgramResult StartedProgram::Wait() {
  ProgramResult result;
  if (pid_ <= 0) {
    return result;
  }
  while (!ended_ && !Reap(0)) {
  }
  ended_ = true;
  if (WIFEXITED(status_)) {
    result.exitCode = WEXITSTATUS(status_);
  } else if (WIFSIGNALED(status_)) {
    result.exitCode = 128 + WTERMSIG(status_);
  }
  result.peakResidentBytes = peakResidentBytes_;
  result.output = ReadText(dir_.path() / "stdout");
  result.errorOutput = ReadText(dir_.path() / "stderr");
  return result;
}

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments) {
  StartedProgram started(program, arguments);
  return started.Wait();
}

bool RunningAsRoot() { return geteuid() == 0; }

ProgramResult RunProgramAsNobody(const std::string& program, const std::vector<std::string>& arguments) {
  TempDir dir;
  const std::filesystem::path copy = dir.path() / std::filesystem::path(program).filename();
  std::filesystem::copy_file(program, copy);
  using std::filesystem::perms;
  std::filesystem::permissions(
      dir.path(), perms::owner_all | perms::group_read | perms::group_exec | perms::others_read | perms::others_exec);
  std::vector<std::string> words{"--reuid=nobody", "--regid=nogroup", "--clear-groups", copy.string()};
  words.insert(words.end(), arguments.begin(), arguments.end());
  return RunProgram(kSetpriv, words);
}

}  // namespace karst::testing
