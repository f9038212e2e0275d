// Every platform call that can fail, failed once at each of its occurrences in turn while the
// viewer starts on the sample world and steps through it with real key presses (Space, Space,
// Backspace, the four arrows, Escape). Every run must end with exactly the messages that failure
// calls for, exit code 0, the shell's state freed and the world's files untouched. The test
// prints the matrix it went through.
#include <SDL.h>
#include <gtest/gtest.h>

#include <cstddef>
#include <iostream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

#include "app/map_viewer_app.h"
#include "authoring/container_writer.h"
#include "authoring/frame_encoders.h"
#include "gff/format.h"
#include "platform/fault_injection.h"
#include "platform/message_box.h"
#include "platform/window.h"
#include "tests/platform/window_test_support.h"
#include "tests/reliability/sample_world_dir.h"

namespace karst::reliability_tests {
namespace {

struct Step {
  SDL_Keycode key;
  const char* name;
};

// Phase 0 is the start-up; phase i is the i-th key press.
constexpr Step kSteps[] = {{SDLK_SPACE, "Space"}, {SDLK_SPACE, "Space"},  {SDLK_BACKSPACE, "Backspace"},
                           {SDLK_LEFT, "Left"},   {SDLK_UP, "Up"},        {SDLK_RIGHT, "Right"},
                           {SDLK_DOWN, "Down"},   {SDLK_ESCAPE, "Escape"}};
constexpr int kPhases = 1 + static_cast<int>(std::size(kSteps));
constexpr int kLastSwitchPhase = 3;  // Backspace

constexpr const char* kCalls[] = {"RegisterClass",
                                  "CreateWindow",
                                  "DirectDrawCreate",
                                  "SetCooperativeLevel",
                                  "SetDisplayMode",
                                  "CreateSurface",
                                  "GetAttachedSurface",
                                  "CreateClipper",
                                  "SetHWnd",
                                  "SetClipper",
                                  "CreatePalette",
                                  "SetPalette",
                                  "SetEntries",
                                  "Lock",
                                  "Unlock",
                                  "GetDC",
                                  "Blt",
                                  "Flip"};

struct Box {
  std::string text;
  std::string caption;
  bool operator==(const Box&) const = default;
};

const Box kStartUpBox{"Unable to initialize DirectDraw and load object data!", "Error"};
const Box kZoneBox{"Error loading zone!", "Error!"};
const Box kTilesBox{"Error loading tiles", "Error"};
const Box kPaletteBox{"Error loading palette!", "Error"};
const Box kNoRegionsBox{"Unable to find region files!", "Error"};

struct ViewerRun {
  std::vector<Box> boxes;
  int exitCode = -1;
  // Key presses that reached a live window; the run ended during the last of them (or during
  // the start-up when 0).
  int stepsTaken = 0;
  bool freed = false;
  bool failureMet = false;
};

using CallCounts = std::map<std::string, int>;

void ResetShell() {
  TheApp() = MapViewerApp{};
  platform::ResetWindowSystem();
  platform::ClearFailures();
  platform::CountCalls(false);
  platform::CaptureMessageBoxes(true);
}

// Runs loop passes while a message waits, so the run never blocks; true once the quit message
// was fetched, with its parameter in `exitCode`.
bool PumpWaiting(int& exitCode) {
  platform::Message message{};
  while (platform::PeekMessage(message, nullptr, 0, 0, platform::PM_NOREMOVE) == 1) {
    const LoopPass pass = RunLoopPass();
    if (pass.outcome == PassOutcome::kQuit) {
      exitCode = pass.exitCode;
      return true;
    }
  }
  return false;
}

CallCounts Snapshot() {
  CallCounts counts;
  for (const char* call : kCalls) {
    counts[call] = platform::CountedCalls(call);
  }
  counts["MessageBox"] = platform::CountedCalls("MessageBox");
  return counts;
}

// One run of the viewer as its entry would make it, with the keys pressed between loop passes.
// `phases`, when given, gets the call counts after the start-up and after every key.
ViewerRun RunViewerThroughKeys(const std::string& workingPath, std::vector<CallCounts>* phases = nullptr) {
  ViewerRun run;
  bool quit = false;
  if (!StartViewer(platform::GetModuleHandle(nullptr), workingPath)) {
    // The entry returns 0 before any loop.
    run.exitCode = 0;
    quit = true;
  }
  if (phases != nullptr) {
    phases->push_back(Snapshot());
  }
  if (!quit) {
    quit = PumpWaiting(run.exitCode);
  }
  for (const Step& step : kSteps) {
    if (quit || TheApp().display == nullptr) {
      break;
    }
    platform::testing::PushKey(TheApp().mainWindow, step.key);
    ++run.stepsTaken;
    quit = PumpWaiting(run.exitCode);
    if (phases != nullptr) {
      phases->push_back(Snapshot());
    }
  }
  EXPECT_TRUE(quit) << "the run did not end";
  run.failureMet = !platform::FailurePending();
  for (const platform::CapturedMessageBox& box : platform::CapturedMessageBoxes()) {
    run.boxes.push_back(Box{box.text, box.caption});
  }
  const MapViewerApp& app = TheApp();
  run.freed = app.display == nullptr && app.regionList == nullptr && !app.workingPath && app.currentEntry == nullptr;
  ResetShell();
  return run;
}

std::string Describe(const std::vector<Box>& boxes) {
  if (boxes.empty()) {
    return "none";
  }
  std::string text;
  for (const Box& box : boxes) {
    text += (text.empty() ? "" : ", ") + ("\"" + box.text + "\"");
  }
  return text;
}

std::string EndedAt(int stepsTaken) {
  return stepsTaken == 0 ? "start-up" : std::string(kSteps[stepsTaken - 1].name) + " #" + std::to_string(stepsTaken);
}

// The phase in which the `occurrence`-th call of `call` is made.
int PhaseOf(const std::vector<CallCounts>& phases, const std::string& call, int occurrence) {
  for (int phase = 0; phase < static_cast<int>(phases.size()); ++phase) {
    if (phases[static_cast<std::size_t>(phase)].at(call) >= occurrence) {
      return phase;
    }
  }
  return -1;
}

int FirstInPhase(const std::vector<CallCounts>& phases, const std::string& call, int phase) {
  return phase == 0 ? 1 : phases[static_cast<std::size_t>(phase - 1)].at(call) + 1;
}

int LastInPhase(const std::vector<CallCounts>& phases, const std::string& call, int phase) {
  return phases[static_cast<std::size_t>(phase)].at(call);
}

// What a run with the `occurrence`-th call of `call` failed must show, and after which step it
// must end. At start-up the display set-up makes the primary, then the library one surface per
// bitmap (a failure there only loses that object), then the first region its tile strip; a
// region switch makes only the strip; drawing failures are not looked at.
struct Expectation {
  std::vector<Box> boxes;
  int stepsTaken;
};

Expectation Expect(const std::vector<CallCounts>& phases, const std::string& call, int occurrence) {
  const int phase = PhaseOf(phases, call, occurrence);
  const int allSteps = static_cast<int>(std::size(kSteps));
  if (call == "RegisterClass" || call == "CreateWindow") {
    return {{}, 0};
  }
  if (call == "GetDC" || call == "Flip" || call == "Blt") {
    return {{}, allSteps};
  }
  if (call == "CreatePalette" || call == "SetPalette" || call == "SetEntries") {
    return phase == 0 ? Expectation{{kPaletteBox, kStartUpBox}, 0} : Expectation{{kPaletteBox, kZoneBox}, phase};
  }
  if (call == "CreateSurface" || call == "Lock" || call == "Unlock") {
    if (phase > 0) {
      return {{kTilesBox, kZoneBox}, phase};
    }
    if (occurrence == LastInPhase(phases, call, 0)) {
      return {{kTilesBox, kStartUpBox}, 0};  // the first region's strip
    }
    if (call == "CreateSurface" && occurrence == 1) {
      return {{kStartUpBox}, 0};  // the primary
    }
    return {{}, allSteps};  // an object surface: only that object is lost
  }
  return {{kStartUpBox}, 0};  // a step of the display set-up
}

// The occurrences to fail: every one, except for the blits, of which there are over a thousand
// per frame: the first and the last of every phase.
std::vector<int> OccurrencesOf(const std::vector<CallCounts>& phases, const std::string& call) {
  std::vector<int> occurrences;
  if (call != "Blt") {
    for (int occurrence = 1; occurrence <= phases.back().at(call); ++occurrence) {
      occurrences.push_back(occurrence);
    }
    return occurrences;
  }
  for (int phase = 0; phase < static_cast<int>(phases.size()); ++phase) {
    const int first = FirstInPhase(phases, call, phase);
    const int last = LastInPhase(phases, call, phase);
    if (first <= last) {
      occurrences.push_back(first);
      if (last != first) {
        occurrences.push_back(last);
      }
    }
  }
  return occurrences;
}

// Prints one matrix row per run of equal outcome: the call, its occurrences, where they fall,
// the messages, where the run ended and the exit code.
class MatrixPrinter {
 public:
  void Add(const std::string& call, int occurrence, int phase, const ViewerRun& run) {
    const std::string where =
        phase == 0 ? "start-up" : std::string(kSteps[phase - 1].name) + " #" + std::to_string(phase);
    const std::string outcome =
        Describe(run.boxes) + " | " + EndedAt(run.stepsTaken) + " | " + std::to_string(run.exitCode);
    if (!rows_.empty() && rows_.back().call == call && rows_.back().where == where && rows_.back().outcome == outcome &&
        rows_.back().last + 1 == occurrence) {
      rows_.back().last = occurrence;
      return;
    }
    rows_.push_back(Row{call, occurrence, occurrence, where, outcome});
  }

