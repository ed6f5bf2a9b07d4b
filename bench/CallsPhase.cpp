// The calls of a steady tick, learnt from the monitor itself: the monitor
// runs on the bench's desktop under Wine's relay trace (set for it alone),
// and the calls its own image makes from one start of a tick to the next
// become the call list the replay program makes every tick in the bench
// phase. Then the replay runs under the same trace, and each of its ticks
// must make exactly the listed calls with the monitor's results; with the
// registry phase's figures at hand, the list's key opens must also agree
// with the opens Wine's registry trace counted for the monitor. So a change
// of the monitor's calls changes the list, and a list the replay cannot
// make, or makes otherwise, fails this phase.
//
// The trace goes to this phase's standard error (the --trace file), which
// every program it starts inherits.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <map>

#include "bench/BenchBed.h"
#include "bench/Phases.h"
#include "bench/PlatformInfo.h"
#include "bench/RegistryFigures.h"
#include "bench/RelayTrace.h"
#include "bench/Report.h"
#include "bench/TimerProgramProtocol.h"
#include "bench/TraceFile.h"
#include "common/UniqueResource.h"
#include "tests/support/TestPaths.h"

namespace bench {

namespace {

using testsupport::Activation;
using testsupport::FakeApp;
using testsupport::WindowState;

// Relay for every call, the loaded modules' bases, and the registry trace
// for what relay shows only as pointers.
constexpr const char* kTraceChannels = "+pid,+loaddll,+relay,trace+reg";
// Enough to see that every steady tick makes the same calls.
constexpr int kTracedTicks = 6;
constexpr int kReplayTicks = 4;

unsigned long long ImageSizeOf(const std::string& path)
{
    const auto headers = testsupport::ReadImageHeaders(path);
    return headers ? headers->OptionalHeader.SizeOfImage : 0;
}

std::string FinalComponent(const std::string& path)
{
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

// Runs what start() started under the trace; once it has warmed up, the
// given number of ticks are read from the trace.
template <typename Start>
std::optional<TracedTicks> TraceTicks(const TraceFile& trace, const std::string& image,
                                      int ticks, Start start)
{
    const unsigned long long from = trace.End();
    DWORD processId = 0;
    if (!start(processId)) {
        return std::nullopt;
    }
    IdleFor(kWarmUpMs);
    const unsigned long long steadyFrom = trace.End();
    IdleFor(ticks * kTickMs + kTickMs / 2);
    TraceSubject subject;
    subject.processId = processId;
    subject.imageName = FinalComponent(image);
    subject.imageSize = ImageSizeOf(image);
    subject.tickStartKey = testsupport::names::kUninstallKey;
    subject.imageBase = FindImageBase(trace.Read(from, steadyFrom), processId, subject.imageName);
    if (!subject.imageBase) {
        return std::nullopt;
    }
    return ExtractTicks(trace.Read(steadyFrom, trace.End()), subject);
}

// Where the list's key opens and the registry trace's disagree, by key.
std::vector<std::string> RegistryDisagreements(const std::map<std::string, size_t>& listed,
                                               const RegistryFigures& figures)
{
    std::vector<std::string> differences;
    std::map<std::string, double> counted;
    for (const auto& key : figures.perKey) {
        std::string lower = key.first;
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        counted[lower] += key.second;
    }
    std::map<std::string, double> made;
    for (const auto& key : listed) {
        std::string lower = key.first;
        std::transform(lower.begin(), lower.end(), lower.begin(), ::tolower);
        made[lower] += static_cast<double>(key.second);
    }
    for (const auto& key : made) {
        const auto found = counted.find(key.first);
        const double seen = found == counted.end() ? 0 : found->second;
        if (seen != key.second) {
            differences.push_back(key.first + ": " + Fixed(key.second, 0) + " listed, " +
                                  Fixed(seen, 2) + " counted");
        }
    }
    for (const auto& key : counted) {
        if (made.count(key.first) == 0) {
            differences.push_back(key.first + ": not listed, " + Fixed(key.second, 2) + " counted");
        }
    }
    return differences;
}

size_t DistinctLists(const std::vector<tickcalls::CallList>& ticks)
{
    std::vector<tickcalls::CallList> distinct;
    for (const auto& tick : ticks) {
        if (std::find(distinct.begin(), distinct.end(), tick) == distinct.end()) {
            distinct.push_back(tick);
        }
    }
    return distinct.size();
}

}  // namespace

int RunCallsPhase(const PhaseOptions& options)
{
    if (options.tracePath.empty() || options.tickCalls.empty()) {
        std::printf("calls: needs the trace file and the call list file\n");
        return kPhaseCouldNotRun;
    }
    const int ticks = kTracedTicks;
    const TraceFile trace(options.tracePath);

    BenchBed bed(false);
    FakeApp tv;
    if (!bed.OpenOtherWindows() ||
        !tv.Start(testsupport::fakeapps::kTvEnhance, bed_names::kTvClass, bed_names::kTvTitle,
                  WindowState::Normal, Activation::Front)) {
        std::printf("calls: the desktop's windows did not come up\n");
        return kPhaseCouldNotRun;
    }

    std::printf("calls: tracing the monitor over %d steady ticks\n", ticks);
    MonitorRun monitor;
    const auto traced = TraceTicks(trace, testsupport::TavrelPath(), ticks, [&](DWORD& id) {
        const bool started = monitor.Start(kTraceChannels);
        id = monitor.Id();
        return started;
    });
    monitor.Stop();
    if (!traced || traced->ticks.empty()) {
        std::printf("calls: no complete tick of the monitor in the trace\n");
        return kPhaseCouldNotRun;
    }
    const tickcalls::CallList& list = traced->ticks.back();
    const size_t distinct = DistinctLists(traced->ticks);
    if (!WriteTextFile(options.tickCalls, tickcalls::FormatList(list))) {
        std::printf("calls: cannot write %s\n", options.tickCalls.c_str());
        return kPhaseCouldNotRun;
    }

    std::printf("calls: tracing the replay of that list over %d ticks\n", kReplayTicks);
    TimerProgramRun replay("TickReplay", timer_program::kReplayClass);
    const auto replayed = TraceTicks(trace, testsupport::TargetDirectory() + "\\bench\\TickReplay.exe",
                                     kReplayTicks, [&](DWORD& id) {
        ScopedEnvironment channels("WINEDEBUG", kTraceChannels);
        const bool started = replay.Start(options.tickCalls);
        id = replay.Id();
        return started;
    });
    const long mismatches = replay.Ask(timer_program::kMismatchRequest);
    const long firstMismatch = replay.Ask(timer_program::kFirstMismatchRequest);
    const auto replayExit = replay.ExitCode();
    size_t replayTicksSame = 0;
    size_t replayTicks = 0;
    if (replayed) {
        replayTicks = replayed->ticks.size();
        replayTicksSame = static_cast<size_t>(
            std::count(replayed->ticks.begin(), replayed->ticks.end(), list));
    }

    const auto registry = LoadRegistryFigures(options.registryFigures);
    const std::map<std::string, size_t> keyOpens = KeyOpens(list);
    const std::vector<std::string> disagreements =
        registry ? RegistryDisagreements(keyOpens, *registry) : std::vector<std::string>();

    const bool listComplete = traced->unlisted.empty();
    const bool steady = distinct == 1 && traced->ticks.size() + 2 >= static_cast<size_t>(ticks);
    const bool replayFaithful = replayTicks >= 2 && replayTicksSame == replayTicks && mismatches == 0;
    const bool registryAgrees = !registry || disagreements.empty();
    const bool passed = listComplete && steady && replayFaithful && registryAgrees;

    Table table("Calls of a steady tick (Wine relay trace, " + PlatformDescription() + ")");
    table.Row("monitor ticks traced", std::to_string(traced->ticks.size()),
              std::to_string(distinct) + " distinct call list(s); main thread " +
                  std::to_string(traced->mainThread));
    table.Row("calls per tick", std::to_string(list.size()),
              "written to " + options.tickCalls);
    for (const auto& function : CallsByFunction(list)) {
        table.Row("  " + function.first, std::to_string(function.second));
    }
    for (const auto& function : traced->leftOut) {
        table.Row("  left out: " + function.first, Fixed(function.second, 2),
                  function.first.rfind("user32.", 0) == 0 ? "the replay's own message loop makes it"
                                                          : "C runtime: the monitor's own logic");
    }
    for (const std::string& entry : traced->unlisted) {
        table.Row("  CANNOT LIST", "", entry);
    }
    table.Section("Key opens per tick in the list");
    for (const auto& key : keyOpens) {
        table.Row("  " + key.first, std::to_string(key.second));
    }
    table.Row("against the registry trace", registry ? (registryAgrees ? "agree" : "DIFFER") : "n/a",
              registry ? "opens per key the registry phase counted" : "the registry phase has not run");
    for (const std::string& difference : disagreements) {
        table.Row("  ", "", difference);
    }
    table.Section("The replay under the same trace");
    table.Row("ticks traced / equal to the list", std::to_string(replayTicks) + " / " +
                                                      std::to_string(replayTicksSame));
    table.Row("results other than the monitor's", std::to_string(mismatches),
              firstMismatch > 0 ? "first at call " + std::to_string(firstMismatch) : "");
    if (replayExit) {
        table.Row("replay ended early", "exit code " + std::to_string(*replayExit));
    }
    table.Row("verdict", passed ? "PASS" : "FAIL",
              std::string("list ") + (listComplete ? "complete" : "INCOMPLETE") + ", monitor " +
                  (steady ? "steady" : "NOT STEADY") + ", replay " +
                  (replayFaithful ? "faithful" : "NOT FAITHFUL") + ", registry " +
                  (registryAgrees ? "agrees" : "DIFFERS"));
    std::printf("\n%s\n", table.Text().c_str());

    Json json;
    json["platform"] = PlatformDescription();
    json["source"] = std::string("WINEDEBUG=") + kTraceChannels +
                     " for the monitor and the replay alone; calls whose return address lies in "
                     "the program's image, from its window thread, between two starts of a tick";
    json["monitor_ticks_traced"] = traced->ticks.size();
    json["distinct_lists"] = distinct;
    json["calls_per_tick"] = list.size();
    json["calls_by_function"] = CallsByFunction(list);
    json["left_out_per_tick"] = traced->leftOut;
    json["cannot_list"] = traced->unlisted;
    json["key_opens_per_tick"] = keyOpens;
    json["registry_trace_agrees"] = registry ? Json(registryAgrees) : Json();
    json["registry_differences"] = disagreements;
    json["replay_ticks_traced"] = replayTicks;
    json["replay_ticks_equal_to_list"] = replayTicksSame;
    json["replay_result_mismatches"] = mismatches;
    Json lines = Json::array();
    for (const tickcalls::Call& call : list) {
        lines.push_back(tickcalls::FormatCall(call));
    }
    json["list"] = lines;
    json["passed"] = passed;
    if (!options.jsonPath.empty()) {
        WriteJsonFile(options.jsonPath, json);
    }
    return passed ? kPhasePassed : kPhaseFailed;
}

}  // namespace bench
