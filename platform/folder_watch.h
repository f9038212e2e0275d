// Waiting for the files below a folder to change: what reloads a region when its file changes and
// packs an edit folder when the modder saves. It uses the system's change notification (inotify on
// Linux, ReadDirectoryChangesW on Windows); where there is none, or it fails, it looks at most twice
// a second, comparing names, sizes and modification times, so that a watch at rest never spins.
// On Windows it looks twice a second beside the notification too, which not every system behind
// the Windows calls delivers for every change (Wine, network shares).
//
// One thread waits; Wake may come from any other. Ignore is called before the first Wait.
#pragma once

#include <chrono>
#include <memory>
#include <string>

namespace karst::platform {

enum class WatchEvent { kChanged, kTimedOut, kGone, kWoken };

// Watches a folder and everything below it (subfolders made later too) for changes to its files.
class FolderWatch {
 public:
  explicit FolderWatch(const std::string& folder);
  ~FolderWatch();
  FolderWatch(const FolderWatch&) = delete;
  FolderWatch& operator=(const FolderWatch&) = delete;

  // The system's notification is used; false: it looks twice a second.
  bool notified() const;
  // Waits up to `timeout` for a change below the folder. kGone when the folder itself went
  // (deleted, renamed away, or never there), kWoken after Wake() from another thread. Changes
  // made while nobody waited are not lost: the next Wait returns kChanged at once.
  WatchEvent Wait(std::chrono::milliseconds timeout);
  // Thread-safe: makes a Wait return kWoken, or the next one when none is waiting.
  void Wake();
  // A name (relative to the folder, '/' between its parts) whose changes do not count: the
  // bookkeeping its owner writes, like "packed.json". The temporary files written aside for it
  // (names beginning with "." and the name and a ".") do not count either.
  void Ignore(std::string relativeName);

 private:
  struct State;
  std::unique_ptr<State> state_;
};

}  // namespace karst::platform
