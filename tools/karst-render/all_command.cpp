#include "tools/karst-render/all_command.h"

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <filesystem>
#include <iostream>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "data/object_library.h"
#include "data/region.h"
#include "platform/files.h"
#include "platform/terminal.h"
#include "tools/common/cli.h"
#include "tools/common/input_file.h"
#include "tools/common/output_checks.h"
#include "tools/common/unique_names.h"
#include "tools/karst-render/render_region.h"

namespace karst::tools {
namespace {

constexpr const char* kTool = "karst-render";
constexpr std::uint32_t kMaxJobs = 16;
constexpr std::size_t kBarWidth = 30;

struct AllOptions {
  std::string folder;
  std::string output;
  bool noObjects = false;
  std::uint32_t scale = 1;
  std::uint32_t jobs = 0;  // 0: one per core
};

struct RegionJob {
  std::string input;
  std::string output;
};

struct JobResult {
  bool rendered = false;
  std::string failedFile;  // the region, or the PNG that could not be written
  std::string error;
  std::vector<std::string> diagnostics;  // the decoders' lines, caught while reading the region
  EntityCount entities;
};

// Where the workers leave their results; the main thread takes them in region order, so what is
// printed does not depend on which worker finished first.
class ResultBoard {
 public:
  explicit ResultBoard(std::size_t count) : results_(count) {}

  void Post(std::size_t index, JobResult result) {
    {
      const std::lock_guard<std::mutex> lock(mutex_);
      results_[index] = std::move(result);
    }
    posted_.notify_all();
  }

  JobResult WaitFor(std::size_t index) {
    std::unique_lock<std::mutex> lock(mutex_);
    posted_.wait(lock, [&] { return results_[index].has_value(); });
    return std::move(*results_[index]);
  }

 private:
  std::mutex mutex_;
  std::condition_variable posted_;
  std::vector<std::optional<JobResult>> results_;
};

// The lines the viewer prints for the notes, each distinct one once with how often it came, in
// the order they first came: the tile strip alone repeats its line for every row of every tile
// with several frames.
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

// One worker: its own display, library and surfaces, so nothing it writes is shared. Takes the
// next region until none is left.
void RenderJobs(const std::vector<RegionJob>& jobs, const std::string& objectsPath, std::uint32_t scale,
                std::atomic<std::size_t>& next, ResultBoard& board) {
  RegionRenderer renderer(RegionRenderer::Frame::kWholeRegion);
  const std::string setUpError = renderer.SetUp();
  if (setUpError.empty() && !objectsPath.empty()) {
    // The main thread has loaded the library once already and reported what it found.
    renderer.LoadObjects(objectsPath);
    renderer.TakeNotes();
  }
  for (std::size_t index = next++; index < jobs.size(); index = next++) {
    const RegionJob& job = jobs[index];
    JobResult result;
    result.failedFile = job.input;
    if (!setUpError.empty()) {
      result.error = setUpError;
    } else {
      RegionPicture picture;
      bool drawn = false;
      drawn = renderer.Render(job.input, ViewOrigin{}, picture, result.error);
      result.diagnostics = DistinctTexts(renderer.TakeNotes());
      result.entities = renderer.Entities();
      if (drawn) {
        result.error = WritePicture(job.output, picture, scale);
        result.rendered = result.error.empty();
        result.failedFile = job.output;
      }
    }
    board.Post(index, std::move(result));
  }
}

// A bar that redraws itself on standard error when that is a terminal; plain lines otherwise.
class Progress {
 public:
  Progress(bool bar, std::size_t total) : bar_(bar), total_(total) { Draw(); }

  // A line of its own, above the bar.
  void Print(std::ostream& stream, const std::string& line) {
    Clear();
    stream << line << "\n";
    stream.flush();
    Draw();
  }

  void Done(const std::string& name) {
    ++done_;
    last_ = name;
    Draw();
  }

  void Finish() {
    if (bar_ && drawn_) {
      std::cerr << "\n";
    }
    drawn_ = false;
  }

  bool bar() const { return bar_; }

 private:
  void Clear() {
    if (bar_ && drawn_) {
      std::cerr << "\r\x1b[K";
      std::cerr.flush();
    }
  }

