// Command-line modes, exit codes and the single-instance and halt objects,
// with the real Tavrel.exe started exactly as a shell or the log-on would.
#include <gtest/gtest.h>

#include "tests/support/MonitorTestBase.h"
#include "tests/support/Wait.h"

namespace testsupport {
namespace {

constexpr DWORD kExitTimeoutMs = 10000;
constexpr DWORD kMinusOne = 0xFFFFFFFF;

class ModesTest : public MonitorTestBase {};

TEST_F(ModesTest, AnyOtherCommandLineExitsWithZeroAndStartsNoMonitor)
{
    const char* const remainders[] = {
        "",                    // nothing after the path
        "@@@start",            // other case
        "@@@HALTALL",          //
        "@@@Start ",           // trailing blank
        "@@@StartFirstly\t",   // trailing tab
        "@@@Start extra",      // further text
        "@@@Starting",         //
        "Start",               //
    };
    for (const char* remainder : remainders) {
        ChildProcess tavrel;
        const std::string line = QuotedCommand(TavrelPath(), "") + (*remainder ? " " : "") + remainder;
        ASSERT_TRUE(tavrel.Start(line)) << line;
        const auto code = tavrel.WaitExit(kExitTimeoutMs);
        ASSERT_TRUE(code.has_value()) << "still running: [" << line << "]";
        EXPECT_EQ(0u, *code) << line;
        EXPECT_EQ(nullptr, ::FindWindowA(names::kWindowClass, nullptr)) << line;
        EXPECT_FALSE(InstanceMutexExists()) << line;
    }
}

TEST_F(ModesTest, BlanksAndControlCharactersBeforeTheTokenAreSkipped)
{
    ChildProcess monitor;
    ASSERT_TRUE(monitor.Start(QuotedCommand(TavrelPath(), "") + "   \t  @@@Start"));
    EXPECT_NE(nullptr, WaitForMonitorWindow(monitor.Id(), 15000));
    EXPECT_TRUE(InstanceMutexExists());
}

TEST_F(ModesTest, SecondMonitorExitsWithMinusOneAndLeavesTheFirstTicking)
{
    ChildProcess first;
    StartMonitorOrFail(first);

    ChildProcess second;
    ASSERT_TRUE(StartTavrel(second, "@@@Start"));
    const auto code = second.WaitExit(kExitTimeoutMs);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(kMinusOne, *code);

    EXPECT_TRUE(first.IsRunning());
    TickProbe ticks;
    EXPECT_TRUE(ticks.WaitForTick(3000)) << "the first instance stopped ticking";
}

TEST_F(ModesTest, HaltAllEndsTheMonitorAndItselfWithZero)
{
    ChildProcess monitor;
    StartMonitorOrFail(monitor);

    ChildProcess halt;
    ASSERT_TRUE(StartTavrel(halt, "@@@HaltAll"));
    const auto haltCode = halt.WaitExit(kExitTimeoutMs);
    const auto monitorCode = monitor.WaitExit(kExitTimeoutMs);
    ASSERT_TRUE(haltCode.has_value());
    ASSERT_TRUE(monitorCode.has_value());
    EXPECT_EQ(0u, *haltCode);
    EXPECT_EQ(0u, *monitorCode);
}

TEST_F(ModesTest, HaltAllWithNothingRunningLeavesNoEventBehind)
{
    ChildProcess halt;
    ASSERT_TRUE(StartTavrel(halt, "@@@HaltAll"));
    const auto code = halt.WaitExit(kExitTimeoutMs);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(0u, *code);
    // The event lives only while a handle is open: a monitor started now must
    // not find it signalled.
    tavrel::UniqueHandle event(::OpenEventA(SYNCHRONIZE, FALSE, names::kHaltEvent));
    EXPECT_FALSE(event.valid());
    ChildProcess monitor;
    StartMonitorOrFail(monitor);
    EXPECT_FALSE(monitor.WaitExit(1500).has_value());
}

TEST_F(ModesTest, InstanceStartedWhileTheSignalledEventIsHeldEndsAtOnce)
{
    tavrel::UniqueHandle event(::CreateEventA(nullptr, TRUE, FALSE, names::kHaltEvent));
    ASSERT_TRUE(event.valid());
    ASSERT_TRUE(::SetEvent(event.get()));

    for (const char* mode : {"@@@Start", "@@@StartFirstly", ""}) {
        ChildProcess late;
        ASSERT_TRUE(StartTavrel(late, mode));
        const auto code = late.WaitExit(kExitTimeoutMs);
        ASSERT_TRUE(code.has_value()) << mode;
        EXPECT_EQ(0u, *code) << mode;
    }
    // Nothing was left running to tick.
    TickProbe ticks;
    EXPECT_FALSE(ticks.WaitForTick(2000));
    event.reset();
}

TEST_F(ModesTest, LogonModeStartsTheMonitorAndExitsWithZero)
{
    ChildProcess logon;
    ASSERT_TRUE(StartTavrel(logon, "@@@StartFirstly"));
    const auto code = logon.WaitExit(15000);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(0u, *code);
    EXPECT_TRUE(WaitUntil([] { return ::FindWindowA(names::kWindowClass, nullptr) != nullptr; },
                          15000));
    TickProbe ticks;
    EXPECT_TRUE(ticks.WaitForTick(3000));
}

// A script that starts the log-on mode with its output redirected, and
// reads that output to the end, must reach the end once the log-on instance
// has gone; nothing else it made inheritable may be held by the monitor for
// the rest of the session either.
TEST_F(ModesTest, TheMonitorStartedAtLogonHoldsNoneOfItsStartersHandles)
{
    constexpr const char* kStarterEvent = "Local\\TavrelTest_StarterEvent";
    SECURITY_ATTRIBUTES inheritable = {sizeof(inheritable), nullptr, TRUE};
    HANDLE readRaw = nullptr;
    HANDLE writeRaw = nullptr;
    ASSERT_TRUE(::CreatePipe(&readRaw, &writeRaw, &inheritable, 0));
    tavrel::UniqueHandle readEnd(readRaw);
    tavrel::UniqueHandle writeEnd(writeRaw);
    ASSERT_TRUE(::SetHandleInformation(readEnd.get(), HANDLE_FLAG_INHERIT, 0));
    tavrel::UniqueHandle starterEvent(::CreateEventA(&inheritable, TRUE, FALSE, kStarterEvent));
    ASSERT_TRUE(starterEvent.valid());

    ChildProcess logon;
    ASSERT_TRUE(logon.StartInheriting(QuotedCommand(TavrelPath(), "@@@StartFirstly"),
                                      writeEnd.get()));
    writeEnd.reset();
    const auto code = logon.WaitExit(15000);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(0u, *code);
    ASSERT_TRUE(WaitUntil([] { return ::FindWindowA(names::kWindowClass, nullptr) != nullptr; },
                          15000));

    EXPECT_TRUE(WaitUntil(
        [&] {
            DWORD available = 0;
            return !::PeekNamedPipe(readEnd.get(), nullptr, 0, nullptr, &available, nullptr) &&
                   ::GetLastError() == ERROR_BROKEN_PIPE;
        },
        3000))
        << "the starter's output pipe is still held open";
    starterEvent.reset();
    tavrel::UniqueHandle reopened(::OpenEventA(SYNCHRONIZE, FALSE, kStarterEvent));
    EXPECT_FALSE(reopened.valid()) << "the monitor holds the starter's event";
    TickProbe ticks;
    EXPECT_TRUE(ticks.WaitForTick(3000));
}

TEST_F(ModesTest, LogonModeWhileAMonitorRunsLeavesOneMonitor)
{
    ChildProcess monitor;
    StartMonitorOrFail(monitor);
    ChildProcess logon;
    ASSERT_TRUE(StartTavrel(logon, "@@@StartFirstly"));
    ASSERT_TRUE(logon.WaitExit(15000).has_value());
    PumpFor(2000);

    int windows = 0;
    HWND window = nullptr;
    while ((window = ::FindWindowExA(nullptr, window, names::kWindowClass, nullptr)) != nullptr) {
        ++windows;
    }
    EXPECT_EQ(1, windows);
    EXPECT_TRUE(monitor.IsRunning());
}

}  // namespace
}  // namespace testsupport
