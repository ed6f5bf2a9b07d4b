#include "bench/Latency.h"

#include "tests/support/Wait.h"

namespace bench {

namespace {

using testsupport::WindowState;

constexpr DWORD kEventTimeoutMs = 3000;
// A change is never made sooner than this, so the wait is always real.
constexpr LONG kLeadMs = 50;

}  // namespace

size_t CountInWindow(const std::vector<testsupport::Record>& records, DWORD from, DWORD to)
{
    size_t count = 0;
    for (const auto& record : records) {
        const DWORD tick = static_cast<DWORD>(record.Number("tick"));
        count += (tick - from) <= (to - from) ? 1 : 0;
    }
    return count;
}

size_t ObjectsCreatedIn(const testsupport::EventServiceStandIn& events, DWORD from, DWORD to)
{
    return CountInWindow(testsupport::WithFunction(events.Records(), "Created"), from, to);
}

LatencyRun MeasureLatency(testsupport::FakeApp& tv, BenchBed& bed, int changes,
                          std::mt19937& random)
{
    LatencyRun run;
    run.changes = changes;
    auto& events = bed.Events();
    std::uniform_int_distribution<DWORD> phaseOf(0, kTickMs - 1);
    const auto before = events.Events();
    if (before.empty() || !before.back().record) {
        run.missed = static_cast<size_t>(changes);
        return run;
    }
    DWORD lastTick = before.back().record->tickCount;
    size_t expected = before.size();
    const DWORD begin = ::GetTickCount();
    for (int change = 0; change < changes; ++change) {
        const bool fullScreen = change % 2 == 0;
        const size_t count = events.Events().size();
        const DWORD now = ::GetTickCount();
        DWORD target = lastTick + phaseOf(random);
        while (static_cast<LONG>(target - now) < kLeadMs) {
            target += kTickMs;
        }
        ::Sleep(target - now);
        const DWORD changed = ::GetTickCount();
        if (!tv.SetState(fullScreen ? WindowState::ScreenPopup : WindowState::Normal)) {
            ++run.missed;
            continue;
        }
        ++expected;
        if (!testsupport::WaitUntil([&] { return events.Events().size() > count; },
                                    kEventTimeoutMs, 5)) {
            ++run.missed;
            continue;
        }
        const auto fired = events.Events()[count];
        if (!fired.record) {
            ++run.missed;
            continue;
        }
        run.latencies.push_back(static_cast<double>(fired.record->tickCount - changed));
        run.phases.push_back(static_cast<double>((changed - lastTick) % kTickMs));
        const DWORD wanted = fullScreen ? bed_names::kFullScreen : bed_names::kForeground;
        if (fired.Values() != std::vector<DWORD>{wanted}) {
            ++run.wrongValues;
        }
        lastTick = fired.record->tickCount;
    }
    // Two more ticks: whatever is reported now was not asked for.
    ::Sleep(2 * kTickMs + 200);
    const size_t total = events.Events().size();
    run.extraEvents = total > expected ? total - expected : 0;
    const DWORD end = ::GetTickCount();
    run.driverCalls = CountInWindow(bed.Driver().DriverCalls(), begin, end);
    run.objectsCreated = ObjectsCreatedIn(events, begin, end);
    return run;
}

}  // namespace bench
