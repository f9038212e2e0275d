// Writing a tool's output so that nothing half-written remains and nothing but a plain file is
// ever replaced.
//
// Where an output goes:
//   "-"                               the standard output (claimed: nothing else goes there)
//   a character device, FIFO, socket  opened and written as it is, never replaced
//   anything else                     a temporary file ".NAME.<pid>.<random>.part" beside the
//                                     target, renamed over it once complete
//
// The temporary file is made before the bytes are, so a place that cannot be written fails
// before the work. It is removed when the write fails, and by the signal handler when the run
// is interrupted. The first output a run makes in a folder removes the temporary files that
// runs which no longer exist left there (after SIGKILL or a crash); those of live runs stay.
#pragma once

#include <chrono>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

#include "platform/file_safety.h"

namespace karst::tools {

// The output name that stands for the standard output.
inline constexpr const char* kStandardOutputName = "-";

class OutputFile {
 public:
  explicit OutputFile(const std::string& target);
  // Removes the temporary file when Finish did not put it in place.
  ~OutputFile();
  OutputFile(const OutputFile&) = delete;
  OutputFile& operator=(const OutputFile&) = delete;

  // Empty when the output is open; else why not, e.g. "cannot be created: Permission denied".
  const std::string& error() const { return error_; }
  // Writes `bytes` now, for an output made piece by piece before Finish. Empty on success, else
  // the reason, which sticks: Finish then fails with it and the target stays as it was.
  std::string Write(std::span<const std::uint8_t> bytes);
  // Writes `bytes` and puts the file in place. Empty on success, else the reason; a target that
  // is replaced is then as it was.
  std::string Finish(std::span<const std::uint8_t> bytes);
  // How long Finish tries the rename again while another program holds the target open (see
  // platform::RenameOverWhenFree); none unless set.
  void SetRenamePatience(std::chrono::milliseconds patience) { renamePatience_ = patience; }
  // Finish failed because another program held the target open.
  bool inUse() const { return inUse_; }

 private:
  std::string target_;
  std::string temporary_;  // empty when the target is written directly
  std::optional<platform::TemporaryFileRegistration> registration_;
  platform::WritableFile file_;
  std::string error_;
  bool placed_ = false;
  std::chrono::milliseconds renamePatience_{0};
  bool inUse_ = false;
};

// OutputFile(target) and Finish(bytes): empty on success, else the reason.
std::string WriteOutput(const std::string& target, std::span<const std::uint8_t> bytes);

// For a command that writes several files into one folder: why `firstOutput`, the first of them,
// cannot be written, found before any work by making its temporary file and removing it again.
// Empty when it can, and for a device, FIFO or socket, which is only opened to be written. A
// folder that takes no file is then one error rather than one for every file.
std::string FirstOutputProblem(const std::string& firstOutput);

// Makes the folder a job writes several files into, and the folders above it. Empty on success,
// else the reason: "cannot create the directory: Permission denied".
std::string MakeOutputFolder(const std::string& folder);

// For a command whose one output may be "-": from now on only that output reaches the standard
// output; every message goes to standard error.
void ReserveStandardOutputFor(const std::string& output);

}  // namespace karst::tools