  void Print() const {
    std::ostringstream out;
    out << "| call | occurrence | made during | messages | run ended at | exit code |\n|---|---|---|---|---|---|\n";
    for (const Row& row : rows_) {
      const std::string range = row.first == row.last ? std::to_string(row.first)
                                                      : std::to_string(row.first) + "-" + std::to_string(row.last);
      out << "| " << row.call << " | " << range << " | " << row.where << " | " << row.outcome << " |\n";
    }
    std::cout << out.str();
  }

 private:
  struct Row {
    std::string call;
    int first;
    int last;
    std::string where;
    std::string outcome;
  };
  std::vector<Row> rows_;
};

class FaultMatrixTest : public ::testing::Test {
 protected:
  FaultMatrixTest() { ResetShell(); }
  ~FaultMatrixTest() override { ResetShell(); }
};

TEST_F(FaultMatrixTest, EveryFailingPlatformCallEndsWithItsMessagesAndExitCodeZero) {
  const SampleWorldDir world;
  std::vector<CallCounts> phases;
  platform::CountCalls(true);
  const ViewerRun clean = RunViewerThroughKeys(world.path(), &phases);
  ASSERT_TRUE(clean.boxes.empty()) << Describe(clean.boxes);
  ASSERT_EQ(clean.exitCode, 0);
  ASSERT_EQ(clean.stepsTaken, static_cast<int>(std::size(kSteps)));
  ASSERT_EQ(static_cast<int>(phases.size()), kPhases);
  // Every call of the list is made on this road, so every one of them is failed below; the
  // start-up makes the primary, at least one object surface and the first strip.
  for (const char* call : kCalls) {
    EXPECT_GT(phases.back().at(call), 0) << call;
  }
  ASSERT_GE(phases[0].at("CreateSurface"), 3);
  EXPECT_EQ(phases[kLastSwitchPhase].at("CreateSurface"), phases.back().at("CreateSurface"));

  MatrixPrinter matrix;
  int runs = 0;
  for (const char* call : kCalls) {
    for (const int occurrence : OccurrencesOf(phases, call)) {
      SCOPED_TRACE(std::string(call) + " #" + std::to_string(occurrence));
      platform::FailCall(call, occurrence);
      const ViewerRun run = RunViewerThroughKeys(world.path());
      const Expectation expected = Expect(phases, call, occurrence);
      EXPECT_TRUE(run.failureMet);
      EXPECT_EQ(run.boxes, expected.boxes) << Describe(run.boxes);
      EXPECT_EQ(run.stepsTaken, expected.stepsTaken);
      EXPECT_EQ(run.exitCode, 0);
      EXPECT_TRUE(run.freed);
      matrix.Add(call, occurrence, PhaseOf(phases, call, occurrence), run);
      ++runs;
    }
  }
  std::cout << runs << " runs, each with one failed call\n";
  matrix.Print();
  // The viewer only reads the game's files.
  EXPECT_TRUE(world.Unchanged());
}

// The message box itself failing: the program still ends as it would have after the box, with
// exit code 0. Each scenario shows its boxes in a clean run first; then each box fails in turn.
struct MessageBoxScenario {
  const char* name;
  void (*damage)(const SampleWorldDir&);
  std::vector<Box> boxes;
  int stepsTaken;
};

TEST_F(FaultMatrixTest, AFailingMessageBoxStillEndsTheProgram) {
  const std::vector<MessageBoxScenario> scenarios = {
      {"no region files",
       [](const SampleWorldDir& world) {
         for (const std::string& path : world.regionPaths()) {
           std::filesystem::remove(path);
         }
       },
       {kNoRegionsBox},
       0},
      {"no object library",
       [](const SampleWorldDir& world) { world.Remove(authoring::kObjectLibraryFileName); },
       {kStartUpBox},
       0},
      {"second region without palette",
       [](const SampleWorldDir& world) {
         // The region file list is sorted: the second file is the first Space's region.
         const std::vector<std::uint8_t> tile = authoring::WriteFrameSetPayload({authoring::EncodeBlankFrame(16, 16)})
                                                    .value_or(std::vector<std::uint8_t>{});
         const std::vector<std::uint8_t> noPalette = authoring::WriteContainer(
             {authoring::ChunkTypeSpec{kTagTile, {{1, tile}}, false, 0},
              authoring::ChunkTypeSpec{kTagMap, {{1, std::vector<std::uint8_t>(kMapBytes)}}, false, 0}});
         world.Write(world.files()[1].name, noPalette);
       },
       {kPaletteBox, kZoneBox},
       1},
  };
  MatrixPrinter matrix;
  for (const MessageBoxScenario& scenario : scenarios) {
    SCOPED_TRACE(scenario.name);
    const SampleWorldDir world;
    scenario.damage(world);
    const ViewerRun clean = RunViewerThroughKeys(world.path());
    ASSERT_EQ(clean.boxes, scenario.boxes) << Describe(clean.boxes);
    ASSERT_EQ(clean.stepsTaken, scenario.stepsTaken);
    for (std::size_t failed = 0; failed < scenario.boxes.size(); ++failed) {
      SCOPED_TRACE(failed);
      platform::FailCall("MessageBox", static_cast<int>(failed) + 1);
      const ViewerRun run = RunViewerThroughKeys(world.path());
      std::vector<Box> expected = scenario.boxes;
      expected.erase(expected.begin() + static_cast<std::ptrdiff_t>(failed));
      EXPECT_TRUE(run.failureMet);
      EXPECT_EQ(run.boxes, expected) << Describe(run.boxes);
      EXPECT_EQ(run.stepsTaken, scenario.stepsTaken);
      EXPECT_EQ(run.exitCode, 0);
      EXPECT_TRUE(run.freed);
      matrix.Add(std::string("MessageBox (") + scenario.name + ")", static_cast<int>(failed) + 1, scenario.stepsTaken,
                 run);
    }
  }
  matrix.Print();
}

}  // namespace
}  // namespace karst::reliability_tests
