// What a job and the face that runs it share while it runs: the progress the job reports, item by
// item, and the face's request to stop.
//
// A job is one library call: its inputs as values, a JobContext, and a result value that says
// what was written, what was found and what went wrong (tools/job/job_problem.h). It prints
// nothing. It reports 0 of n when it starts and n of n when it ends, and looks at Cancelled()
// between items, never inside one: a cancelled job finishes the item at hand (or drops it, when
// the item is one file written aside), stops, and says so in its result. The command lines draw a
// bar on standard error from the reports (tools/cli/progress_bar.h); a window shows a bar with a
// Cancel button.
//
// The listener is called on the thread that reports, which for every job is the thread that
// called it; Cancel() may come from any thread. A job that sleeps in a wait (the edit loop's
// folder watch) sets a waker, which Cancel() calls, so that it stops at once.
#pragma once

#include <atomic>
#include <cstddef>
#include <functional>
#include <mutex>
#include <string>
#include <string_view>
#include <utility>

namespace karst::tools {

// Item `done` of `total` finished, and the item at hand as a person names it ("RGN01.GFF",
// "frames/TILE-3-0.png"); empty at the end.
struct JobProgress {
  std::size_t done = 0;
  std::size_t total = 0;
  std::string item;
};

class JobContext {
 public:
  using Listener = std::function<void(const JobProgress&)>;

  // Nobody listens and nobody cancels: for a caller that wants only the result.
  JobContext() = default;
  explicit JobContext(Listener listener) : listener_(std::move(listener)) {}
  JobContext(const JobContext&) = delete;
  JobContext& operator=(const JobContext&) = delete;

  void Report(std::size_t done, std::size_t total, std::string_view item = {}) const {
    if (listener_) {
      listener_(JobProgress{done, total, std::string(item)});
    }
  }

  void Cancel() {
    cancelled_.store(true, std::memory_order_relaxed);
    const std::lock_guard<std::mutex> lock(wakerMutex_);
    if (waker_) {
      waker_();
    }
  }
  // Sets what Cancel() calls besides (empty: nothing); a job clears it before what it wakes goes.
  void SetWaker(std::function<void()> waker) {
    const std::lock_guard<std::mutex> lock(wakerMutex_);
    waker_ = std::move(waker);
  }
  bool Cancelled() const { return cancelled_.load(std::memory_order_relaxed); }

 private:
  Listener listener_;
  std::atomic<bool> cancelled_{false};
  std::mutex wakerMutex_;
  std::function<void()> waker_;
};

}  // namespace karst::tools
