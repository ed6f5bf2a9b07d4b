// The bench's baseline: a hidden window whose 1000 ms timer does nothing
// but count. What it costs per tick is what any program with such a timer
// pays under the same platform; the monitor's figure is set against it.
//
// Usage: BaselineTimer.exe <tag>   (the tag makes its command line unique,
// so the bench can find the Linux process behind it under Wine)
//
// Answers kCountRequest with the number of ticks so far; WM_CLOSE ends it.
#include <windows.h>

#include "bench/TimerProgramProtocol.h"

namespace {

LONG g_ticks = 0;

void CALLBACK CountTick(HWND, UINT, UINT_PTR, DWORD) noexcept { ++g_ticks; }

LRESULT CALLBACK BaselineWindowProc(HWND window, UINT message, WPARAM wParam,
                                    LPARAM lParam) noexcept
{
    switch (message) {
    case timer_program::kCountRequest:
        return g_ticks;
    case WM_DESTROY:
        ::PostQuitMessage(0);
        return 0;
    default:
        return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = BaselineWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = timer_program::kBaselineClass;
    if (::RegisterClassA(&windowClass) == 0) {
        return 1;
    }
    // Like the monitor's: an ordinary top-level window that is never shown.
    HWND window = ::CreateWindowExA(0, timer_program::kBaselineClass, "", WS_OVERLAPPEDWINDOW,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                    nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    ::SetTimer(window, timer_program::kTimerId, timer_program::kPeriodMs, CountTick);
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return 0;
}
