#include "monitoring/ChangeReport.h"

#include "eventservice/CQESInterface.h"
#include "settings/Settings.h"

namespace tavrel {

namespace {

void SendAppStateEvent(const ChangeList& changes)
{
    // A fresh client for every report: no connection outlives one report.
    CQESInterface client;
    if (client.Connect() >= 0) {
        client.Send(0, kAppStateEventCode, changes.codes.data(), static_cast<DWORD>(changes.count),
                    0);
    }
    client.Disconnect();
}

}  // namespace

ChangeList BuildChangeList(const AppStateArray& current, const AppStateArray& previous) noexcept
{
    ChangeList changes;
    for (size_t index = 0; index < kAppCount && changes.count < kMaxReportedChanges; ++index) {
        if (current[index] != previous[index]) {
            changes.codes[changes.count++] = current[index];
        }
    }
    return changes;
}

void ChangeReport()
{
    const ChangeList changes = BuildChangeList(CurrentAppStates(), PreviousAppStates());
    if (LocationFlag() == 0) {
        return;
    }
    if (changes.count > 0) {
        SendAppStateEvent(changes);
    }
    CommitAppStates();
}

}  // namespace tavrel
