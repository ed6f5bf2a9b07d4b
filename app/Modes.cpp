#include "app/Modes.h"

#include <shellapi.h>
#include <wtsapi32.h>

#include <cstdio>

#include "app/CommandLine.h"
#include "app/HaltEvent.h"
#include "app/MonitorWindow.h"
#include "app/ProcessCloser.h"
#include "app/SessionRegistrar.h"
#include "common/ProcessLifetime.h"
#include "common/UniqueResource.h"
#include "lamp/DriverUtility.h"
#include "lamp/LampController.h"
#include "monitoring/AppCatalog.h"
#include "settings/Settings.h"

namespace tavrel {

namespace {

// Held, never released, for the life of the monitor instance: its existence
// in the session is what keeps a second monitor out. The end of the process
// releases it, not a static destructor.
ProcessLifetime<UniqueHandle> g_instanceMutex;

bool OwnInstanceMutex() noexcept
{
    g_instanceMutex->reset(::CreateMutexA(nullptr, TRUE, mode_names::kInstanceMutex));
    if (!g_instanceMutex->valid()) {
        return false;
    }
    return ::GetLastError() != ERROR_ALREADY_EXISTS;
}

// Starts "<ownPath>" @@@Start hidden, as the log-on mode's ShellExecuteA
// would, with a handle of the halt event already in the new process.
// Without it, a halt that lands after the start but before the new instance
// has opened the event itself ends this instance, and with it the event's
// last handle; the new instance then creates a fresh, unsignalled event and
// runs on after "@@@HaltAll" has answered 0 (seen under Wine in about one
// round in fifteen of a log-on/monitor/halt storm).
//
// The handle is duplicated into the suspended process rather than inherited:
// inheritance would also hand over every other inheritable handle this
// instance holds, such as the pipes of a script that started it and reads
// its output to the end, for the whole log-on session. Explicit inheritance
// lists do not exist before Vista. Answers false when the process could not
// be created.
bool StartMonitorHoldingHaltEvent(const char* ownPath) noexcept
{
    char commandLine[MAX_PATH + 16] = {};
    const int length = std::snprintf(commandLine, sizeof(commandLine), "\"%s\"%s", ownPath,
                                     tokens::kStartParameters);
    if (length < 0 || static_cast<size_t>(length) >= sizeof(commandLine)) {
        return false;
    }
    // No standard handles either: the monitor uses none, and without this the
    // new process would be given this instance's own (seen under Wine, which
    // duplicates a starter's standard handles into a process that inherits
    // nothing, and hands their Unix descriptors to it as well).
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESHOWWINDOW | STARTF_USESTDHANDLES;
    startup.wShowWindow = SW_HIDE;
    PROCESS_INFORMATION started = {};
    if (!::CreateProcessA(ownPath, commandLine, nullptr, nullptr, FALSE, CREATE_SUSPENDED,
                          nullptr, nullptr, &startup, &started)) {
        return false;
    }
    UniqueHandle process(started.hProcess);
    UniqueHandle thread(started.hThread);
    // Should the duplication fail, the monitor still starts: it then only
    // lacks the protection against a halt in the next few milliseconds.
    GiveHaltEventTo(process.get());
    ::ResumeThread(thread.get());
    return true;
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
    // Held until the new process runs with its handle of the event: a halt
    // in between would leave it suspended for good.
    const HaltDeferral noHaltWhileStarting;
    if (!StartMonitorHoldingHaltEvent(ownPath)) {
        ::ShellExecuteA(nullptr, "open", ownPath, tokens::kStartParameters, nullptr, SW_HIDE);
    }
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
