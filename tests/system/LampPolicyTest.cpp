// The lamp policy of the running monitor, seen as the exact sequence of
// driver calls the VelUtils stand-in records. The stand-in's lamp word
// answers reads with the last word written.
#include <gtest/gtest.h>

#include <windows.h>

#include <wtsapi32.h>

#include <algorithm>
#include <string>
#include <vector>

#include "tests/support/FakeApp.h"
#include "tests/support/MonitorTestBase.h"
#include "tests/support/Wait.h"

namespace testsupport {
namespace {

constexpr DWORD kRead = 125;
constexpr DWORD kWrite = 126;
constexpr const char* kPlayerTitle = "Emotional Player";

// "R3" for a read that answered 3, "W2" for a write of 2, "R!" for a failed
// read; probe calls (codes 136 and 137) left out.
std::vector<std::string> LampSequence(const std::vector<Record>& calls)
{
    std::vector<std::string> sequence;
    for (const Record& call : calls) {
        const DWORD code = static_cast<DWORD>(call.Number("code"));
        if (code == kRead) {
            sequence.push_back(call.Number("result") == 0 ? "R!"
                                                           : "R" + std::to_string(call.Number("word_out")));
        } else if (code == kWrite) {
            sequence.push_back("W" + std::to_string(call.Number("word_in")));
        }
    }
    return sequence;
}

using Sequence = std::vector<std::string>;

class LampPolicyTest : public MonitorTestBase {
protected:
    void SetModes(DWORD status, DWORD logo) const
    {
        SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwStatusMode", status);
        SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwLogoMode", logo);
    }

    // A recognised application whose window counts as full-screen at any
    // size, in front.
    bool StartFullScreenPlayer()
    {
        return player_.Start(fakeapps::kEmotionalPlayer, "EmotionalPlayerClass", kPlayerTitle,
                             WindowState::Normal, Activation::Front);
    }

    void Ticks(int count)
    {
        for (int i = 0; i < count; ++i) {
            ticks_.Arm();
            ASSERT_TRUE(ticks_.WaitForTick(2500)) << "tick " << i;
        }
    }

    Sequence Since()
    {
        const auto calls = velutils_.DriverCalls();
        Sequence all = LampSequence(calls);
        Sequence fresh(all.begin() + static_cast<long>(std::min(seen_, all.size())), all.end());
        seen_ = all.size();
        return fresh;
    }

    void Send(UINT message, WPARAM wParam)
    {
        ::SendMessageTimeoutA(FindMonitorWindow(monitor_.Id()), message, wParam, 0, SMTO_NORMAL,
                              5000, nullptr);
    }

