#include <mutex>

#include "platform/stop_requests.h"
#include "platform/temporary_files.h"

#include "platform/windows_api.h"

namespace karst::platform {
namespace {

std::mutex stopMutex;
std::function<void()>* stopCall = nullptr;  // the living StopRequests' call, under stopMutex

// The system calls it on a thread of its own; handled here, the process goes on.
BOOL WINAPI NoteStop(DWORD event) {
  if (event != CTRL_C_EVENT && event != CTRL_BREAK_EVENT && event != CTRL_CLOSE_EVENT) {
    return FALSE;
  }
  const std::lock_guard<std::mutex> lock(stopMutex);
  if (stopCall == nullptr) {
    return FALSE;
  }
  (*stopCall)();
  return TRUE;
}

}  // namespace

struct StopRequests::State {
  std::function<void()> onStop;
};

StopRequests::StopRequests(std::function<void()> onStop) : state_(std::make_unique<State>()) {
  // The temporary files' handler first: handlers run newest first, so this one is asked before it.
  temporary_files::HandleInterruptions();
  state_->onStop = std::move(onStop);
  {
    const std::lock_guard<std::mutex> lock(stopMutex);
    stopCall = &state_->onStop;
  }
  SetConsoleCtrlHandler(NoteStop, TRUE);
}

StopRequests::~StopRequests() {
  SetConsoleCtrlHandler(NoteStop, FALSE);
  const std::lock_guard<std::mutex> lock(stopMutex);
  stopCall = nullptr;
}

}  // namespace karst::platform
