#include "tools/karst-render/region_jobs.h"

#include <algorithm>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <system_error>
#include <thread>

#include "data/object_library.h"
#include "data/region.h"
#include "platform/files.h"
#include "platform/paths.h"
#include "platform/terminal.h"
#include "tools/cli/cli.h"
#include "tools/files/input_file.h"
#include "tools/text/name_text.h"

namespace karst::tools {
namespace {

constexpr std::size_t kBarWidth = 30;

// Workers for `jobCount` regions: `requested`, or one per core when 0, never more than regions.
std::uint32_t WorkerCount(std::uint32_t requested, std::size_t jobCount) {
  std::uint32_t workers = requested;
  if (workers == 0) {
    workers = std::max(1u, std::min(std::thread::hardware_concurrency(), kMaxJobs));
  }
  return static_cast<std::uint32_t>(std::min<std::size_t>(workers, jobCount));
}

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

Progress::Progress(bool bar, std::size_t total) : bar_(bar), total_(total) { Draw(); }

void Progress::Print(std::ostream& stream, const std::string& line) {
  Clear();
  stream << line << "\n";
  stream.flush();
  Draw();
}

void Progress::Done(const std::string& name) {
  ++done_;
  last_ = name;
  Draw();
}

void Progress::Finish() {
  if (bar_ && drawn_) {
    std::cerr << "\n";
  }
  drawn_ = false;
}

void Progress::Clear() {
  if (bar_ && drawn_) {
    std::cerr << "\r\x1b[K";
    std::cerr.flush();
  }
}

void Progress::Draw() {
  if (!bar_) {
    return;
  }
  const std::size_t filled = total_ == 0 ? kBarWidth : done_ * kBarWidth / total_;
  std::string line = "[";
  for (std::size_t i = 0; i < kBarWidth; ++i) {
    line += i < filled ? '=' : (i == filled ? '>' : ' ');
  }
  line += "] " + std::to_string(done_) + "/" + std::to_string(total_) + " " + last_;
  std::cerr << "\r\x1b[K" << line;
  std::cerr.flush();
  drawn_ = true;
}

}  // namespace

std::vector<std::string> FindRegionFiles(const char* tool, const std::string& folder) {
  const std::filesystem::path path = platform::NativePath(folder);
  std::error_code error;
  if (!std::filesystem::is_directory(path, error)) {
    const bool exists = std::filesystem::exists(path, error);
    ReportError(tool, folder,
                (exists ? std::make_error_code(std::errc::not_a_directory)
                        : std::make_error_code(std::errc::no_such_file_or_directory))
                    .message());
    return {};
  }
  std::vector<std::string> names = platform::FindFiles(platform::PathText(path / std::string(kRegionFilePattern)));
  if (names.empty()) {
    ReportError(tool, folder, "no region files (RGN*.GFF)");
  }
  return names;
}

InputFiles FolderInputs(const std::string& folder, const std::vector<std::string>& names) {
  std::vector<std::string> paths{ObjectLibraryIn(folder)};
  for (const std::string& name : names) {
    paths.push_back(platform::PathText(platform::NativePath(folder) / platform::NativePath(name)));
  }
  return InputFiles(paths);
}

int ReportSummary(const char* tool, const FolderSummary& summary) {
  const std::size_t done = summary.regions - summary.failures.size();
  std::cout << summary.verb << " " << done << " of " << summary.regions
            << (summary.regions == 1 ? " region" : " regions") << " into " << summary.destination << "\n";
  if (!summary.renamed.empty()) {
    std::cout << "renamed, as their names differ from earlier ones only in case:\n";
    for (const std::string& line : summary.renamed) {
      std::cout << "  " << line << "\n";
    }
  }
  if (summary.failures.empty()) {
    return kExitSuccess;
  }
  std::cerr << tool << ": " << summary.failures.size() << (summary.failures.size() == 1 ? " region" : " regions")
            << " failed" << summary.failuresNote << ":\n";
  for (const std::string& failure : summary.failures) {
    std::cerr << "  " << failure << "\n";
  }
  return kExitFailure;
}

std::string UsableLibrary(const char* tool, const std::string& folder) {
  const std::string path = ObjectLibraryIn(folder);
  std::vector<LoadNote> notes;
  std::string error;
  const std::unique_ptr<ObjectLibrary> library = ReadLibraryInput(path, LoadReport::Into(notes), error);
  for (const std::string& line : DistinctTexts(notes)) {
    std::cout << path << ": " << line << "\n";
  }
  if (library == nullptr) {
    ReportError(tool, path, error + ": the regions are drawn without objects");
    return {};
  }
  return path;
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
  const std::lock_guard<std::mutex> lock(mutex_);
  if (next_ == outcomes_.size()) {
    return std::nullopt;
  }
  return next_++;
}

void RegionQueue::Post(std::size_t index, RegionOutcome outcome) {
  {
    const std::lock_guard<std::mutex> lock(mutex_);
    outcomes_[index] = std::move(outcome);
  }
  posted_.notify_all();
}

RegionOutcome RegionQueue::WaitFor(std::size_t index) {
  std::unique_lock<std::mutex> lock(mutex_);
  posted_.wait(lock, [&] { return outcomes_[index].has_value(); });
  return std::move(*outcomes_[index]);
}

RegionLoopResult RunRegionLoop(const RegionLoop& loop, const std::function<void(RegionQueue&)>& work) {
  const std::size_t count = loop.inputs.size();
  RegionQueue queue(count);
  std::vector<std::thread> workers;
  const std::uint32_t workerCount = WorkerCount(loop.jobs, count);
  for (std::uint32_t i = 0; i < workerCount; ++i) {
    workers.emplace_back(work, std::ref(queue));
  }
  Progress progress(platform::StandardErrorIsTerminal(), count);
  RegionLoopResult result;
  for (std::size_t index = 0; index < count; ++index) {
    result.outcomes.push_back(queue.WaitFor(index));
    const RegionOutcome& outcome = result.outcomes.back();
    for (const std::string& line : outcome.diagnostics) {
      progress.Print(std::cout, loop.inputs[index] + ": " + line);
    }
    if (const std::string warning = UndrawnWarning(loop.inputs[index], outcome.entities); !warning.empty()) {
      progress.Print(std::cerr, std::string(loop.tool) + ": " + loop.inputs[index] + ": " + warning);
    }
    if (outcome.written) {
      if (!progress.bar()) {
        progress.Print(std::cout, loop.verb + " " + loop.names[index] + " -> " + loop.outputs[index]);
      }
    } else {
      const std::string failure = outcome.failedFile + ": " + outcome.error;
      result.failures.push_back(failure);
      progress.Print(std::cerr, std::string(loop.tool) + ": " + failure);
    }
    progress.Done(loop.names[index]);
  }
  for (std::thread& worker : workers) {
    worker.join();
  }
  progress.Finish();
  return result;
}

}  // namespace karst::tools
