// Work beside the window: one job (tools/job/job_context.h) run on a thread of its own, which the
// window polls each frame for its progress and, once it is there, its result. The window sleeps
// while nothing happens, so the job wakes it through `wake` whenever there is something to show.
//
// The BackgroundJob owns its thread and the job's context; going away, it cancels the job and
// waits for it, so no thread outlives it. The work must not touch what the window changes while
// it runs: it gets its inputs as values.
#pragma once

#include <condition_variable>
#include <exception>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <utility>

#include "tools/job/job_context.h"

namespace karst::workbench {

template <typename Result>
class BackgroundJob {
 public:
  // Starts `work(context)` at once. `wake` (may be empty) is called from the worker after each
  // progress report and when the result is ready.
  BackgroundJob(std::function<Result(tools::JobContext&)> work, std::function<void()> wake)
      : wake_(std::move(wake)), context_([this](const tools::JobProgress& progress) { Reported(progress); }) {
    worker_ = std::thread([this, work = std::move(work)] { Run(work); });
  }
  // Cancels the job and waits for it to end.
  ~BackgroundJob() {
    Cancel();
    worker_.join();
  }
  BackgroundJob(const BackgroundJob&) = delete;
  BackgroundJob& operator=(const BackgroundJob&) = delete;

  // The result is there (also after the work failed: see Failure).
  bool Ready() const {
    const std::lock_guard lock(mutex_);
    return result_.has_value();
  }

  // The result, once: a second call gives a Result made empty. A call before Ready() waits for
  // the work to end, so it never gives what is not there.
  Result Take() {
    std::unique_lock lock(mutex_);
    ended_.wait(lock, [this] { return result_.has_value(); });
    Result taken = std::move(*result_);
    *result_ = Result{};
    return taken;
  }

  // The last report; all zero before the first.
  tools::JobProgress Progress() const {
    const std::lock_guard lock(mutex_);
    return progress_;
  }

  // Asks the job to stop at its next item boundary; its result then says it was cancelled.
  void Cancel() { context_.Cancel(); }
  bool Cancelled() const { return context_.Cancelled(); }

  // Why the work ended without a result of its own (a library threw: memory ran out), the result
  // then being an empty Result; empty when it ended as jobs do.
  std::string Failure() const {
    const std::lock_guard lock(mutex_);
    return failure_;
  }

 private:
  void Reported(const tools::JobProgress& progress) {
    {
      const std::lock_guard lock(mutex_);
      progress_ = progress;
    }
    if (wake_) {
      wake_();
    }
  }

  void Run(const std::function<Result(tools::JobContext&)>& work) {
    std::optional<Result> result;
    std::string failure;
    // A thread that lets an exception go ends the program: what a library throws is kept as words.
    try {
      result.emplace(work(context_));
    } catch (const std::exception& error) {
      failure = error.what();
    }
    {
      const std::lock_guard lock(mutex_);
      failure_ = std::move(failure);
      result_.emplace(result ? std::move(*result) : Result{});
    }
    ended_.notify_all();
    if (wake_) {
      wake_();
    }
  }

  std::function<void()> wake_;
  mutable std::mutex mutex_;
  std::condition_variable ended_;
  tools::JobProgress progress_;
  std::optional<Result> result_;
  std::string failure_;
  tools::JobContext context_;
  // Started in the constructor's body, once every member the work uses is there.
  std::thread worker_;
};

}  // namespace karst::workbench
