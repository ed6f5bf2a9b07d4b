// One round of the start/halt storm: "@@@StartFirstly", "@@@Start" and
// "@@@HaltAll" started in quick succession with random gaps, watched the
// whole time for monitor windows and Tavrel.exe processes, and waited for
// until every instance has gone.
#pragma once

#include <windows.h>

#include <random>

#include "bench/BenchFigures.h"

namespace bench {

struct StormTiming {
    DWORD maxStartGapMs = 50;    // between the log-on mode and the monitor mode
    DWORD maxHaltDelayMs = 600;  // between the monitor mode and the halt
    DWORD settleTimeoutMs = 15000;
    DWORD pollMs = 2;
};

StormRound RunStormRound(std::mt19937& random, const StormTiming& timing = {});

// Tavrel.exe processes of this prefix, and the monitor windows among the
// top-level windows.
size_t CountTavrelProcesses();
size_t CountMonitorWindows();

// Ends every Tavrel.exe still running: a halt request first, then each one
// by its id. Answers how many there were.
size_t EndLeftoverInstances();

}  // namespace bench
