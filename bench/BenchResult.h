// Everything the bench phase measured, and its table and JSON made from it.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bench/BenchFigures.h"
#include "bench/Latency.h"
#include "bench/ProcessCounters.h"
#include "bench/RegistryFigures.h"
#include "bench/Report.h"

namespace bench {

// The monitor may cost at most this much more per tick than the replay of
// its tick's platform calls.
constexpr double kReplayRatioTarget = 1.10;
// The monitor's private bytes and working set may exceed the baseline's by
// at most this.
constexpr unsigned long long kMemoryAllowanceBytes = 1024 * 1024;
constexpr int kMinimumTicks = 60;
constexpr int kMinimumChanges = 20;

// CPU over the steady window of one of the three programs.
struct ProgramCpu {
    std::optional<double> ms;        // over the window
    std::optional<double> coarseMs;  // Linux stat, 10 ms steps (Wine only)
    double ticks = 0;                // as the program counted them, or the window's
    std::optional<double> PerTick() const;
};

// A slice of the steady window: CPU per tick of each program within it.
struct CpuSlice {
    double endS = 0;  // seconds into the window
    std::optional<double> monitorMs;
    std::optional<double> replayMs;
    std::optional<double> baselineMs;
};

// A module one process has loaded and the other has not.
struct ModuleFigure {
    std::string name;
    unsigned long long imageBytes = 0;
};

struct BenchResult {
    std::string platform;
    unsigned seed = 0;

    // Steady window: the desktop stands still, the driver sleeps.
    double windowMs = 0;
    double monitorTicks = 0;  // window / 1000 ms
    ProgramCpu monitor;
    ProgramCpu replay;
    ProgramCpu baseline;
    std::vector<CpuSlice> slices;
    std::string cpuSource;
    bool processTimesAreCallersOwn = false;

    // The replay's list and how faithfully it was made.
    size_t replayCallsPerTick = 0;
    long replayMismatches = -1;  // -1: the replay did not answer
    long replayTicksCounted = -1;

    // Wine only: the prefix's wineserver per second, with the monitor's
    // timer running and stopped.
    std::optional<double> serverRunningMsPerS;
    std::optional<double> serverPausedMsPerS;
    std::optional<double> monitorMsWhilePaused;

    size_t steadyDriverCalls = 0;
    size_t steadyObjectsCreated = 0;
    size_t steadyEvents = 0;
    HandleFigures handlesStart;
    HandleFigures handlesEnd;
    GuiFigures guiStart;
    GuiFigures guiEnd;

    LatencyRun latency;
    std::optional<MemoryFigures> monitorMemory;
    std::optional<MemoryFigures> baselineMemory;
    std::optional<MemoryFigures> replayMemory;
    // Each thread brings a stack and Wine's per-thread data.
    size_t monitorThreads = 0;
    size_t baselineThreads = 0;
    size_t replayThreads = 0;
    std::vector<ModuleFigure> monitorOnlyModules;  // loaded by the monitor, not the baseline
    // Resident KiB by mapping (Linux smaps, Wine only), monitor and baseline.
    std::map<std::string, unsigned long long> monitorResidentKiB;
    std::map<std::string, unsigned long long> baselineResidentKiB;
    std::optional<RegistryFigures> registry;
    bool monitorAlive = false;

    std::optional<double> RatioToReplay() const;
    std::optional<double> DifferenceToReplayUs() const;
    std::optional<double> RatioToBaseline() const;
    std::optional<double> ServerCausedPerTick() const;
    bool RatioMet() const;
    bool ReplayFaithful() const;
    bool MemoryMet() const;
    bool LatencyComplete() const;
    bool SteadyClean() const;
    bool Passed() const
    {
        return RatioMet() && ReplayFaithful() && MemoryMet() && LatencyComplete() &&
               SteadyClean() && monitorAlive;
    }
};

// What is resident in the monitor beyond the baseline, by mapping, largest
// difference first (mappings that grew by at least minimumKiB).
std::vector<std::pair<std::string, long long>> ResidentDifference(
    const std::map<std::string, unsigned long long>& monitor,
    const std::map<std::string, unsigned long long>& baseline, long long minimumKiB);

// Whether a's private bytes and working set stay within the allowance of b's.
bool WithinAllowance(const MemoryFigures& a, const MemoryFigures& b);

std::string BenchTable(const BenchResult& result);
Json BenchJson(const BenchResult& result);

}  // namespace bench
