// The bytes of the event record, checked against records written out by
// hand.
#include <gtest/gtest.h>

#include <vector>

#include "eventservice/EventRecord.h"

namespace tavrel {
namespace {

// The header every record shares: size 72, the tick count, 5 at offset 8,
// 3 at offset 20; then the count byte and the value slots.
EventRecord Expected(DWORD tick, BYTE countByte, const std::vector<DWORD>& slots)
{
    EventRecord bytes{};
    auto put = [&bytes](size_t offset, DWORD value) {
        for (size_t i = 0; i < 4; ++i) {
            bytes[offset + i] = static_cast<BYTE>(value >> (8 * i));
        }
    };
    put(0, 72);
    put(4, tick);
    put(8, 5);
    put(20, 3);
    bytes[36] = countByte;
    for (size_t i = 0; i < slots.size(); ++i) {
        put(40 + 4 * i, slots[i]);
    }
    return bytes;
}

TEST(EventRecordTest, TwoValuesTenAndTwentyGiveTheseBytes)
{
    const DWORD values[] = {10, 20};
    const EventRecord expected = {
        72, 0, 0, 0,  0x78, 0x56, 0x34, 0x12,  5, 0, 0, 0,  0, 0, 0, 0,  // 0-15
        0, 0, 0, 0,   3, 0, 0, 0,              0, 0, 0, 0,  0, 0, 0, 0,  // 16-31
        0, 0, 0, 0,   2, 0, 0, 0,              10, 0, 0, 0, 20, 0, 0, 0, // 32-47
        0, 0, 0, 0,   0, 0, 0, 0,              0, 0, 0, 0,  0, 0, 0, 0,  // 48-63
        0, 0, 0, 0,   0, 0, 0, 0};                                      // 64-71
    EXPECT_EQ(expected, BuildEventRecord(values, 2, 0x12345678));
}

struct RecordCase {
    const char* name;
    std::vector<DWORD> values;
    DWORD count;
    bool nullValues;
    BYTE countByte;
    std::vector<DWORD> slots;
};

TEST(EventRecordTest, CountsAndValueSlots)
{
    const std::vector<DWORD> eight = {0x10003, 0x10002, 0x10001, 0x10000,
                                      0xA1B2C3D4, 0xFFFFFFFF, 1, 0x80000000};
    std::vector<DWORD> nine = eight;
    nine.push_back(0xDEADBEEF);
    std::vector<DWORD> many(300, 0x01010101);

    const RecordCase cases[] = {
        {"no values", {}, 0, false, 0, {}},
        {"one value", {0x10001}, 1, false, 1, {0x10001}},
        {"count below the values given", {7, 8, 9}, 2, false, 2, {7, 8}},
        {"eight values fill offsets 40 to 71", eight, 8, false, 8, eight},
        // The count byte never announces more values than the record holds.
        {"nine values are cut to eight", nine, 9, false, 8, eight},
        {"a count of 256 is cut to eight, not wrapped to 0", many, 256, false, 8,
         std::vector<DWORD>(8, 0x01010101)},
        {"no values pointer means no values", {}, 3, true, 0, {}},
    };
    for (const RecordCase& c : cases) {
        const DWORD tick = 0xFEDCBA98;
        const EventRecord built =
            BuildEventRecord(c.nullValues ? nullptr : c.values.data(), c.count, tick);
        EXPECT_EQ(Expected(tick, c.countByte, c.slots), built) << c.name;
    }
}

}  // namespace
}  // namespace tavrel
