// The 72-byte record that carries the changed state codes to the event
// service: little-endian, zero wherever no field is named.
#pragma once

#include <windows.h>

#include <array>
#include <cstddef>

namespace tavrel {

constexpr size_t kEventRecordSize = 72;
constexpr DWORD kEventRecordMaxValues = 8;

using EventRecord = std::array<BYTE, kEventRecordSize>;

// Builds the record from count values and the tick count of its making.
// A count above kEventRecordMaxValues is taken as kEventRecordMaxValues,
// so the count byte never announces more values than the record holds; a
// null values pointer stands for no values.
EventRecord BuildEventRecord(const DWORD* values, DWORD count, DWORD tickCount) noexcept;

}  // namespace tavrel
