#include "tests/system/faults/LampCalls.h"

#include <windows.h>

namespace testsupport::faults {

namespace {
constexpr DWORD kLampRead = 125;
constexpr DWORD kLampWrite = 126;
}  // namespace

LampCalls LampSequence(const std::vector<Record>& driverCalls)
{
    LampCalls sequence;
    for (const Record& call : driverCalls) {
        const auto code = static_cast<DWORD>(call.Number("code"));
        if (code == kLampRead) {
            sequence.push_back(call.Number("result") == 0
                                   ? "R!"
                                   : "R" + std::to_string(call.Number("word_out")));
        } else if (code == kLampWrite) {
            sequence.push_back("W" + std::to_string(call.Number("word_in")));
        }
    }
    return sequence;
}

LampCalls WritesOf(const LampCalls& sequence)
{
    LampCalls writes;
    for (const std::string& call : sequence) {
        if (call[0] == 'W') {
            writes.push_back(call);
        }
    }
    return writes;
}

LampCalls LampCallCursor::Since()
{
    const LampCalls all = LampSequence(velutils_.DriverCalls());
    const size_t from = seen_ < all.size() ? seen_ : all.size();
    seen_ = all.size();
    return LampCalls(all.begin() + static_cast<std::ptrdiff_t>(from), all.end());
}

}  // namespace testsupport::faults
