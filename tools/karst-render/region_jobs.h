// What the commands that draw a whole game folder share (`all`, `atlas`): finding the folder's
// regions and its usable object library, the pool of workers that draw them, the board the
// workers leave their results on, and the progress shown while they do.
#pragma once

#include <condition_variable>
#include <cstdint>
#include <iosfwd>
#include <mutex>
#include <optional>
#include <string>
#include <vector>

#include "gff/load_report.h"

namespace karst::tools {

inline constexpr std::uint32_t kMaxJobs = 16;

// The region files of `folder` (RGN*.GFF, any case), in the viewer's order. Empty, with the
// problem reported on standard error as `tool`'s, when the folder cannot be read or holds none.
std::vector<std::string> FindRegionFiles(const char* tool, const std::string& folder);

// The folder's library when the viewer could start with it; empty otherwise, with the reason
// reported. Its decoder lines are printed once, here.
std::string UsableLibrary(const char* tool, const std::string& folder);

// The lines the viewer prints for the notes, each distinct one once with how often it came, in
// the order they first came: the tile strip alone repeats its line for every row of every tile
// with several frames.
std::vector<std::string> DistinctTexts(const std::vector<LoadNote>& notes);

// Workers for `jobCount` regions: `requested`, or one per core when 0, never more than regions.
std::uint32_t WorkerCount(std::uint32_t requested, std::size_t jobCount);

// Where the workers leave their results; the main thread takes them in region order, so what is
// printed does not depend on which worker finished first.
template <typename Result>
class ResultBoard {
 public:
  explicit ResultBoard(std::size_t count) : results_(count) {}

  void Post(std::size_t index, Result result) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      results_[index] = std::move(result);
    }
    posted_.notify_all();
  }

  Result WaitFor(std::size_t index) {
    std::unique_lock<std::mutex> lock(mutex_);
    posted_.wait(lock, [&] { return results_[index].has_value(); });
    return std::move(*results_[index]);
  }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::vector<std::optional<Result>> results_;
};

// A bar that redraws itself on standard error when that is a terminal; plain lines otherwise.
class Progress {
 public:
  Progress(bool bar, std::size_t total);

  // A line of its own, above the bar.
  void Print(std::ostream& stream, const std::string& line);
  void Done(const std::string& name);
  void Finish();

  bool bar() const { return bar_; }

 private:
  void Clear();
  void Draw();

  bool bar_;
  std::size_t total_;
  std::size_t done_ = 0;
  std::string last_;
  bool drawn_ = false;
};

}  // namespace karst::tools
