#include "bench/BenchResult.h"

#include "bench/Report.h"

namespace bench {

namespace {

std::string Ms(const std::optional<double>& value, int decimals = 3)
{
    return value ? Fixed(*value, decimals) + " ms" : "n/a";
}

std::string MiB(unsigned long long bytes) { return Fixed(bytes / 1048576.0, 2) + " MiB"; }

void Optional(JsonWriter& json, const char* key, const std::optional<double>& value)
{
    if (value) {
        json.Number(key, *value);
    } else {
        json.Null(key);
    }
}

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

void SpreadJson(JsonWriter& json, const char* key, const Spread& spread)
{
    json.BeginObject(key);
    json.Integer("count", static_cast<long long>(spread.count));
    json.Number("median", spread.median).Number("min", spread.min);
    json.Number("max", spread.max).Number("mean", spread.mean);
    json.EndObject();
}

}  // namespace

std::optional<double> BenchResult::MonitorPerTick() const
{
    return monitorMs ? std::optional<double>(PerTick(*monitorMs, monitorTicks)) : std::nullopt;
}

std::optional<double> BenchResult::BaselinePerTick() const
{
    return baselineMs ? std::optional<double>(PerTick(*baselineMs, baselineTicks)) : std::nullopt;
}

std::optional<double> BenchResult::OwnCostPerTick() const
{
    const auto monitor = MonitorPerTick();
    const auto baseline = BaselinePerTick();
    return monitor && baseline ? std::optional<double>(*monitor - *baseline) : std::nullopt;
}

std::optional<double> BenchResult::Ratio() const
{
    const auto monitor = MonitorPerTick();
    const auto baseline = BaselinePerTick();
    return monitor && baseline && *baseline > 0 ? std::optional<double>(*monitor / *baseline)
                                                : std::nullopt;
}

std::optional<double> BenchResult::ServerCausedPerTick() const
{
    // One tick a second: the difference per second is the cost per tick.
    return serverRunningMsPerS && serverPausedMsPerS
               ? std::optional<double>(*serverRunningMsPerS - *serverPausedMsPerS)
               : std::nullopt;
}

bool BenchResult::CostMet() const
{
    const auto cost = OwnCostPerTick();
    return cost && *cost < kTickCostTargetMs;
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
                  " ticks (the baseline counted " + Fixed(r.baselineTicks, 0) + ")");
    table.Row("monitor", Ms(r.MonitorPerTick()), "total " + Ms(r.monitorMs, 1));
    table.Row("baseline (1000 ms timer only)", Ms(r.BaselinePerTick()),
              "total " + Ms(r.baselineMs, 1));
    table.Row("ratio monitor / baseline", r.Ratio() ? Fixed(*r.Ratio(), 1) : "n/a");
    table.Row("tick's own cost (monitor - baseline)", Ms(r.OwnCostPerTick()),
              std::string("target < 1 ms: ") + (r.CostMet() ? "met" : "NOT MET"));
    if (r.replay.rounds > 0) {
        table.Row("  of it: the tick's window searches", Ms(r.replay.cpuMsPerRound),
                  std::to_string(r.replay.searches) + " FindWindowA, replayed " +
                      std::to_string(r.replay.rounds) + " times by the driver");
        table.Row("  of it: the title searches alone", Ms(r.replay.titleCpuMsPerRound),
                  std::to_string(r.replay.titleSearches) +
                      " searches that compare every window's title");
    }
    if (r.ServerCausedPerTick()) {
        table.Row("wineserver work caused per tick", Ms(r.ServerCausedPerTick()),
                  Ms(r.serverRunningMsPerS) + "/s ticking, " + Ms(r.serverPausedMsPerS) +
                      "/s paused (all processes of the prefix)");
    }
    table.Row("source", "", r.cpuSource);
    if (r.processTimesAreCallersOwn) {
        table.Row("GetProcessTimes(monitor)", "unusable", "answered the driver's own times (Wine)");
    }
    table.Section("Memory of the monitor, at the end");
    table.Row("peak working set", r.memory ? MiB(r.memory->peakWorkingSet) : "n/a",
              r.memory ? std::to_string(r.memory->peakWorkingSet) + " bytes" : "");
    table.Row("private bytes", r.memory ? MiB(r.memory->privateBytes) : "n/a",
              r.memory ? std::to_string(r.memory->privateBytes) + " bytes, from " +
                             r.memory->privateSource
                       : "");
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
              std::string("cost ") + (r.CostMet() ? "met" : "not met") + ", latency run " +
                  (r.LatencyComplete() ? "complete" : "incomplete") + ", steady state " +
                  (r.SteadyClean() ? "unchanged" : "CHANGED") + ", monitor " +
                  (r.monitorAlive ? "alive" : "GONE"));
    return table.Text();
}

