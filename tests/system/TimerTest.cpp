// Timer 1 seen from outside: every tick deletes "RegOwner" from the
// installer's uninstall key, so re-creating it shows whether ticks run.
#include <gtest/gtest.h>

#include <windows.h>

#include <wtsapi32.h>

#include "tests/support/MonitorTestBase.h"
#include "tests/support/Wait.h"

namespace testsupport {
namespace {

constexpr DWORD kTickWaitMs = 2500;
// Long enough for two ticks that should not come.
constexpr DWORD kQuietMs = 2500;

class TimerTest : public MonitorTestBase {
protected:
    void SetUp() override
    {
        MonitorTestBase::SetUp();
        StartMonitorOrFail(monitor_, window_);
        ASSERT_TRUE(ticks_.WaitForTick(kTickWaitMs)) << "no tick after start";
    }

    void Power(WPARAM event)
    {
        ::SendMessageTimeoutA(window_, WM_POWERBROADCAST, event, 0, SMTO_NORMAL, 5000, nullptr);
    }
    void Session(WPARAM event)
    {
        ::SendMessageTimeoutA(window_, WM_WTSSESSION_CHANGE, event, 0, SMTO_NORMAL, 5000, nullptr);
    }
    bool TicksAgain()
    {
        ticks_.Arm();
        return ticks_.WaitForTick(kTickWaitMs);
    }
    bool StaysQuiet()
    {
        ticks_.Arm();
        return !ticks_.WaitForTick(kQuietMs);
    }

    ChildProcess monitor_;
    HWND window_ = nullptr;
    TickProbe ticks_;
};

TEST_F(TimerTest, TicksOnceASecond)
{
    const int ticks = ticks_.CountTicks(5200);
    EXPECT_GE(ticks, 4);
    EXPECT_LE(ticks, 6);
}

TEST_F(TimerTest, SuspendAndStandbyStopTheTicksUntilTheAutomaticResume)
{
    for (WPARAM stop : {WPARAM{PBT_APMSUSPEND}, WPARAM{PBT_APMSTANDBY}}) {
        Power(stop);
        EXPECT_TRUE(StaysQuiet()) << "ticks after power event " << stop;
        // Resume notifications other than the automatic one start nothing.
        Power(PBT_APMRESUMESUSPEND);
        Power(PBT_APMRESUMECRITICAL);
        Power(PBT_APMRESUMESTANDBY);
        EXPECT_TRUE(StaysQuiet()) << "ticks without the automatic resume";

        ticks_.Arm();
        const DWORD before = ::GetTickCount();
        Power(PBT_APMRESUMEAUTOMATIC);
        // The window's thread sleeps a second before it starts the timer.
        EXPECT_GE(::GetTickCount() - before, 900u);
        EXPECT_TRUE(ticks_.WaitForTick(kTickWaitMs)) << "no tick after the automatic resume";
    }
}

TEST_F(TimerTest, ResumeWhileTheConsoleIsDisconnectedWaitsForTheConnect)
{
    Session(WTS_CONSOLE_DISCONNECT);
    EXPECT_TRUE(StaysQuiet());
    Power(PBT_APMRESUMEAUTOMATIC);
    EXPECT_TRUE(StaysQuiet()) << "resume must not restart a disconnected console's timer";
    Session(WTS_REMOTE_CONNECT);
    EXPECT_TRUE(StaysQuiet()) << "only the console connect counts";
    Session(WTS_CONSOLE_CONNECT);
    EXPECT_TRUE(TicksAgain());
}

TEST_F(TimerTest, ConsoleConnectAfterASuspendRestartsTheTicks)
{
    Power(PBT_APMSUSPEND);
    EXPECT_TRUE(StaysQuiet());
    Session(WTS_CONSOLE_CONNECT);
    EXPECT_TRUE(TicksAgain());
}

TEST_F(TimerTest, ConsoleConnectWhileRunningStartsNoSecondTimer)
{
    for (int i = 0; i < 5; ++i) {
        Session(WTS_CONSOLE_CONNECT);
        Power(PBT_APMRESUMEAUTOMATIC);
    }
    const int ticks = ticks_.CountTicks(5200);
    EXPECT_GE(ticks, 4);
    EXPECT_LE(ticks, 6);
}

TEST_F(TimerTest, PowerEventsOutsideTheTableChangeNothing)
{
    for (WPARAM event : {WPARAM{0}, WPARAM{3}, WPARAM{6}, WPARAM{7}, WPARAM{10}, WPARAM{17},
                         WPARAM{19}, WPARAM{0x8013}}) {
        Power(event);
    }
    for (WPARAM event : {WPARAM{3}, WPARAM{5}, WPARAM{7}, WPARAM{8}, WPARAM{9}}) {
        Session(event);
    }
    EXPECT_TRUE(TicksAgain());
    EXPECT_TRUE(TicksAgain());
}

}  // namespace
}  // namespace testsupport
