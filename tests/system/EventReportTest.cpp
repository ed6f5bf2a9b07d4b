// What the running monitor reports to the event service as the tracked
// application ("TV Enhance for QUORB") opens, comes to the front, goes
// full-screen, is minimised and closes.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <vector>

#include "tests/support/EventServiceStandIn.h"
#include "tests/support/FakeApp.h"
#include "tests/support/MonitorTestBase.h"
#include "tests/support/Wait.h"

namespace testsupport {
namespace {

using names::kClosed;
using names::kForeground;
using names::kFullScreen;
using names::kOpen;
using names::kTvClass;
using names::kTvTitle;

// Long enough for a change to be seen by a tick and reported.
constexpr DWORD kReportWaitMs = 3000;
// Two ticks in which nothing further should be reported.
constexpr DWORD kQuietMs = 2200;

class EventReportTest : public MonitorTestBase {
protected:
    void SetUp() override
    {
        MonitorTestBase::SetUp();
        ASSERT_TRUE(service_.Register());
        SetDword(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, "dwLocation", names::kLocationAtHome);
    }

    void StartMonitorAndWaitForATick()
    {
        StartMonitorOrFail(monitor_);
        ASSERT_TRUE(ticks_.WaitForTick(2500));
    }

    // Starts right after a tick, so that the window reaches its state well
    // before the next tick looks.
    bool StartTv(FakeApp& app, WindowState state, Activation activation,
                 const char* executable = fakeapps::kTvEnhance)
    {
        ticks_.Arm();
        ticks_.WaitForTick(2500);
        return app.Start(executable, kTvClass, kTvTitle, state, activation);
    }

    bool WaitForEvents(size_t count, DWORD timeoutMs = kReportWaitMs)
    {
        return WaitUntil([&] { return service_.Events().size() >= count; }, timeoutMs);
    }

    std::vector<std::vector<DWORD>> ReportedValues() const
    {
        std::vector<std::vector<DWORD>> values;
        for (const FiredEvent& event : service_.Events()) {
            values.push_back(event.Values());
        }
        return values;
    }

    using Reports = std::vector<std::vector<DWORD>>;

