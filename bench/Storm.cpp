#include "bench/Storm.h"

#include <tlhelp32.h>

#include <algorithm>
#include <string>
#include <vector>

#include "bench/ProcessCounters.h"
#include "common/UniqueResource.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/MonitorHarness.h"
#include "tests/support/ProcessWindows.h"
#include "tests/support/SystemNames.h"
#include "tests/support/Wait.h"

namespace bench {

namespace {

constexpr const char* kImageName = "Tavrel.exe";
// Counting processes costs more than counting windows: every few polls.
constexpr int kPollsPerProcessCount = 5;
constexpr DWORD kLeftoverTimeoutMs = 10000;
constexpr DWORD kHaltGraceMs = 3000;
// The event's kernel name ends like this, whatever namespace "Global\" maps to.
constexpr const wchar_t* kHaltEventNameEnd = L"\\Tavrel_Event";

struct TavrelProcess {
    DWORD id;
    DWORD parentId;
};

std::vector<TavrelProcess> TavrelProcesses()
{
    std::vector<TavrelProcess> found;
    tavrel::UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid()) {
        return found;
    }
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more;
         more = ::Process32Next(snapshot.get(), &entry)) {
        if (::lstrcmpiA(testsupport::FinalPathComponent(entry.szExeFile).c_str(), kImageName) == 0) {
            found.push_back({entry.th32ProcessID, entry.th32ParentProcessID});
        }
    }
    return found;
}

std::vector<DWORD> TavrelProcessIds()
{
    std::vector<DWORD> ids;
    for (const TavrelProcess& process : TavrelProcesses()) {
        ids.push_back(process.id);
    }
    return ids;
}

// "pid 1940 (started by the log-on instance, monitor window)" for each one.
std::string DescribeLeftovers(DWORD logonId, DWORD monitorId, DWORD haltId)
{
    std::string text;
    for (const TavrelProcess& process : TavrelProcesses()) {
        const char* origin = process.id == logonId     ? "the log-on instance itself"
                             : process.id == monitorId ? "the monitor instance itself"
                             : process.id == haltId    ? "the halt instance itself"
                             : process.parentId == logonId ? "started by the log-on instance"
                                                           : "of unknown origin";
        text += (text.empty() ? "" : "; ") + std::string("pid ") + std::to_string(process.id) +
                " (" + origin +
                (testsupport::FindMonitorWindow(process.id) != nullptr ? ", monitor window)"
                                                                       : ", no window)");
    }
    return text;
}

// Watches while a round runs: the most monitor windows and processes seen
// at the same time.
class StormWatch {
public:
    explicit StormWatch(StormRound& round, DWORD pollMs) : round_(round), pollMs_(pollMs) {}

    void Observe()
    {
        round_.maxMonitorWindows = std::max(round_.maxMonitorWindows, CountMonitorWindows());
        if (polls_++ % kPollsPerProcessCount == 0) {
            round_.maxProcesses = std::max(round_.maxProcesses, CountTavrelProcesses());
        }
    }

    void ObserveFor(DWORD milliseconds)
    {
        const DWORD start = ::GetTickCount();
        do {
            Observe();
            ::Sleep(pollMs_);
        } while (::GetTickCount() - start < milliseconds);
    }

    // Observes until the condition holds or the time is up.
    template <typename Condition>
    bool ObserveUntil(Condition condition, DWORD timeoutMs)
    {
        const DWORD start = ::GetTickCount();
        for (;;) {
            Observe();
            if (condition()) {
                return true;
            }
            if (::GetTickCount() - start >= timeoutMs) {
                return false;
            }
            ::Sleep(pollMs_);
        }
    }

private:
    StormRound& round_;
    DWORD pollMs_;
    int polls_ = 0;
};

