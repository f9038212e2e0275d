// Helpers for the shell tests: a small world of region files and an object library written
// into a temporary folder, a clean shell and window system around every test, and loop passes
// driven by real input events.
#pragma once

#include <SDL.h>
#include <gtest/gtest.h>

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>
#include <thread>
#include <vector>

#include "app/map_viewer_app.h"
#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "gff/format.h"
#include "platform/fault_injection.h"
#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "tests/platform/window_test_support.h"
#include "tests/support/temp_dir.h"

namespace karst::app_tests {

using authoring::ChunkSpec;
using authoring::ChunkTypeSpec;
using authoring::IndexedImage;

inline ChunkTypeSpec Type(const Tag& tag, std::vector<ChunkSpec> chunks) {
  return ChunkTypeSpec{tag, std::move(chunks), false, 0};
}

inline std::vector<std::uint8_t> Text(const std::string& text) { return {text.begin(), text.end()}; }

// A frame-set payload of one NRML frame.
inline std::vector<std::uint8_t> OneFrameSet(const IndexedImage& image) {
  const std::optional<std::vector<std::uint8_t>> frame = authoring::EncodeNrmlFrame(image);
  EXPECT_TRUE(frame.has_value());
  const std::optional<std::vector<std::uint8_t>> payload =
      authoring::WriteFrameSetPayload({frame.value_or(std::vector<std::uint8_t>{})});
  EXPECT_TRUE(payload.has_value());
  return payload.value_or(std::vector<std::uint8_t>{});
}

// A 16 x 16 tile of one colour.
inline std::vector<std::uint8_t> PlainTile(std::uint8_t index) {
  return OneFrameSet(IndexedImage{16, 16, std::vector<std::uint8_t>(256, index)});
}

// A whole region: a 6-bit palette, two tiles in a checkerboard, a name and one entity of
// object 1 at (100, 100).
inline std::vector<std::uint8_t> RegionFile(const std::string& name, std::uint8_t colour) {
  std::vector<std::uint8_t> palette(kPaletteBytes);
  for (std::size_t i = 0; i < palette.size(); ++i) {
    palette[i] = static_cast<std::uint8_t>((i + colour) % 64);
  }
  std::vector<std::uint8_t> map(kMapBytes);
  for (std::size_t i = 0; i < map.size(); ++i) {
    map[i] = static_cast<std::uint8_t>((i / kMapColumns + i % kMapColumns) % 2);
  }
  return authoring::WriteContainer({
      Type(kTagPal, {{1, palette}}),
      Type(kTagTile, {{1, PlainTile(colour)}, {2, PlainTile(static_cast<std::uint8_t>(colour + 1))}}),
      Type(kTagMap, {{1, map}}), Type(kTagRnme, {{1, Text(name)}}),
      Type(kTagEtab, {{1, {100, 0, 100, 0, 0, 0, 1, 0}}}),  // x 100, y 100, z 0, flags 0, object 1
  });
}

// Object 1 drawn by bitmap 7, an 8 x 8 square.
inline std::vector<std::uint8_t> ObjectLibraryFile() {
  const std::vector<std::uint8_t> definition = {
      0, 0,              // word 0
      4, 0,              // hotspot x
      8, 0,              // hotspot y
      0, 0, 0, 0, 0, 0,  // word 6, word 8, byte 10, byte 11
      7, 0,              // bitmap 7
      0, 0,              // word 14
  };
  return authoring::WriteContainer({
      Type(kTagOjff, {{1, definition}}),
      Type(kTagBmp, {{7, OneFrameSet(IndexedImage{8, 8, std::vector<std::uint8_t>(64, 200)})}}),
  });
}

// A folder holding RGN01.GFF .. RGN0<regions>.GFF and OBJEX.GFF.
class TestWorld {
 public:
  explicit TestWorld(int regions = 3) {
    for (int i = 1; i <= regions; ++i) {
      const std::string number = std::to_string(i);
      dir_.Write("RGN0" + number + ".GFF", RegionFile("Region " + number, static_cast<std::uint8_t>(10 * i)));
    }
    dir_.Write("OBJEX.GFF", ObjectLibraryFile());
  }

  // The working path as the viewer forms it: the folder and its separator.
  std::string path() const { return dir_.path().string() + platform::kPathSeparator; }
  void Write(const std::string& name, const std::vector<std::uint8_t>& bytes) const { dir_.Write(name, bytes); }
  void Remove(const std::string& name) const { std::filesystem::remove(dir_.path() / name); }

 private:
  testing::TempDir dir_;
};

// Every test starts and ends with a zeroed shell, no windows or classes, no armed failures and
// message boxes captured. The shell goes first: its display presents into the window.
class ViewerTest : public ::testing::Test {
 protected:
  ViewerTest() { Reset(); }
  ~ViewerTest() override { Reset(); }

  static void Reset() {
    TheApp() = MapViewerApp{};
    platform::ResetWindowSystem();
    platform::ClearFailures();
    platform::CaptureMessageBoxes(true);
  }

  static MapViewerApp& app() { return TheApp(); }
  static std::uint64_t flips() { return TheApp().display->primary->flipCount(); }
  static std::pair<std::int32_t, std::int32_t> view() { return {TheApp().display->viewX, TheApp().display->viewY}; }
  static const std::string& currentPath() { return *TheApp().currentEntry->data; }

  // Starts the viewer on `world`; true when it reached the loop with a region on screen.
  static bool Start(const TestWorld& world) {
    return StartViewer(platform::GetModuleHandle(nullptr), world.path()) && TheApp().display != nullptr;
  }

  // Runs loop passes while a message waits, so the test never blocks. Returns the outcome of
  // the last pass.
  static PassOutcome DispatchWaiting() {
    PassOutcome last = PassOutcome::kDispatched;
    platform::Message message{};
    while (platform::PeekMessage(message, nullptr, 0, 0, platform::PM_NOREMOVE) == 1) {
      last = RunLoopPass().outcome;
      if (last == PassOutcome::kQuit) {
        break;
      }
    }
    return last;
  }

  // Real key presses: SDL events through the queue, the translation and the dispatch.
  static void Press(SDL_Keycode key) {
    platform::testing::PushKey(TheApp().mainWindow, key);
    DispatchWaiting();
  }

  // A mouse position as the window layer reports it.
  static void MoveMouse(int x, int y) {
    platform::DispatchMessage(platform::Message{TheApp().mainWindow, platform::WM_MOUSEMOVE, 0,
                                                static_cast<platform::LParam>(x | (y << 16))});
  }

  static void Activate() {
    platform::testing::PushWindowEvent(TheApp().mainWindow, SDL_WINDOWEVENT_FOCUS_GAINED);
    DispatchWaiting();
  }

  // Ends the run with Escape through the loop; the loop's exit code.
  static int QuitWithEscape() {
    platform::testing::PushKey(TheApp().mainWindow, SDLK_ESCAPE);
    return RunMessageLoop();
  }
};

// An input event that no window message stands for, pushed after `delay` from another thread:
// it wakes a loop that waits, and nothing else.
class DelayedWake {
 public:
  explicit DelayedWake(std::chrono::milliseconds delay)
      : thread_([delay] {
          std::this_thread::sleep_for(delay);
          SDL_Event event{};
          event.type = SDL_USEREVENT;
          SDL_PushEvent(&event);
        }) {}
  DelayedWake(const DelayedWake&) = delete;
  DelayedWake& operator=(const DelayedWake&) = delete;
  ~DelayedWake() { thread_.join(); }

 private:
  std::thread thread_;
};

}  // namespace karst::app_tests
