#include "monitoring/WindowScan.h"

#include <mbstring.h>

#include "monitoring/AppCatalog.h"
#include "settings/RegistryPath.h"
#include "settings/Settings.h"

namespace tavrel {

namespace {

// Offsets 0 and 1 are a drive letter and its colon; a mark there is not a
// folder name.
constexpr size_t kFirstCountedOffset = 2;

bool HasMarkFromOffset2(const char* path, const char* mark) noexcept
{
    const auto* text = reinterpret_cast<const unsigned char*>(path);
    const unsigned char* found =
        ::_mbsstr(text, reinterpret_cast<const unsigned char*>(mark));
    return found != nullptr && static_cast<size_t>(found - text) >= kFirstCountedOffset;
}

struct WindowSearch {
    const char* className;  // null: any class
    const char* title;      // null: any title
};

WindowSearch SearchFor(size_t index) noexcept
{
    switch (index) {
    case AppWinDvd:
    case AppWinDvdBd:
        return {scan_names::kWinDvdClass, nullptr};
    case AppMediaCenter:
        return {scan_names::kMediaCenterClass, nullptr};
    case AppTvEnhanceQuorb:
        return {scan_names::kTvEnhanceClass, AppTitles[AppTvEnhanceQuorb]};
    default:
        return {nullptr, AppTitles[index]};
    }
}

}  // namespace

size_t EditionFromPath(const char* path) noexcept
{
    if (path == nullptr) {
        return 0;
    }
    if (HasMarkFromOffset2(path, scan_names::kDvdEditionMark)) {
        return AppWinDvd;
    }
    if (HasMarkFromOffset2(path, scan_names::kBdEditionMark)) {
        return AppWinDvdBd;
    }
    return 0;
}

size_t InterVideoEdition() noexcept
{
    PathBuffer path;
    if (!ReadRegistryPath(HKEY_LOCAL_MACHINE, scan_names::kInterVideoKey,
                          scan_names::kInterVideoPathValue, path)) {
        return 0;
    }
    return EditionFromPath(path.text);
}

void WindowScan() noexcept
{
    for (size_t index = 0; index < kAppCount; ++index) {
        const WindowSearch search = SearchFor(index);
        HWND window = ::FindWindowA(search.className, search.title);
        // The media centre stands in for TV Enhance when the remote key says
        // so; TV Enhance's own search is then skipped in this pass.
        if (index == AppMediaCenter && window != nullptr && RemoteKeyApp4Active() != 0) {
            index = AppTvEnhanceQuorb;
        }
        if (window == nullptr) {
            if (CurrentAppStates()[index] != StateNone) {
                SetAppState(index, StateClosed);
            }
            continue;
        }
        const DWORD state = ::IsIconic(window) ? StateClosed : StateOpen;
        if (index == AppWinDvd || index == AppWinDvdBd) {
            const size_t edition = InterVideoEdition();
            if (edition != 0) {
                SetAppState(edition, state);
            }
        } else {
            SetAppState(index, state);
        }
    }
}

}  // namespace tavrel
