// Fault matrix, driver utility: a library the monitor cannot bind at
// start-up, reads that fail, and calls that hold the tick up for seconds.
#include <gtest/gtest.h>

#include <functional>
#include <ostream>

#include "tests/support/Wait.h"
#include "tests/system/faults/FaultMatrixTest.h"
#include "tests/system/faults/LampCalls.h"
#include "tests/system/faults/PathValues.h"

namespace testsupport::faults {
namespace {

constexpr const char* kPlayerTitle = "Emotional Player";
constexpr DWORD kLampWaitMs = 3000;
// A driver call this slow holds a tick up for seconds.
constexpr DWORD kSlowCallMs = 2500;

class DriverFaultTest : public FaultMatrixTest {
protected:
    void SetModes(DWORD status, DWORD logo) const
    {
        SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwStatusMode", status);
        SetDword(HKEY_LOCAL_MACHINE, names::kProgramKey, "dwLogoMode", logo);
    }

    bool WaitForLampWord(DWORD word, DWORD timeoutMs = kLampWaitMs) const
    {
        return WaitUntil([&] { return velutils_.LampWord() == word; }, timeoutMs);
    }

    // A recognised application that counts as full-screen at any size.
    bool StartPlayerInFront()
    {
        return player_.Start(fakeapps::kEmotionalPlayer, "EmotionalPlayerClass", kPlayerTitle,
                             WindowState::Normal, Activation::Front);
    }

    size_t Opens(const VelUtilsStandIn& standIn) const
    {
        return WithFunction(standIn.Records(), "VuOpen").size();
    }

