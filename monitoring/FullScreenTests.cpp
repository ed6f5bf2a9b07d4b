#include "monitoring/FullScreenTests.h"

#include <cstring>

#include "monitoring/AppCatalog.h"
#include "settings/Settings.h"

namespace tavrel {

namespace {

constexpr int kTitleCapacity = 260;

bool ReadWindowInfo(HWND window, WINDOWINFO& info) noexcept
{
    info = WINDOWINFO{};
    info.cbSize = sizeof(info);
    return window != nullptr && ::GetWindowInfo(window, &info) != FALSE;
}

bool IsMaximized(HWND window) noexcept
{
    WINDOWINFO info;
    return ReadWindowInfo(window, info) && HasMaximizedStyle(info.dwStyle);
}

bool HasScreenSizedClient(const WINDOWINFO& info) noexcept
{
    return IsScreenSized(info.rcClient, ::GetSystemMetrics(SM_CXSCREEN),
                         ::GetSystemMetrics(SM_CYSCREEN));
}

bool TitleEquals(HWND window, const char* expected) noexcept
{
    char title[kTitleCapacity] = {};
    ::GetWindowTextA(window, title, kTitleCapacity);
    return std::strcmp(title, expected) == 0;
}

HWND FindTopLevelByTitle(const char* title) noexcept { return ::FindWindowA(nullptr, title); }

// The window whose style decides: the foreground window itself, or, for a
// playback window titled "Player", the first main window found by title.
template <size_t N>
HWND InterVideoTarget(HWND window, const char* const (&mainTitles)[N]) noexcept
{
    if (!TitleEquals(window, fullscreen_names::kPlayerTitle)) {
        return window;
    }
    for (const char* title : mainTitles) {
        if (HWND found = FindTopLevelByTitle(title)) {
            return found;
        }
    }
    return nullptr;
}

// Title check first, then the window facts, as each rule needs them.
int TitledScreenSized(HWND window, const char* title) noexcept
{
    if (!TitleEquals(window, title)) {
        return 0;
    }
    WINDOWINFO info;
    return ReadWindowInfo(window, info) && HasScreenSizedClient(info) ? 1 : 0;
}

}  // namespace

bool HasMaximizedStyle(DWORD style) noexcept { return (style & WS_MAXIMIZE) != 0; }

bool IsScreenSized(const RECT& client, int screenWidth, int screenHeight) noexcept
{
    return client.right - client.left == screenWidth && client.bottom - client.top == screenHeight;
}

int MediaPlayerFullScreen(HWND window) noexcept
{
    WINDOWINFO info;
    if (!ReadWindowInfo(window, info)) {
        return 0;
    }
    return HasMaximizedStyle(info.dwStyle) || HasScreenSizedClient(info) ||
                   TitleEquals(window, fullscreen_names::kVisualizerTitle) || TitleEquals(window, "")
               ? 1
               : 0;
}

int WinDvdFullScreen(HWND window) noexcept
{
    const char* const mainTitles[] = {AppTitles[AppWinDvdQuorb], fullscreen_names::kWinDvd5Title,
                                      AppTitles[AppWinDvd]};
    return IsMaximized(InterVideoTarget(window, mainTitles)) ? 1 : 0;
}

int WinDvdBdFullScreen(HWND window) noexcept
{
    const char* const mainTitles[] = {AppTitles[AppWinDvdBd]};
    return IsMaximized(InterVideoTarget(window, mainTitles)) ? 1 : 0;
}

int MediaCenterFullScreen(HWND window) noexcept
{
    WINDOWINFO info;
    if (!ReadWindowInfo(window, info)) {
        return 0;
    }
    return HasMaximizedStyle(info.dwStyle) || HasScreenSizedClient(info) ? 1 : 0;
}

int TvEnhanceFullScreen(HWND window) noexcept
{
    // The expected title follows the location setting as it is now, not as
    // it was at start-up.
    const char* title = ProbeLocation() == 1 ? AppTitles[AppTvEnhanceQuorb] : AppTitles[AppTvEnhance];
    return TitledScreenSized(window, title);
}

int StationTvFullScreen(HWND window) noexcept
{
    return TitledScreenSized(window, AppTitles[AppStationTv]);
}

int EmotionalPlayerFullScreen(HWND window) noexcept
{
    if (!TitleEquals(window, AppTitles[AppEmotionalPlayer])) {
        return 0;
    }
    WINDOWINFO info;
    return ReadWindowInfo(window, info) ? 1 : 0;
}

}  // namespace tavrel
