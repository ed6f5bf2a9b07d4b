// Top-level windows made by a unit test in its own process, with the class,
// title, style and size a case needs; destroyed when the object goes.
#pragma once

#include <windows.h>

#include <string>

namespace testsupport {

class TestWindow {
public:
    enum class Shape { Normal, Minimised, Maximised, ScreenPopup };

    TestWindow(const std::string& className, const std::string& title, Shape shape = Shape::Normal)
    {
        WNDCLASSA windowClass = {};
        windowClass.lpfnWndProc = ::DefWindowProcA;
        windowClass.hInstance = ::GetModuleHandleA(nullptr);
        windowClass.lpszClassName = className.c_str();
        ::RegisterClassA(&windowClass);  // fails harmlessly when already registered

        DWORD style = WS_OVERLAPPEDWINDOW;
        int x = 50, y = 50, width = 400, height = 300;
        if (shape == Shape::ScreenPopup) {
            style = WS_POPUP;
            x = 0;
            y = 0;
            width = ::GetSystemMetrics(SM_CXSCREEN);
            height = ::GetSystemMetrics(SM_CYSCREEN);
        }
        window_ = ::CreateWindowExA(0, className.c_str(), title.c_str(), style, x, y, width, height,
                                    nullptr, nullptr, ::GetModuleHandleA(nullptr), nullptr);
        const int show = shape == Shape::Minimised   ? SW_SHOWMINNOACTIVE
                         : shape == Shape::Maximised ? SW_SHOWMAXIMIZED
                                                     : SW_SHOWNOACTIVATE;
        ::ShowWindow(window_, show);
    }
    ~TestWindow() { Destroy(); }
    TestWindow(const TestWindow&) = delete;
    TestWindow& operator=(const TestWindow&) = delete;

    HWND get() const { return window_; }
    void Minimise() const { ::ShowWindow(window_, SW_SHOWMINNOACTIVE); }
    void Restore() const { ::ShowWindow(window_, SW_SHOWNOACTIVATE); }
    void Destroy()
    {
        if (window_ != nullptr) {
            ::DestroyWindow(window_);
            window_ = nullptr;
        }
    }

private:
    HWND window_ = nullptr;
};

}  // namespace testsupport
