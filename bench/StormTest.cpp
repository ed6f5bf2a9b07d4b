// A short start/halt storm against the real Tavrel.exe: the three modes in
// quick succession must never leave a process behind nor ever show two
// monitor windows at once. The bench command runs the long one.
#include <gtest/gtest.h>

#include <windows.h>
#include <tlhelp32.h>

#include <random>

#include "bench/ProcessCounters.h"
#include "bench/Storm.h"
#include "common/UniqueResource.h"
#include "tests/support/MonitorTestBase.h"
#include "tests/support/ProcessWindows.h"
#include "tests/support/Wait.h"

namespace bench {
namespace {

constexpr int kRounds = 20;
constexpr int kLateHalts = 5;
constexpr int kAimedHalts = 30;
constexpr DWORD kFirstAimMs = 150;
constexpr DWORD kAimSpreadMs = 40;
constexpr DWORD kSettleMs = 10000;
constexpr DWORD kLeftoverWaitMs = 6000;

// The Tavrel.exe a given process started, or 0.
DWORD ChildOf(DWORD parentId)
{
    tavrel::UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0));
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = ::Process32First(snapshot.get(), &entry); more;
         more = ::Process32Next(snapshot.get(), &entry)) {
        if (entry.th32ParentProcessID == parentId &&
            ::lstrcmpiA(testsupport::FinalPathComponent(entry.szExeFile).c_str(), "Tavrel.exe") == 0) {
            return entry.th32ProcessID;
        }
    }
    return 0;
}

class StormTest : public testsupport::MonitorTestBase {};

// The storm's watch must be able to see what it is looking for, or a
// passing storm would mean nothing.
TEST_F(StormTest, TheWatchSeesARunningMonitorAndItsEnd)
{
    testsupport::ChildProcess monitor;
    StartMonitorOrFail(monitor);
    // What the storm waits for before it halts: the instance holds the event.
    EXPECT_TRUE(HoldsNamedObject(monitor.Handle(), monitor.Id(), "Event", L"\\Tavrel_Event"));
    EXPECT_FALSE(HoldsNamedObject(monitor.Handle(), monitor.Id(), "Event", L"\\Tavrel_Mutex"));
    EXPECT_TRUE(HoldsNamedObject(monitor.Handle(), monitor.Id(), "Mutant", L"\\Tavrel_Mutex"));
    EXPECT_EQ(1u, CountMonitorWindows());
    EXPECT_EQ(1u, CountTavrelProcesses());
    EXPECT_EQ(1u, EndLeftoverInstances());
    EXPECT_EQ(0u, CountTavrelProcesses());
    EXPECT_EQ(0u, CountMonitorWindows());
}

// The narrowest spot of the storm: the halt lands just after the log-on
// instance has started the monitor, before that one has opened the halt
// event itself. The log-on instance ends at once and, with it, the last
// handle of the event, unless the new instance was handed one at its start.
TEST_F(StormTest, AHaltJustAfterTheLogonModeStartedTheMonitorEndsThatMonitorToo)
{
    for (int attempt = 0; attempt < kLateHalts; ++attempt) {
        testsupport::ChildProcess logon;
        ASSERT_TRUE(testsupport::StartTavrel(logon, "@@@StartFirstly"))
            << "error " << logon.StartError();
        DWORD started = 0;
        ASSERT_TRUE(testsupport::WaitUntil([&] { return (started = ChildOf(logon.Id())) != 0; },
                                           kSettleMs, 1));
        {
            // Signalled and let go at once: this test must not keep the event
            // alive for the new instance. Gone already means nobody holds it.
            tavrel::UniqueHandle event(
                ::OpenEventA(EVENT_MODIFY_STATE, FALSE, testsupport::names::kHaltEvent));
            if (event.valid()) {
                ::SetEvent(event.get());
            }
        }
        EXPECT_TRUE(testsupport::WaitUntil([] { return CountTavrelProcesses() == 0; }, kSettleMs))
            << "attempt " << attempt << ": the monitor the log-on instance started is still running";
        EndLeftoverInstances();
    }
}

// A halt that lands while the log-on instance is inside its start of the
// monitor must leave nothing behind either: no monitor, and no half-made
// process hanging in its start-up. The moment is aimed at from the rounds
// themselves: a little before the time the log-on instance's child took to
// appear in the last rounds.
TEST_F(StormTest, HaltsAimedAtTheLogonModesStartOfTheMonitorLeaveNothingBehind)
{
    const unsigned seed = ::GetTickCount();
    std::mt19937 random(seed);
    std::uniform_int_distribution<DWORD> early(0, kAimSpreadMs);
    DWORD aim = kFirstAimMs;
    int delivered = 0;
    for (int round = 0; round < kAimedHalts; ++round) {
        testsupport::ChildProcess logon;
        ASSERT_TRUE(testsupport::StartTavrel(logon, "@@@StartFirstly"))
            << "round " << round << ": error " << logon.StartError() << ", "
            << CountTavrelProcesses() << " Tavrel.exe running";
        const DWORD start = ::GetTickCount();
        const DWORD before = early(random);
        const DWORD due = aim > before ? aim - before : 0;
        while (::GetTickCount() - start < due) {
            ::Sleep(1);
        }
        bool signalled = false;
        {
            tavrel::UniqueHandle event(
                ::OpenEventA(EVENT_MODIFY_STATE, FALSE, testsupport::names::kHaltEvent));
            signalled = event.valid() && ::SetEvent(event.get());
        }
        DWORD child = 0;
        testsupport::WaitUntil(
            [&] { return (child = ChildOf(logon.Id())) != 0 || !logon.IsRunning(); }, 3000, 1);
        if (child != 0) {
            aim = (3 * aim + (::GetTickCount() - start)) / 4;
        }
        if (signalled) {
            // Too early a halt (the log-on instance had no event yet) is no
            // halt for it; only the delivered ones count.
            ++delivered;
            EXPECT_TRUE(testsupport::WaitUntil([] { return CountTavrelProcesses() == 0; },
                                               kLeftoverWaitMs))
                << "round " << round << ", " << due << " ms after the log-on instance's start, seed "
                << seed << ": " << CountTavrelProcesses() << " Tavrel.exe left";
        }
        EndLeftoverInstances();
    }
    EXPECT_GE(delivered, kAimedHalts / 2) << "too few halts reached the log-on instance";
}

TEST_F(StormTest, QuickRoundsOfLogonMonitorAndHaltLeaveNothingBehind)
{
    const unsigned seed = ::GetTickCount();
    std::mt19937 random(seed);
    std::vector<StormRound> rounds;
    for (int round = 0; round < kRounds; ++round) {
        rounds.push_back(RunStormRound(random));
        const StormRound& last = rounds.back();
        EXPECT_TRUE(last.started && last.begunInTime)
            << "round " << round << ", seed " << seed << ": " << last.detail;
        EXPECT_EQ(0u, last.leftBehind) << "round " << round << ", seed " << seed << ": "
                                       << last.detail;
        EXPECT_LE(last.maxMonitorWindows, 1u) << "round " << round << ", seed " << seed;
    }
    const StormSummary summary = SummariseStorm(rounds);
    EXPECT_TRUE(summary.passed()) << "seed " << seed << ": " << summary.unexpectedExitCodes
                                  << " rounds with unexpected exit codes";
    // The log-on mode started a monitor of its own in at least some rounds.
    EXPECT_GE(summary.maxProcessesAtOnce, 2u);
}

}  // namespace
}  // namespace bench
