// Ctrl+C, SIGTERM and the terminal's closing asking a long-running command (a watch that runs all
// evening) to stop when its work at hand is done, rather than ending the process at once: while a
// StopRequests lives, each of them calls its `onStop` instead, on a thread of its own (never inside
// a signal handler). On Windows the console's Ctrl+C, Ctrl+Break and closing do the same. When it
// goes, the process's earlier handling (platform/file_safety.h's removal of temporary files) comes
// back. One lives at a time.
#pragma once

#include <functional>
#include <memory>

namespace karst::platform {

class StopRequests {
 public:
  explicit StopRequests(std::function<void()> onStop);
  ~StopRequests();
  StopRequests(const StopRequests&) = delete;
  StopRequests& operator=(const StopRequests&) = delete;

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace karst::platform
