#include "app/live_reload.h"

#include <algorithm>
#include <cstdio>
#include <system_error>
#include <utility>

#include "app/command_line.h"
#include "data/file_problems.h"
#include "data/object_library.h"
#include "data/region.h"
#include "platform/paths.h"
#include "platform/window.h"

namespace karst {
namespace {

// However busy the folder stays (a program writing a log there), a change is shown at the
// latest this long after it came.
constexpr std::chrono::milliseconds kLongestSettle{2000};
// The watch is asked again after this long without a change; the wait itself costs nothing.
constexpr std::chrono::milliseconds kRestingWait{60000};

// `file` read again when its stamp changed: what `load` read when `loadedProblem` finds nothing
// wrong with it; otherwise null, and a line in `problems` with what is wrong (`fileProblem` when
// nothing was read) and what stays instead.
template <typename Loaded>
std::unique_ptr<Loaded> ReadIfChanged(WatchedFile& file, const LoadReport& report,
                                      std::unique_ptr<Loaded> (*load)(const std::string&, const LoadReport&),
                                      std::string (*loadedProblem)(const Loaded&),
                                      std::string (*fileProblem)(const std::string&), const char* kept,
                                      std::vector<std::string>& problems) {
  const FileStamp stamp = StampOf(file.path);
  if (stamp == file.stamp) {
    return nullptr;
  }
  file.stamp = stamp;
  std::unique_ptr<Loaded> loaded = load(file.path, report);
  std::string problem = loaded != nullptr ? loadedProblem(*loaded) : fileProblem(file.path);
  if (loaded != nullptr && problem.empty()) {
    return loaded;
  }
  if (problem.empty()) {
    problem = "it cannot be read";
  }
  problems.push_back(FileProblemLine(file.path, problem + "; " + kept));
  return nullptr;
}

}  // namespace

FileStamp StampOf(const std::string& path) {
  // The system's own times: the standard library's are whole seconds with mingw-w64, and a file
  // saved twice within a second would look unchanged.
  const platform::FileInfo info = platform::InspectPath(path);
  FileStamp stamp;
  stamp.kind = info.kind;
  stamp.identity = info.identity;
  stamp.size = info.size;
  stamp.modified = info.modified;
  return stamp;
}

WatchedFile Watched(const std::string& path) { return WatchedFile{path, StampOf(path)}; }

ChangedFiles ReadChangedFiles(ShownFiles& shown, const LoadReport& report) {
  ChangedFiles changed;
  changed.library = ReadIfChanged(shown.library, report, LoadObjectLibrary, LoadedLibraryProblem, LibraryProblem,
                                  "the objects read before stay on screen", changed.problems);
  changed.region = ReadIfChanged(shown.region, report, LoadRegion, LoadedRegionProblem, RegionProblem,
                                 "the region read before stays on screen", changed.problems);
  return changed;
}

FolderChangeNotifier::FolderChangeNotifier(const std::string& folder, platform::Window* window)
    : watch_(folder), thread_([this, folder, window] { Run(folder, window); }) {}

FolderChangeNotifier::~FolderChangeNotifier() {
  watch_.Wake();
  thread_.join();
}

void FolderChangeNotifier::Run(std::string folder, platform::Window* window) {
  using Clock = std::chrono::steady_clock;
  while (true) {
    platform::WatchEvent event = watch_.Wait(kRestingWait);
    if (event == platform::WatchEvent::kTimedOut) {
      continue;
    }
    const Clock::time_point latest = Clock::now() + kLongestSettle;
    while (event == platform::WatchEvent::kChanged) {
      const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(latest - Clock::now());
      if (left.count() <= 0) {
        break;
      }
      event = watch_.Wait(std::min(kSettleTime, left));
    }
    switch (event) {
      case platform::WatchEvent::kWoken:
        return;
      case platform::WatchEvent::kGone:
        std::fputs(FileProblemLine(folder, "the folder is gone; changes to its files are no longer shown").c_str(),
                   stderr);
        return;
      case platform::WatchEvent::kChanged:
      case platform::WatchEvent::kTimedOut:
        platform::PostMessage(window, platform::WM_FOLDERCHANGED, 0);
        break;
    }
  }
}

}  // namespace karst
