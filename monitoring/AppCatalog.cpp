#include "monitoring/AppCatalog.h"

namespace tavrel {

const std::array<const char*, kAppCount> AppTitles = {
    "Windows Media Player",
    "InterVideo WinDVD 7",
    "InterVideo WinDVD for QUORB",
    "InterVideo WinDVD",
    "Windows Media Center",
    "TV Enhance for QUORB",
    "StationTV Digital",
    "TVEnhance",
    "InterVideo WinDVD BD for QUORB",
    "Emotional Player",
};

namespace {

// Catalogue index -> application ID. The three WinDVD titles share ID 3.
constexpr std::array<LONG, kAppCount> kBuiltInAppIds = {5, 3, 3, 3, 2, 1, 6, 7, 4, 8};

AppIdMapType g_appIdMap;
AppStateArray g_current = {};
AppStateArray g_previous = {};

}  // namespace

void BuildAppIdMap() noexcept
{
    g_appIdMap.clear();
    for (DWORD index = 0; index < kAppCount; ++index) {
        g_appIdMap.emplace(index, kBuiltInAppIds[index]);
    }
}

bool IsTracked(size_t index) noexcept
{
    const auto found = g_appIdMap.find(static_cast<DWORD>(index));
    return found != g_appIdMap.end() && found->second == TrackedAppId;
}

void SetAppState(size_t index, DWORD state) noexcept
{
    if (index < kAppCount && IsTracked(index)) {
        g_current[index] = state;
    }
}

const AppStateArray& CurrentAppStates() noexcept { return g_current; }
const AppStateArray& PreviousAppStates() noexcept { return g_previous; }
void CommitAppStates() noexcept { g_previous = g_current; }

void ResetAppCatalogForTest() noexcept
{
    g_appIdMap.clear();
    g_current = {};
    g_previous = {};
}

void ReplaceAppIdMapForTest(const AppIdMapType& map) { g_appIdMap = map; }

}  // namespace tavrel
