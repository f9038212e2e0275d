#include "tools/render/region_loop.h"

#include <algorithm>
#include <map>
#include <memory>
#include <thread>
#include <utility>

#include "data/object_library.h"
#include "platform/paths.h"
#include "tools/files/game_folder.h"
#include "tools/files/input_file.h"
#include "tools/files/unique_names.h"
#include "tools/text/name_text.h"

namespace karst::tools {
namespace {

// Workers for `jobCount` regions: `requested`, or one per core when 0, never more than regions.
std::uint32_t WorkerCount(std::uint32_t requested, std::size_t jobCount) {
  std::uint32_t workers = requested;
  if (workers == 0) {
    workers = std::max(1u, std::min(std::thread::hardware_concurrency(), kMaxJobs));
  }
  return static_cast<std::uint32_t>(std::min<std::size_t>(workers, jobCount));
}

}  // namespace

std::optional<InputFiles> PlanFolderRun(const std::string& folder, const std::string& output, FolderRun& run) {
  const RegionFileList files = RegionFilesIn(folder);
  if (!files.problem.empty()) {
    run.problems.push_back({folder, ProblemKind::kUnreadable, files.problem, {}});
    return std::nullopt;
  }
  UniqueNames names;
  std::vector<std::string> paths{ObjectLibraryIn(folder)};
  for (const std::string& file : files.names) {
    const std::string stem = platform::PathText(platform::NativePath(file).stem());
    const std::string name = names.Claim(stem);
    const std::string input = platform::PathText(platform::NativePath(folder) / platform::NativePath(file));
    run.regions.push_back({file, input, name, name != stem});
    paths.push_back(input);
  }
  InputFiles inputs(paths);
  if (std::string refusal = RefuseOutputFolder(output, inputs); !refusal.empty()) {
    run.problems.push_back({output, ProblemKind::kOutputRefused, std::move(refusal), {}});
    return std::nullopt;
  }
  return inputs;
}

FolderLibrary UsableLibrary(const std::string& folder) {
  FolderLibrary found{ObjectLibraryIn(folder), {}, std::nullopt};
  std::vector<LoadNote> notes;
  std::string error;
  const std::unique_ptr<ObjectLibrary> library = ReadLibraryInput(found.path, LoadReport::Into(notes), error);
  found.lines = DistinctTexts(notes);
  if (library == nullptr) {
    found.problem =
        JobProblem{found.path, ProblemKind::kWouldNotLoad, error + ": the regions are drawn without objects", {}};
  }
  return found;
}

std::vector<std::string> DistinctTexts(const std::vector<LoadNote>& notes) {
  std::vector<std::string> order;
  std::map<std::string, std::size_t> counts;
  for (const LoadNote& note : notes) {
    const std::optional<PrintedLine> line = PrintedLineOf(note);
    if (!line) {
      continue;
    }
    std::string text = line->text;
    while (!text.empty() && text.back() == '\n') {
      text.pop_back();
    }
    text = ShownText(text);
    if (counts[text]++ == 0) {
      order.push_back(text);
    }
  }
  std::vector<std::string> lines;
  for (const std::string& text : order) {
    const std::size_t count = counts[text];
    lines.push_back(count == 1 ? text : text + " (" + std::to_string(count) + " times)");
  }
  return lines;
}

std::optional<std::size_t> RegionQueue::Take() {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    if (!stopped_ && next_ < outcomes_.size() && !context_.Cancelled()) {
      return next_++;
    }
    stopped_ = true;
  }
  // Whoever waits for a region nobody took any more stops waiting.
  posted_.notify_all();
  return std::nullopt;
}

void RegionQueue::Post(std::size_t index, RegionOutcome outcome) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    outcomes_[index] = std::move(outcome);
  }
  posted_.notify_all();
}

std::optional<RegionOutcome> RegionQueue::WaitFor(std::size_t index) {
  std::unique_lock<std::mutex> lock(mutex_);
  posted_.wait(lock, [&] { return outcomes_[index].has_value() || (stopped_ && index >= next_); });
  if (!outcomes_[index]) {
    return std::nullopt;
  }
  return std::move(*outcomes_[index]);
}

std::vector<RegionOutcome> RunRegionLoop(const std::vector<PlannedRegion>& regions, std::uint32_t jobs,
                                         JobContext& context, const std::function<void(RegionQueue&)>& work) {
  const std::size_t count = regions.size();
  context.Report(0, count);
  RegionQueue queue(count, context);
  std::vector<std::thread> workers;
  const std::uint32_t workerCount = WorkerCount(jobs, count);
  for (std::uint32_t i = 0; i < workerCount; ++i) {
    workers.emplace_back(work, std::ref(queue));
  }
  std::vector<RegionOutcome> outcomes;
  for (std::size_t index = 0; index < count; ++index) {
    std::optional<RegionOutcome> outcome = queue.WaitFor(index);
    if (!outcome) {
      break;
    }
    outcomes.push_back(std::move(*outcome));
    context.Report(index + 1, count, regions[index].file);
  }
  for (std::thread& worker : workers) {
    worker.join();
  }
  return outcomes;
}

}  // namespace karst::tools
