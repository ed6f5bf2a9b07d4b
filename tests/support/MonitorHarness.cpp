#include "tests/support/MonitorHarness.h"

#include <cstdio>

#include "tests/support/Registry.h"
#include "tests/support/SystemNames.h"
#include "tests/support/TestPaths.h"
#include "tests/support/Wait.h"

namespace testsupport {

namespace {
constexpr DWORD kStartTimeoutMs = 15000;

struct WindowSearch {
    DWORD processId;
    HWND found;
};

BOOL CALLBACK MatchMonitorWindow(HWND window, LPARAM parameter)
{
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    char className[64] = {};
    ::GetClassNameA(window, className, sizeof(className));
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == search->processId && std::string(className) == names::kWindowClass) {
        search->found = window;
        return FALSE;
    }
    return TRUE;
}
}  // namespace

bool StartTavrel(ChildProcess& process, const std::string& arguments)
{
    return process.Start(QuotedCommand(TavrelPath(), arguments));
}

HWND FindMonitorWindow(DWORD processId)
{
    WindowSearch search{processId, nullptr};
    ::EnumWindows(MatchMonitorWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND WaitForMonitorWindow(DWORD processId, DWORD timeoutMs)
{
    HWND window = nullptr;
    WaitUntil([&] { return (window = FindMonitorWindow(processId)) != nullptr; }, timeoutMs);
    return window;
}

bool StartMonitor(ChildProcess& process)
{
    if (!StartTavrel(process, "@@@Start")) {
        return false;
    }
    return WaitForMonitorWindow(process.Id(), kStartTimeoutMs) != nullptr;
}

bool InstanceMutexExists()
{
    tavrel::UniqueHandle mutex(::OpenMutexA(SYNCHRONIZE, FALSE, names::kInstanceMutex));
    return mutex.valid();
}

bool HaltAllInstances()
{
    // Says why on failure: the callers only assert the answer.
    ChildProcess halt;
    if (!StartTavrel(halt, "@@@HaltAll")) {
        std::fprintf(stderr, "halt: @@@HaltAll could not be started (error %lu)\n",
                     halt.StartError());
        return false;
    }
    if (!halt.WaitExit(kStartTimeoutMs)) {
        std::fprintf(stderr, "halt: @@@HaltAll did not end\n");
        return false;
    }
    const bool gone = WaitUntil(
        [] { return ::FindWindowA(names::kWindowClass, nullptr) == nullptr && !InstanceMutexExists(); },
        kStartTimeoutMs);
    if (!gone) {
        std::fprintf(stderr, "halt: still there after the halt: monitor window %s, mutex %s\n",
                     ::FindWindowA(names::kWindowClass, nullptr) ? "yes" : "no",
                     InstanceMutexExists() ? "yes" : "no");
    }
    return gone;
}

TickProbe::TickProbe() { Arm(); }

TickProbe::~TickProbe() { DeleteTree(HKEY_LOCAL_MACHINE, names::kUninstallKey); }

void TickProbe::Arm()
{
    SetString(HKEY_LOCAL_MACHINE, names::kUninstallKey, "RegOwner", "tick probe");
}

bool TickProbe::Armed() const
{
    return ValueExists(HKEY_LOCAL_MACHINE, names::kUninstallKey, "RegOwner");
}

bool TickProbe::WaitForTick(DWORD timeoutMs) const
{
    return WaitUntil([this] { return !Armed(); }, timeoutMs, 20);
}

int TickProbe::CountTicks(DWORD periodMs)
{
    Arm();
    int ticks = 0;
    const DWORD start = ::GetTickCount();
    while (::GetTickCount() - start < periodMs) {
        if (!Armed()) {
            ++ticks;
            Arm();
        }
        ::Sleep(10);
    }
    return ticks;
}

}  // namespace testsupport
