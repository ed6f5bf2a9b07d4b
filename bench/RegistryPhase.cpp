// Registry opens per tick, counted in Wine's registry trace. The stand-ins
// do not see registry calls, so this phase runs under
// WINEDEBUG=+pid,trace+reg with its stderr going to a file: every process
// it starts inherits both, and every key open of any API shows up as one
// NtOpenKeyEx or NtCreateKey line headed by the process id. Before relying
// on that, the phase opens a key of its own a known number of times and
// checks that exactly as many lines appear.
//
// The figures go to a small "name value" file that the bench phase puts
// into its table; the tracing slows every call, so no time is measured
// here.
#include <algorithm>
#include <cstdio>

#include "bench/BenchBed.h"
#include "bench/BenchFigures.h"
#include "bench/Phases.h"
#include "bench/RegistryFigures.h"
#include "bench/Report.h"
#include "bench/TraceFile.h"
#include "common/UniqueResource.h"
#include "tests/support/SystemNames.h"

namespace bench {

namespace {

using testsupport::Activation;
using testsupport::FakeApp;
using testsupport::WindowState;

constexpr int kDefaultTicks = 30;
constexpr int kChanges = 6;
constexpr DWORD kChangeSpacingMs = 2000;
constexpr int kCheckOpens = 5;
constexpr const char* kCheckKey = "Software\\TavrelBench\\TraceCheck";
constexpr const char* kCheckRoot = "Software\\TavrelBench";
// The stand-ins read their own settings inside the monitor's process.
constexpr const char* kStandInSettings = "Software\\TavrelStandIns";
// Creating the event-service object looks its class up: a tick with that
// key is a tick with a report.
constexpr const char* kServiceClassId = "{301AB3CF-48BA-4234-9D63-3378BE356C6C}";

// Opens the check key the given number of times; answers how many lines
// for it the trace gained from this process.
size_t CheckTraceCounting(const TraceFile& trace)
{
    testsupport::SetDword(HKEY_CURRENT_USER, kCheckKey, "Check", 1);
    const unsigned long long from = trace.End();
    for (int open = 0; open < kCheckOpens; ++open) {
        tavrel::UniqueHkey key;
        ::RegOpenKeyExA(HKEY_CURRENT_USER, kCheckKey, 0, KEY_READ, key.put());
    }
    const size_t counted =
        CountOpensOfKey(trace.Read(from, trace.End()), ::GetCurrentProcessId(), kCheckKey);
    testsupport::DeleteTree(HKEY_CURRENT_USER, kCheckRoot);
    return counted;
}

std::vector<double> Marked(const RegistryOpenCount& count, bool marked)
{
    std::vector<double> values;
    for (size_t tick = 0; tick < count.opensPerTick.size(); ++tick) {
        if (count.marked[tick] == marked) {
            values.push_back(count.opensPerTick[tick]);
        }
    }
    return values;
}

}  // namespace

int RunRegistryPhase(const PhaseOptions& options)
{
    if (options.tracePath.empty() || options.registryFigures.empty()) {
        std::printf("registry: needs the trace file and the figures file\n");
        return kPhaseCouldNotRun;
    }
    const int ticks = options.ticks > 0 ? options.ticks : kDefaultTicks;
    const TraceFile trace(options.tracePath);

    BenchBed bed(false);
    FakeApp tv;
    MonitorRun monitor;
    if (!bed.OpenOtherWindows() ||
        !tv.Start(testsupport::fakeapps::kTvEnhance, bed_names::kTvClass, bed_names::kTvTitle,
                  WindowState::Normal, Activation::Front) ||
        !monitor.Start()) {
        std::printf("registry: the desktop or the monitor did not come up\n");
        return kPhaseCouldNotRun;
    }
    IdleFor(kWarmUpMs);

    const size_t checkOpens = CheckTraceCounting(trace);
    if (checkOpens != static_cast<size_t>(kCheckOpens)) {
        std::printf("registry: the trace showed %zu of %d key opens; not counting\n", checkOpens,
                    kCheckOpens);
        return kPhaseCouldNotRun;
    }

    std::printf("registry: counting over %d steady ticks\n", ticks);
    std::fflush(stdout);
    const unsigned long long steadyFrom = trace.End();
    IdleFor(ticks * kTickMs + kTickMs / 2);
    const RegistryOpenCount steady =
        CountRegistryOpens(trace.Read(steadyFrom, trace.End()), monitor.Id(),
                           testsupport::names::kUninstallKey);

    std::printf("registry: counting over %d changes\n", kChanges);
    std::fflush(stdout);
    const unsigned long long changesFrom = trace.End();
    for (int change = 0; change < kChanges; ++change) {
        tv.SetState(change % 2 == 0 ? WindowState::ScreenPopup : WindowState::Normal);
        IdleFor(kChangeSpacingMs);
    }
    const RegistryOpenCount changes =
        CountRegistryOpens(trace.Read(changesFrom, trace.End()), monitor.Id(),
                           testsupport::names::kUninstallKey, kStandInSettings, kServiceClassId);

    RegistryFigures figures;
    figures.steadyTicks = steady.ticks;
    figures.perTick = SpreadOf(steady.opensPerTick);
    figures.perReportTick = SpreadOf(Marked(changes, true));
    figures.checkSeen = checkOpens;
    figures.checkMade = kCheckOpens;
    for (const auto& key : steady.opensByKey) {
        figures.perKey.emplace_back(key.first.empty() ? "(root)" : key.first,
                                    PerTick(static_cast<double>(key.second), steady.ticks));
    }
    if (!WriteTextFile(options.registryFigures, FormatRegistryFigures(figures))) {
        std::printf("registry: cannot write %s\n", options.registryFigures.c_str());
        return kPhaseCouldNotRun;
    }
    // Steady ticks must all look alike: every one opens the same keys.
    const bool complete = steady.ticks + 2 >= static_cast<size_t>(ticks) &&
                          figures.perTick.min == figures.perTick.max;

    Table table("Registry opens of the monitor (Wine registry trace)");
    table.Row("trace check", std::to_string(checkOpens) + " of " + std::to_string(kCheckOpens),
              "own RegOpenKeyExA calls seen as NtOpenKeyEx lines");
    table.Row("steady ticks counted", std::to_string(steady.ticks));
    table.Row("opens per steady tick", Fixed(figures.perTick.median, 0),
              "min " + Fixed(figures.perTick.min, 0) + ", max " + Fixed(figures.perTick.max, 0));
    for (const auto& key : figures.perKey) {
        table.Row("  by key", Fixed(key.second, 2), key.first);
    }
    table.Row("opens per tick with a report", Fixed(figures.perReportTick.median, 0),
              "max " + Fixed(figures.perReportTick.max, 0) + " over " +
                  std::to_string(figures.perReportTick.count) +
                  " ticks; the stand-ins' own reads left out");
    table.Row("verdict", complete ? "PASS" : "FAIL", "every steady tick opens the same keys");
    std::printf("\n%s\n", table.Text().c_str());

    Json byKey = Json::object();
    for (const auto& key : figures.perKey) {
        byKey[key.first] = key.second;
    }
    Json json;
    json["source"] = "WINEDEBUG=+pid,trace+reg: NtOpenKeyEx and NtCreateKey calls of the monitor";
    json["check_opens_seen"] = checkOpens;
    json["check_opens_made"] = kCheckOpens;
    json["steady_ticks"] = steady.ticks;
    json["opens_per_tick_median"] = figures.perTick.median;
    json["opens_per_tick_min"] = figures.perTick.min;
    json["opens_per_tick_max"] = figures.perTick.max;
    json["opens_per_tick_by_key"] = byKey;
    json["report_ticks"] = figures.perReportTick.count;
    json["report_tick_opens_median"] = figures.perReportTick.median;
    json["report_tick_opens_max"] = figures.perReportTick.max;
    json["passed"] = complete;
    if (!options.jsonPath.empty()) {
        WriteJsonFile(options.jsonPath, json);
    }
    return complete ? kPhasePassed : kPhaseFailed;
}

}  // namespace bench
