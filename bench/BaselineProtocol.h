// What the bench and its baseline program share: the window class it is
// found by, its timer, and the request that answers its tick count.
#pragma once

#include <windows.h>

namespace baseline {

constexpr const char* kWindowClass = "TavrelBenchBaseline";
constexpr UINT_PTR kTimerId = 1;
// The same period as the monitor's tick.
constexpr UINT kPeriodMs = 1000;
// Sent to the window; the result is the number of timer calls so far.
constexpr UINT kCountRequest = WM_APP + 1;

}  // namespace baseline
