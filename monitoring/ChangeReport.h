// Compares the states seen this tick with those last reported, sends the
// new codes of the changed entries to the event service as one event, and
// makes the current states the reported ones.
#pragma once

#include <windows.h>

#include <array>

#include "monitoring/AppCatalog.h"

namespace tavrel {

constexpr DWORD kAppStateEventCode = 0x01200007;
constexpr size_t kMaxReportedChanges = 8;

struct ChangeList {
    std::array<DWORD, kMaxReportedChanges> codes = {};
    size_t count = 0;
};

// The current codes of the entries that differ from their previous codes,
// in catalogue order, at most eight of them.
ChangeList BuildChangeList(const AppStateArray& current, const AppStateArray& previous) noexcept;

// Sends the event when anything changed and the location flag is set, then
// commits the current states. Without the location flag nothing is sent and
// nothing committed. An out-of-memory failure of the event client passes
// through, before the commit, so the change goes out with a later tick.
void ChangeReport();

}  // namespace tavrel
