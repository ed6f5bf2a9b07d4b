// The phases of the bench command. Each prints its table to stdout, writes
// its JSON object to options.jsonPath and answers an exit code: 0 when
// every target and check held, 1 when one failed, 2 when it could not run.
#pragma once

#include <string>

namespace bench {

struct PhaseOptions {
    std::string jsonPath;
    // bench: the figures file the registry phase wrote (may be missing).
    // registry: where to write it.
    std::string registryFigures;
    // registry, calls: the Wine trace this very run writes to (its stderr).
    std::string tracePath;
    // calls: where to write the call list of a steady tick of the monitor.
    // bench: the list the replay makes every tick.
    std::string tickCalls;
    int ticks = 0;    // 0: the phase's default
    int changes = 0;  // bench: changes of the tracked window for the latency
    int rounds = 0;   // storm
    unsigned seed = 0;
};

constexpr int kPhasePassed = 0;
constexpr int kPhaseFailed = 1;
constexpr int kPhaseCouldNotRun = 2;

int RunBenchPhase(const PhaseOptions& options);
int RunRegistryPhase(const PhaseOptions& options);
int RunCallsPhase(const PhaseOptions& options);
int RunSoakPhase(const PhaseOptions& options);
int RunStormPhase(const PhaseOptions& options);

}  // namespace bench
