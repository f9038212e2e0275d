// A test-only switch that makes a named platform call fail.
//
// Tests name a call ("CreateSurface", "Lock", "CreateWindow", ...) and which of its coming
// invocations should fail; the platform call asks `ShouldFail` with its own name and reports
// failure when told to. When no failure is armed the check is a single flag test.
#pragma once

#include <string_view>

namespace karst::platform {

// Arms a failure: the `occurrence`-th call of `callName` from now fails (1 = the next one).
void FailCall(std::string_view callName, int occurrence = 1);
// Disarms every failure.
void ClearFailures();
// Asked by each platform call that can fail; counts the call and says whether it must fail.
bool ShouldFail(std::string_view callName);

}  // namespace karst::platform
