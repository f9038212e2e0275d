#include "platform/fault_injection.h"

#include <functional>
#include <map>
#include <string>

namespace karst::platform {
namespace {

struct ArmedFailure {
  bool armed = false;
  std::string callName;
  int callsToSkip = 0;
};

struct CallCounts {
  bool counting = false;
  std::map<std::string, int, std::less<>> counts;
};

struct FaultSwitch {
  ArmedFailure failure;
  CallCounts calls;
};

FaultSwitch& Switch() {
  static FaultSwitch state;
  return state;
}

void UpdateWatching(const FaultSwitch& state) { fault_switch::watching = state.failure.armed || state.calls.counting; }

}  // namespace

namespace fault_switch {
bool watching = false;
}  // namespace fault_switch

void FailCall(std::string_view callName, int occurrence) {
  FaultSwitch& state = Switch();
  state.failure.armed = occurrence >= 1;
  state.failure.callName = std::string(callName);
  state.failure.callsToSkip = occurrence - 1;
  UpdateWatching(state);
}

void ClearFailures() {
  FaultSwitch& state = Switch();
  state.failure = ArmedFailure{};
  UpdateWatching(state);
}

bool fault_switch::ShouldFailWatched(std::string_view callName) {
  FaultSwitch& state = Switch();
  if (state.calls.counting) {
    const auto found = state.calls.counts.find(callName);
    if (found != state.calls.counts.end()) {
      ++found->second;
    } else {
      state.calls.counts.emplace(std::string(callName), 1);
    }
  }
  ArmedFailure& failure = state.failure;
  if (!failure.armed || failure.callName != callName) {
    return false;
  }
  if (failure.callsToSkip > 0) {
    --failure.callsToSkip;
    return false;
  }
  failure.armed = false;
  UpdateWatching(state);
  return true;
}

void CountCalls(bool count) {
  FaultSwitch& state = Switch();
  state.calls = CallCounts{count, {}};
  UpdateWatching(state);
}

int CountedCalls(std::string_view callName) {
  const CallCounts& calls = Switch().calls;
  const auto found = calls.counts.find(callName);
  return found != calls.counts.end() ? found->second : 0;
}

bool FailurePending() { return Switch().failure.armed; }

}  // namespace karst::platform
