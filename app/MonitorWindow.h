// The hidden window of the monitor instance: it owns timer 1 (the tick),
// receives power and session notifications, and takes the two stop
// requests other programs may send.
#pragma once

#include <windows.h>

namespace tavrel {

namespace window_names {
constexpr const char* kClassName = "QUORBTAVREL";
constexpr const char* kWindowName = "";
constexpr const char* kRequiresNtText = "This program requires Windows NT.";
}  // namespace window_names

// Sent or posted by another program: halt every instance.
constexpr UINT kHaltRequestMessage = WM_USER + 100;  // 0x0464

constexpr UINT_PTR kTickTimerId = 1;
constexpr UINT kTickPeriodMs = 1000;
// The resume notification arrives before devices are back; the tick waits.
constexpr DWORD kResumeSettleMs = 1000;

LRESULT CALLBACK MonitorWindowProc(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam) noexcept;

// Registers the class; false when that fails.
bool RegisterMonitorWindowClass(HINSTANCE instance) noexcept;
// Creates the hidden window and remembers it; null when that fails.
HWND CreateMonitorWindow(HINSTANCE instance) noexcept;

// SetTimer for timer 1 and TimerStopped <- 0.
void StartTickTimer(HWND window) noexcept;

bool TimerStopped() noexcept;
bool ConsoleDisconnected() noexcept;

void ResetMonitorWindowForTest() noexcept;

}  // namespace tavrel
