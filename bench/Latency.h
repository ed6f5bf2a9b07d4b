// The latency from a change of the tracked window to the event the service
// stand-in records, and what each reported change costs in driver calls
// and COM objects.
#pragma once

#include <windows.h>

#include <random>
#include <vector>

#include "bench/BenchBed.h"
#include "tests/support/StandInRecords.h"

namespace bench {

struct LatencyRun {
    int changes = 0;
    std::vector<double> latencies;  // ms, one per change whose event came
    std::vector<double> phases;     // ms after the tick the change was made at
    size_t missed = 0;
    size_t wrongValues = 0;
    size_t extraEvents = 0;
    size_t driverCalls = 0;
    size_t objectsCreated = 0;
};

// Switches the tracked window, which is in front, between full-screen and
// normal, each time at a random phase relative to the tick (the tick's
// moment is known from the last event, which a tick sends). The latency is
// the event record's tick count minus the moment just before the change
// was asked for.
LatencyRun MeasureLatency(testsupport::FakeApp& tv, BenchBed& bed, int changes,
                          std::mt19937& random);

// Records whose "tick" field lies in [from, to].
size_t CountInWindow(const std::vector<testsupport::Record>& records, DWORD from, DWORD to);

// Event-service objects made in [from, to].
size_t ObjectsCreatedIn(const testsupport::EventServiceStandIn& events, DWORD from, DWORD to);

}  // namespace bench