std::string BenchJson(const BenchResult& r)
{
    JsonWriter json;
    json.BeginObject();
    json.String("platform", r.platform).Integer("seed", r.seed);
    json.BeginObject("cpu_per_tick");
    json.String("source", r.cpuSource);
    json.Bool("get_process_times_answers_callers_own", r.processTimesAreCallersOwn);
    json.Number("window_ms", r.windowMs).Number("monitor_ticks", r.monitorTicks);
    json.Number("baseline_ticks_counted", r.baselineTicks);
    Optional(json, "monitor_total_ms", r.monitorMs);
    Optional(json, "baseline_total_ms", r.baselineMs);
    Optional(json, "monitor_coarse_total_ms", r.monitorCoarseMs);
    Optional(json, "baseline_coarse_total_ms", r.baselineCoarseMs);
    Optional(json, "monitor_ms", r.MonitorPerTick());
    Optional(json, "baseline_ms", r.BaselinePerTick());
    Optional(json, "ratio", r.Ratio());
    Optional(json, "tick_own_cost_ms", r.OwnCostPerTick());
    json.Number("target_ms", kTickCostTargetMs).Bool("target_met", r.CostMet());
    json.BeginObject("window_search_replay");
    json.Integer("rounds", r.replay.rounds);
    json.Integer("searches", static_cast<long long>(r.replay.searches));
    json.Integer("title_searches", static_cast<long long>(r.replay.titleSearches));
    json.Number("cpu_ms", r.replay.cpuMsPerRound).Number("wall_ms", r.replay.wallMsPerRound);
    json.Number("title_cpu_ms", r.replay.titleCpuMsPerRound);
    json.EndObject();
    json.BeginObject("wineserver");
    Optional(json, "running_ms_per_s", r.serverRunningMsPerS);
    Optional(json, "paused_ms_per_s", r.serverPausedMsPerS);
    Optional(json, "caused_per_tick_ms", r.ServerCausedPerTick());
    Optional(json, "monitor_ms_while_paused", r.monitorMsWhilePaused);
    json.EndObject();
    json.EndObject();

    json.BeginObject("memory");
    if (r.memory) {
        json.Integer("peak_working_set_bytes", static_cast<long long>(r.memory->peakWorkingSet));
        json.Integer("private_bytes", static_cast<long long>(r.memory->privateBytes));
        json.String("private_source", r.memory->privateSource);
    }
    json.EndObject();

    const Spread latency = SpreadOf(r.latency.latencies);
    const Spread phases = SpreadOf(r.latency.phases);
    json.BeginObject("latency_ms");
    json.Integer("changes", r.latency.changes);
    json.Integer("measured", static_cast<long long>(latency.count));
    json.Number("median", latency.median).Number("max", latency.max);
    json.Number("min", latency.min).Number("mean", latency.mean);
    json.Number("phase_min", phases.min).Number("phase_max", phases.max);
    json.Integer("missed", static_cast<long long>(r.latency.missed));
    json.Integer("wrong_values", static_cast<long long>(r.latency.wrongValues));
    json.Integer("extra_events", static_cast<long long>(r.latency.extraEvents));
    json.BeginArray("samples");
    for (double value : r.latency.latencies) {
        json.Number(nullptr, value);
    }
    json.EndArray();
    json.EndObject();

    json.BeginObject("per_tick_steady");
    if (r.registry) {
        json.BeginObject("registry_opens");
        json.Integer("ticks", static_cast<long long>(r.registry->steadyTicks));
        SpreadJson(json, "per_tick", r.registry->perTick);
        json.BeginObject("by_key");
        for (const auto& key : r.registry->perKey) {
            json.Number(key.first.c_str(), key.second);
        }
        json.EndObject();
        json.Integer("trace_check_seen", static_cast<long long>(r.registry->checkSeen));
        json.Integer("trace_check_made", static_cast<long long>(r.registry->checkMade));
        json.EndObject();
    } else {
        json.Null("registry_opens");
    }
    json.Number("driver_calls", PerTick(r.steadyDriverCalls, r.monitorTicks));
    json.Number("com_objects_created", PerTick(r.steadyObjectsCreated, r.monitorTicks));
    json.Integer("events", static_cast<long long>(r.steadyEvents));
    json.Integer("handles_start", static_cast<long long>(r.handlesStart.Count()));
    json.Integer("handles_end", static_cast<long long>(r.handlesEnd.Count()));
    json.Integer("keys_start", static_cast<long long>(Keys(r.handlesStart)));
    json.Integer("keys_end", static_cast<long long>(Keys(r.handlesEnd)));
    json.Integer("gdi_start", static_cast<long long>(r.guiStart.gdiObjects));
    json.Integer("gdi_end", static_cast<long long>(r.guiEnd.gdiObjects));
    json.Integer("user_start", static_cast<long long>(r.guiStart.userObjects));
    json.Integer("user_end", static_cast<long long>(r.guiEnd.userObjects));
    json.String("handle_source", HandleSource(r.handlesStart));
    json.String("gdi_source", r.guiStart.gdiSource).String("user_source", r.guiStart.userSource);
    json.EndObject();

    const double reported = static_cast<double>(latency.count);
    json.BeginObject("per_reported_change");
    json.Number("driver_calls", PerTick(r.latency.driverCalls, reported));
    json.Number("com_objects_created", PerTick(r.latency.objectsCreated, reported));
    if (r.registry) {
        SpreadJson(json, "registry_opens", r.registry->perReportTick);
    }
    json.EndObject();
    json.Bool("monitor_alive_at_end", r.monitorAlive);
    json.Bool("passed", r.Passed());
    json.EndObject();
    return json.Text() + "\n";
}

}  // namespace bench
