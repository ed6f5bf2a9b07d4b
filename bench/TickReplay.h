// The window searches one tick of the monitor makes, replayed by the bench
// driver in its own process, so that their share of the tick's cost shows.
// Under Wine a search by title reads the text of every top-level window
// through the wineserver, which makes these the dearest part of a tick.
#pragma once

#include <windows.h>

namespace bench {

struct ReplayCost {
    int rounds = 0;
    size_t searches = 0;        // per round
    size_t titleSearches = 0;   // per round, searches that compare titles
    double cpuMsPerRound = 0;   // this thread's CPU time
    double wallMsPerRound = 0;  // includes the wineserver's share under Wine
    double titleCpuMsPerRound = 0;
};

// Runs the searches of one tick the given number of times, all of them and
// the title searches alone.
ReplayCost ReplayWindowSearches(int rounds);

}  // namespace bench
