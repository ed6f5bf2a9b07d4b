// Starts and drives one media-application (or chat-client) stand-in: a
// program under one of the watched executable names with one top-level
// window of a chosen class, title and state, in front or behind. Whatever
// was started ends when the object goes.
#pragma once

#include <windows.h>

#include <string>

#include "tests/fixtures/programs/FakeAppProtocol.h"
#include "tests/support/ChildProcess.h"

namespace testsupport {

using fakeapp::WindowState;

// The names the stand-in is built under (bin/fixtures/apps, and
// bin/fixtures/apps-case for names differing from those only in case).
namespace fakeapps {
constexpr const char* kTvEnhance = "TVEnhance.exe";
constexpr const char* kMediaCenter = "ehshell.exe";
constexpr const char* kMediaPlayer = "wmplayer.exe";
constexpr const char* kWinDvd = "WinDVD.exe";
constexpr const char* kWinDvdBd = "WinDVDBD.exe";
constexpr const char* kStationTv = "StationTVDigital.exe";
constexpr const char* kEmotionalPlayer = "EmotionalPlayerMain.exe";
constexpr const char* kOther = "OtherApp.exe";
constexpr const char* kChatClient = "Skype.exe";
constexpr const char* kMediaPlayerUpperCase = "WMPLAYER.EXE";
}  // namespace fakeapps

// Full path of the stand-in copy with that executable name.
std::string FakeAppPath(const std::string& executable);

enum class Activation { Front, Behind };

class FakeApp {
public:
    FakeApp() = default;
    ~FakeApp();
    FakeApp(const FakeApp&) = delete;
    FakeApp& operator=(const FakeApp&) = delete;

    // Starts the copy and waits until its window is in the asked state (and,
    // for Activation::Front, the program has called SetForegroundWindow).
    // clientSize is for WindowState::Sized. False if it did not come up.
    bool Start(const std::string& executable, const std::string& windowClass,
               const std::string& title, WindowState state, Activation activation,
               SIZE clientSize = {0, 0});
    // Start in two halves: Prepare starts the program, which then waits
    // before it makes its window; Release lets it go on and waits as Start
    // does. A window that must appear at a chosen moment is prepared early.
    bool Prepare(const std::string& executable, const std::string& windowClass,
                 const std::string& title, WindowState state, Activation activation,
                 SIZE clientSize = {0, 0});
    bool Release();

    HWND Window() const { return window_; }
    DWORD ProcessId() const { return process_.Id(); }
    const ChildProcess& Process() const { return process_; }
    bool IsRunning() const { return process_.IsRunning(); }

    // Requests answered by the program; each returns once applied. A state
    // change never activates the window.
    bool SetState(WindowState state, SIZE clientSize = {0, 0});
    bool Minimise() { return SetState(WindowState::Minimised); }
    bool Maximise() { return SetState(WindowState::Maximised); }
    bool Restore() { return SetState(WindowState::Normal); }
    bool SetTitle(const std::string& title);
    // True when the window is the foreground window afterwards.
    bool BringToFront();
    // A further window of the same class and title; null on failure.
    HWND OpenSecondWindow();

    // WM_CLOSE to one of its windows; true once that window is gone.
    bool CloseWindow(HWND window, DWORD timeoutMs = 5000);
    // WM_CLOSE to every window; true when the program then ended by itself
    // with exit code 0 within the time.
    bool Close(DWORD timeoutMs = 5000);
    // Asks the program to end; true when it ended with exit code 0 within
    // the time. Either way, it is terminated if it is still running.
    bool End(DWORD timeoutMs = 5000);

private:
    bool Request(UINT message, WPARAM wParam, LPARAM lParam, LRESULT* result = nullptr) const;
    bool WaitForCleanExit(DWORD timeoutMs);

    ChildProcess process_;
    HWND window_ = nullptr;
    std::string windowClass_;
    tavrel::UniqueHandle hold_;
    tavrel::UniqueHandle ready_;
};

}  // namespace testsupport
