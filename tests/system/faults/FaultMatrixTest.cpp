#include "tests/system/faults/FaultMatrixTest.h"

#include "tests/support/ProcessWindows.h"
#include "tests/support/Wait.h"

namespace testsupport::faults {

namespace {
// Time a tick needs after it has cleared the probe value: the rest of its
// steps, so that a change made afterwards is seen only by the next tick.
constexpr DWORD kTickSettleMs = 100;
constexpr int kBetweenTicksAttempts = 5;
constexpr const char* kDialogClass = "#32770";

// GetWindowText does not reach into another process's controls; the
// message does.
std::string WindowText(HWND window)
{
    char text[512] = {};
    DWORD_PTR copied = 0;
    ::SendMessageTimeoutA(window, WM_GETTEXT, sizeof(text), reinterpret_cast<LPARAM>(text),
                          SMTO_ABORTIFHUNG, 1000, &copied);
    return text;
}
}  // namespace

void FaultMatrixTest::StartMonitorAndWaitForATick()
{
    StartMonitorOrFail(monitor_);
    ticks_.Arm();
    ASSERT_TRUE(ticks_.WaitForTick(kTickWaitMs)) << "no first tick";
}

void FaultMatrixTest::WaitTicks(int count)
{
    for (int i = 0; i < count; ++i) {
        ticks_.Arm();
        ASSERT_TRUE(ticks_.WaitForTick(kTickWaitMs)) << "tick " << i + 1 << " of " << count;
    }
}

void FaultMatrixTest::AlignToTick()
{
    ticks_.Arm();
    ticks_.WaitForTick(kTickWaitMs);
    PumpFor(kTickSettleMs);
}

void FaultMatrixTest::ExpectTickRate(DWORD periodMs)
{
    const int expected = static_cast<int>(periodMs / 1000);
    const int ticks = ticks_.CountTicks(periodMs);
    EXPECT_GE(ticks, expected - 1) << "ticks in " << periodMs << " ms";
    EXPECT_LE(ticks, expected + 2) << "ticks in " << periodMs << " ms";
}

bool FaultMatrixTest::BetweenTwoTicks(const std::function<bool()>& prepare,
                                      const std::function<bool()>& action)
{
    for (int attempt = 0; attempt < kBetweenTicksAttempts; ++attempt) {
        if (!prepare()) {
            return false;
        }
        AlignToTick();
        ticks_.Arm();
        if (!action()) {
            return false;
        }
        if (ticks_.Armed()) {
            return true;
        }
        // A tick came in between and may have seen part of it: let the
        // monitor settle and try again.
        WaitTicks(2);
    }
    return false;
}

bool FaultMatrixTest::StartTv(FakeApp& app, WindowState state, Activation activation)
{
    AlignToTick();
    return app.Start(fakeapps::kTvEnhance, kTvClass, kTvTitle, state, activation);
}

void FaultMatrixTest::EnableReports()
{
    ASSERT_TRUE(service_.Register());
    ASSERT_TRUE(SetDword(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, "dwLocation",
                         names::kLocationAtHome));
}

std::vector<DWORD> FaultMatrixTest::ReportedStates() const
{
    std::vector<DWORD> states;
    for (const FiredEvent& event : service_.Events()) {
        const auto values = event.Values();
        states.push_back(values.empty() ? 0 : values.front());
    }
    return states;
}

bool FaultMatrixTest::WaitForEvents(size_t count, DWORD timeoutMs) const
{
    return WaitUntil([&] { return service_.Events().size() >= count; }, timeoutMs);
}

size_t FaultMatrixTest::MonitorDialogs() const
{
    return TopLevelWindows(monitor_.Id(), kDialogClass).size();
}

std::string FaultMatrixTest::DescribeMonitorDialogs() const
{
    std::string description;
    for (HWND dialog : TopLevelWindows(monitor_.Id(), kDialogClass)) {
        description += "[" + WindowText(dialog) + "]";
        for (HWND child = ::GetWindow(dialog, GW_CHILD); child != nullptr;
             child = ::GetWindow(child, GW_HWNDNEXT)) {
            const std::string text = WindowText(child);
            if (!text.empty()) {
                description += " " + text;
            }
        }
        description += "\n";
    }
    return description;
}

}  // namespace testsupport::faults