    EventServiceStandIn service_;
    ChildProcess monitor_;
    TickProbe ticks_;
};

TEST_F(EventReportTest, WindowOpeningBehindIsReportedOnceAsOpen)
{
    StartMonitorAndWaitForATick();
    FakeApp tv;
    ASSERT_TRUE(StartTv(tv, WindowState::Normal, Activation::Behind));
    ASSERT_TRUE(WaitForEvents(1));
    PumpFor(kQuietMs);
    EXPECT_EQ((Reports{{kOpen}}), ReportedValues());

    const auto events = service_.Events();
    ASSERT_EQ(1u, events.size());
    const FiredEvent& event = events[0];
    EXPECT_EQ(event_names::kEventName, event.eventName);
    EXPECT_TRUE(event.statusGiven);
    EXPECT_EQ(252u, event.statusIn);
    EXPECT_EQ(0x01200007u, event.eventCode);
    EXPECT_EQ(0u, event.passThrough1);
    EXPECT_EQ(0u, event.passThrough2);
    EXPECT_EQ(0u, event.value1);
    EXPECT_EQ(0u, event.value2);
    EXPECT_EQ(0x2011u, event.dataType);
    EXPECT_EQ(1u, event.dimensions);
    EXPECT_EQ(0, event.lowerBound);
    EXPECT_EQ(72u, event.elements);
    EXPECT_EQ(1u, event.elementSize);
    ASSERT_TRUE(event.record.has_value());
    EXPECT_EQ(72u, event.record->size);
    EXPECT_EQ(5u, event.record->kind);
    EXPECT_EQ(3u, event.record->flags);
    EXPECT_EQ(1u, event.record->count);
    EXPECT_TRUE(event.record->otherBytesZero);

    const auto registrations = service_.Registrations();
    ASSERT_EQ(1u, registrations.size());
    EXPECT_EQ(event_names::kClientName, registrations[0].client);
    EXPECT_EQ(0xE8000000u, registrations[0].flags);
    EXPECT_EQ(VT_EMPTY, registrations[0].optionsType);
    EXPECT_EQ(0u, registrations[0].value);
    EXPECT_EQ(registrations[0].object, event.object);
    EXPECT_EQ(1u, service_.ObjectsCreated());
    EXPECT_EQ(0u, service_.ObjectsAlive());
    EXPECT_EQ(0u, service_.OverReleases());
    EXPECT_EQ(0u, service_.UnusedSlotCalls());
}

TEST_F(EventReportTest, WindowOpeningInFrontFullScreenIsReportedOnlyAsFullScreen)
{
    StartMonitorAndWaitForATick();
    FakeApp tv;
    ASSERT_TRUE(StartTv(tv, WindowState::ScreenPopup, Activation::Front));
    ASSERT_TRUE(WaitForEvents(1));
    PumpFor(kQuietMs);
    EXPECT_EQ((Reports{{kFullScreen}}), ReportedValues())
        << "the scan's open state of the same tick must not be reported";
}

TEST_F(EventReportTest, EveryChangeOfTheWindowIsOneReportWithAFreshClient)
{
    StartMonitorAndWaitForATick();
    FakeApp tv;
    ASSERT_TRUE(StartTv(tv, WindowState::Normal, Activation::Behind));
    ASSERT_TRUE(WaitForEvents(1));
    ASSERT_TRUE(tv.BringToFront());
    ASSERT_TRUE(WaitForEvents(2));
    ASSERT_TRUE(tv.SetState(WindowState::ScreenPopup));
    ASSERT_TRUE(WaitForEvents(3));
    ASSERT_TRUE(tv.Minimise());
    ASSERT_TRUE(WaitForEvents(4));
    ASSERT_TRUE(tv.Restore());
    ASSERT_TRUE(WaitForEvents(5));
    // Without a window manager Wine leaves a minimised foreground window in
    // front, and so it is after the restore; on Windows it would be open.
    const DWORD restored = ::GetForegroundWindow() == tv.Window() ? kForeground : kOpen;
    ASSERT_TRUE(tv.End());
    ASSERT_TRUE(WaitForEvents(6));
    PumpFor(kQuietMs);
    EXPECT_EQ((Reports{{kOpen}, {kForeground}, {kFullScreen}, {kClosed}, {restored}, {kClosed}}),
              ReportedValues());
    EXPECT_EQ(6u, service_.ObjectsCreated());
    EXPECT_EQ(6u, service_.Registrations().size());
    EXPECT_EQ(0u, service_.ObjectsAlive());
}

TEST_F(EventReportTest, EachChangeIsReportedWithinATick)
{
    StartMonitorAndWaitForATick();
    FakeApp tv;
    ASSERT_TRUE(StartTv(tv, WindowState::Normal, Activation::Behind));
    ASSERT_TRUE(WaitForEvents(1));
    std::vector<DWORD> latencies;
    for (int change = 0; change < 6; ++change) {
        const size_t before = service_.Events().size();
        const DWORD changed = ::GetTickCount();
        ASSERT_TRUE(change % 2 == 0 ? tv.Minimise() : tv.Restore());
        ASSERT_TRUE(WaitUntil([&] { return service_.Events().size() > before; }, kReportWaitMs, 10));
        const DWORD recorded = static_cast<DWORD>(service_.Events().back().record->tickCount);
        latencies.push_back(recorded - changed);
    }
    for (DWORD latency : latencies) {
        // One period of the tick, plus the tick's own work.
        EXPECT_LT(latency, 1300u);
    }
    std::sort(latencies.begin(), latencies.end());
    std::printf("change to event, ms: median %lu, max %lu\n",
                static_cast<unsigned long>(latencies[latencies.size() / 2]),
                static_cast<unsigned long>(latencies.back()));
}

TEST_F(EventReportTest, MinimisedAndRestoredBetweenTwoTicksIsNoChange)
{
    StartMonitorAndWaitForATick();
    FakeApp tv;
    ASSERT_TRUE(StartTv(tv, WindowState::Normal, Activation::Behind));
    ASSERT_TRUE(WaitForEvents(1));
    for (int round = 0; round < 3; ++round) {
        ticks_.Arm();
        ASSERT_TRUE(ticks_.WaitForTick(2500));
        ASSERT_TRUE(tv.Minimise());
        ASSERT_TRUE(tv.Restore());
    }
    PumpFor(kQuietMs);
    EXPECT_EQ((Reports{{kOpen}}), ReportedValues());
}

TEST_F(EventReportTest, AWindowAlreadyOpenAtStartIsReportedByTheFirstTick)
{
    FakeApp tv;
    ASSERT_TRUE(tv.Start(fakeapps::kTvEnhance, kTvClass, kTvTitle, WindowState::Minimised,
                         Activation::Behind));
    StartMonitorOrFail(monitor_);
    ASSERT_TRUE(WaitForEvents(1));
    PumpFor(kQuietMs);
    EXPECT_EQ((Reports{{kClosed}}), ReportedValues());
}

TEST_F(EventReportTest, OnlyTheRightClassAndTitleAreTracked)
{
    StartMonitorAndWaitForATick();
    FakeApp wrongClass;
    FakeApp wrongTitle;
    FakeApp otherApp;
    ASSERT_TRUE(wrongClass.Start(fakeapps::kOther, "TVEnhanceX", kTvTitle, WindowState::Normal,
                                 Activation::Behind));
    ASSERT_TRUE(wrongTitle.Start(fakeapps::kOther, kTvClass, "TV Enhance for QUORB ",
                                 WindowState::Normal, Activation::Behind));
    // In front, but under an executable name that is not watched.
    ASSERT_TRUE(otherApp.Start(fakeapps::kOther, "OtherClass", kTvTitle, WindowState::ScreenPopup,
                               Activation::Front));
    PumpFor(kQuietMs);
    EXPECT_TRUE(service_.Records().empty());
}

TEST_F(EventReportTest, MediaCenterInFrontCountsOnlyWithTheUsersRemoteKey)
{
    ScopedKey machineRemoteKey(HKEY_LOCAL_MACHINE, names::kRemoteKeyKey);
    SetDword(HKEY_LOCAL_MACHINE, names::kRemoteKeyKey, "dwApplication4", 1);
    StartMonitorAndWaitForATick();
    FakeApp mediaCenter;
    ASSERT_TRUE(mediaCenter.Start(fakeapps::kMediaCenter, "eHome Render Window",
                                  "Windows Media Center", WindowState::Normal, Activation::Front));
    PumpFor(kQuietMs);
    EXPECT_TRUE(service_.Events().empty()) << "HKLM's value must not count";

    SetDword(HKEY_CURRENT_USER, names::kRemoteKeyKey, "dwApplication4", 1);
    ASSERT_TRUE(WaitForEvents(1));
    ASSERT_TRUE(mediaCenter.SetState(WindowState::ScreenPopup));
    ASSERT_TRUE(WaitForEvents(2));
    PumpFor(kQuietMs);
    EXPECT_EQ((Reports{{kForeground}, {kFullScreen}}), ReportedValues());
}

TEST_F(EventReportTest, AwayFromTheHomeLocationNothingIsEverReported)
{
    SetDword(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, "dwLocation", names::kLocationAtHome + 1);
    StartMonitorAndWaitForATick();
    FakeApp tv;
    ASSERT_TRUE(StartTv(tv, WindowState::ScreenPopup, Activation::Front));
    PumpFor(kQuietMs);
    // The location read at start-up decides for the whole run.
    SetDword(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, "dwLocation", names::kLocationAtHome);
    ASSERT_TRUE(tv.Minimise());
    PumpFor(kQuietMs);
    EXPECT_TRUE(service_.Records().empty());
    EXPECT_EQ(0u, service_.ObjectsCreated());
}

TEST_F(EventReportTest, AChangeTheServiceMissedIsNotSentLater)
{
    ASSERT_TRUE(service_.Unregister());
    StartMonitorAndWaitForATick();
    FakeApp tv;
    ASSERT_TRUE(StartTv(tv, WindowState::Normal, Activation::Behind));
    PumpFor(kQuietMs);
    ASSERT_TRUE(service_.Register());
    PumpFor(kQuietMs);
    EXPECT_TRUE(service_.Records().empty());

    ASSERT_TRUE(tv.Minimise());
    ASSERT_TRUE(WaitForEvents(1));
    PumpFor(kQuietMs);
    EXPECT_EQ((Reports{{kClosed}}), ReportedValues());
}

TEST_F(EventReportTest, ARefusedRegistrationOrAFailedEventIsNotRetried)
{
    service_.FailRegistration(E_ACCESSDENIED);
    StartMonitorAndWaitForATick();
    FakeApp tv;
    ASSERT_TRUE(StartTv(tv, WindowState::Normal, Activation::Behind));
    ASSERT_TRUE(WaitUntil([&] { return service_.Registrations().size() == 1; }, kReportWaitMs));
    service_.FailRegistration(S_OK);
    PumpFor(kQuietMs);
    EXPECT_EQ(1u, service_.Registrations().size());
    EXPECT_TRUE(service_.Events().empty());
    EXPECT_EQ(0u, service_.ObjectsAlive()) << "the refused object was released";

    service_.FailFireEvent(E_FAIL);
    ASSERT_TRUE(tv.Minimise());
    ASSERT_TRUE(WaitForEvents(1));
    service_.FailFireEvent(S_OK);
    PumpFor(kQuietMs);
    ASSERT_EQ(1u, service_.Events().size());
    EXPECT_EQ(E_FAIL, service_.Events()[0].result);

    ASSERT_TRUE(tv.Restore());
    ASSERT_TRUE(WaitForEvents(2));
    EXPECT_EQ((Reports{{kClosed}, {kOpen}}), ReportedValues());
    EXPECT_EQ(0u, service_.ObjectsAlive());
    EXPECT_TRUE(monitor_.IsRunning());
}

}  // namespace
}  // namespace testsupport
