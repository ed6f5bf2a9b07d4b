#include "app/MonitorWindow.h"

#include <wtsapi32.h>

#include "app/HaltEvent.h"
#include "lamp/DriverUtility.h"
#include "lamp/LampController.h"
#include "monitoring/MonitorTick.h"

namespace tavrel {

namespace {

bool g_timerStopped = false;
bool g_consoleDisconnected = false;

void StopTickTimer(HWND window) noexcept
{
    ::KillTimer(window, kTickTimerId);
    g_timerStopped = true;
}

void OnQuitSent(HWND window) noexcept
{
    // The driver is closed before the event is signalled: the watcher may end
    // the process right after SetEvent.
    CloseAndUnloadDriverUtility();
    StopTickTimer(window);
    ::PostQuitMessage(0);
    SignalHaltEvent();
}

void OnPowerBroadcast(HWND window, WPARAM event) noexcept
{
    switch (event) {
    case PBT_APMSUSPEND:
    case PBT_APMSTANDBY:
        StopTickTimer(window);
        break;
    case PBT_APMRESUMEAUTOMATIC:
        ResetLampRefreshCount();
        ResetLampCache();
        ::Sleep(kResumeSettleMs);
        if (g_timerStopped && !g_consoleDisconnected) {
            StartTickTimer(window);
        }
        break;
    default:
        break;
    }
}

void OnSessionChange(HWND window, WPARAM event) noexcept
{
    switch (event) {
    case WTS_CONSOLE_CONNECT:
        ResetLampCache();
        g_consoleDisconnected = false;
        if (g_timerStopped) {
            StartTickTimer(window);
        }
        break;
    case WTS_CONSOLE_DISCONNECT:
        StopTickTimer(window);
        g_consoleDisconnected = true;
        break;
    default:
        break;
    }
}

}  // namespace

void StartTickTimer(HWND window) noexcept
{
    ::SetTimer(window, kTickTimerId, kTickPeriodMs, MonitorTick);
    g_timerStopped = false;
}

LRESULT CALLBACK MonitorWindowProc(HWND window, UINT message, WPARAM wParam,
                                   LPARAM lParam) noexcept
{
    switch (message) {
    case WM_QUIT:
        // Only a sent WM_QUIT gets here; a posted one ends GetMessage first.
        OnQuitSent(window);
        break;
    case kHaltRequestMessage:
        SignalHaltEvent();
        break;
    case WM_POWERBROADCAST:
        OnPowerBroadcast(window, wParam);
        break;
    case WM_WTSSESSION_CHANGE:
        OnSessionChange(window, wParam);
        break;
    default:
        break;
    }
    // Handled messages get the default handling as well.
    return ::DefWindowProcA(window, message, wParam, lParam);
}

bool RegisterMonitorWindowClass(HINSTANCE instance) noexcept
{
    WNDCLASSA windowClass = {};
    windowClass.style = CS_HREDRAW | CS_VREDRAW;
    windowClass.lpfnWndProc = MonitorWindowProc;
    windowClass.hInstance = instance;
    windowClass.hIcon = ::LoadIconA(nullptr, IDI_APPLICATION);
    windowClass.hCursor = ::LoadCursorA(nullptr, IDC_ARROW);
    windowClass.hbrBackground = static_cast<HBRUSH>(::GetStockObject(WHITE_BRUSH));
    windowClass.lpszClassName = window_names::kClassName;
    return ::RegisterClassA(&windowClass) != 0;
}

HWND CreateMonitorWindow(HINSTANCE instance) noexcept
{
    return ::CreateWindowExA(0, window_names::kClassName, window_names::kWindowName,
                             WS_OVERLAPPEDWINDOW, CW_USEDEFAULT, CW_USEDEFAULT,
                             CW_USEDEFAULT, CW_USEDEFAULT, nullptr, nullptr, instance,
                             nullptr);
}

bool TimerStopped() noexcept { return g_timerStopped; }
bool ConsoleDisconnected() noexcept { return g_consoleDisconnected; }

void ResetMonitorWindowForTest() noexcept
{
    g_timerStopped = false;
    g_consoleDisconnected = false;
}

}  // namespace tavrel
