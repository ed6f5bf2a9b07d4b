// Fault matrix, event service: absent, refusing the object, the
// registration or the event, or holding the tick up inside a call. A change
// the service missed is not sent again; the next change goes out once the
// service is back; every object made is released once.
#include <gtest/gtest.h>

#include <ostream>
#include <vector>

#include "tests/support/Wait.h"
#include "tests/system/faults/FaultMatrixTest.h"

namespace testsupport::faults {
namespace {

// How long a slow service holds a report up.
constexpr DWORD kSlowServiceMs = 3000;
// A refusal the service may answer with; any negative HRESULT would do.
constexpr HRESULT kRefused = E_ACCESSDENIED;

struct ServiceRow {
    const char* name;
    void (*inject)(const EventServiceStandIn&);
    void (*remove)(const EventServiceStandIn&);
    // What the service sees of the report made during the fault.
    size_t refusedCreations;
    size_t registrations;
    size_t fireCalls;
    // The fault only slows the report down (for kSlowServiceMs).
    bool slow;
    // Every FireEvent call of the test: the report during the fault, then
    // the next change's.
    std::vector<DWORD> fired;
};

const ServiceRow kServiceRows[] = {
    {"NotRegistered",
     [](const EventServiceStandIn& service) { service.Unregister(); },
     [](const EventServiceStandIn& service) { service.Register(); },
     0, 0, 0, false, {kClosed}},
    {"CreationRefused",
     [](const EventServiceStandIn& service) { service.FailCreation(kRefused); },
     [](const EventServiceStandIn& service) { service.FailCreation(S_OK); },
     1, 0, 0, false, {kClosed}},
    {"RegistrationRefused",
     [](const EventServiceStandIn& service) { service.FailRegistration(kRefused); },
     [](const EventServiceStandIn& service) { service.FailRegistration(S_OK); },
     0, 1, 0, false, {kClosed}},
    {"FireEventFailing",
     [](const EventServiceStandIn& service) { service.FailFireEvent(E_FAIL); },
     [](const EventServiceStandIn& service) { service.FailFireEvent(S_OK); },
     0, 1, 1, false, {kOpen, kClosed}},
    {"RegistrationBlocking",
     [](const EventServiceStandIn& service) { service.DelayRegistration(kSlowServiceMs); },
     [](const EventServiceStandIn& service) { service.DelayRegistration(0); },
     0, 1, 1, true, {kOpen, kClosed}},
    {"FireEventBlocking",
     [](const EventServiceStandIn& service) { service.DelayFireEvent(kSlowServiceMs); },
     [](const EventServiceStandIn& service) { service.DelayFireEvent(0); },
     0, 1, 1, true, {kOpen, kClosed}},
};

// Rows show by name in test listings.
void PrintTo(const ServiceRow& row, std::ostream* out) { *out << row.name; }

class EventServiceFaultTest : public FaultMatrixTest,
                              public ::testing::WithParamInterface<ServiceRow> {
protected:
    size_t RefusedCreations() const
    {
        return WithFunction(service_.Records(), "CreateRefused").size();
    }

    void ExpectReportSeenAsInTheRow(const ServiceRow& row) const
    {
        EXPECT_EQ(row.refusedCreations, RefusedCreations());
        EXPECT_EQ(row.registrations, service_.Registrations().size());
        EXPECT_EQ(row.fireCalls, service_.Events().size());
    }
};

TEST_P(EventServiceFaultTest, MissedChangesStayMissedAndTheNextChangeGoesOut)
{
    const ServiceRow& row = GetParam();
    EnableReports();
    row.inject(service_);
    StartMonitorAndWaitForATick();

    FakeApp tv;
    ASSERT_TRUE(StartTv(tv, WindowState::Normal, Activation::Behind));
    if (row.slow) {
        // The tick that sees the window is held up in the service; the
        // window is minimised meanwhile, which the tick after it reports.
        ticks_.Arm();
        ASSERT_TRUE(ticks_.WaitForTick(kTickWaitMs));
        const DWORD heldUp = ::GetTickCount();
        PumpFor(500);
        row.remove(service_);
        ASSERT_TRUE(tv.Minimise());
        ASSERT_TRUE(WaitForEvents(1, kSlowServiceMs + 2000));
        EXPECT_GE(::GetTickCount() - heldUp, kSlowServiceMs - 300) << "the tick was not held up";
        ASSERT_TRUE(WaitForEvents(2));
        ExpectTickRate();
    } else {
        WaitTicks(2);
        ExpectReportSeenAsInTheRow(row);
        row.remove(service_);
        // Nothing is sent again for the missed change.
        WaitTicks(1);
        PumpFor(300);
        ExpectReportSeenAsInTheRow(row);
        ASSERT_TRUE(tv.Minimise());
        ASSERT_TRUE(WaitForEvents(row.fireCalls + 1));
        WaitTicks(1);
    }
    EXPECT_EQ(row.fired, ReportedStates());
    EXPECT_EQ(row.registrations + 1, service_.Registrations().size());
    EXPECT_EQ(0u, service_.ObjectsAlive()) << "an object was not released";
    EXPECT_EQ(0u, service_.OverReleases());
    EXPECT_EQ(0u, service_.UnusedSlotCalls());
    EXPECT_TRUE(monitor_.IsRunning());
}

INSTANTIATE_TEST_SUITE_P(EventService, EventServiceFaultTest, ::testing::ValuesIn(kServiceRows),
                         [](const ::testing::TestParamInfo<ServiceRow>& info) {
                             return std::string(info.param.name);
                         });

}  // namespace
}  // namespace testsupport::faults