    FakeApp player_;
    LampCallCursor lampCalls_{velutils_};
};

// ---------------------------------------------------------------------------
// The library cannot be bound at start-up. The lamps are then never touched
// for the run, the tick goes on, and the library is bound at the next start
// once it is in place (nothing notices it earlier).

struct BindingRow {
    const char* name;
    std::function<void(const VelUtilsStandIn& full, const VelUtilsStandIn& noCall)> install;
    // The path is usable after all: lamps switch in this run.
    bool lampsSwitch;
};

void InstallPathFault(const VelUtilsStandIn& full, PathFault fault)
{
    WritePathFault(HKEY_LOCAL_MACHINE, names::kSharedDllsKey, names::kDriverPathValue, fault,
                   full.DllPath());
}

const BindingRow kBindingRows[] = {
    {"PathAbsent",
     [](const VelUtilsStandIn& full, const VelUtilsStandIn&) {
         InstallPathFault(full, PathFault::Absent);
     },
     false},
    {"PathToNoFile",
     [](const VelUtilsStandIn& full, const VelUtilsStandIn&) {
         InstallPathFault(full, PathFault::Nowhere);
     },
     false},
    {"PathOfTypeDword",
     [](const VelUtilsStandIn& full, const VelUtilsStandIn&) {
         InstallPathFault(full, PathFault::TypeDword);
     },
     false},
    {"PathTooLong",
     [](const VelUtilsStandIn& full, const VelUtilsStandIn&) {
         InstallPathFault(full, PathFault::TooLong);
     },
     false},
    {"CallExportMissing",
     [](const VelUtilsStandIn&, const VelUtilsStandIn& noCall) { noCall.Install(); }, false},
    // Control: the longest path the buffer takes is bound, so the rows
    // above fail for their fault and not for the padded form of the path.
    {"LongestPathIsBound",
     [](const VelUtilsStandIn& full, const VelUtilsStandIn&) {
         SetString(HKEY_LOCAL_MACHINE, names::kSharedDllsKey, names::kDriverPathValue,
                   PathOfLength(full.DllPath(), 259));
     },
     true},
};

// Rows show by name in test listings.
void PrintTo(const BindingRow& row, std::ostream* out) { *out << row.name; }

class DriverBindingFaultTest : public DriverFaultTest,
                               public ::testing::WithParamInterface<BindingRow> {
protected:
    VelUtilsStandIn noCall_{"velutils-nocall"};
};

TEST_P(DriverBindingFaultTest, LampsStayUntouchedAndTheLibraryIsBoundAtTheNextStart)
{
    const BindingRow& row = GetParam();
    SetModes(2, 2);
    row.install(velutils_, noCall_);
    StartMonitorOrFail(monitor_);
    WaitTicks(2);
    if (row.lampsSwitch) {
        ASSERT_TRUE(WaitForLampWord(3));
        EXPECT_EQ((LampCalls{"W2", "W3"}), WritesOf(lampCalls_.Since()));
        return;
    }
    EXPECT_EQ(0u, velutils_.LampWord());
    EXPECT_TRUE(velutils_.Records().empty()) << "the usable library was bound after all";
    EXPECT_TRUE(noCall_.DriverCalls().empty());
    EXPECT_LE(Opens(noCall_), 1u);
    EXPECT_TRUE(monitor_.IsRunning());

    // The library in place: bound at the next start, each lamp written once.
    ASSERT_TRUE(HaltAllInstances());
    velutils_.Install();
    StartMonitorOrFail(monitor_);
    ASSERT_TRUE(WaitForLampWord(3));
    WaitTicks(1);
    EXPECT_EQ((LampCalls{"W2", "W3"}), WritesOf(lampCalls_.Since()));
    EXPECT_EQ(1u, Opens(velutils_));
}

INSTANTIATE_TEST_SUITE_P(DriverUtility, DriverBindingFaultTest, ::testing::ValuesIn(kBindingRows),
                         [](const ::testing::TestParamInfo<BindingRow>& info) {
                             return std::string(info.param.name);
                         });

// ---------------------------------------------------------------------------
// Reads that fail. A failed read in front of a change abandons that change
// for the pass; a failed refresh read leaves the cache as it was. Either
// way the lamp reaches its state once the reads work again, written once.

TEST_F(DriverFaultTest, ReadsFailingInFrontOfAChangeDelayItUntilTheyWork)
{
    SetModes(0, 0);
    StartMonitorAndWaitForATick();
    WaitTicks(3);  // the refresh budget (2, 2, 1) is spent
    lampCalls_.Since();

    // Both lamps' reads fail for two passes.
    velutils_.Set("FailReads", 4);
    ASSERT_TRUE(StartPlayerInFront());
    ASSERT_TRUE(WaitForLampWord(3, 5000)) << "no recovery once the reads work";
    WaitTicks(1);
    EXPECT_EQ((LampCalls{"R!", "R!", "R!", "R!", "R0", "W2", "R2", "W3"}), lampCalls_.Since());
}

TEST_F(DriverFaultTest, ReadsFailingFromTheStartLeaveTheCacheAsItWas)
{
    SetModes(2, 2);
    velutils_.Set("FailReads", 5);
    StartMonitorOrFail(monitor_);
    ASSERT_TRUE(WaitForLampWord(3, 4000));
    WaitTicks(2);
    // Pass 1: refresh and change read fail for both lamps. Pass 2: the
    // status lamp's refresh fails (the cache stays 0), its change read
    // works; the logo lamp goes on normally. Pass 3: the last refresh read.
    EXPECT_EQ((LampCalls{"R!", "R!", "R!", "R!", "R!", "R0", "W2", "R2", "R2", "W3", "R3"}),
              lampCalls_.Since());
    EXPECT_TRUE(monitor_.IsRunning());
}

// ---------------------------------------------------------------------------
// A driver call that takes seconds holds its tick up; the tick then ends as
// usual, the next one comes at once and then one a second, and nothing is
// written or reported twice. A change made while the tick was held up is
// seen by the next tick.

TEST_F(DriverFaultTest, ACallBlockingForSecondsDelaysTheTickOnly)
{
    EnableReports();
    SetModes(0, 1);  // the status lamp follows, the logo lamp stays off
    FakeApp tv;
    ASSERT_TRUE(tv.Start(fakeapps::kTvEnhance, kTvClass, kTvTitle, WindowState::ScreenPopup,
                         Activation::Front));
    StartMonitorOrFail(monitor_);
    ASSERT_TRUE(WaitForEvents(1));
    ASSERT_TRUE(WaitForLampWord(2));
    WaitTicks(3);  // the refresh budget is spent: a tick without change calls nothing
    lampCalls_.Since();

    velutils_.Set("CallDelayMs", kSlowCallMs);
    AlignToTick();
    ticks_.Arm();
    ASSERT_TRUE(tv.Minimise());
    ASSERT_TRUE(ticks_.WaitForTick(kTickWaitMs));
    const DWORD heldUp = ::GetTickCount();
    // The read in front of the change is asleep by now; the write after it
    // is fast again. Meanwhile the window goes back to full screen.
    PumpFor(500);
    velutils_.Set("CallDelayMs", 0);
    ASSERT_TRUE(tv.SetState(WindowState::ScreenPopup));
    ASSERT_TRUE(tv.BringToFront());

    ASSERT_TRUE(WaitForEvents(2, kSlowCallMs + 2000));
    EXPECT_GE(::GetTickCount() - heldUp, kSlowCallMs - 300) << "the tick was not held up";
    ASSERT_TRUE(WaitForEvents(3));
    ASSERT_TRUE(WaitForLampWord(2));
    ExpectTickRate();
    EXPECT_EQ((std::vector<DWORD>{kFullScreen, kClosed, kFullScreen}), ReportedStates());
    EXPECT_EQ((LampCalls{"R2", "W0", "R0", "W2"}), lampCalls_.Since());
}

TEST_F(DriverFaultTest, CallsBlockingAtStartDelayOnlyTheStart)
{
    SetModes(2, 2);
    velutils_.Set("CallDelayMs", kSlowCallMs);
    const DWORD started = ::GetTickCount();
    StartMonitorOrFail(monitor_);
    // The probe's two calls come before the window.
    EXPECT_GE(::GetTickCount() - started, 2 * kSlowCallMs - 300);
    velutils_.Set("CallDelayMs", 0);
    ASSERT_TRUE(WaitForLampWord(3));
    WaitTicks(2);
    EXPECT_EQ((LampCalls{"W2", "W3"}), WritesOf(lampCalls_.Since()));
    EXPECT_EQ(1u, Opens(velutils_));
}

}  // namespace
}  // namespace testsupport::faults
