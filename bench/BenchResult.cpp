#include "bench/BenchResult.h"

#include <algorithm>

#include "bench/Report.h"

namespace bench {

namespace {

constexpr long long kShownResidentKiB = 64;

std::string Ms(const std::optional<double>& value, int decimals = 3)
{
    return value ? Fixed(*value, decimals) + " ms" : "n/a";
}

std::string MiB(unsigned long long bytes) { return Fixed(bytes / 1048576.0, 2) + " MiB"; }

size_t Keys(const HandleFigures& figures)
{
    const auto found = figures.byType.find("Key");
    return found == figures.byType.end() ? 0 : found->second;
}

std::string HandleSource(const HandleFigures& figures)
{
    return figures.reportedCount != 0 ? "GetProcessHandleCount"
                                      : "system handle list (GetProcessHandleCount answered 0)";
}

Json SpreadJson(const Spread& spread)
{
    return Json{{"count", spread.count}, {"median", spread.median}, {"min", spread.min},
                {"max", spread.max}, {"mean", spread.mean}};
}

std::string MemoryCell(const std::optional<MemoryFigures>& memory,
                       unsigned long long MemoryFigures::*field)
{
    return memory ? MiB((*memory).*field) : "n/a";
}

Json MemoryJson(const std::optional<MemoryFigures>& memory)
{
    if (!memory) {
        return Json();
    }
    return Json{{"private_bytes", memory->privateBytes},
                {"working_set_bytes", memory->workingSet},
                {"peak_working_set_bytes", memory->peakWorkingSet},
                {"private_source", memory->privateSource}};
}

std::optional<double> Ratio(const std::optional<double>& a, const std::optional<double>& b)
{
    return a && b && *b > 0 ? std::optional<double>(*a / *b) : std::nullopt;
}

}  // namespace

std::optional<double> ProgramCpu::PerTick() const
{
    return ms ? std::optional<double>(bench::PerTick(*ms, ticks)) : std::nullopt;
}

std::optional<double> BenchResult::RatioToReplay() const
{
    return Ratio(monitor.PerTick(), replay.PerTick());
}

std::optional<double> BenchResult::DifferenceToReplayUs() const
{
    const auto m = monitor.PerTick();
    const auto r = replay.PerTick();
    return m && r ? std::optional<double>((*m - *r) * 1000) : std::nullopt;
}

std::optional<double> BenchResult::RatioToBaseline() const
{
    return Ratio(monitor.PerTick(), baseline.PerTick());
}

std::optional<double> BenchResult::ServerCausedPerTick() const
{
    // One tick a second: the difference per second is the cost per tick.
    return serverRunningMsPerS && serverPausedMsPerS
               ? std::optional<double>(*serverRunningMsPerS - *serverPausedMsPerS)
               : std::nullopt;
}

bool BenchResult::RatioMet() const
{
    const auto ratio = RatioToReplay();
    return ratio && *ratio <= kReplayRatioTarget;
}

bool BenchResult::ReplayFaithful() const
{
    // It ticked through the window, and every call came back as the
    // monitor's did.
    return replayCallsPerTick > 0 && replayMismatches == 0 && replay.ticks >= monitorTicks - 2;
}

std::vector<std::pair<std::string, long long>> ResidentDifference(
    const std::map<std::string, unsigned long long>& monitor,
    const std::map<std::string, unsigned long long>& baseline, long long minimumKiB)
{
    std::vector<std::pair<std::string, long long>> difference;
    for (const auto& mapping : monitor) {
        const auto other = baseline.find(mapping.first);
        const long long more = static_cast<long long>(mapping.second) -
                               (other == baseline.end() ? 0LL : static_cast<long long>(other->second));
        if (more >= minimumKiB) {
            difference.emplace_back(mapping.first, more);
        }
    }
    std::sort(difference.begin(), difference.end(),
              [](const auto& a, const auto& b) { return a.second > b.second; });
    return difference;
}

bool WithinAllowance(const MemoryFigures& a, const MemoryFigures& b)
{
    return a.privateBytes <= b.privateBytes + kMemoryAllowanceBytes &&
           a.workingSet <= b.workingSet + kMemoryAllowanceBytes;
}

bool BenchResult::MemoryMet() const
{
    return monitorMemory && baselineMemory && WithinAllowance(*monitorMemory, *baselineMemory);
}

bool BenchResult::LatencyComplete() const
{
    return latency.latencies.size() >= static_cast<size_t>(kMinimumChanges) &&
           latency.wrongValues == 0 && latency.extraEvents == 0;
}

bool BenchResult::SteadyClean() const
{
    return handlesEnd.Count() == handlesStart.Count() && steadyDriverCalls == 0 &&
           steadyObjectsCreated == 0 && steadyEvents == 0;
}

std::string BenchTable(const BenchResult& r)
{
    Table table("Tavrel.exe benchmark (" + r.platform + ")");
    table.Section("CPU per tick, steady window of " + Fixed(r.monitorTicks, 1) +
                  " ticks, the three programs side by side");
    table.Row("monitor", Ms(r.monitor.PerTick()), "total " + Ms(r.monitor.ms, 1));
    table.Row("replay of its tick's platform calls", Ms(r.replay.PerTick()),
              "total " + Ms(r.replay.ms, 1) + ", " + std::to_string(r.replayCallsPerTick) +
                  " calls a tick, " + Fixed(r.replay.ticks, 0) + " ticks counted");
    table.Row("baseline (1000 ms timer only)", Ms(r.baseline.PerTick()),
              "total " + Ms(r.baseline.ms, 1) + ", " + Fixed(r.baseline.ticks, 0) +
                  " ticks counted");
    table.Row("ratio monitor / replay", r.RatioToReplay() ? Fixed(*r.RatioToReplay(), 3) : "n/a",
              "target <= " + Fixed(kReplayRatioTarget, 2) + ": " + (r.RatioMet() ? "met" : "NOT MET"));
    table.Row("difference monitor - replay",
              r.DifferenceToReplayUs() ? Fixed(*r.DifferenceToReplayUs(), 0) + " us" : "n/a",
              "the monitor's own logic per tick");
    table.Row("ratio monitor / baseline", r.RatioToBaseline() ? Fixed(*r.RatioToBaseline(), 1) : "n/a",
              "what the platform's calls cost beside an empty timer");
    table.Row("replay results unlike the monitor's",
              r.replayMismatches >= 0 ? std::to_string(r.replayMismatches) : "no answer",
              r.ReplayFaithful() ? "faithful" : "NOT FAITHFUL");
    if (r.ServerCausedPerTick()) {
        table.Row("wineserver work caused per monitor tick", Ms(r.ServerCausedPerTick()),
                  Ms(r.serverRunningMsPerS) + "/s ticking, " + Ms(r.serverPausedMsPerS) +
                      "/s monitor paused (all processes of the prefix)");
    }
    table.Row("source", "", r.cpuSource);
    if (r.processTimesAreCallersOwn) {
        table.Row("GetProcessTimes(monitor)", "unusable", "answered the driver's own times (Wine)");
    }
    table.Section("Memory at the end: monitor / baseline / replay");
    const auto row = [&](const char* name, unsigned long long MemoryFigures::*field) {
        table.Row(name, MemoryCell(r.monitorMemory, field),
                  "baseline " + MemoryCell(r.baselineMemory, field) + ", replay " +
                      MemoryCell(r.replayMemory, field));
    };
    row("private bytes", &MemoryFigures::privateBytes);
    row("working set", &MemoryFigures::workingSet);
    row("peak working set", &MemoryFigures::peakWorkingSet);
    table.Row("threads", std::to_string(r.monitorThreads),
              "baseline " + std::to_string(r.baselineThreads) + ", replay " +
                  std::to_string(r.replayThreads));
    table.Row("monitor <= baseline + 1 MiB", r.MemoryMet() ? "met" : "NOT MET",
              "private bytes and working set; private bytes from " +
                  (r.monitorMemory ? r.monitorMemory->privateSource : std::string("n/a")));
    unsigned long long extraImages = 0;
    for (const ModuleFigure& module : r.monitorOnlyModules) {
        extraImages += module.imageBytes;
    }
    if (!r.monitorOnlyModules.empty()) {
        table.Row("modules only the monitor loads", std::to_string(r.monitorOnlyModules.size()),
                  MiB(extraImages) + " of images");
        for (const ModuleFigure& module : r.monitorOnlyModules) {
            table.Row("  " + module.name, MiB(module.imageBytes));
        }
    }
    if (!r.monitorResidentKiB.empty()) {
        table.Row("resident beyond the baseline", "", "by mapping, Linux smaps; at least 64 KiB more");
        for (const auto& mapping :
             ResidentDifference(r.monitorResidentKiB, r.baselineResidentKiB, kShownResidentKiB)) {
            table.Row("  " + mapping.first, std::to_string(mapping.second) + " KiB");
        }
    }
    const Spread latency = SpreadOf(r.latency.latencies);
    const Spread phases = SpreadOf(r.latency.phases);
    table.Section("Latency: change of the tracked window -> event recorded by the service stand-in");
    table.Row("changes measured", std::to_string(latency.count) + " of " +
                                      std::to_string(r.latency.changes),
              "made " + Fixed(phases.min, 0) + ".." + Fixed(phases.max, 0) + " ms after a tick");
    table.Row("median", Fixed(latency.median, 0) + " ms");
    table.Row("maximum", Fixed(latency.max, 0) + " ms");
    table.Row("wrong values / extra events", std::to_string(r.latency.wrongValues) + " / " +
                                                  std::to_string(r.latency.extraEvents));
    table.Section("Per tick in steady state");
    if (r.registry) {
        const RegistryFigures& registry = *r.registry;
        table.Row("registry opens", Fixed(registry.perTick.median, 0),
                  "min " + Fixed(registry.perTick.min, 0) + ", max " +
                      Fixed(registry.perTick.max, 0) + " over " +
                      std::to_string(registry.steadyTicks) + " ticks of a traced run");
        for (const auto& key : registry.perKey) {
            table.Row("  by key", Fixed(key.second, 2), key.first);
        }
    } else {
        table.Row("registry opens", "n/a", "the registry phase has not run");
    }
    table.Row("driver calls", Fixed(PerTick(r.steadyDriverCalls, r.monitorTicks), 3),
              std::to_string(r.steadyDriverCalls) + " in the window");
    table.Row("COM objects created", Fixed(PerTick(r.steadyObjectsCreated, r.monitorTicks), 3),
              std::to_string(r.steadyObjectsCreated) + " in the window");
    table.Row("handles, start / end", std::to_string(r.handlesStart.Count()) + " / " +
                                          std::to_string(r.handlesEnd.Count()),
              "of them keys " + std::to_string(Keys(r.handlesStart)) + " / " +
                  std::to_string(Keys(r.handlesEnd)) + "; " + HandleSource(r.handlesStart));
    table.Row("GDI objects, start / end", std::to_string(r.guiStart.gdiObjects) + " / " +
                                              std::to_string(r.guiEnd.gdiObjects),
              r.guiStart.gdiSource);
    table.Row("USER objects, start / end", std::to_string(r.guiStart.userObjects) + " / " +
                                               std::to_string(r.guiEnd.userObjects),
              r.guiStart.userSource);
    const double reported = static_cast<double>(latency.count);
    table.Section("Per reported change (latency run)");
    table.Row("driver calls", Fixed(PerTick(r.latency.driverCalls, reported), 2));
    table.Row("COM objects created", Fixed(PerTick(r.latency.objectsCreated, reported), 2));
    if (r.registry) {
        table.Row("registry opens in the tick", Fixed(r.registry->perReportTick.median, 0),
                  "median of " + std::to_string(r.registry->perReportTick.count) +
                      " ticks; the stand-ins' own reads left out");
    }
    table.Section("Verdict");
    table.Row("targets and checks", r.Passed() ? "PASS" : "FAIL",
              std::string("ratio ") + (r.RatioMet() ? "met" : "NOT MET") + ", replay " +
                  (r.ReplayFaithful() ? "faithful" : "NOT FAITHFUL") + ", memory " +
                  (r.MemoryMet() ? "met" : "NOT MET") + ", latency run " +
                  (r.LatencyComplete() ? "complete" : "incomplete") + ", steady state " +
                  (r.SteadyClean() ? "unchanged" : "CHANGED") + ", monitor " +
                  (r.monitorAlive ? "alive" : "GONE"));
    return table.Text();
}

Json BenchJson(const BenchResult& r)
{
    const auto cpu = [](const ProgramCpu& program) {
        return Json{{"total_ms", OrNull(program.ms)},
                    {"coarse_total_ms", OrNull(program.coarseMs)},
                    {"ticks", program.ticks},
                    {"per_tick_ms", OrNull(program.PerTick())}};
    };
    Json slices = Json::array();
    for (const CpuSlice& slice : r.slices) {
        slices.push_back(Json{{"end_s", slice.endS},
                              {"monitor_ms", OrNull(slice.monitorMs)},
                              {"replay_ms", OrNull(slice.replayMs)},
                              {"baseline_ms", OrNull(slice.baselineMs)}});
    }
    Json modules = Json::array();
    for (const ModuleFigure& module : r.monitorOnlyModules) {
        modules.push_back(Json{{"name", module.name}, {"image_bytes", module.imageBytes}});
    }
    const Spread latency = SpreadOf(r.latency.latencies);
    const Spread phases = SpreadOf(r.latency.phases);
    const double reported = static_cast<double>(latency.count);

    Json json;
    json["platform"] = r.platform;
    json["seed"] = r.seed;
    json["cpu_per_tick"] = Json{
        {"source", r.cpuSource},
        {"get_process_times_answers_callers_own", r.processTimesAreCallersOwn},
        {"window_ms", r.windowMs},
        {"monitor_ticks", r.monitorTicks},
        {"monitor", cpu(r.monitor)},
        {"replay", cpu(r.replay)},
        {"baseline", cpu(r.baseline)},
        {"ratio_monitor_to_replay", OrNull(r.RatioToReplay())},
        {"difference_monitor_minus_replay_us", OrNull(r.DifferenceToReplayUs())},
        {"ratio_monitor_to_baseline", OrNull(r.RatioToBaseline())},
        {"ratio_target", kReplayRatioTarget},
        {"ratio_met", r.RatioMet()},
        {"replay_calls_per_tick", r.replayCallsPerTick},
        {"replay_result_mismatches", r.replayMismatches},
        {"replay_faithful", r.ReplayFaithful()},
        {"slices", slices},
        {"wineserver",
         Json{{"running_ms_per_s", OrNull(r.serverRunningMsPerS)},
              {"paused_ms_per_s", OrNull(r.serverPausedMsPerS)},
              {"caused_per_tick_ms", OrNull(r.ServerCausedPerTick())},
              {"monitor_ms_while_paused", OrNull(r.monitorMsWhilePaused)}}},
    };
    Json resident = Json::object();
    for (const auto& mapping : ResidentDifference(r.monitorResidentKiB, r.baselineResidentKiB, 1)) {
        resident[mapping.first] = mapping.second;
    }
    json["memory"] = Json{{"monitor", MemoryJson(r.monitorMemory)},
                          {"baseline", MemoryJson(r.baselineMemory)},
                          {"replay", MemoryJson(r.replayMemory)},
                          {"threads",
                           Json{{"monitor", r.monitorThreads},
                                {"baseline", r.baselineThreads},
                                {"replay", r.replayThreads}}},
                          {"allowance_bytes", kMemoryAllowanceBytes},
                          {"target_met", r.MemoryMet()},
                          {"monitor_only_modules", modules},
                          {"resident_kib_beyond_baseline_by_mapping", resident}};
    Json samples = r.latency.latencies;
    json["latency_ms"] = Json{{"changes", r.latency.changes},
                              {"measured", latency.count},
                              {"median", latency.median},
                              {"max", latency.max},
                              {"min", latency.min},
                              {"mean", latency.mean},
                              {"phase_min", phases.min},
                              {"phase_max", phases.max},
                              {"missed", r.latency.missed},
                              {"wrong_values", r.latency.wrongValues},
                              {"extra_events", r.latency.extraEvents},
                              {"samples", samples}};
    Json steady;
    if (r.registry) {
        Json byKey = Json::object();
        for (const auto& key : r.registry->perKey) {
            byKey[key.first] = key.second;
        }
        steady["registry_opens"] = Json{{"ticks", r.registry->steadyTicks},
                                        {"per_tick", SpreadJson(r.registry->perTick)},
                                        {"by_key", byKey},
                                        {"trace_check_seen", r.registry->checkSeen},
                                        {"trace_check_made", r.registry->checkMade}};
    } else {
        steady["registry_opens"] = nullptr;
    }
    steady["driver_calls"] = PerTick(r.steadyDriverCalls, r.monitorTicks);
    steady["com_objects_created"] = PerTick(r.steadyObjectsCreated, r.monitorTicks);
    steady["events"] = r.steadyEvents;
    steady["handles_start"] = r.handlesStart.Count();
    steady["handles_end"] = r.handlesEnd.Count();
    steady["keys_start"] = Keys(r.handlesStart);
    steady["keys_end"] = Keys(r.handlesEnd);
    steady["gdi_start"] = r.guiStart.gdiObjects;
    steady["gdi_end"] = r.guiEnd.gdiObjects;
    steady["user_start"] = r.guiStart.userObjects;
    steady["user_end"] = r.guiEnd.userObjects;
    steady["handle_source"] = HandleSource(r.handlesStart);
    steady["gdi_source"] = r.guiStart.gdiSource;
    steady["user_source"] = r.guiStart.userSource;
    json["per_tick_steady"] = steady;
    Json perChange;
    perChange["driver_calls"] = PerTick(r.latency.driverCalls, reported);
    perChange["com_objects_created"] = PerTick(r.latency.objectsCreated, reported);
    if (r.registry) {
        perChange["registry_opens"] = SpreadJson(r.registry->perReportTick);
    }
    json["per_reported_change"] = perChange;
    json["monitor_alive_at_end"] = r.monitorAlive;
    json["passed"] = r.Passed();
    return json;
}

}  // namespace bench
