// The log-on mode closes the media centre's status process, starts it again
// from the Windows directory, and only then starts the monitor.
#include <gtest/gtest.h>

#include "tests/support/MediaStatusStandIn.h"
#include "tests/support/MonitorTestBase.h"
#include "tests/support/Wait.h"

namespace testsupport {
namespace {

constexpr DWORD kCloseWaitMs = 5000;

class MediaStatusRestartTest : public MonitorTestBase {
protected:
    void SetUp() override
    {
        MonitorTestBase::SetUp();
        ASSERT_TRUE(status_.Install());
    }

    // Runs the log-on mode; returns its duration, and fails the test if it
    // did not end with 0.
    DWORD RunLogon()
    {
        ChildProcess logon;
        const DWORD started = ::GetTickCount();
        EXPECT_TRUE(StartTavrel(logon, "@@@StartFirstly"));
        const auto code = logon.WaitExit(20000);
        const DWORD took = ::GetTickCount() - started;
        EXPECT_TRUE(code.has_value());
        EXPECT_EQ(0u, code.value_or(1));
        return took;
    }

    bool MonitorRuns() const { return ::FindWindowA(names::kWindowClass, nullptr) != nullptr; }

    MediaStatusStandIn status_;
};

TEST_F(MediaStatusRestartTest, NotRunningMeansNothingIsStartedAndNoWait)
{
    const DWORD took = RunLogon();
    EXPECT_LT(took, 3000u);
    EXPECT_TRUE(WaitUntil([&] { return MonitorRuns(); }, 10000));
    PumpFor(500);
    EXPECT_TRUE(status_.Records().empty());
}

TEST_F(MediaStatusRestartTest, AProcessThatClosesIsStartedAgainWithoutTermination)
{
    status_.SetBehaviour(CloseBehaviour::EndsOnClose);
    ChildProcess* running = status_.Start();
    ASSERT_NE(nullptr, running);
    const DWORD took = RunLogon();
    EXPECT_LT(took, 4000u) << "no need to wait out the five seconds";

    const auto exitCode = running->WaitExit(1000);
    ASSERT_TRUE(exitCode.has_value());
    const auto closes = status_.CloseRecords();
    ASSERT_EQ(1u, closes.size());
    EXPECT_EQ("ended", closes[0].Text("action"));
    ASSERT_TRUE(WaitUntil([&] { return status_.Starts().size() == 2; }, 5000));
    const auto starts = status_.Starts();
    EXPECT_NE(starts[0].Number("pid"), starts[1].Number("pid"));
    EXPECT_NE(std::string::npos, starts[1].Text("cmdline").find("ehome//ehmsas.exe"));
}

TEST_F(MediaStatusRestartTest, AProcessThatIgnoresCloseIsTerminatedAfterFiveSeconds)
{
    status_.SetBehaviour(CloseBehaviour::IgnoresClose);
    ChildProcess* running = status_.Start();
    ASSERT_NE(nullptr, running);

    // The monitor starts only after the restart: watch for its window while
    // the log-on mode waits.
    ChildProcess logon;
    const DWORD started = ::GetTickCount();
    ASSERT_TRUE(StartTavrel(logon, "@@@StartFirstly"));
    bool monitorBeforeRestart = false;
    ASSERT_TRUE(WaitUntil(
        [&] {
            if (MonitorRuns() && status_.Starts().size() < 2) {
                monitorBeforeRestart = true;
            }
            return MonitorRuns();
        },
        20000, 20));
    EXPECT_FALSE(monitorBeforeRestart);
    const auto code = logon.WaitExit(5000);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(0u, *code);
    const DWORD took = ::GetTickCount() - started;
    EXPECT_GE(took, kCloseWaitMs - 200);
    EXPECT_LT(took, kCloseWaitMs + 5000);

    const auto exitCode = running->WaitExit(1000);
    ASSERT_TRUE(exitCode.has_value()) << "the old process was not terminated";
    EXPECT_EQ(0u, *exitCode);
    const auto closes = status_.CloseRecords();
    ASSERT_EQ(1u, closes.size());
    EXPECT_EQ("ignored", closes[0].Text("action"));
    EXPECT_EQ(2u, status_.Starts().size());
}

TEST_F(MediaStatusRestartTest, OfSeveralProcessesOneIsRestarted)
{
    status_.SetBehaviour(CloseBehaviour::EndsOnClose);
    ChildProcess* first = status_.Start();
    ChildProcess* second = status_.Start();
    ASSERT_NE(nullptr, first);
    ASSERT_NE(nullptr, second);
    RunLogon();
    ASSERT_TRUE(WaitUntil([&] { return status_.Starts().size() == 3; }, 5000));
    EXPECT_NE(first->IsRunning(), second->IsRunning()) << "exactly one of the two was closed";
    EXPECT_EQ(1u, status_.CloseRecords().size());
}

TEST_F(MediaStatusRestartTest, ANameDifferingInCaseIsNotFoundByTheProgramsRoute)
{
    status_.SetBehaviour(CloseBehaviour::EndsOnClose);
    ChildProcess* variant = status_.StartCaseVariant();
    ASSERT_NE(nullptr, variant);
    RunLogon();
    ASSERT_TRUE(WaitUntil([&] { return MonitorRuns(); }, 10000));
    PumpFor(500);
    EXPECT_TRUE(variant->IsRunning());
    EXPECT_TRUE(status_.CloseRecords().empty());
    EXPECT_EQ(1u, status_.Starts().size());
}

}  // namespace
}  // namespace testsupport
