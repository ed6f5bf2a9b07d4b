// The monitor's lamp state: whether lamps can be switched at all (fixed at
// start-up), the cached lamp word and the refresh budget. Drives the lamp
// policy through the bound driver utility.
#pragma once

#include <windows.h>

namespace tavrel {

// 1 when the driver utility's call export is bound and the probe finds the
// lamps; 0 otherwise.
int ProbeLampAvailable() noexcept;
void FixLampAvailable() noexcept;
int LampAvailable() noexcept;

// Called at the end of every foreground analysis with the full-screen flag,
// while LampAvailable is 1.
void ApplyLampPolicy(int fullScreenFlag) noexcept;

// Resets by the monitor window: power resume clears both, console connect
// only the cache.
void ResetLampCache() noexcept;
void ResetLampRefreshCount() noexcept;

DWORD LampState() noexcept;
DWORD LampRefreshCount() noexcept;

void ResetLampControllerForTest() noexcept;

}  // namespace tavrel
