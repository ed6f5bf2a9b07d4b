// Base of the fault matrix: the real monitor with the stand-ins, and the
// checks every row makes whatever component it breaks: the monitor goes on
// ticking once a second, and a window change it should see lands between
// two ticks rather than in the middle of one.
#pragma once

#include <windows.h>

#include <functional>
#include <string>
#include <vector>

#include "tests/support/EventServiceStandIn.h"
#include "tests/support/FakeApp.h"
#include "tests/support/MonitorTestBase.h"

namespace testsupport::faults {

using names::kChatClass;
using names::kChatTitle;
using names::kClosed;
using names::kForeground;
using names::kFullScreen;
using names::kOpen;
using names::kTvClass;
using names::kTvTitle;

// A tick is due every second; one that has not come within this time is
// missing.
constexpr DWORD kTickWaitMs = 2500;

class FaultMatrixTest : public MonitorTestBase {
protected:
    void StartMonitorAndWaitForATick();

    // Waits for that many ticks in a row, each within kTickWaitMs; fails
    // the test otherwise.
    void WaitTicks(int count);

    // Returns a little after a tick has begun, so that the next second is
    // free for the test to change something the next tick will see.
    void AlignToTick();

    // Counts the ticks over the period and expects the once-a-second rate:
    // neither stopped nor doubled.
    void ExpectTickRate(DWORD periodMs = 3200);

    // Runs the action right after a tick; true when no tick began while it
    // ran, so the next tick sees only what the action left. Tries again
    // (after two more ticks) when a tick came in between. prepare runs
    // before each attempt, outside the timed part: stand-in programs are
    // started there and only released by the action.
    bool BetweenTwoTicks(const std::function<bool()>& prepare,
                         const std::function<bool()>& action);

    // Starts the tracked application's window right after a tick.
    bool StartTv(FakeApp& app, WindowState state, Activation activation);

    // Registers the event service and sets the location that enables the
    // event reports and the chat-client check; call before the monitor starts.
    void EnableReports();

    // The first value of every event fired so far, in order.
    std::vector<DWORD> ReportedStates() const;
    bool WaitForEvents(size_t count, DWORD timeoutMs = 3000) const;

    // Error boxes (dialog class "#32770") the monitor process shows, with
    // their captions and texts, for a failure message.
    size_t MonitorDialogs() const;
    std::string DescribeMonitorDialogs() const;

    EventServiceStandIn service_;
    ChildProcess monitor_;
    TickProbe ticks_;
};

}  // namespace testsupport::faults
