// The benchmark: the real monitor against the baseline timer program on a
// realistic desktop (the tracked application open and in front, five other
// windows behind). In this order: a steady window for CPU per tick and the
// per-tick counts, the latency run, then (Wine only) the monitor paused for
// the wineserver comparison and the replay of a tick's window searches.
#include <cstdio>
#include <fstream>
#include <random>
#include <sstream>

#include "bench/BenchBed.h"
#include "bench/BenchResult.h"
#include "bench/Latency.h"
#include "bench/LinuxProcess.h"
#include "bench/Phases.h"
#include "bench/PlatformInfo.h"
#include "bench/ProcessCounters.h"
#include "bench/Report.h"
#include "bench/TickReplay.h"
#include "tests/support/TestPaths.h"

namespace bench {

namespace {

using testsupport::Activation;
using testsupport::FakeApp;
using testsupport::WindowState;

constexpr int kDefaultTicks = 150;
constexpr int kDefaultChanges = 24;
constexpr DWORD kPausedMs = 60000;
constexpr DWORD kResumeSettleMs = 3000;
constexpr DWORD kAttachTimeoutMs = 10000;
constexpr int kReplayRounds = 200;

struct CpuReading {
    DWORD at = 0;
    long baselineTicks = -1;
    std::optional<double> monitorMs;
    std::optional<double> baselineMs;
    std::optional<double> monitorCoarseMs;
    std::optional<double> baselineCoarseMs;
    std::optional<double> serverMs;
};

CpuReading ReadCpu(const ProcessCpuClock& monitor, const ProcessCpuClock& baseline,
                   const BaselineRun& baselineRun)
{
    CpuReading reading;
    reading.baselineTicks = baselineRun.Ticks();
    reading.at = ::GetTickCount();
    reading.monitorMs = monitor.Milliseconds();
    reading.baselineMs = baseline.Milliseconds();
    reading.monitorCoarseMs = monitor.CoarseMilliseconds();
    reading.baselineCoarseMs = baseline.CoarseMilliseconds();
    reading.serverMs = WineServerCpuMilliseconds();
    return reading;
}

std::optional<double> Delta(const std::optional<double>& from, const std::optional<double>& to)
{
    return from && to ? std::optional<double>(*to - *from) : std::nullopt;
}

std::optional<double> PerSecond(const std::optional<double>& ms, DWORD from, DWORD to)
{
    return ms && to != from ? std::optional<double>(*ms * kTickMs / (to - from)) : std::nullopt;
}

std::optional<RegistryFigures> LoadRegistryFigures(const std::string& path)
{
    if (path.empty()) {
        return std::nullopt;
    }
    std::ifstream in(path);
    std::ostringstream text;
    text << in.rdbuf();
    return ParseRegistryFigures(text.str());
}

void Progress(const char* text)
{
    std::printf("bench: %s\n", text);
    std::fflush(stdout);
}

}  // namespace

int RunBenchPhase(const PhaseOptions& options)
{
    const int ticks = std::max(options.ticks > 0 ? options.ticks : kDefaultTicks, kMinimumTicks);
    const int changes =
        std::max(options.changes > 0 ? options.changes : kDefaultChanges, kMinimumChanges);
    BenchResult result;
    result.platform = PlatformDescription();
    result.seed = options.seed != 0 ? options.seed : ::GetTickCount();
    result.registry = LoadRegistryFigures(options.registryFigures);
    std::mt19937 random(result.seed);
    std::printf("bench: %d steady ticks, %d changes, seed %u\n", ticks, changes, result.seed);

    BenchBed bed(false);
    FakeApp tv;
    if (!bed.OpenOtherWindows() ||
        !tv.Start(testsupport::fakeapps::kTvEnhance, bed_names::kTvClass, bed_names::kTvTitle,
                  WindowState::Normal, Activation::Front)) {
        Progress("the desktop's windows did not come up");
        return kPhaseCouldNotRun;
    }
    MonitorRun monitor;
    BaselineRun baseline;
    if (!monitor.Start() || !baseline.Start()) {
        Progress("the monitor or the baseline did not start");
        return kPhaseCouldNotRun;
    }
    ProcessCpuClock monitorCpu(monitor.Handle(), testsupport::TavrelPath(), "@@@Start");
    ProcessCpuClock baselineCpu(baseline.Handle(), baseline.Path(), baseline.Arguments());
    if (!monitorCpu.Attach(kAttachTimeoutMs) || !baselineCpu.Attach(kAttachTimeoutMs)) {
        std::printf("bench: CPU time not readable: %s\n", monitorCpu.Source().c_str());
        return kPhaseCouldNotRun;
    }
    result.cpuSource = monitorCpu.Source();
    result.processTimesAreCallersOwn =
        RunningUnderWine() && ProcessTimesAreCallersOwn(monitor.Handle());

    Progress("warming up");
    IdleFor(kWarmUpMs);
    const size_t warmUpEvents = bed.Events().Events().size();

    std::printf("bench: steady window of %d ticks\n", ticks);
    result.handlesStart = ReadHandles(monitor.Handle(), monitor.Id());
    result.guiStart = ReadGuiObjects(monitor.Handle(), monitor.Id());
    const CpuReading start = ReadCpu(monitorCpu, baselineCpu, baseline);
    IdleFor(static_cast<DWORD>(ticks * kTickMs));
    const CpuReading end = ReadCpu(monitorCpu, baselineCpu, baseline);
    result.handlesEnd = ReadHandles(monitor.Handle(), monitor.Id());
    result.guiEnd = ReadGuiObjects(monitor.Handle(), monitor.Id());
    result.windowMs = end.at - start.at;
    result.monitorTicks = result.windowMs / static_cast<double>(kTickMs);
    result.baselineTicks = start.baselineTicks >= 0 && end.baselineTicks >= 0
                               ? end.baselineTicks - start.baselineTicks
                               : result.monitorTicks;
    result.monitorMs = Delta(start.monitorMs, end.monitorMs);
    result.baselineMs = Delta(start.baselineMs, end.baselineMs);
    result.monitorCoarseMs = Delta(start.monitorCoarseMs, end.monitorCoarseMs);
    result.baselineCoarseMs = Delta(start.baselineCoarseMs, end.baselineCoarseMs);
    result.serverRunningMsPerS = PerSecond(Delta(start.serverMs, end.serverMs), start.at, end.at);
    result.steadyDriverCalls = CountInWindow(bed.Driver().DriverCalls(), start.at, end.at);
    result.steadyObjectsCreated = ObjectsCreatedIn(bed.Events(), start.at, end.at);
    result.steadyEvents = bed.Events().Events().size() - warmUpEvents;

    std::printf("bench: latency over %d changes\n", changes);
    result.latency = MeasureLatency(tv, bed, changes, random);

    // Wine only: the prefix's wineserver without the monitor's tick, so the
    // work the tick causes there shows; then, still paused, the replay.
    if (result.serverRunningMsPerS && monitor.Window() != nullptr) {
        Progress("monitor paused (wineserver comparison, window search replay)");
        ::SendMessageTimeoutA(monitor.Window(), WM_POWERBROADCAST, PBT_APMSUSPEND, 0,
                              SMTO_ABORTIFHUNG, 2000, nullptr);
        IdleFor(static_cast<DWORD>(kTickMs));
        const CpuReading pausedStart = ReadCpu(monitorCpu, baselineCpu, baseline);
        IdleFor(kPausedMs);
        const CpuReading pausedEnd = ReadCpu(monitorCpu, baselineCpu, baseline);
        result.serverPausedMsPerS = PerSecond(Delta(pausedStart.serverMs, pausedEnd.serverMs),
                                              pausedStart.at, pausedEnd.at);
        result.monitorMsWhilePaused = Delta(pausedStart.monitorMs, pausedEnd.monitorMs);
        result.replay = ReplayWindowSearches(kReplayRounds);
        // The automatic resume sleeps a second inside the monitor before it
        // starts the timer again: posted, not sent.
        ::PostMessageA(monitor.Window(), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
        IdleFor(kResumeSettleMs);
    } else {
        result.replay = ReplayWindowSearches(kReplayRounds);
    }
    result.memory = ReadMemory(monitor.Handle());
    result.monitorAlive = monitor.IsRunning();

    const std::string table = BenchTable(result);
    std::printf("\n%s\n", table.c_str());
    if (!options.jsonPath.empty()) {
        WriteTextFile(options.jsonPath, BenchJson(result));
    }
    return result.Passed() ? kPhasePassed : kPhaseFailed;
}

}  // namespace bench
