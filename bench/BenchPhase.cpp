// The benchmark: the real monitor beside the replay of its tick's platform
// calls (the limit any monitor that makes these calls meets) and the
// baseline timer program, all three ticking at the same time on a realistic
// desktop (the tracked application open and in front, five other windows
// behind). In this order: a steady window for CPU per tick and the per-tick
// counts, the latency run, then (Wine only) the monitor paused for the
// wineserver comparison, and memory of the three at the end.
#include <cstdio>
#include <random>

#include "bench/BenchBed.h"
#include "bench/BenchResult.h"
#include "bench/Latency.h"
#include "bench/LinuxProcess.h"
#include "bench/Phases.h"
#include "bench/PlatformInfo.h"
#include "bench/ProcessCounters.h"
#include "bench/Report.h"
#include "bench/TickCalls.h"
#include "bench/TimerProgramProtocol.h"
#include "tests/support/TestPaths.h"

namespace bench {

namespace {

using testsupport::Activation;
using testsupport::FakeApp;
using testsupport::WindowState;

constexpr int kDefaultTicks = 150;
constexpr int kDefaultChanges = 24;
constexpr int kTicksPerSlice = 10;
constexpr DWORD kPausedMs = 60000;
constexpr DWORD kResumeSettleMs = 3000;
constexpr DWORD kAttachTimeoutMs = 10000;

struct Clocks {
    ProcessCpuClock monitor;
    ProcessCpuClock replay;
    ProcessCpuClock baseline;
};

struct CpuReading {
    DWORD at = 0;
    long replayTicks = -1;
    long baselineTicks = -1;
    std::optional<double> monitorMs;
    std::optional<double> replayMs;
    std::optional<double> baselineMs;
    std::optional<double> monitorCoarseMs;
    std::optional<double> replayCoarseMs;
    std::optional<double> baselineCoarseMs;
    std::optional<double> serverMs;
};

CpuReading ReadCpu(const Clocks& clocks, const TimerProgramRun& replay,
                   const TimerProgramRun& baseline)
{
    CpuReading reading;
    reading.replayTicks = replay.Ticks();
    reading.baselineTicks = baseline.Ticks();
    reading.at = ::GetTickCount();
    reading.monitorMs = clocks.monitor.Milliseconds();
    reading.replayMs = clocks.replay.Milliseconds();
    reading.baselineMs = clocks.baseline.Milliseconds();
    reading.monitorCoarseMs = clocks.monitor.CoarseMilliseconds();
    reading.replayCoarseMs = clocks.replay.CoarseMilliseconds();
    reading.baselineCoarseMs = clocks.baseline.CoarseMilliseconds();
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

double CountedTicks(long from, long to, double fallback)
{
    return from >= 0 && to >= 0 ? static_cast<double>(to - from) : fallback;
}

std::optional<double> PerTickOf(const std::optional<double>& ms, double ticks)
{
    return ms && ticks > 0 ? std::optional<double>(*ms / ticks) : std::nullopt;
}

// One slice of the window: CPU per tick of each program within it.
CpuSlice SliceBetween(const CpuReading& from, const CpuReading& to, DWORD windowStart)
{
    const double ticks = (to.at - from.at) / static_cast<double>(kTickMs);
    CpuSlice slice;
    slice.endS = (to.at - windowStart) / 1000.0;
    slice.monitorMs = PerTickOf(Delta(from.monitorMs, to.monitorMs), ticks);
    slice.replayMs = PerTickOf(Delta(from.replayMs, to.replayMs),
                               CountedTicks(from.replayTicks, to.replayTicks, ticks));
    slice.baselineMs = PerTickOf(Delta(from.baselineMs, to.baselineMs),
                                 CountedTicks(from.baselineTicks, to.baselineTicks, ticks));
    return slice;
}

std::vector<ModuleFigure> OnlyIn(const std::map<std::string, unsigned long long>& these,
                                 const std::map<std::string, unsigned long long>& those)
{
    std::vector<ModuleFigure> only;
    for (const auto& module : these) {
        if (those.count(module.first) == 0) {
            only.push_back({module.first, module.second});
        }
    }
    return only;
}

// The data behind the bench's pictures, next to its JSON (see bench/plots.gp).
void WriteDataFiles(const std::string& jsonPath, const BenchResult& result)
{
    const std::string folder = jsonPath.substr(0, jsonPath.find_last_of('\\') + 1);
    std::string slices = "# end_s monitor_ms replay_ms baseline_ms (CPU per tick in the slice)\n";
    for (const CpuSlice& slice : result.slices) {
        const auto cell = [](const std::optional<double>& value) {
            return value ? Fixed(*value, 4) : std::string("NaN");
        };
        slices += Fixed(slice.endS, 1) + " " + cell(slice.monitorMs) + " " +
                  cell(slice.replayMs) + " " + cell(slice.baselineMs) + "\n";
    }
    WriteTextFile(folder + "bench-cpu.dat", slices);
    std::string latency = "# latency_ms (change of the tracked window -> event recorded)\n";
    for (double value : result.latency.latencies) {
        latency += Fixed(value, 0) + "\n";
    }
    WriteTextFile(folder + "bench-latency.dat", latency);
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
    std::string listError;
    const auto list = tickcalls::ParseList(ReadTextFile(options.tickCalls), &listError);
    if (!list || list->empty()) {
        std::printf("bench: no call list for the replay (%s); the calls phase writes it\n",
                    options.tickCalls.empty() ? "--tick-calls not given" : listError.c_str());
        return kPhaseCouldNotRun;
    }
    result.replayCallsPerTick = list->size();
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
    TimerProgramRun replay("TickReplay", timer_program::kReplayClass);
    TimerProgramRun baseline("BaselineTimer", timer_program::kBaselineClass);
    if (!monitor.Start() || !replay.Start(options.tickCalls) || !baseline.Start()) {
        const auto replayExit = replay.ExitCode();
        std::printf("bench: the monitor, the replay%s or the baseline did not start\n",
                    replayExit ? (" (exit code " + std::to_string(*replayExit) + ")").c_str() : "");
        return kPhaseCouldNotRun;
    }
    Clocks clocks{ProcessCpuClock(monitor.Handle(), testsupport::TavrelPath(), "@@@Start"),
                  ProcessCpuClock(replay.Handle(), replay.Path(), replay.Arguments()),
                  ProcessCpuClock(baseline.Handle(), baseline.Path(), baseline.Arguments())};
    if (!clocks.monitor.Attach(kAttachTimeoutMs) || !clocks.replay.Attach(kAttachTimeoutMs) ||
        !clocks.baseline.Attach(kAttachTimeoutMs)) {
        std::printf("bench: CPU time not readable: monitor %s; replay %s; baseline %s\n",
                    clocks.monitor.Source().c_str(), clocks.replay.Source().c_str(),
                    clocks.baseline.Source().c_str());
        return kPhaseCouldNotRun;
    }
    result.cpuSource = clocks.monitor.Source();
    result.processTimesAreCallersOwn =
        RunningUnderWine() && ProcessTimesAreCallersOwn(monitor.Handle());

    Progress("warming up");
    IdleFor(kWarmUpMs);
    const size_t warmUpEvents = bed.Events().Events().size();

    std::printf("bench: steady window of %d ticks\n", ticks);
    result.handlesStart = ReadHandles(monitor.Handle(), monitor.Id());
    result.guiStart = ReadGuiObjects(monitor.Handle(), monitor.Id());
    const CpuReading start = ReadCpu(clocks, replay, baseline);
    CpuReading previous = start;
    // Read every few ticks for the picture; between readings the driver
    // sleeps, so that it adds nothing to the measurement.
    for (int done = 0; done < ticks;) {
        const int slice = std::min(kTicksPerSlice, ticks - done);
        IdleFor(static_cast<DWORD>(slice * kTickMs));
        done += slice;
        const CpuReading reading = ReadCpu(clocks, replay, baseline);
        result.slices.push_back(SliceBetween(previous, reading, start.at));
        previous = reading;
    }
    const CpuReading end = previous;
    result.handlesEnd = ReadHandles(monitor.Handle(), monitor.Id());
    result.guiEnd = ReadGuiObjects(monitor.Handle(), monitor.Id());
    result.windowMs = end.at - start.at;
    result.monitorTicks = result.windowMs / static_cast<double>(kTickMs);
    result.monitor = {Delta(start.monitorMs, end.monitorMs),
                      Delta(start.monitorCoarseMs, end.monitorCoarseMs), result.monitorTicks};
    result.replay = {Delta(start.replayMs, end.replayMs),
                     Delta(start.replayCoarseMs, end.replayCoarseMs),
                     CountedTicks(start.replayTicks, end.replayTicks, result.monitorTicks)};
    result.baseline = {Delta(start.baselineMs, end.baselineMs),
                       Delta(start.baselineCoarseMs, end.baselineCoarseMs),
                       CountedTicks(start.baselineTicks, end.baselineTicks, result.monitorTicks)};
    result.serverRunningMsPerS = PerSecond(Delta(start.serverMs, end.serverMs), start.at, end.at);
    result.steadyDriverCalls = CountInWindow(bed.Driver().DriverCalls(), start.at, end.at);
    result.steadyObjectsCreated = ObjectsCreatedIn(bed.Events(), start.at, end.at);
    result.steadyEvents = bed.Events().Events().size() - warmUpEvents;
    result.replayMismatches = replay.Ask(timer_program::kMismatchRequest);
    result.replayTicksCounted = replay.Ticks();

    std::printf("bench: latency over %d changes\n", changes);
    result.latency = MeasureLatency(tv, bed, changes, random);

    // Wine only: the prefix's wineserver without the monitor's tick, so the
    // work the tick causes there shows.
    if (result.serverRunningMsPerS && monitor.Window() != nullptr) {
        Progress("monitor paused (wineserver comparison)");
        ::SendMessageTimeoutA(monitor.Window(), WM_POWERBROADCAST, PBT_APMSUSPEND, 0,
                              SMTO_ABORTIFHUNG, 2000, nullptr);
        IdleFor(static_cast<DWORD>(kTickMs));
        const CpuReading pausedStart = ReadCpu(clocks, replay, baseline);
        IdleFor(kPausedMs);
        const CpuReading pausedEnd = ReadCpu(clocks, replay, baseline);
        result.serverPausedMsPerS = PerSecond(Delta(pausedStart.serverMs, pausedEnd.serverMs),
                                              pausedStart.at, pausedEnd.at);
        result.monitorMsWhilePaused = Delta(pausedStart.monitorMs, pausedEnd.monitorMs);
        // The automatic resume sleeps a second inside the monitor before it
        // starts the timer again: posted, not sent.
        ::PostMessageA(monitor.Window(), WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC, 0);
        IdleFor(kResumeSettleMs);
    }
    result.monitorMemory = ReadMemory(monitor.Handle());
    result.baselineMemory = ReadMemory(baseline.Handle());
    result.replayMemory = ReadMemory(replay.Handle());
    result.monitorThreads = CountThreads(monitor.Id());
    result.baselineThreads = CountThreads(baseline.Id());
    result.replayThreads = CountThreads(replay.Id());
    if (clocks.monitor.LinuxPid() && clocks.baseline.LinuxPid()) {
        const auto monitorMaps = LinuxSmaps(*clocks.monitor.LinuxPid());
        const auto baselineMaps = LinuxSmaps(*clocks.baseline.LinuxPid());
        if (monitorMaps && baselineMaps) {
            result.monitorResidentKiB = ResidentKiBByMapping(*monitorMaps);
            result.baselineResidentKiB = ResidentKiBByMapping(*baselineMaps);
        }
    }
    result.monitorOnlyModules = OnlyIn(ListModules(monitor.Handle()), ListModules(baseline.Handle()));
    result.monitorAlive = monitor.IsRunning();

    const std::string table = BenchTable(result);
    std::printf("\n%s\n", table.c_str());
    if (!options.jsonPath.empty()) {
        WriteJsonFile(options.jsonPath, BenchJson(result));
        WriteDataFiles(options.jsonPath, result);
    }
    return result.Passed() ? kPhasePassed : kPhaseFailed;
}

}  // namespace bench
