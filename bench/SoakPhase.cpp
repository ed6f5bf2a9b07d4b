// The soak: the monitor runs at least 600 ticks while the desktop keeps
// changing (the tracked application opens, comes to the front, goes
// full-screen, is minimised, restored and closed; the chat client opens
// and closes, so the visualiser is started each time). Every path that
// opens keys, opens processes, makes BSTRs, VARIANTs, SAFEARRAYs and COM
// objects, or loads modules runs once a cycle. The process's counters are
// sampled after the first cycle (10 ticks) and after every further one, at
// the same point of the cycle; the last sample must not exceed the first.
#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

#include "bench/BenchBed.h"
#include "bench/BenchFigures.h"
#include "bench/Phases.h"
#include "bench/PlatformInfo.h"
#include "bench/ProcessCounters.h"
#include "bench/Report.h"
#include "tests/support/TestPaths.h"

namespace bench {

namespace {

using testsupport::Activation;
using testsupport::FakeApp;
using testsupport::WindowState;

constexpr int kMinimumTicks = 600;
constexpr DWORD kStepMs = 1250;  // 8 steps: one cycle is 10 ticks
constexpr int kEventsPerCycle = 6;
// A sample taken while a tick runs would show its passing key and process
// handles; the smallest of a few readings is the resting state.
constexpr int kReadingsPerSample = 3;
constexpr DWORD kReadingSpacingMs = 150;
constexpr DWORD kAttachTimeoutMs = 10000;

struct Step {
    const char* description;
    std::function<bool()> action;
};

ResourceSample RestingSample(HANDLE process, DWORD processId)
{
    ResourceSample rest = SampleResources(process, processId);
    for (int reading = 1; reading < kReadingsPerSample; ++reading) {
        ::Sleep(kReadingSpacingMs);
        const ResourceSample next = SampleResources(process, processId);
        if (next.handles < rest.handles) {
            rest.handles = next.handles;
            rest.handlesByType = next.handlesByType;
        }
        rest.gdiObjects = std::min(rest.gdiObjects, next.gdiObjects);
        rest.userObjects = std::min(rest.userObjects, next.userObjects);
        rest.privateBytes = std::min(rest.privateBytes, next.privateBytes);
        rest.workingSet = std::min(rest.workingSet, next.workingSet);
        rest.threads = std::min(rest.threads, next.threads);
        rest.modules = std::min(rest.modules, next.modules);
    }
    return rest;
}

void WriteSample(JsonWriter& json, const char* key, const ResourceSample& sample, int tick)
{
    json.BeginObject(key);
    json.Integer("tick", tick);
    json.Integer("handles", static_cast<long long>(sample.handles));
    json.BeginObject("handles_by_type");
    for (const auto& type : sample.handlesByType) {
        json.Integer(type.first.c_str(), static_cast<long long>(type.second));
    }
    json.EndObject();
    json.Integer("gdi_objects", static_cast<long long>(sample.gdiObjects));
    json.Integer("user_objects", static_cast<long long>(sample.userObjects));
    json.Integer("private_bytes", static_cast<long long>(sample.privateBytes));
    json.Integer("working_set", static_cast<long long>(sample.workingSet));
    json.Integer("threads", static_cast<long long>(sample.threads));
    json.Integer("modules", static_cast<long long>(sample.modules));
    json.EndObject();
}

}  // namespace

int RunSoakPhase(const PhaseOptions& options)
{
    const int ticks = std::max(options.ticks > 0 ? options.ticks : kMinimumTicks, kMinimumTicks);
    std::printf("soak: at least %d ticks, one desktop cycle every %lu ms\n", ticks,
                static_cast<unsigned long>(8 * kStepMs));
    std::fflush(stdout);

    BenchBed bed(true);
    // The event-service stand-in lives in the monitor's process; by default
    // it keeps every object it made (to catch releases beyond the last),
    // which would show here as a slow growth of the monitor's private bytes
    // (seen: 16 KiB over 348 reports). Freed objects are still counted.
    bed.Events().Set("FreeObjects", 1);
    MonitorRun monitor;
    if (!bed.OpenOtherWindows() || !monitor.Start()) {
        std::printf("soak: the desktop or the monitor did not come up\n");
        return kPhaseCouldNotRun;
    }
    const DWORD monitorStart = ::GetTickCount();
    ProcessCpuClock cpu(monitor.Handle(), testsupport::TavrelPath(), "@@@Start");
    cpu.Attach(kAttachTimeoutMs);

    FakeApp tv;
    FakeApp chat;
    namespace fakeapps = testsupport::fakeapps;
    const std::vector<Step> steps = {
        {"TV Enhance opens behind",
         [&] {
             return tv.Start(fakeapps::kTvEnhance, bed_names::kTvClass, bed_names::kTvTitle,
                             WindowState::Normal, Activation::Behind);
         }},
        {"TV Enhance comes to the front", [&] { return tv.BringToFront(); }},
        {"TV Enhance goes full-screen", [&] { return tv.SetState(WindowState::ScreenPopup); }},
        {"TV Enhance is minimised", [&] { return tv.Minimise(); }},
        {"TV Enhance is restored", [&] { return tv.Restore(); }},
        {"chat client opens",
         [&] {
             return chat.Start(fakeapps::kChatClient, bed_names::kChatClass, bed_names::kChatTitle,
                               WindowState::Normal, Activation::Behind);
         }},
        {"chat client closes", [&] { return chat.End(); }},
        {"TV Enhance closes", [&] { return tv.End(); }},
    };

    size_t failedSteps = 0;
    auto runCycle = [&] {
        const DWORD cycleStart = ::GetTickCount();
        for (size_t step = 0; step < steps.size(); ++step) {
            failedSteps += steps[step].action() ? 0 : 1;
            const DWORD due = cycleStart + static_cast<DWORD>((step + 1) * kStepMs);
            const LONG wait = static_cast<LONG>(due - ::GetTickCount());
            if (wait > 0) {
                ::Sleep(static_cast<DWORD>(wait));
            }
        }
    };
    auto ticksSoFar = [&] { return static_cast<int>((::GetTickCount() - monitorStart) / kTickMs); };

    runCycle();
    int cycles = 1;
    const int firstTick = ticksSoFar();
    const ResourceSample first = RestingSample(monitor.Handle(), monitor.Id());
    const SampleSources sources = DescribeSources(monitor.Handle(), monitor.Id());
    const auto cpuFirst = cpu.Milliseconds();
    std::printf("soak: first sample at tick %d: %zu handles, %zu GDI, %zu USER, %llu private bytes\n",
                firstTick, first.handles, first.gdiObjects, first.userObjects, first.privateBytes);
    std::fflush(stdout);

    std::vector<std::pair<int, ResourceSample>> series;
    ResourceSample last = first;
    int lastTick = firstTick;
    while (ticksSoFar() < ticks && monitor.IsRunning()) {
        runCycle();
        ++cycles;
        lastTick = ticksSoFar();
        last = RestingSample(monitor.Handle(), monitor.Id());
        series.emplace_back(lastTick, last);
        if (cycles % 6 == 0) {
            std::printf("soak: tick %d: %zu handles, %zu GDI, %zu USER, %llu private bytes\n",
                        lastTick, last.handles, last.gdiObjects, last.userObjects,
                        last.privateBytes);
            std::fflush(stdout);
        }
    }
    const auto cpuLast = cpu.Milliseconds();
    const bool alive = monitor.IsRunning();
    const size_t events = bed.Events().Events().size();
    const size_t objectsCreated = bed.Events().ObjectsCreated();
    const size_t objectsAlive = bed.Events().ObjectsAlive();
    const size_t overReleases = bed.Events().OverReleases();
    const size_t visualiserStarts = bed.Visualiser().Starts().size();

    const std::vector<CounterChange> changes = CompareSamples(first, last);
    const bool noGrowth =
        std::none_of(changes.begin(), changes.end(), [](const CounterChange& c) { return c.grew(); });
    const bool comClean = objectsAlive == 0 && overReleases == 0;
    const bool passed = noGrowth && comClean && alive && lastTick >= ticks;
    ResourceSample peak = first;
    for (const auto& entry : series) {
        peak.handles = std::max(peak.handles, entry.second.handles);
        peak.privateBytes = std::max(peak.privateBytes, entry.second.privateBytes);
    }

    Table table("Soak: " + std::to_string(lastTick) + " ticks, " + std::to_string(cycles) +
                " desktop cycles (" + PlatformDescription() + ")");
    table.Section("Counter                      after tick " + std::to_string(firstTick) +
                  " -> after tick " + std::to_string(lastTick));
    for (const CounterChange& change : changes) {
        table.Row(change.name, std::to_string(change.first) + " -> " + std::to_string(change.last),
                  change.grew() ? "GREW" : "");
    }
    table.Row("highest handles / private bytes seen",
              std::to_string(peak.handles) + " / " + std::to_string(peak.privateBytes));
    table.Section("Sources");
    table.Row("handles", "", sources.handles);
    table.Row("GDI objects", "", sources.gdi);
    table.Row("USER objects", "", sources.user);
    table.Row("private bytes", "", sources.privateBytes);
    table.Section("What the cycles did");
    table.Row("events reported", std::to_string(events),
              std::to_string(kEventsPerCycle * cycles) + " expected (" +
                  std::to_string(kEventsPerCycle) + " per cycle)");
    table.Row("COM objects created / still alive", std::to_string(objectsCreated) + " / " +
                                                       std::to_string(objectsAlive),
              std::to_string(overReleases) + " released too often");
    table.Row("visualiser starts", std::to_string(visualiserStarts),
              std::to_string(cycles) + " expected (one per chat-client appearance)");
    table.Row("desktop steps that failed", std::to_string(failedSteps));
    if (cpuFirst && cpuLast && lastTick > firstTick) {
        table.Row("monitor CPU per tick over the soak",
                  Fixed(PerTick(*cpuLast - *cpuFirst, lastTick - firstTick), 3) + " ms");
    }
    table.Row("verdict", passed ? "PASS: no growth" : "FAIL");
    std::printf("\n%s\n", table.Text().c_str());

    JsonWriter json;
    json.BeginObject();
    json.String("platform", PlatformDescription());
    json.Integer("ticks", lastTick).Integer("cycles", cycles);
    WriteSample(json, "first", first, firstTick);
    WriteSample(json, "last", last, lastTick);
    json.BeginArray("growth");
    for (const CounterChange& change : changes) {
        if (change.grew()) {
            json.String(nullptr, change.name);
        }
    }
    json.EndArray();
    json.BeginArray("series");
    for (const auto& entry : series) {
        json.BeginObject();
        json.Integer("tick", entry.first);
        json.Integer("handles", static_cast<long long>(entry.second.handles));
        json.Integer("gdi", static_cast<long long>(entry.second.gdiObjects));
        json.Integer("user", static_cast<long long>(entry.second.userObjects));
        json.Integer("private_bytes", static_cast<long long>(entry.second.privateBytes));
        json.EndObject();
    }
    json.EndArray();
    json.BeginObject("sources");
    json.String("handles", sources.handles).String("gdi", sources.gdi);
    json.String("user", sources.user).String("private_bytes", sources.privateBytes);
    json.EndObject();
    json.Integer("events", static_cast<long long>(events));
    json.Integer("events_expected", kEventsPerCycle * cycles);
    json.Integer("com_objects_created", static_cast<long long>(objectsCreated));
    json.Integer("com_objects_alive", static_cast<long long>(objectsAlive));
    json.Integer("com_over_releases", static_cast<long long>(overReleases));
    json.Integer("visualiser_starts", static_cast<long long>(visualiserStarts));
    json.Integer("failed_steps", static_cast<long long>(failedSteps));
    if (cpuFirst && cpuLast && lastTick > firstTick) {
        json.Number("cpu_ms_per_tick", PerTick(*cpuLast - *cpuFirst, lastTick - firstTick));
    }
    json.Bool("monitor_alive_at_end", alive);
    json.Bool("passed", passed);
    json.EndObject();
    if (!options.jsonPath.empty()) {
        WriteTextFile(options.jsonPath, json.Text() + "\n");
    }
    return passed ? kPhasePassed : kPhaseFailed;
}

}  // namespace bench
