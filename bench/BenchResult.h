// Everything the bench phase measured, and its table and JSON made from it.
#pragma once

#include <optional>
#include <string>

#include "bench/BenchFigures.h"
#include "bench/Latency.h"
#include "bench/ProcessCounters.h"
#include "bench/RegistryFigures.h"
#include "bench/TickReplay.h"

namespace bench {

constexpr double kTickCostTargetMs = 1.0;
constexpr int kMinimumTicks = 60;
constexpr int kMinimumChanges = 20;

struct BenchResult {
    std::string platform;
    unsigned seed = 0;

    // Steady window: the desktop stands still, the driver sleeps.
    double windowMs = 0;
    double monitorTicks = 0;   // window / 1000 ms
    double baselineTicks = 0;  // as the baseline counted them itself
    std::optional<double> monitorMs;   // CPU over the window
    std::optional<double> baselineMs;
    std::optional<double> monitorCoarseMs;  // Linux stat, 10 ms steps (Wine only)
    std::optional<double> baselineCoarseMs;
    std::string cpuSource;
    bool processTimesAreCallersOwn = false;

    // Wine only: the prefix's wineserver per second, with the monitor's
    // timer running and stopped.
    std::optional<double> serverRunningMsPerS;
    std::optional<double> serverPausedMsPerS;
    std::optional<double> monitorMsWhilePaused;
    ReplayCost replay;

    size_t steadyDriverCalls = 0;
    size_t steadyObjectsCreated = 0;
    size_t steadyEvents = 0;
    HandleFigures handlesStart;
    HandleFigures handlesEnd;
    GuiFigures guiStart;
    GuiFigures guiEnd;

    LatencyRun latency;
    std::optional<MemoryFigures> memory;
    std::optional<RegistryFigures> registry;
    bool monitorAlive = false;

    std::optional<double> MonitorPerTick() const;
    std::optional<double> BaselinePerTick() const;
    std::optional<double> OwnCostPerTick() const;  // monitor - baseline
    std::optional<double> Ratio() const;
    std::optional<double> ServerCausedPerTick() const;
    bool CostMet() const;
    bool LatencyComplete() const;
    bool SteadyClean() const;
    bool Passed() const { return CostMet() && LatencyComplete() && SteadyClean() && monitorAlive; }
};

std::string BenchTable(const BenchResult& result);
std::string BenchJson(const BenchResult& result);

}  // namespace bench
