// Reloading what the viewer shows when its files change on disk, for a viewer given a folder or
// a file: which of the shown region's file and the object library changed since they were read,
// reading them again (what is read is only handed over when it can be shown, so a broken save
// never replaces the last good one), and the thread that waits on the folder and wakes the
// window when its files have settled.
#pragma once

#include <chrono>
#include <cstdint>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "gff/load_report.h"
#include "platform/file_safety.h"
#include "platform/folder_watch.h"

namespace karst {

struct ObjectLibrary;
struct Region;

namespace platform {
class Window;
}

// What a file on disk is at a moment: which file the name leads to (a rename over it makes
// another), its size and its modification time. Equal stamps: the same content, as far as the
// system tells.
struct FileStamp {
  platform::FileKind kind = platform::FileKind::kMissing;
  platform::FileIdentity identity;
  std::uintmax_t size = 0;
  std::int64_t modified = 0;

  friend bool operator==(const FileStamp&, const FileStamp&) = default;
};

FileStamp StampOf(const std::string& path);

// A file whose content is on screen, stamped before it was read, so a change made while it was
// read is still seen as one.
struct WatchedFile {
  std::string path;
  FileStamp stamp;
};

WatchedFile Watched(const std::string& path);

struct ShownFiles {
  WatchedFile region;
  WatchedFile library;
};

// What ReadChangedFiles found: a file that changed and can be shown, read; a line for standard
// error, naming the file, for each that changed and cannot.
struct ChangedFiles {
  std::unique_ptr<Region> region;
  std::unique_ptr<ObjectLibrary> library;
  std::vector<std::string> problems;
};

// Reads again each file of `shown` whose stamp changed, and takes its new stamp, so a file that
// cannot be shown is named once, not at every change of the folder. A region is handed over only
// when the region switch would show it, the library only when it has an object bitmap.
ChangedFiles ReadChangedFiles(ShownFiles& shown, const LoadReport& report);

// How long the files must stay still after a change before the window hears of it: an editor
// writing a file in place is not read half-written.
inline constexpr std::chrono::milliseconds kSettleTime{300};

// Waits on a folder beside the window's thread and posts WM_FOLDERCHANGED to `window` once its
// files changed and then stayed still for kSettleTime. At rest the thread blocks in the watch.
// When the folder goes, a line on standard error says so and the watching ends. The destructor
// wakes the thread and waits for it, so the window outlives every post.
class FolderChangeNotifier {
 public:
  FolderChangeNotifier(const std::string& folder, platform::Window* window);
  FolderChangeNotifier(const FolderChangeNotifier&) = delete;
  FolderChangeNotifier& operator=(const FolderChangeNotifier&) = delete;
  ~FolderChangeNotifier();

 private:
  void Run(std::string folder, platform::Window* window);

  platform::FolderWatch watch_;
  std::thread thread_;
};

}  // namespace karst
