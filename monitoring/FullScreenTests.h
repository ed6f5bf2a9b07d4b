// Whether the foreground window of a recognised application fills the
// screen, by that application's own rule.
#pragma once

#include <windows.h>

namespace tavrel {

namespace fullscreen_names {
constexpr const char* kVisualizerTitle = "WMPVisualizeThis";
// The playback window of both InterVideo players carries this title; the
// main window is then looked up by its own title.
constexpr const char* kPlayerTitle = "Player";
// Looked up only by the foreground analysis, not by the scan.
constexpr const char* kWinDvd5Title = "InterVideo WinDVD 5";
}  // namespace fullscreen_names

// Plain checks on facts read from a window.
bool HasMaximizedStyle(DWORD style) noexcept;
bool IsScreenSized(const RECT& client, int screenWidth, int screenHeight) noexcept;

// The predicates, each given the foreground window; 1 or 0.
int MediaPlayerFullScreen(HWND window) noexcept;
int WinDvdFullScreen(HWND window) noexcept;
int WinDvdBdFullScreen(HWND window) noexcept;
int MediaCenterFullScreen(HWND window) noexcept;
int TvEnhanceFullScreen(HWND window) noexcept;
int StationTvFullScreen(HWND window) noexcept;
int EmotionalPlayerFullScreen(HWND window) noexcept;

}  // namespace tavrel
