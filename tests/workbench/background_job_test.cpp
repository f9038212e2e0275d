// Work beside the window: a job's reports reach the window and wake it, a cancel reaches the job,
// a job that throws leaves words instead of ending the program, and no thread outlives its job.
#include <gtest/gtest.h>

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <functional>
#include <mutex>
#include <new>
#include <stdexcept>
#include <string>
#include <thread>

#include "workbench/model/background_job.h"

namespace karst::workbench {
namespace {

// A gate the test opens once, and the job waits at.
class JobGate {
 public:
  void Open() {
    {
      const std::lock_guard lock(mutex_);
      open_ = true;
    }
    opened_.notify_all();
  }
  void Wait() {
    std::unique_lock lock(mutex_);
    opened_.wait(lock, [this] { return open_; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable opened_;
  bool open_ = false;
};

// Counts the wakes, and lets the test wait for a given number of them.
class WakeCounter {
 public:
  void Wake() {
    {
      const std::lock_guard lock(mutex_);
      ++count_;
    }
    woken_.notify_all();
  }
  void WaitFor(std::size_t count) {
    std::unique_lock lock(mutex_);
    woken_.wait(lock, [this, count] { return count_ >= count; });
  }

 private:
  std::mutex mutex_;
  std::condition_variable woken_;
  std::size_t count_ = 0;
};

TEST(BackgroundJob, ReportsWakeTheWindowAndTheResultComesOnce) {
  JobGate reported;
  JobGate finish;
  WakeCounter wakes;
  BackgroundJob<std::string> job(
      [&](tools::JobContext& context) {
        context.Report(1, 3, "RGN01.GFF");
        reported.Open();
        finish.Wait();
        return std::string("done");
      },
      [&] { wakes.Wake(); });
  reported.Wait();
  EXPECT_FALSE(job.Ready());
  EXPECT_EQ(job.Progress().done, 1u);
  EXPECT_EQ(job.Progress().total, 3u);
  EXPECT_EQ(job.Progress().item, "RGN01.GFF");
  finish.Open();
  // One wake for the report, one for the result.
  wakes.WaitFor(2);
  EXPECT_TRUE(job.Ready());
  EXPECT_EQ(job.Take(), "done");
  EXPECT_EQ(job.Take(), "");
  EXPECT_TRUE(job.Failure().empty());
}

TEST(BackgroundJob, ACancelReachesTheJobBetweenItems) {
  JobGate started;
  BackgroundJob<std::string> job(
      [&](tools::JobContext& context) {
        // Items until the cancel: the job looks between them, as jobs do.
        std::size_t items = 0;
        context.Report(++items, 0);
        started.Open();
        while (!context.Cancelled()) {
          context.Report(++items, 0);
        }
        return std::string("stopped");
      },
      nullptr);
  started.Wait();
  EXPECT_FALSE(job.Cancelled());
  job.Cancel();
  // Take waits for the job to end, which it does only when the cancel reaches it.
  EXPECT_EQ(job.Take(), "stopped");
  EXPECT_TRUE(job.Cancelled());
  EXPECT_GT(job.Progress().done, 0u);
}

TEST(BackgroundJob, GoingAwayCancelsAndWaitsForTheJob) {
  std::atomic<bool> ended{false};
  JobGate started;
  {
    BackgroundJob<int> job(
        [&](tools::JobContext& context) {
          started.Open();
          while (!context.Cancelled()) {
            std::this_thread::yield();
          }
          ended = true;
          return 0;
        },
        nullptr);
    started.Wait();
  }
  EXPECT_TRUE(ended);
}

TEST(BackgroundJob, AJobThatThrowsLeavesWordsAndAnEmptyResult) {
  struct Case {
    const char* name;
    std::function<std::string(tools::JobContext&)> work;
    std::string failure;
  };
  const Case cases[] = {
      {"runtime error", [](tools::JobContext&) -> std::string { throw std::runtime_error("disk on fire"); },
       "disk on fire"},
      {"memory", [](tools::JobContext&) -> std::string { throw std::bad_alloc(); }, std::bad_alloc().what()},
  };
  for (const Case& test : cases) {
    SCOPED_TRACE(test.name);
    WakeCounter wakes;
    BackgroundJob<std::string> job(test.work, [&] { wakes.Wake(); });
    EXPECT_EQ(job.Take(), "");
    EXPECT_EQ(job.Failure(), test.failure);
    wakes.WaitFor(1);
  }
}

}  // namespace
}  // namespace karst::workbench
