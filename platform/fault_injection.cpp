#include "platform/fault_injection.h"

#include <string>

namespace karst::platform {
namespace {

struct ArmedFailure {
  bool armed = false;
  std::string callName;
  int callsToSkip = 0;
};

ArmedFailure& Armed() {
  static ArmedFailure failure;
  return failure;
}

}  // namespace

void FailCall(std::string_view callName, int occurrence) {
  ArmedFailure& failure = Armed();
  failure.armed = occurrence >= 1;
  failure.callName = std::string(callName);
  failure.callsToSkip = occurrence - 1;
}

void ClearFailures() { Armed() = ArmedFailure{}; }

bool ShouldFail(std::string_view callName) {
  ArmedFailure& failure = Armed();
  if (!failure.armed || failure.callName != callName) {
    return false;
  }
  if (failure.callsToSkip > 0) {
    --failure.callsToSkip;
    return false;
  }
  failure.armed = false;
  return true;
}

}  // namespace karst::platform
