// The stop requests other programs send to the monitor's hidden window.
#include <gtest/gtest.h>

#include "tests/support/MonitorTestBase.h"
#include "tests/support/Wait.h"

namespace testsupport {
namespace {

constexpr DWORD kExitTimeoutMs = 10000;

class WindowMessagesTest : public MonitorTestBase {
protected:
    void SetUp() override
    {
        MonitorTestBase::SetUp();
        StartMonitorOrFail(monitor_, window_);
    }

    // Holds the halt event open to see whether it was signalled. Closed
    // before the test ends, so no later instance finds it signalled.
    tavrel::UniqueHandle OpenHaltEvent() const
    {
        return tavrel::UniqueHandle(::OpenEventA(SYNCHRONIZE, FALSE, names::kHaltEvent));
    }

    size_t Count(const std::string& function) const
    {
        return WithFunction(velutils_.Records(), function).size();
    }

    ChildProcess monitor_;
    HWND window_ = nullptr;
};

TEST_F(WindowMessagesTest, HaltRequestSentEndsTheInstanceWithoutClosingTheDriver)
{
    tavrel::UniqueHandle event = OpenHaltEvent();
    ASSERT_TRUE(event.valid());
    ::SendMessageTimeoutA(window_, names::kHaltRequestMessage, 0, 0, SMTO_NORMAL, 5000, nullptr);
    const auto code = monitor_.WaitExit(kExitTimeoutMs);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(0u, *code);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(event.get(), 0));
    EXPECT_EQ(1u, Count("VuOpen"));
    EXPECT_EQ(0u, Count("VuClose"));
    EXPECT_EQ(0u, Count("Unloaded"));
}

TEST_F(WindowMessagesTest, HaltRequestPostedEndsTheInstanceToo)
{
    ASSERT_TRUE(::PostMessageA(window_, names::kHaltRequestMessage, 0, 0));
    const auto code = monitor_.WaitExit(kExitTimeoutMs);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(0u, *code);
    EXPECT_EQ(0u, Count("VuClose"));
}

TEST_F(WindowMessagesTest, QuitSentClosesAndUnloadsTheDriverThenHaltsAll)
{
    tavrel::UniqueHandle event = OpenHaltEvent();
    ASSERT_TRUE(event.valid());
    ::SendMessageTimeoutA(window_, WM_QUIT, 0, 0, SMTO_NORMAL, 5000, nullptr);
    const auto code = monitor_.WaitExit(kExitTimeoutMs);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(0u, *code);
    EXPECT_EQ(WAIT_OBJECT_0, ::WaitForSingleObject(event.get(), 0));

    const auto records = velutils_.Records();
    ASSERT_GE(records.size(), 3u);
    // VuOpen first, and at the end VuClose with the handle VuOpen gave,
    // followed by the unload.
    EXPECT_EQ("VuOpen", records.front().Text("fn"));
    const Record& close = records[records.size() - 2];
    EXPECT_EQ("VuClose", close.Text("fn"));
    EXPECT_EQ(records.front().Number("result"), close.Number("handle"));
    EXPECT_EQ("Unloaded", records.back().Text("fn"));
    EXPECT_EQ(1u, Count("VuClose"));
}

TEST_F(WindowMessagesTest, QuitPostedEndsOnlyThisInstanceWithoutClosingTheDriver)
{
    tavrel::UniqueHandle event = OpenHaltEvent();
    ASSERT_TRUE(event.valid());
    ASSERT_TRUE(::PostMessageA(window_, WM_QUIT, 0, 0));
    const auto code = monitor_.WaitExit(kExitTimeoutMs);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(0u, *code);
    EXPECT_EQ(WAIT_TIMEOUT, ::WaitForSingleObject(event.get(), 0))
        << "a posted quit must not halt the other instances";
    // The instance returns from its entry: the driver utility is neither
    // closed nor unloaded then, it goes with the process.
    EXPECT_EQ(0u, Count("VuClose"));
    EXPECT_EQ(0u, Count("Unloaded"));
    EXPECT_EQ(1u, Count("ProcessEnded"));
}

TEST_F(WindowMessagesTest, CloseDestroysTheWindowButTheInstanceLivesOn)
{
    ::SendMessageTimeoutA(window_, WM_CLOSE, 0, 0, SMTO_NORMAL, 5000, nullptr);
    EXPECT_TRUE(WaitUntil([this] { return !::IsWindow(window_); }, 5000));
    TickProbe ticks;
    EXPECT_FALSE(ticks.WaitForTick(2500)) << "the timer should have gone with the window";
    EXPECT_TRUE(monitor_.IsRunning());
    EXPECT_TRUE(InstanceMutexExists());
}

}  // namespace
}  // namespace testsupport