    FakeApp player_;
    ChildProcess monitor_;
    TickProbe ticks_;
    size_t seen_ = 0;
};

TEST_F(LampPolicyTest, BothLampsFollowAFullScreenApplicationWithinTheRefreshBudget)
{
    SetModes(0, 0);
    ASSERT_TRUE(StartFullScreenPlayer());
    StartMonitorOrFail(monitor_);
    ASSERT_TRUE(WaitUntil([&] { return velutils_.LampWord() == 3; }, 3000));
    Ticks(3);
    EXPECT_EQ((Sequence{"R0", "R0", "W2", "R2", "R2", "W3", "R3", "R3", "R3"}), Since())
        << "first pass: refresh, read, write per lamp; then refresh reads 2 and 1";

    // Steady state: the budget is spent and nothing changes.
    Ticks(4);
    EXPECT_TRUE(Since().empty());

    ASSERT_TRUE(player_.Minimise());
    ASSERT_TRUE(WaitUntil([&] { return velutils_.LampWord() == 0; }, 2500));
    PumpFor(150);
    EXPECT_EQ((Sequence{"R3", "W1", "R1", "W0"}), Since());
}

TEST_F(LampPolicyTest, LampsComeOnWithinATickOfTheApplicationComingToTheFront)
{
    SetModes(0, 0);
    StartMonitorOrFail(monitor_);
    Ticks(4);
    EXPECT_EQ((Sequence{"R0", "R0", "R0", "R0", "R0"}), Since()) << "refresh reads only";

    ASSERT_TRUE(StartFullScreenPlayer());
    const DWORD inFront = ::GetTickCount();
    ASSERT_TRUE(WaitUntil([&] { return velutils_.LampWord() == 3; }, 2500, 10));
    const DWORD latency = ::GetTickCount() - inFront;
    EXPECT_LT(latency, 1600u);
    RecordProperty("LampOnLatencyMs", static_cast<int>(latency));
    PumpFor(150);
    EXPECT_EQ((Sequence{"R0", "W2", "R2", "W3"}), Since());

    ASSERT_TRUE(player_.End());
    ASSERT_TRUE(WaitUntil([&] { return velutils_.LampWord() == 0; }, 2500, 10));
    PumpFor(150);
    EXPECT_EQ((Sequence{"R3", "W1", "R1", "W0"}), Since());
}

TEST_F(LampPolicyTest, UnsetOrUnknownModesCallNothingAfterTheProbe)
{
    ASSERT_TRUE(StartFullScreenPlayer());
    StartMonitorOrFail(monitor_);
    Ticks(3);
    SetModes(3, 0xFFFFFFFF);
    Ticks(3);
    const auto calls = velutils_.DriverCalls();
    ASSERT_EQ(2u, calls.size()) << "only the start-up probe";
    EXPECT_EQ(137u, calls[0].Number("code"));
    EXPECT_EQ(136u, calls[1].Number("code"));
}

TEST_F(LampPolicyTest, FixedModesIgnoreTheFullScreenFlag)
{
    SetModes(1, 2);
    StartMonitorOrFail(monitor_);
    Ticks(4);
    EXPECT_EQ((Sequence{"R0", "R0", "R0", "W1", "R1", "R1", "R1"}), Since());
    ASSERT_TRUE(StartFullScreenPlayer());
    Ticks(3);
    EXPECT_TRUE(Since().empty());
    EXPECT_EQ(1u, velutils_.LampWord());
}

TEST_F(LampPolicyTest, ASettingChangeTakesEffectAtTheNextTick)
{
    SetModes(0, 0xFFFFFFFF);
    StartMonitorOrFail(monitor_);
    Ticks(6);
    Since();
    SetModes(2, 0xFFFFFFFF);
    ASSERT_TRUE(WaitUntil([&] { return velutils_.LampWord() == 2; }, 2500));
    DeleteValue(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwStatusMode");
    Ticks(3);
    PumpFor(150);
    EXPECT_EQ((Sequence{"R0", "W2"}), Since()) << "a deleted mode leaves the lamp alone";
}

TEST_F(LampPolicyTest, AFailedReadInFrontOfAChangeIsRetriedNextPass)
{
    SetModes(0, 0);
    StartMonitorOrFail(monitor_);
    Ticks(4);
    Since();
    velutils_.Set("FailReads", 1);
    ASSERT_TRUE(StartFullScreenPlayer());
    ASSERT_TRUE(WaitUntil([&] { return velutils_.LampWord() == 3; }, 4000));
    PumpFor(150);
    // The status lamp's read fails and its change waits for the next pass;
    // the logo lamp goes on in the same pass.
    EXPECT_EQ((Sequence{"R!", "R0", "W1", "R1", "W3"}), Since());
}

TEST_F(LampPolicyTest, ConsoleConnectClearsTheCacheAndResumeTheBudgetToo)
{
    SetModes(0, 0);
    ASSERT_TRUE(StartFullScreenPlayer());
    StartMonitorOrFail(monitor_);
    Ticks(5);
    Since();

    Send(WM_WTSSESSION_CHANGE, WTS_CONSOLE_CONNECT);
    Ticks(3);
    PumpFor(150);
    // Cache 0, budget still spent: the status lamp is taken as off and set
    // again; the logo bit then shows set in the word just read.
    EXPECT_EQ((Sequence{"R3", "W3"}), Since());

    Send(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    Ticks(4);
    PumpFor(150);
    EXPECT_EQ((Sequence{"R3", "R3", "R3", "R3", "R3"}), Since()) << "a fresh budget of refresh reads";
}

TEST_F(LampPolicyTest, LampsAbsentByTheProbeAreNeverTouched)
{
    velutils_.Set("CapabilityWord", 1);
    velutils_.Set("PresenceMask", 4);
    SetModes(2, 2);
    StartMonitorOrFail(monitor_);
    Ticks(3);
    EXPECT_EQ(2u, velutils_.DriverCalls().size());

    HaltAllInstances();
    velutils_.ClearRecords();
    velutils_.Set("CapabilityWord", 280);
    StartMonitorOrFail(monitor_);
    ASSERT_TRUE(WaitUntil([&] { return velutils_.LampWord() == 3; }, 3000))
        << "a capability word other than 1 counts as lamps present";
    const auto calls = velutils_.DriverCalls();
    ASSERT_GE(calls.size(), 2u);
    EXPECT_EQ(137u, calls[0].Number("code"));
    EXPECT_EQ(kRead, calls[1].Number("code")) << "the presence mask is not read";
}

}  // namespace
}  // namespace testsupport
