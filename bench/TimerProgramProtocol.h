// What the bench shares with the two programs it sets the monitor against,
// the baseline timer and the tick replay: each runs a 1000 ms timer on a
// hidden window of its own class and answers requests sent to that window.
#pragma once

#include <windows.h>

namespace timer_program {

constexpr UINT_PTR kTimerId = 1;
// The same period as the monitor's tick.
constexpr UINT kPeriodMs = 1000;
// Sent to the window; the result is the number of timer calls so far.
constexpr UINT kCountRequest = WM_APP + 1;
// Sent to the replay's window: calls so far whose result differed from
// the one the monitor got in the trace.
constexpr UINT kMismatchRequest = WM_APP + 2;
// Sent to the replay's window: 1 + the index in the list of the first call
// whose result differed, 0 when none did.
constexpr UINT kFirstMismatchRequest = WM_APP + 3;

constexpr const char* kBaselineClass = "TavrelBenchBaseline";
constexpr const char* kReplayClass = "TavrelBenchReplay";

}  // namespace timer_program
