#include "app/Modes.h"

#include <shellapi.h>
#include <wtsapi32.h>

#include "app/CommandLine.h"
#include "app/HaltEvent.h"
#include "app/MonitorWindow.h"
#include "app/ProcessCloser.h"
#include "app/SessionRegistrar.h"
#include "common/UniqueResource.h"
#include "lamp/DriverUtility.h"
#include "lamp/LampController.h"
#include "monitoring/AppCatalog.h"
#include "settings/Settings.h"

namespace tavrel {

namespace {

// Held, never released, for the life of the monitor instance: its existence
// in the session is what keeps a second monitor out.
UniqueHandle g_instanceMutex;

bool OwnInstanceMutex() noexcept
{
    g_instanceMutex.reset(::CreateMutexA(nullptr, TRUE, mode_names::kInstanceMutex));
    if (!g_instanceMutex.valid()) {
        return false;
    }
    return ::GetLastError() != ERROR_ALREADY_EXISTS;
}

void RunMessageLoop() noexcept
{
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
}

}  // namespace

int RunHaltMode() noexcept
{
    SignalHaltEvent();
    return kExitOk;
}

int RunLogonMode(HINSTANCE instance) noexcept
{
    {
        // Can take about five seconds when the status process ignores the
        // request to close. The closer's modules are released afterwards.
        ProcessCloser closer;
        RestartMediaStatusService(closer);
    }
    char ownPath[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(instance, ownPath, MAX_PATH);
    // A path that fills the buffer has been cut short; starting it could
    // start some other program.
    if (length == 0 || length >= MAX_PATH) {
        return kExitOk;
    }
    ::ShellExecuteA(nullptr, "open", ownPath, tokens::kStartParameters, nullptr, SW_HIDE);
    return kExitOk;
}

int RunMonitorMode(HINSTANCE instance) noexcept
{
    if (!OwnInstanceMutex()) {
        return kExitNotSingleInstance;
    }
    LoadSettings();
    BindDriverUtility();
    OpenDriverUtility();
    FixLampAvailable();
    FixLocationFlag();
    BuildAppIdMap();

    if (!RegisterMonitorWindowClass(instance)) {
        ::MessageBoxA(nullptr, window_names::kRequiresNtText, window_names::kClassName,
                      MB_ICONERROR);
        return kExitOk;
    }
    HWND window = CreateMonitorWindow(instance);
    if (window == nullptr) {
        // Without its window the instance could neither tick nor be paused or
        // stopped by message; it ends instead of running blind.
        return kExitOk;
    }
    ::ShowWindow(window, SW_HIDE);
    ::UpdateWindow(window);

    UniqueHandle registrar(::CreateThread(nullptr, 0, SessionRegistrar, window, 0, nullptr));
    StartTickTimer(window);
    RunMessageLoop();
    ::WTSUnRegisterSessionNotification(window);
    return kExitOk;
}

int RunTavrel(HINSTANCE instance, const char* commandLine) noexcept
{
    CreateHaltEventAndWatcher();
    switch (SelectMode(CommandRemainder(commandLine))) {
    case Mode::HaltAll:
        return RunHaltMode();
    case Mode::StartFirstly:
        return RunLogonMode(instance);
    case Mode::Start:
        return RunMonitorMode(instance);
    case Mode::None:
        break;
    }
    return kExitOk;
}

}  // namespace tavrel
