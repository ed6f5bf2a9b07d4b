// Fault matrix, watched windows: windows that come and go between two
// ticks, are replaced by another of their kind within a tick, or change
// state faster than the tick. The monitor judges only what a tick sees: a
// window no tick saw is never reported or launched for, a replacement is
// no change, and what it reports alternates without repeats.
#include <gtest/gtest.h>

#include <vector>

#include "tests/support/VisualiserStandIn.h"
#include "tests/support/Wait.h"
#include "tests/system/faults/FaultMatrixTest.h"
#include "tests/system/faults/LampCalls.h"

namespace testsupport::faults {
namespace {

constexpr const char* kVisualiserKey = "Software\\Velmora Corporation\\QUORB Mirelle";
// How long the tracked window changes state faster than the tick.
constexpr DWORD kFlickerMs = 3000;

class WindowFaultTest : public FaultMatrixTest {
protected:
    void SetUp() override
    {
        FaultMatrixTest::SetUp();
        EnableReports();
    }

    bool StartChat(FakeApp& chat)
    {
        return chat.Start(fakeapps::kChatClient, kChatClass, kChatTitle, WindowState::Normal,
                          Activation::Behind);
    }

    bool PrepareChat(FakeApp& chat)
    {
        return chat.Prepare(fakeapps::kChatClient, kChatClass, kChatTitle, WindowState::Normal,
                            Activation::Behind);
    }

    bool PrepareTv(FakeApp& tv, WindowState state, Activation activation)
    {
        return tv.Prepare(fakeapps::kTvEnhance, kTvClass, kTvTitle, state, activation);
    }

    ScopedKey visualiserKey_{HKEY_LOCAL_MACHINE, kVisualiserKey};
    VisualiserStandIn visualiser_;
    LampCallCursor lampCalls_{velutils_};
};

TEST_F(WindowFaultTest, TrackedWindowAppearingAndVanishingBetweenTwoTicks)
{
    // Full-screen in front: had a tick seen it, there would be an event and
    // the status lamp would have been switched on.
    SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwStatusMode", 0);
    StartMonitorAndWaitForATick();
    FakeApp tv;
    ASSERT_TRUE(BetweenTwoTicks(
        [&] { return PrepareTv(tv, WindowState::ScreenPopup, Activation::Front); },
        [&] { return tv.Release() && tv.End(); }));
    WaitTicks(2);
    EXPECT_TRUE(service_.Records().empty());
    EXPECT_EQ(LampCalls{}, WritesOf(lampCalls_.Since()));

    ASSERT_TRUE(StartTv(tv, WindowState::ScreenPopup, Activation::Front));
    ASSERT_TRUE(WaitForEvents(1));
    ASSERT_TRUE(WaitUntil([&] { return velutils_.LampWord() == 2; }, kTickWaitMs));
    WaitTicks(1);
    PumpFor(150);
    EXPECT_EQ((std::vector<DWORD>{kFullScreen}), ReportedStates());
    EXPECT_EQ((LampCalls{"W2"}), WritesOf(lampCalls_.Since()));
}

TEST_F(WindowFaultTest, ChatWindowAppearingAndVanishingBetweenTwoTicks)
{
    visualiser_.Install();
    StartMonitorAndWaitForATick();
    FakeApp chat;
    ASSERT_TRUE(BetweenTwoTicks([&] { return PrepareChat(chat); },
                                [&] { return chat.Release() && chat.End(); }));
    WaitTicks(2);
    EXPECT_TRUE(visualiser_.Starts().empty());

    ASSERT_TRUE(StartChat(chat));
    ASSERT_TRUE(visualiser_.WaitForStarts(1, kTickWaitMs));
    WaitTicks(1);
    EXPECT_EQ(1u, visualiser_.Starts().size());
}

TEST_F(WindowFaultTest, ChatWindowReplacedWithinATickIsTheSameAppearance)
{
    visualiser_.Install();
    FakeApp first;
    ASSERT_TRUE(StartChat(first));
    StartMonitorOrFail(monitor_);
    ASSERT_TRUE(visualiser_.WaitForStarts(1, kTickWaitMs));

    FakeApp second;
    ASSERT_TRUE(BetweenTwoTicks([&] { return PrepareChat(second); },
                                [&] { return second.Release() && first.End(); }));
    WaitTicks(2);
    EXPECT_EQ(1u, visualiser_.Starts().size()) << "no check missed the window";

    // Gone for a tick and back: a new appearance.
    ASSERT_TRUE(second.End());
    WaitTicks(1);
    PumpFor(150);
    ASSERT_TRUE(StartChat(first));
    ASSERT_TRUE(visualiser_.WaitForStarts(2, kTickWaitMs));
    WaitTicks(1);
    EXPECT_EQ(2u, visualiser_.Starts().size());
}

TEST_F(WindowFaultTest, TrackedWindowReplacedWithinATickIsNoChange)
{
    StartMonitorAndWaitForATick();
    FakeApp first;
    ASSERT_TRUE(StartTv(first, WindowState::Normal, Activation::Behind));
    ASSERT_TRUE(WaitForEvents(1));

    FakeApp second;
    ASSERT_TRUE(BetweenTwoTicks(
        [&] { return PrepareTv(second, WindowState::Normal, Activation::Behind); },
        [&] { return second.Release() && first.End(); }));
    WaitTicks(2);
    EXPECT_EQ(1u, service_.Events().size());

    ASSERT_TRUE(second.Minimise());
    ASSERT_TRUE(WaitForEvents(2));
    WaitTicks(1);
    EXPECT_EQ((std::vector<DWORD>{kOpen, kClosed}), ReportedStates());
}

TEST_F(WindowFaultTest, TrackedWindowChangingFasterThanTheTick)
{
    StartMonitorAndWaitForATick();
    FakeApp tv;
    ASSERT_TRUE(StartTv(tv, WindowState::Normal, Activation::Behind));
    ASSERT_TRUE(WaitForEvents(1));

    // Minimised and restored at uneven intervals shorter than a tick, while
    // the ticks are counted.
    const DWORD intervals[] = {90, 260, 140, 330, 60, 210};
    int ticks = 0;
    ticks_.Arm();
    const DWORD start = ::GetTickCount();
    for (unsigned step = 0; ::GetTickCount() - start < kFlickerMs; ++step) {
        ASSERT_TRUE(step % 2 == 0 ? tv.Minimise() : tv.Restore());
        PumpFor(intervals[step % (sizeof(intervals) / sizeof(intervals[0]))]);
        if (!ticks_.Armed()) {
            ++ticks;
            ticks_.Arm();
        }
    }
    ASSERT_TRUE(tv.Restore());
    EXPECT_GE(ticks, static_cast<int>(kFlickerMs / 1000) - 1);
    EXPECT_LE(ticks, static_cast<int>(kFlickerMs / 1000) + 1);
    WaitTicks(2);

    const std::vector<DWORD> reported = ReportedStates();
    ASSERT_FALSE(reported.empty());
    EXPECT_EQ(kOpen, reported.front());
    EXPECT_EQ(kOpen, reported.back()) << "the settled state was not reported";
    for (size_t i = 1; i < reported.size(); ++i) {
        EXPECT_NE(reported[i - 1], reported[i]) << "reported twice at " << i;
        EXPECT_TRUE(reported[i] == kOpen || reported[i] == kClosed) << std::hex << reported[i];
    }
    EXPECT_EQ(0u, service_.ObjectsAlive());
}

}  // namespace
}  // namespace testsupport::faults
