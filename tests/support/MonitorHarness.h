// Starting and stopping the real Tavrel.exe, finding its window and
// watching its ticks from outside.
#pragma once

#include <windows.h>

#include <string>

#include "tests/support/ChildProcess.h"

namespace testsupport {

// Runs "Tavrel.exe <arguments>" with exactly that text after the quoted
// path; false if it cannot be started.
bool StartTavrel(ChildProcess& process, const std::string& arguments);

// Starts the monitor mode and waits until its hidden window exists.
bool StartMonitor(ChildProcess& process);

// The window of class "QUORBTAVREL" owned by that process, or null.
HWND FindMonitorWindow(DWORD processId);
HWND WaitForMonitorWindow(DWORD processId, DWORD timeoutMs);

// Halts every instance as "@@@HaltAll" does and waits until no monitor
// window, no instance mutex and no halt event is left; true when everything
// ended (else it says on stderr what remained).
bool HaltAllInstances();

bool InstanceMutexExists();

// Observes ticks through the uninstall key: Arm() re-creates "RegOwner",
// and the next tick deletes it.
class TickProbe {
public:
    TickProbe();
    ~TickProbe();
    void Arm();
    bool Armed() const;
    // True once a tick has cleared the value since the last Arm().
    bool WaitForTick(DWORD timeoutMs) const;
    // Re-arms after every tick seen and counts the ticks within the period.
    int CountTicks(DWORD periodMs);
};

}  // namespace testsupport
