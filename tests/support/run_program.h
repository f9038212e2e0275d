// Runs one of our programs as a child process and collects what it printed and its exit code.
// On Windows (CreateProcessW, the standard streams redirected to files) only RunProgram runs
// programs; the tests that start one in the background, or as another user, are POSIX ones.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <string>
#include <vector>

#include "tests/support/temp_dir.h"

namespace karst::testing {

struct ProgramResult {
  // As a shell reports it: the exit code, or 128 + the signal that ended the program; -1 when
  // it could not run.
  int exitCode = -1;
  std::string output;
  std::string errorOutput;
  // The most resident memory the program held at any moment, in bytes, as the system counted it
  // for that process alone; 0 when it could not run.
  std::uint64_t peakResidentBytes = 0;
};

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments);

// The lines of a program's output, without their line ends.
std::vector<std::string> OutputLines(const std::string& text);

// POSIX only: a program started in the background, standard input from /dev/null, its output collected in
// files. SIGINT, SIGTERM and SIGHUP have their default actions in it, whatever this process
// ignores. Killed and waited for when it goes before it was waited for.
class StartedProgram {
 public:
  StartedProgram(const std::string& program, const std::vector<std::string>& arguments);
  ~StartedProgram();
  StartedProgram(const StartedProgram&) = delete;
  StartedProgram& operator=(const StartedProgram&) = delete;

  pid_t pid() const { return pid_; }
  // True once the program has ended (it is then waited for).
  bool HasEnded();
  void Signal(int signalNumber) const;
  ProgramResult Wait();

 private:
  // Waits for the program (`options` as waitpid takes them); true once it has ended.
  bool Reap(int options);

  TempDir dir_;
  pid_t pid_ = -1;
  bool ended_ = false;
  int status_ = 0;
  std::uint64_t peakResidentBytes_ = 0;
};

// Always false on Windows, which has no root.
bool RunningAsRoot();

// `program` with `arguments`, run as the unprivileged user nobody (group nogroup, no other
// groups) through setpriv, from a copy in a folder that user can enter: the build tree may lie
// where only root may. The caller must be root; on Windows the program is not run (exit code -1).
ProgramResult RunProgramAsNobody(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace karst::testing
