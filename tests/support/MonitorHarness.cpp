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
    // What "@@@HaltAll" does, done from here: it saves two starts of the
    // program per test, which is seconds where 32-bit code is emulated.
    // The tests of the halt mode itself start the real "@@@HaltAll".
    {
        tavrel::UniqueHandle event(::OpenEventA(EVENT_MODIFY_STATE, FALSE, names::kHaltEvent));
        if (event.valid() && !::SetEvent(event.get())) {
            std::fprintf(stderr, "halt: the halt event could not be signalled (error %lu)\n",
                         ::GetLastError());
            return false;
        }
    }
    // Gone when no window and no mutex is left, and the event itself has
    // gone with its last holder: a signalled event still held would end the
    // next test's first instance at its start.
    const auto remaining = [] {
        tavrel::UniqueHandle event(::OpenEventA(SYNCHRONIZE, FALSE, names::kHaltEvent));
        return std::string(::FindWindowA(names::kWindowClass, nullptr) ? " monitor window" : "") +
               (InstanceMutexExists() ? " mutex" : "") + (event.valid() ? " halt event" : "");
    };
    const bool gone = WaitUntil([&] { return remaining().empty(); }, kStartTimeoutMs);
    if (!gone) {
        std::fprintf(stderr, "halt: still there after the halt:%s\n", remaining().c_str());
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
