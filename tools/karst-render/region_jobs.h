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
#include "tools/common/output_checks.h"

namespace karst::tools {

inline constexpr std::uint32_t kMaxJobs = 16;

// The region files of `folder` (RGN*.GFF, any case), in the viewer's order. Empty, with the
// problem reported on standard error as `tool`'s, when the folder cannot be read or holds none.
std::vector<std::string> FindRegionFiles(const char* tool, const std::string& folder);

// What a run over the folder reads: its library and the region files `names`, so that no output
// can be one of them.
InputFiles FolderInputs(const std::string& folder, const std::vector<std::string>& names);

// The summary that ends a run over a folder: how many regions were done and into where, each
// region renamed as "RGN01.gff -> what it became", and every failure (on standard error, with
// `failuresNote` after the count).
struct FolderSummary {
  std::string verb;  // "rendered", "mapped"
  std::string destination;
  std::size_t regions = 0;
  std::vector<std::string> renamed;
  std::vector<std::string> failures;
  std::string failuresNote;
};

// Prints the summary; the exit status: 1 when some region failed, else 0.
int ReportSummary(const char* tool, const FolderSummary& summary);

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
