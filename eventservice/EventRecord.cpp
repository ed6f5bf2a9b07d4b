#include "eventservice/EventRecord.h"

namespace tavrel {

namespace {

// Offsets of the named fields; every other byte stays 0.
constexpr size_t kSizeOffset = 0;
constexpr size_t kTickOffset = 4;
constexpr size_t kKindOffset = 8;
constexpr size_t kFlagsOffset = 20;
constexpr size_t kCountOffset = 36;
constexpr size_t kValuesOffset = 40;

constexpr DWORD kKind = 5;
constexpr DWORD kFlags = 3;  // bits 0 and 1

static_assert(kValuesOffset + kEventRecordMaxValues * sizeof(DWORD) == kEventRecordSize,
              "the value slots end the record");

void PutLittleEndian(EventRecord& record, size_t offset, DWORD value) noexcept
{
    for (size_t i = 0; i < sizeof(DWORD); ++i) {
        record[offset + i] = static_cast<BYTE>(value >> (8 * i));
    }
}

}  // namespace

EventRecord BuildEventRecord(const DWORD* values, DWORD count, DWORD tickCount) noexcept
{
    if (values == nullptr) {
        count = 0;
    }
    if (count > kEventRecordMaxValues) {
        count = kEventRecordMaxValues;
    }
    EventRecord record{};
    PutLittleEndian(record, kSizeOffset, static_cast<DWORD>(kEventRecordSize));
    PutLittleEndian(record, kTickOffset, tickCount);
    PutLittleEndian(record, kKindOffset, kKind);
    PutLittleEndian(record, kFlagsOffset, kFlags);
    record[kCountOffset] = static_cast<BYTE>(count);
    for (DWORD i = 0; i < count; ++i) {
        PutLittleEndian(record, kValuesOffset + i * sizeof(DWORD), values[i]);
    }
    return record;
}

}  // namespace tavrel