  void Draw() {
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

  bool bar_;
  std::size_t total_;
  std::size_t done_ = 0;
  std::string last_;
  bool drawn_ = false;
};

// The folder's library when the viewer could start with it; empty otherwise, with the reason
// reported. Its decoder lines are printed once, here.
std::string UsableLibrary(const std::filesystem::path& folder) {
  const std::filesystem::path path = ObjectLibraryIn(folder.string());
  if (const std::string problem = InputProblem(path.string()); !problem.empty()) {
    ReportError(kTool, path.string(), problem + ": the regions are drawn without objects");
    return {};
  }
  std::vector<LoadNote> notes;
  const std::unique_ptr<ObjectLibrary> library = LoadObjectLibrary(path.string(), LoadReport::Into(notes));
  for (const std::string& line : DistinctTexts(notes)) {
    std::cout << path.string() << ": " << line << "\n";
  }
  if (library == nullptr) {
    ReportError(kTool, path.string(),
                "not a GFF container (no \"GFFI\" header, or too short): the regions are drawn without objects");
    return {};
  }
  if (library->bmpSets.empty()) {
    ReportError(kTool, path.string(), "no \"BMP \" frame sets: the regions are drawn without objects");
    return {};
  }
  return path.string();
}

std::uint32_t WorkerCount(const AllOptions& options, std::size_t jobCount) {
  std::uint32_t workers = options.jobs;
  if (workers == 0) {
    workers = std::max(1u, std::min(std::thread::hardware_concurrency(), kMaxJobs));
  }
  return static_cast<std::uint32_t>(std::min<std::size_t>(workers, jobCount));
}

int RunAll(const AllOptions& options) {
  const std::filesystem::path folder(options.folder);
  std::error_code error;
  if (!std::filesystem::is_directory(folder, error)) {
    const bool exists = std::filesystem::exists(folder, error);
    ReportError(kTool, options.folder,
                (exists ? std::make_error_code(std::errc::not_a_directory)
                        : std::make_error_code(std::errc::no_such_file_or_directory))
                    .message());
    return kExitFailure;
  }
  const std::vector<std::string> names = platform::FindFiles((folder / std::string(kRegionFilePattern)).string());
  if (names.empty()) {
    ReportError(kTool, options.folder, "no region files (RGN*.GFF)");
    return kExitFailure;
  }
  std::vector<std::string> inputPaths{ObjectLibraryIn(folder.string())};
  for (const std::string& name : names) {
    inputPaths.push_back((folder / name).string());
  }
  const InputFiles inputs(inputPaths);
  if (const std::string refusal = RefuseOutputFolder(options.output, inputs); !refusal.empty()) {
    ReportError(kTool, options.output, refusal);
    return kExitUsage;
  }
  // Every output is known, and checked, before the first is written.
  const std::filesystem::path outputFolder(options.output);
  std::vector<RegionJob> jobs;
  std::vector<std::size_t> renamed;
  UniqueNames pictureNames;
  for (const std::string& name : names) {
    const std::string stem = std::filesystem::path(name).stem().string();
    const std::string unique = pictureNames.Claim(stem);
    if (unique != stem) {
      renamed.push_back(jobs.size());
    }
    const std::string output = (outputFolder / (unique + ".png")).string();
    if (const std::string refusal = RefuseOutput(output, inputs); !refusal.empty()) {
      ReportError(kTool, output, refusal);
      return kExitUsage;
    }
    jobs.push_back({(folder / name).string(), output});
  }
  std::filesystem::create_directories(outputFolder, error);
  if (error) {
    ReportError(kTool, options.output, "cannot create the directory: " + error.message());
    return kExitFailure;
  }
  const std::string objectsPath = options.noObjects ? std::string() : UsableLibrary(folder);

  ResultBoard board(jobs.size());
  std::atomic<std::size_t> next{0};
  std::vector<std::thread> workers;
  const std::uint32_t workerCount = WorkerCount(options, jobs.size());
  for (std::uint32_t i = 0; i < workerCount; ++i) {
    workers.emplace_back(RenderJobs, std::cref(jobs), std::cref(objectsPath), options.scale, std::ref(next),
                         std::ref(board));
  }

  Progress progress(platform::StandardErrorIsTerminal(), jobs.size());
  std::vector<std::string> failures;
  for (std::size_t index = 0; index < jobs.size(); ++index) {
    const JobResult result = board.WaitFor(index);
    for (const std::string& line : result.diagnostics) {
      progress.Print(std::cout, jobs[index].input + ": " + line);
    }
    if (const std::string warning = UndrawnWarning(jobs[index].input, result.entities); !warning.empty()) {
      progress.Print(std::cerr, std::string(kTool) + ": " + jobs[index].input + ": " + warning);
    }
    if (result.rendered) {
      if (!progress.bar()) {
        progress.Print(std::cout, "rendered " + names[index] + " -> " + jobs[index].output);
      }
    } else {
      const std::string failure = result.failedFile + ": " + result.error;
      failures.push_back(failure);
      progress.Print(std::cerr, std::string(kTool) + ": " + failure);
    }
    progress.Done(names[index]);
  }
  for (std::thread& worker : workers) {
    worker.join();
  }
  progress.Finish();

  std::cout << "rendered " << jobs.size() - failures.size() << " of " << jobs.size()
            << (jobs.size() == 1 ? " region" : " regions") << " into " << outputFolder.string() << "\n";
  if (!renamed.empty()) {
    std::cout << "renamed, as their names differ from earlier ones only in case:\n";
    for (const std::size_t index : renamed) {
      std::cout << "  " << names[index] << " -> " << jobs[index].output << "\n";
    }
  }
  if (failures.empty()) {
    return kExitSuccess;
  }
  std::cerr << kTool << ": " << failures.size() << (failures.size() == 1 ? " region" : " regions") << " failed:\n";
  for (const std::string& failure : failures) {
    std::cerr << "  " << failure << "\n";
  }
  return kExitFailure;
}

}  // namespace

void AddAllCommand(CLI::App& app, int& exitCode) {
  auto options = std::make_shared<AllOptions>();
  CLI::App* command = app.add_subcommand("all", "Draw every region of a game folder as an indexed PNG");
  command->footer(
      "Every RGN*.GFF of GAMEDIR, in the viewer's order, becomes DIR/<name without .GFF>.png: the\n"
      "whole region with its objects from GAMEDIR/OBJEX.GFF, exactly as \"karst-render region\"\n"
      "draws it. A region that cannot be drawn is reported and skipped; the others are still\n"
      "written. On a terminal a progress bar shows on standard error; otherwise one line per\n"
      "region. Regions are drawn on several threads (--jobs); the pictures do not depend on it.\n"
      "Region names that differ only in case (RGN01.GFF, RGN01.gff) give RGN01.png, RGN01-2.png,\n"
      "... in that order; the summary names each one renamed. A picture that would be one of the\n"
      "inputs or any file holding a GFF container is refused (exit status 2), nothing written.\n"
      "\n"
      "Exit status: 1 when some region could not be drawn or written, else 0.\n"
      "\n"
      "Examples:\n"
      "  karst-render all ~/game -o pictures               every region with its objects\n"
      "  karst-render all ~/game -o ground --no-objects    the tiles only\n"
      "  karst-render all ~/game -o big --scale 2          4096 x 3072 pictures");
  command->add_option("folder", options->folder, "the game folder")->required()->type_name("GAMEDIR");
  command->add_option("-o,--output", options->output, "the directory to write into (created when missing)")
      ->required()
      ->type_name("DIR");
  command->add_flag("--no-objects", options->noObjects, "draw the tiles only");
  command->add_option("--scale", options->scale, "enlarge every pixel to N x N (1 to 16)")
      ->type_name("N")
      ->check(CLI::Range(kMinScale, kMaxScale));
  command->add_option("-j,--jobs", options->jobs, "regions drawn at once (default: one per core)")
      ->type_name("N")
      ->check(CLI::Range(1u, kMaxJobs));
  command->callback([options, &exitCode] { exitCode = RunAll(*options); });
}

}  // namespace karst::tools
