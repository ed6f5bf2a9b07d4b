// A program started by a test with an exact command line, waited for with a
// time-out, and ended by handle if it outlives the test.
#pragma once

#include <windows.h>

#include <optional>
#include <string>

#include "common/UniqueResource.h"

namespace testsupport {

class ChildProcess {
public:
    ChildProcess() = default;
    ~ChildProcess();
    ChildProcess(ChildProcess&&) = default;
    ChildProcess& operator=(ChildProcess&&) = default;

    // Starts the program with exactly this command line (CreateProcessA).
    bool Start(const std::string& commandLine);
    // The same as a script with redirected output starts a program: every
    // inheritable handle goes with it, standardOutput as its output and error.
    bool StartInheriting(const std::string& commandLine, HANDLE standardOutput);
    // CreateProcessA's error when the last Start failed, else 0.
    DWORD StartError() const { return startError_; }

    // The exit code once the process has ended within timeoutMs; empty if it
    // is still running.
    std::optional<DWORD> WaitExit(DWORD timeoutMs) const;
    bool IsRunning() const;
    DWORD Id() const { return id_; }
    HANDLE Handle() const { return process_.get(); }

    // Ends a process the test started and that is still running.
    void Terminate();

private:
    bool Launch(const std::string& commandLine, BOOL inherit, STARTUPINFOA& startup);

    tavrel::UniqueHandle process_;
    DWORD id_ = 0;
    DWORD startError_ = 0;
};

// "<path>" <arguments>, the path quoted.
std::string QuotedCommand(const std::string& program, const std::string& arguments);

}  // namespace testsupport
