#include <fcntl.h>
#include <signal.h>
#include <unistd.h>

#include <atomic>
#include <thread>

#include "platform/stop_requests.h"
#include "platform/temporary_files.h"

namespace karst::platform {
namespace {

constexpr int kSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr char kStop = 1;
constexpr char kEnd = 0;

// The pipe's writing end while a StopRequests lives: all a signal handler may safely touch.
std::atomic<int> stopWriter{-1};

void NoteStop(int) {
  const int writer = stopWriter.load();
  if (writer >= 0) {
    [[maybe_unused]] const ssize_t written = write(writer, &kStop, 1);
  }
}

}  // namespace

struct StopRequests::State {
  int ends[2] = {-1, -1};
  struct sigaction previous[3]{};
  bool installed[3] = {false, false, false};
  std::thread listener;
};

StopRequests::StopRequests(std::function<void()> onStop) : state_(std::make_unique<State>()) {
  // The temporary files' handlers are set up first, so that they come back when this goes rather
  // than being set up over it by the first file written.
  temporary_files::HandleInterruptions();
  State& state = *state_;
  if (pipe2(state.ends, O_CLOEXEC) != 0) {
    return;
  }
  stopWriter.store(state.ends[1]);
  state.listener = std::thread([reader = state.ends[0], onStop = std::move(onStop)] {
    char byte = kEnd;
    while (read(reader, &byte, 1) == 1 && byte == kStop) {
      onStop();
    }
  });
  for (int i = 0; i < 3; ++i) {
    struct sigaction action {};
    action.sa_handler = NoteStop;
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    if (sigaction(kSignals[i], nullptr, &state.previous[i]) == 0 && state.previous[i].sa_handler != SIG_IGN) {
      state.installed[i] = sigaction(kSignals[i], &action, nullptr) == 0;
    }
  }
}

StopRequests::~StopRequests() {
  State& state = *state_;
  for (int i = 0; i < 3; ++i) {
    if (state.installed[i]) {
      sigaction(kSignals[i], &state.previous[i], nullptr);
    }
  }
  if (state.listener.joinable()) {
    stopWriter.store(-1);
    [[maybe_unused]] const ssize_t written = write(state.ends[1], &kEnd, 1);
    state.listener.join();
  }
  for (const int end : state.ends) {
    if (end >= 0) {
      close(end);
    }
  }
}

}  // namespace karst::platform
