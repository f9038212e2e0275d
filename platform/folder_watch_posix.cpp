#include <fcntl.h>
#include <poll.h>
#include <sys/inotify.h>
#include <unistd.h>

#include <atomic>
#include <climits>
#include <cstring>
#include <filesystem>
#include <map>
#include <vector>

#include "platform/folder_scan.h"
#include "platform/folder_watch.h"
#include "platform/paths.h"

namespace karst::platform {
namespace {

constexpr std::uint32_t kFolderEvents = IN_CREATE | IN_DELETE | IN_MODIFY | IN_CLOSE_WRITE | IN_MOVED_FROM |
                                        IN_MOVED_TO | IN_DELETE_SELF | IN_MOVE_SELF | IN_ONLYDIR;

}  // namespace

struct FolderWatch::State {
  std::string folder;
  FileIdentity identity;
  std::vector<std::string> ignored;
  int inotify = -1;
  std::map<int, std::string> watches;  // watch descriptor to its folder, relative ("" the folder itself)
  int rootWatch = -1;
  int wakeRead = -1;
  int wakeWrite = -1;
  std::atomic<bool> woken{false};
  folder_scan::Scan last;  // what the looking watch saw last

  ~State() {
    for (const int descriptor : {inotify, wakeRead, wakeWrite}) {
      if (descriptor >= 0) {
        close(descriptor);
      }
    }
  }

  // Falls back to looking: the notification cannot follow every folder (the system's limit on
  // watches was reached, or its queue overflowed while folders came and went).
  void StopNotification() {
    if (inotify >= 0) {
      close(inotify);
      inotify = -1;
    }
    watches.clear();
    last = folder_scan::ScanFolder(folder, ignored);
  }

  // Watches `relative` and every folder below it; false when the system refused one.
  bool WatchTree(const std::string& relative) {
    const std::filesystem::path root = NativePath(folder);
    const std::filesystem::path start = relative.empty() ? root : root / NativePath(relative);
    const int descriptor = inotify_add_watch(inotify, PathText(start).c_str(), kFolderEvents);
    if (descriptor < 0) {
      return errno == ENOENT || errno == ENOTDIR;  // gone again already: nothing to watch
    }
    watches[descriptor] = relative;
    std::error_code error;
    for (std::filesystem::directory_iterator entry(start, error), end; !error && entry != end; entry.increment(error)) {
      std::error_code kindError;
      if (entry->is_directory(kindError) && !entry->is_symlink(kindError)) {
        const std::string name = PathText(entry->path().filename());
        if (!WatchTree(relative.empty() ? name : relative + "/" + name)) {
          return false;
        }
      }
    }
    return true;
  }

  enum class Batch { kNothing, kChanged, kGone };

  // Reads the events waiting; what they amount to.
  Batch ReadEvents() {
    alignas(inotify_event) char buffer[16 * (sizeof(inotify_event) + NAME_MAX + 1)];
    Batch batch = Batch::kNothing;
    for (;;) {
      const ssize_t length = read(inotify, buffer, sizeof buffer);
      if (length <= 0) {
        return batch;
      }
      for (ssize_t at = 0; at < length;) {
        inotify_event event;
        std::memcpy(&event, buffer + at, sizeof event);
        const char* name = buffer + at + sizeof event;
        at += static_cast<ssize_t>(sizeof event + event.len);
        if ((event.mask & IN_Q_OVERFLOW) != 0) {
          // Events were lost, maybe of folders made meanwhile: watch the whole tree again.
          if (!WatchTree("")) {
            StopNotification();
            return Batch::kChanged;
          }
          batch = Batch::kChanged;
          continue;
        }
        if (event.wd == rootWatch && (event.mask & (IN_DELETE_SELF | IN_MOVE_SELF | IN_IGNORED | IN_UNMOUNT)) != 0) {
          return Batch::kGone;
        }
        const auto watch = watches.find(event.wd);
        if (watch == watches.end()) {
          continue;
        }
        if ((event.mask & IN_IGNORED) != 0) {
          watches.erase(watch);
          continue;
        }
        if (event.len == 0) {
          continue;  // a subfolder itself went: its parent reports the name
        }
        const std::string relative = watch->second.empty() ? std::string(name) : watch->second + "/" + name;
        if ((event.mask & IN_ISDIR) != 0 && (event.mask & (IN_CREATE | IN_MOVED_TO)) != 0) {
          // Files may have been written into it before its watch was set up: it counts as a change.
          if (!WatchTree(relative)) {
            StopNotification();
            return Batch::kChanged;
          }
        }
        if (!folder_scan::Ignored(ignored, relative)) {
          batch = Batch::kChanged;
        }
      }
    }
  }

  // Whether the looking watch sees a change; updates what it saw.
  bool LookedChanged() {
    folder_scan::Scan scan = folder_scan::ScanFolder(folder, ignored);
    const bool changed = scan.entries != last.entries;
    last = std::move(scan);
    return changed;
  }

  bool TakeWake() {
    char drain[64];
    while (wakeRead >= 0 && read(wakeRead, drain, sizeof drain) > 0) {
    }
    return woken.exchange(false);
  }
};

FolderWatch::FolderWatch(const std::string& folder) : state_(std::make_unique<State>()) {
  State& state = *state_;
  state.folder = folder;
  state.identity = InspectPath(folder).identity;
  int ends[2];
  if (pipe2(ends, O_CLOEXEC | O_NONBLOCK) == 0) {
    state.wakeRead = ends[0];
    state.wakeWrite = ends[1];
  }
  state.inotify = inotify_init1(IN_CLOEXEC | IN_NONBLOCK);
  if (state.inotify >= 0 && state.WatchTree("") && !state.watches.empty()) {
    for (const auto& [descriptor, relative] : state.watches) {
      if (relative.empty()) {
        state.rootWatch = descriptor;
      }
    }
    return;
  }
  state.StopNotification();
}

FolderWatch::~FolderWatch() = default;

bool FolderWatch::notified() const { return state_->inotify >= 0; }

void FolderWatch::Ignore(std::string relativeName) {
  state_->ignored.push_back(std::move(relativeName));
  if (!notified()) {
    state_->last = folder_scan::ScanFolder(state_->folder, state_->ignored);
  }
}

void FolderWatch::Wake() {
  state_->woken.store(true);
  if (state_->wakeWrite >= 0) {
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = write(state_->wakeWrite, &byte, 1);
  }
}

WatchEvent FolderWatch::Wait(std::chrono::milliseconds timeout) {
  State& state = *state_;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    if (state.TakeWake()) {
      return WatchEvent::kWoken;
    }
    if (folder_scan::Gone(state.folder, state.identity)) {
      return WatchEvent::kGone;
    }
    if (state.inotify >= 0) {
      const State::Batch batch = state.ReadEvents();
      if (batch == State::Batch::kGone) {
        return WatchEvent::kGone;
      }
      if (batch == State::Batch::kChanged) {
        return WatchEvent::kChanged;
      }
    } else if (state.LookedChanged()) {
      return WatchEvent::kChanged;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      return WatchEvent::kTimedOut;
    }
    const auto nap =
        state.inotify >= 0 ? left : std::min(left, std::chrono::milliseconds(folder_scan::kLookMilliseconds));
    pollfd waits[2] = {{state.wakeRead, POLLIN, 0}, {state.inotify, POLLIN, 0}};
    poll(waits, 2, static_cast<int>(std::min<std::int64_t>(nap.count(), INT_MAX)));
  }
}

}  // namespace karst::platform
