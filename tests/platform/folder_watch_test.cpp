// The folder watch: a change below the folder (written in place, renamed into place as editors
// save, in a folder made after the watch began) wakes it, its ignored bookkeeping does not, the
// folder's going ends it, and Wake reaches a waiting thread.
#include <gtest/gtest.h>

#include <chrono>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <thread>

#include "platform/folder_scan.h"
#include "platform/folder_watch.h"
#include "tests/support/temp_dir.h"

namespace karst::platform {
namespace {

namespace fs = std::filesystem;
using std::chrono::milliseconds;

void WriteWatchedText(const fs::path& path, const std::string& text) { std::ofstream(path, std::ios::binary) << text; }

TEST(FolderWatch, WhatWakesItAndWhatDoesNot) {
  struct Case {
    const char* what;
    std::function<void(const fs::path&)> change;
    WatchEvent expected;
  };
  const Case cases[] = {
      {"a file written", [](const fs::path& f) { WriteWatchedText(f / "map.tmj", "{\"edited\":1}"); },
       WatchEvent::kChanged},
      {"a file renamed into place",
       [](const fs::path& f) {
         WriteWatchedText(f.parent_path() / "outside.tmp", "{}");
         fs::rename(f.parent_path() / "outside.tmp", f / "map.tmj");
       },
       WatchEvent::kChanged},
      {"a file in a folder made after the watch began",
       [](const fs::path& f) {
         fs::create_directories(f / "frames" / "new");
         std::this_thread::sleep_for(milliseconds(100));
         WriteWatchedText(f / "frames" / "new" / "TILE-1-0.png", "png");
       },
       WatchEvent::kChanged},
      {"the ignored bookkeeping", [](const fs::path& f) { WriteWatchedText(f / "packed.json", "{}"); },
       WatchEvent::kTimedOut},
      {"the ignored bookkeeping written aside",
       [](const fs::path& f) {
         WriteWatchedText(f / ".packed.json.12.ab.part", "{}");
         fs::rename(f / ".packed.json.12.ab.part", f / "packed.json");
       },
       WatchEvent::kTimedOut},
      {"nothing", [](const fs::path&) {}, WatchEvent::kTimedOut},
#ifndef _WIN32
      // A folder deleted through Wine's own calls while a handle to it is open stays until the
      // handle closes, and Wine ends no notification for it; Windows itself ends the watch with an
      // error, which the watch takes for the folder's going. The Wine end-to-end run deletes the
      // folder from outside, as a file manager would, and the watch sees it go.
      {"the folder deleted", [](const fs::path& f) { fs::remove_all(f); }, WatchEvent::kGone},
#endif
      {"the folder renamed away", [](const fs::path& f) { fs::rename(f, f.parent_path() / "moved"); },
       WatchEvent::kGone},
  };
  for (const Case& c : cases) {
    karst::testing::TempDir dir;
    const fs::path folder = dir.path() / "edit";
    fs::create_directories(folder / "frames");
    WriteWatchedText(folder / "map.tmj", "{}");
    WriteWatchedText(folder / "packed.json", "{\"old\":1}");
    FolderWatch watch(folder.string());
    watch.Ignore("packed.json");
    c.change(folder);
    WatchEvent event = watch.Wait(milliseconds(1500));
    // Deleting a folder first reports the files that went with it.
    while (c.expected == WatchEvent::kGone && event == WatchEvent::kChanged) {
      event = watch.Wait(milliseconds(1500));
    }
    EXPECT_EQ(event, c.expected) << c.what;
  }
}

TEST(FolderWatch, ChangesMadeWhileNobodyWaitsAreNotLost) {
  karst::testing::TempDir dir;
  FolderWatch watch(dir.path().string());
  WriteWatchedText(dir.path() / "a.txt", "1");
  std::this_thread::sleep_for(milliseconds(50));
  EXPECT_EQ(watch.Wait(milliseconds(1500)), WatchEvent::kChanged);
}

TEST(FolderWatch, WakeReachesAWaitingThreadOrTheNextWait) {
  karst::testing::TempDir dir;
  FolderWatch watch(dir.path().string());
  watch.Wake();
  EXPECT_EQ(watch.Wait(milliseconds(5000)), WatchEvent::kWoken);
  std::thread waker([&] {
    std::this_thread::sleep_for(milliseconds(100));
    watch.Wake();
  });
  const auto start = std::chrono::steady_clock::now();
  EXPECT_EQ(watch.Wait(milliseconds(20000)), WatchEvent::kWoken);
  EXPECT_LT(std::chrono::steady_clock::now() - start, milliseconds(10000));
  waker.join();
  // One Wake, one kWoken.
  EXPECT_EQ(watch.Wait(milliseconds(100)), WatchEvent::kTimedOut);
}

TEST(FolderWatch, AMissingFolderIsGoneAtOnce) {
  karst::testing::TempDir dir;
  FolderWatch watch((dir.path() / "never").string());
  EXPECT_EQ(watch.Wait(milliseconds(5000)), WatchEvent::kGone);
}

TEST(FolderWatchIgnored, TheNameAndWhatIsWrittenAsideForItOnly) {
  struct Case {
    const char* relative;
    bool ignored;
  };
  const Case cases[] = {
      {"packed.json", true},
      {".packed.json.77.x1.part", true},
      {"packed.json.bak", false},  // not written aside: someone's own file
      {".packed.json", false},     // no dot after the name
      {".packed.jsonx.1.part", false},
      {"frames/packed.json", false},  // another folder's file of that name
      {"sub/state.json", true},
      {"sub/.state.json.1.part", true},
      {".sub/state.json.1.part", false},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(folder_scan::Ignored({"packed.json", "sub/state.json"}, c.relative), c.ignored) << c.relative;
  }
}

}  // namespace
}  // namespace karst::platform