// An instance has begun once it holds the halt event (its prologue ran), or
// has ended. A halt signalled before an instance opened the event is no
// halt for that instance: once the other holders have gone, it creates a
// fresh event and runs on, as the modes are meant to. So the storm starts
// "@@@HaltAll" only after the round's instances have begun; the log-on
// instance's own monitor is not waited for, since the halt may land at any
// point of its start.
bool HasBegun(const testsupport::ChildProcess& process)
{
    return !process.IsRunning() ||
           HoldsNamedObject(process.Handle(), process.Id(), "Event", kHaltEventNameEnd);
}

}  // namespace

size_t CountTavrelProcesses() { return TavrelProcessIds().size(); }

size_t CountMonitorWindows()
{
    size_t count = 0;
    for (HWND window = ::FindWindowExA(nullptr, nullptr, testsupport::names::kWindowClass, nullptr);
         window != nullptr;
         window = ::FindWindowExA(nullptr, window, testsupport::names::kWindowClass, nullptr)) {
        ++count;
    }
    return count;
}

StormRound RunStormRound(std::mt19937& random, const StormTiming& timing)
{
    StormRound round;
    StormWatch watch(round, timing.pollMs);
    std::uniform_int_distribution<DWORD> startGap(0, timing.maxStartGapMs);
    std::uniform_int_distribution<DWORD> haltDelay(0, timing.maxHaltDelayMs);
    const DWORD begin = ::GetTickCount();

    testsupport::ChildProcess logon;
    testsupport::ChildProcess monitor;
    testsupport::ChildProcess halt;
    round.startGapMs = startGap(random);
    round.haltDelayMs = haltDelay(random);
    auto start = [&](testsupport::ChildProcess& process, const char* token) {
        if (testsupport::StartTavrel(process, token)) {
            return true;
        }
        const DWORD error = ::GetLastError();
        round.detail += std::string(round.detail.empty() ? "" : "; ") + token +
                            " not started (error " + std::to_string(error) + ")";
        return false;
    };
    bool started = start(logon, "@@@StartFirstly");
    watch.ObserveFor(round.startGapMs);
    started = start(monitor, "@@@Start") && started;
    const DWORD waitFrom = ::GetTickCount();
    round.begunInTime = watch.ObserveUntil(
        [&] { return HasBegun(logon) && HasBegun(monitor); }, timing.settleTimeoutMs);
    round.beginWaitMs = ::GetTickCount() - waitFrom;
    watch.ObserveFor(round.haltDelayMs);
    started = start(halt, "@@@HaltAll") && started;
    round.started = started;

    watch.ObserveUntil([&] { return !halt.IsRunning() && CountTavrelProcesses() == 0; },
                       timing.settleTimeoutMs);
    round.leftBehind = CountTavrelProcesses();
    round.logonExit = logon.WaitExit(0);
    round.monitorExit = monitor.WaitExit(0);
    round.haltExit = halt.WaitExit(0);
    round.durationMs = ::GetTickCount() - begin;
    if (!round.begunInTime) {
        round.detail += std::string(round.detail.empty() ? "" : "; ") +
                            "the instances had not opened the halt event in time";
    }
    if (round.leftBehind > 0) {
        round.detail += std::string(round.detail.empty() ? "" : "; ") +
                            DescribeLeftovers(logon.Id(), monitor.Id(), halt.Id());
        EndLeftoverInstances();
    }
    return round;
}

size_t EndLeftoverInstances()
{
    const std::vector<DWORD> leftover = TavrelProcessIds();
    if (leftover.empty()) {
        return 0;
    }
    testsupport::HaltAllInstances();
    // A halted log-on instance may still be finishing its start of the
    // monitor; ended by force inside that call, it could leave a half-made
    // process behind. So force only what the halt did not end in time.
    testsupport::WaitUntil([] { return CountTavrelProcesses() == 0; }, kHaltGraceMs);
    for (DWORD id : TavrelProcessIds()) {
        testsupport::EndProcessWithImage(id, kImageName, kLeftoverTimeoutMs);
    }
    testsupport::WaitUntil([] { return CountTavrelProcesses() == 0; }, kLeftoverTimeoutMs);
    return leftover.size();
}

}  // namespace bench
