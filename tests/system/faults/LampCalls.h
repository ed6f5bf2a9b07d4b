// The lamp calls the driver-utility stand-in recorded, in a short form a
// row can state exactly: "R3" for a read that answered 3, "R!" for a read
// that failed, "W2" for a write of 2. The start-up probe (codes 136 and
// 137) is left out.
#pragma once

#include <string>
#include <vector>

#include "tests/support/VelUtilsStandIn.h"

namespace testsupport::faults {

using LampCalls = std::vector<std::string>;

LampCalls LampSequence(const std::vector<Record>& driverCalls);

// Only the writes of a sequence.
LampCalls WritesOf(const LampCalls& sequence);

// Hands out the lamp calls recorded since it last looked.
class LampCallCursor {
public:
    explicit LampCallCursor(const VelUtilsStandIn& velutils) : velutils_(velutils) {}
    LampCalls Since();

private:
    const VelUtilsStandIn& velutils_;
    size_t seen_ = 0;
};

}  // namespace testsupport::faults
