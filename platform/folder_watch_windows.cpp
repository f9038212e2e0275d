#include <algorithm>
#include <atomic>
#include <vector>

#include "platform/folder_scan.h"
#include "platform/folder_watch.h"
#include "platform/paths.h"
#include "platform/text_encoding.h"

#include "platform/windows_api.h"

namespace karst::platform {
namespace {

constexpr DWORD kChangeFilter = FILE_NOTIFY_CHANGE_FILE_NAME | FILE_NOTIFY_CHANGE_DIR_NAME | FILE_NOTIFY_CHANGE_SIZE |
                                FILE_NOTIFY_CHANGE_LAST_WRITE | FILE_NOTIFY_CHANGE_CREATION;

}  // namespace

struct FolderWatch::State {
  std::string folder;
  FileIdentity identity;
  std::vector<std::string> ignored;
  HANDLE directory = INVALID_HANDLE_VALUE;  // open while the notification is used
  OVERLAPPED overlapped{};
  std::vector<DWORD> buffer = std::vector<DWORD>(16 * 1024);  // DWORD-aligned, as the call requires
  HANDLE wake = nullptr;                                      // auto-reset: one Wake, one kWoken
  std::atomic<bool> woken{false};
  folder_scan::Scan last;

  ~State() { StopNotification(); }

  // Falls back to looking (the notification failed), or ends it as the watch goes.
  void StopNotification() {
    if (directory != INVALID_HANDLE_VALUE) {
      CancelIoEx(directory, &overlapped);
      DWORD bytes = 0;
      GetOverlappedResult(directory, &overlapped, &bytes, TRUE);
      CloseHandle(directory);
      directory = INVALID_HANDLE_VALUE;
      last = folder_scan::ScanFolder(folder, ignored);
    }
    if (overlapped.hEvent != nullptr) {
      CloseHandle(overlapped.hEvent);
      overlapped.hEvent = nullptr;
    }
  }

  // Asks for the next batch of changes; false when the system refuses.
  bool Request() {
    return ReadDirectoryChangesW(directory, buffer.data(), static_cast<DWORD>(buffer.size() * sizeof(DWORD)), TRUE,
                                 kChangeFilter, nullptr, &overlapped, nullptr) != FALSE;
  }

  enum class Batch { kNothing, kChanged, kFailed };

  // What the finished request reports, and the next one asked for.
  Batch Collect() {
    DWORD bytes = 0;
    if (!GetOverlappedResult(directory, &overlapped, &bytes, FALSE)) {
      return Batch::kFailed;
    }
    // No bytes: more changed than the buffer holds, and the system kept none of them.
    Batch batch = bytes == 0 ? Batch::kChanged : Batch::kNothing;
    const auto* base = reinterpret_cast<const unsigned char*>(buffer.data());
    for (DWORD at = 0; bytes != 0;) {
      const auto* entry = reinterpret_cast<const FILE_NOTIFY_INFORMATION*>(base + at);
      std::string relative =
          BytesFromWide(std::wstring_view(entry->FileName, entry->FileNameLength / sizeof(WCHAR)), PathCodePage());
      std::replace(relative.begin(), relative.end(), '\\', '/');
      if (!folder_scan::Ignored(ignored, relative)) {
        batch = Batch::kChanged;
      }
      if (entry->NextEntryOffset == 0) {
        break;
      }
      at += entry->NextEntryOffset;
    }
    return Request() ? batch : Batch::kFailed;
  }

  bool LookedChanged() {
    folder_scan::Scan scan = folder_scan::ScanFolder(folder, ignored);
    const bool changed = scan.entries != last.entries;
    last = std::move(scan);
    return changed;
  }
};

FolderWatch::FolderWatch(const std::string& folder) : state_(std::make_unique<State>()) {
  State& state = *state_;
  state.folder = folder;
  state.identity = InspectPath(folder).identity;
  state.wake = CreateEventW(nullptr, FALSE, FALSE, nullptr);
  state.overlapped.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
  // Shared for deleting too, so that the watch never keeps the modder from removing or renaming
  // the folder.
  state.directory = CreateFileW(NativePath(folder).c_str(), FILE_LIST_DIRECTORY,
                                FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr, OPEN_EXISTING,
                                FILE_FLAG_BACKUP_SEMANTICS | FILE_FLAG_OVERLAPPED, nullptr);
  if (state.directory == INVALID_HANDLE_VALUE || state.overlapped.hEvent == nullptr || !state.Request()) {
    state.StopNotification();
  }
  state.last = folder_scan::ScanFolder(folder, state.ignored);
}

FolderWatch::~FolderWatch() {
  if (state_->wake != nullptr) {
    CloseHandle(state_->wake);
  }
}

bool FolderWatch::notified() const { return state_->directory != INVALID_HANDLE_VALUE; }

void FolderWatch::Ignore(std::string relativeName) {
  state_->ignored.push_back(std::move(relativeName));
  state_->last = folder_scan::ScanFolder(state_->folder, state_->ignored);
}

void FolderWatch::Wake() {
  state_->woken.store(true);
  if (state_->wake != nullptr) {
    SetEvent(state_->wake);
  }
}

WatchEvent FolderWatch::Wait(std::chrono::milliseconds timeout) {
  State& state = *state_;
  using Clock = std::chrono::steady_clock;
  const Clock::time_point deadline = Clock::now() + timeout;
  for (;;) {
    if (state.woken.exchange(false)) {
      if (state.wake != nullptr) {
        ResetEvent(state.wake);
      }
      return WatchEvent::kWoken;
    }
    if (folder_scan::Gone(state.folder, state.identity)) {
      return WatchEvent::kGone;
    }
    // The folder is looked at twice a second beside the notification too: not every system
    // reports every change below a folder (Wine misses files in folders made after the watch
    // began, and the watched folder's own deletion; network shares drop notifications).
    if (state.LookedChanged()) {
      return WatchEvent::kChanged;
    }
    const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
    if (left.count() <= 0) {
      return WatchEvent::kTimedOut;
    }
    const bool notifying = state.directory != INVALID_HANDLE_VALUE;
    const auto nap = std::min(left, std::chrono::milliseconds(folder_scan::kLookMilliseconds));
    HANDLE handles[2] = {state.wake, state.overlapped.hEvent};
    const DWORD count = notifying ? 2 : 1;
    const DWORD result = WaitForMultipleObjects(count, handles, FALSE, static_cast<DWORD>(nap.count()));
    if (result == WAIT_FAILED) {
      Sleep(static_cast<DWORD>(nap.count()));  // no event to wait on: never spin
    }
    if (notifying && result == WAIT_OBJECT_0 + 1) {
      const State::Batch batch = state.Collect();
      if (batch == State::Batch::kFailed) {
        // The folder went (the system ends the watch with an error), or the notification broke.
        if (folder_scan::Gone(state.folder, state.identity)) {
          return WatchEvent::kGone;
        }
        state.StopNotification();
        return WatchEvent::kChanged;
      }
      if (batch == State::Batch::kChanged) {
        // What the notification reported is not reported again by the next look.
        state.LookedChanged();
        return WatchEvent::kChanged;
      }
    }
  }
}

}  // namespace karst::platform
