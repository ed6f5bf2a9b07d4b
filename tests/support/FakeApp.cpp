#include "tests/support/FakeApp.h"

#include <cstdio>

#include "common/UniqueResource.h"
#include "tests/support/ProcessWindows.h"
#include "tests/support/TestPaths.h"
#include "tests/support/Wait.h"

namespace testsupport {

namespace {

constexpr DWORD kStartTimeoutMs = 15000;
constexpr DWORD kRequestTimeoutMs = 5000;
constexpr const char* kCaseVariants[] = {fakeapps::kMediaPlayerUpperCase};

// A name no other start in this or another test process uses.
std::string NewEventName(const char* purpose)
{
    static unsigned counter = 0;
    return std::string("Local\\TavrelFakeApp") + purpose + "_" +
           std::to_string(::GetCurrentProcessId()) + "_" + std::to_string(++counter);
}

}  // namespace

std::string FakeAppPath(const std::string& executable)
{
    for (const char* variant : kCaseVariants) {
        if (executable == variant) {
            return FixturePath("apps-case\\" + executable);
        }
    }
    return FixturePath("apps\\" + executable);
}

FakeApp::~FakeApp() { End(2000); }

bool FakeApp::Start(const std::string& executable, const std::string& windowClass,
                    const std::string& title, WindowState state, Activation activation,
                    SIZE clientSize)
{
    return Prepare(executable, windowClass, title, state, activation, clientSize) && Release();
}

bool FakeApp::Prepare(const std::string& executable, const std::string& windowClass,
                      const std::string& title, WindowState state, Activation activation,
                      SIZE clientSize)
{
    End(2000);
    fakeapp::LaunchOptions options;
    options.windowClass = windowClass;
    options.title = title;
    options.state = state;
    options.front = activation == Activation::Front;
    options.clientWidth = clientSize.cx;
    options.clientHeight = clientSize.cy;
    options.readyEvent = NewEventName("Ready");
    options.holdEvent = NewEventName("Hold");

    ready_.reset(::CreateEventA(nullptr, TRUE, FALSE, options.readyEvent.c_str()));
    hold_.reset(::CreateEventA(nullptr, TRUE, FALSE, options.holdEvent.c_str()));
    windowClass_ = windowClass;
    return ready_.valid() && hold_.valid() &&
           process_.Start(QuotedCommand(FakeAppPath(executable), fakeapp::FormatArguments(options)));
}

bool FakeApp::Release()
{
    if (!hold_.valid() || !ready_.valid() || !::SetEvent(hold_.get())) {
        return false;
    }
    const bool signalled = WaitUntil(
        [&] {
            return ::WaitForSingleObject(ready_.get(), 0) == WAIT_OBJECT_0 ||
                   !process_.IsRunning();
        },
        kStartTimeoutMs, 2);
    const bool ready = signalled && ::WaitForSingleObject(ready_.get(), 0) == WAIT_OBJECT_0;
    hold_.reset();
    ready_.reset();
    if (!ready) {
        const auto code = process_.WaitExit(0);
        std::fprintf(stderr, "stand-in application %s\n",
                     code ? ("ended before its window was up, exit code " +
                             std::to_string(*code)).c_str()
                          : "did not bring its window up in time");
        process_.Terminate();
        return false;
    }
    window_ = FindTopLevelWindow(process_.Id(), windowClass_);
    return window_ != nullptr;
}

bool FakeApp::Request(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result) const
{
    DWORD_PTR answer = 0;
    if (window_ == nullptr ||
        ::SendMessageTimeoutA(window_, message, wParam, lParam, SMTO_NORMAL | SMTO_ABORTIFHUNG,
                              kRequestTimeoutMs, &answer) == 0) {
        return false;
    }
    if (result != nullptr) {
        *result = static_cast<LRESULT>(answer);
    }
    return true;
}

bool FakeApp::SetState(WindowState state, SIZE clientSize)
{
    if (clientSize.cx < 0 || clientSize.cy < 0 || clientSize.cx > fakeapp::kMaxRequestedSize ||
        clientSize.cy > fakeapp::kMaxRequestedSize) {
        return false;
    }
    LRESULT applied = 0;
    return Request(fakeapp::kRequestSetState, static_cast<WPARAM>(state),
                   MAKELPARAM(clientSize.cx, clientSize.cy), &applied) &&
           applied == 1;
}

bool FakeApp::SetTitle(const std::string& title)
{
    // WM_SETTEXT carries its text across processes.
    LRESULT set = 0;
    return Request(WM_SETTEXT, 0, reinterpret_cast<LPARAM>(title.c_str()), &set) && set == TRUE;
}

bool FakeApp::BringToFront()
{
    LRESULT inFront = 0;
    return Request(fakeapp::kRequestBringToFront, 0, 0, &inFront) && inFront == 1 &&
           ::GetForegroundWindow() == window_;
}

HWND FakeApp::OpenSecondWindow()
{
    LRESULT second = 0;
    if (!Request(fakeapp::kRequestOpenSecondWindow, 0, 0, &second)) {
        return nullptr;
    }
    return reinterpret_cast<HWND>(second);
}

bool FakeApp::CloseWindow(HWND window, DWORD timeoutMs)
{
    if (window == nullptr || WindowProcessId(window) != process_.Id()) {
        return false;
    }
    ::PostMessageA(window, WM_CLOSE, 0, 0);
    return WaitUntil([window] { return !::IsWindow(window); }, timeoutMs, 10);
}

bool FakeApp::Close(DWORD timeoutMs)
{
    if (!process_.IsRunning()) {
        return false;
    }
    for (HWND window : TopLevelWindows(process_.Id(), windowClass_)) {
        ::PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return WaitForCleanExit(timeoutMs);
}

bool FakeApp::End(DWORD timeoutMs)
{
    if (hold_.valid()) {
        // Prepared and never released: it has no window to ask.
        hold_.reset();
        ready_.reset();
        process_.Terminate();
        window_ = nullptr;
        return false;
    }
    if (!process_.IsRunning()) {
        window_ = nullptr;
        return false;
    }
    // Any of its windows takes the request; the first may have been closed.
    const auto windows = TopLevelWindows(process_.Id(), windowClass_);
    if (!windows.empty()) {
        ::PostMessageA(windows.front(), fakeapp::kRequestEnd, 0, 0);
    }
    return WaitForCleanExit(timeoutMs);
}

bool FakeApp::WaitForCleanExit(DWORD timeoutMs)
{
    const auto code = process_.WaitExit(timeoutMs);
    process_.Terminate();
    window_ = nullptr;
    return code.has_value() && *code == 0;
}

}  // namespace testsupport
