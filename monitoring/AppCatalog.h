// What the monitor knows in advance about the ten media applications it
// watches, and the table of the states it has seen of them.
#pragma once

#include <windows.h>

#include <array>
#include <map>

namespace tavrel {

constexpr size_t kAppCount = 10;

// Unsigned 32-bit state of one catalogue entry. 0 means nothing seen yet;
// nothing ever writes 0 back into a slot.
enum AppState : DWORD {
    StateNone = 0,
    StateClosed = 0x10000,      // minimised, or gone after having been seen
    StateOpen = 0x10001,        // window exists and is not minimised
    StateForeground = 0x10002,  // owns the foreground window, not filling the screen
    StateFullScreen = 0x10003,  // owns the foreground window and fills the screen
};

// Catalogue indices, named where other parts refer to a particular entry.
enum AppIndex : size_t {
    AppMediaPlayer = 0,
    AppWinDvd7 = 1,
    AppWinDvdQuorb = 2,
    AppWinDvd = 3,
    AppMediaCenter = 4,
    AppTvEnhanceQuorb = 5,
    AppStationTv = 6,
    AppTvEnhance = 7,
    AppWinDvdBd = 8,
    AppEmotionalPlayer = 9,
};

// Main-window titles by catalogue index.
extern const std::array<const char*, kAppCount> AppTitles;

// Only entries whose application ID is this one are recorded.
constexpr LONG TrackedAppId = 1;

using AppStateArray = std::array<DWORD, kAppCount>;
using AppIdMapType = std::map<DWORD, LONG>;

// Fills AppIdMap with the built-in catalogue index -> application ID pairs.
void BuildAppIdMap() noexcept;

bool IsTracked(size_t index) noexcept;

// Stores the code in the current slot when the entry is tracked; the only
// way the scan and the foreground analysis change the table.
void SetAppState(size_t index, DWORD state) noexcept;

const AppStateArray& CurrentAppStates() noexcept;
const AppStateArray& PreviousAppStates() noexcept;
// The change report's last step: previous <- current.
void CommitAppStates() noexcept;

// For tests: start afresh, or track other entries than the built-in map.
void ResetAppCatalogForTest() noexcept;
void ReplaceAppIdMapForTest(const AppIdMapType& map);

}  // namespace tavrel
