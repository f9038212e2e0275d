// A test-only switch that makes a named platform call fail.
//
// Tests name a call ("CreateSurface", "Lock", "CreateWindow", ...) and which of its coming
// invocations should fail; the platform call asks `ShouldFail` with its own name and reports
// failure when told to. When no failure is armed and no count is kept, the check is a single
// flag test.
#pragma once

#include <string_view>

namespace karst::platform {

// Arms a failure: the `occurrence`-th call of `callName` from now fails (1 = the next one).
void FailCall(std::string_view callName, int occurrence = 1);
// Disarms every failure.
void ClearFailures();
namespace fault_switch {
// Armed || counting: the one flag every platform call tests, inline, before anything else.
extern bool watching;
// The rest of ShouldFail, once a failure is armed or calls are counted.
bool ShouldFailWatched(std::string_view callName);
}  // namespace fault_switch

// Asked by each platform call that can fail; counts the call and says whether it must fail.
inline bool ShouldFail(std::string_view callName) {
  return fault_switch::watching && fault_switch::ShouldFailWatched(callName);
}

// Test-only: with `count` set, every call that asks ShouldFail is counted by name, so a test
// can learn how often a run makes each call before it fails them one by one. Either way the
// counts start at zero.
void CountCalls(bool count = true);
// Test-only: how often `callName` asked since counting was last switched on.
int CountedCalls(std::string_view callName);
// Test-only: true while an armed failure has not been met yet.
bool FailurePending();

}  // namespace karst::platform
