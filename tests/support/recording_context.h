// A job context for the jobs' tests: it records every report the job makes and cancels itself
// at the first report of `cancelAt` items done, as a person pressing Cancel would.
#pragma once

#include <cstddef>
#include <optional>
#include <vector>

#include "tools/job/job_context.h"

namespace karst::testing {

class RecordingContext {
 public:
  explicit RecordingContext(std::optional<std::size_t> cancelAt) : cancelAt_(cancelAt) {}
  RecordingContext(const RecordingContext&) = delete;
  RecordingContext& operator=(const RecordingContext&) = delete;

  tools::JobContext& context() { return context_; }
  const std::vector<tools::JobProgress>& reports() const { return reports_; }

 private:
  std::optional<std::size_t> cancelAt_;
  std::vector<tools::JobProgress> reports_;
  tools::JobContext context_{[this](const tools::JobProgress& progress) {
    reports_.push_back(progress);
    if (cancelAt_ && progress.done == *cancelAt_) {
      context_.Cancel();
    }
  }};
};

}  // namespace karst::testing
