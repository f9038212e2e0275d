// A job's progress as the command lines show it: a bar that redraws itself on standard error,
// "[=========>          ] 3/12 RGN03.GFF", when standard error is a terminal, and nothing when
// it is not. Lines printed through the bar appear above it.
#pragma once

#include <cstddef>
#include <ostream>
#include <string>

#include "tools/job/job_context.h"

namespace karst::tools {

class ProgressBar {
 public:
  // Drawn only when `shown` (platform::StandardErrorIsTerminal(), as a rule).
  explicit ProgressBar(bool shown) : shown_(shown) {}
  ProgressBar(const ProgressBar&) = delete;
  ProgressBar& operator=(const ProgressBar&) = delete;
  // Ends the bar's line, so that what is printed next starts on a line of its own.
  ~ProgressBar() { Finish(); }

  // The listener a JobContext reports to; the bar must outlive the context.
  JobContext::Listener Listener();

  void Show(const JobProgress& progress);
  // A line of its own on `stream`, above the bar.
  void Print(std::ostream& stream, const std::string& line);
  void Finish();

  bool shown() const { return shown_; }

 private:
  void Clear();
  void Draw();

  bool shown_;
  JobProgress progress_;
  bool drawn_ = false;
};

}  // namespace karst::tools
