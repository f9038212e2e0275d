// Runs one of our programs as a child process and collects what it printed and its exit code.
#pragma once

#include <string>
#include <vector>

namespace karst::testing {

struct ProgramResult {
  int exitCode = -1;  // -1 when the program could not run or was killed by a signal
  std::string output;
  std::string errorOutput;
};

ProgramResult RunProgram(const std::string& program, const std::vector<std::string>& arguments);

// Whether the test runs as root, and so can drop to an unprivileged user for permission cases.
bool RunningAsRoot();

// Runs `program` as the unprivileged user "nobody" (through setpriv), from a copy in a folder
// that user can reach: the build tree may lie where only root may enter. Only as root.
ProgramResult RunProgramUnprivileged(const std::string& program, const std::vector<std::string>& arguments);

}  // namespace karst::testing
