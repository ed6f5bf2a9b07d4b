#include "tests/support/ChildProcess.h"

#include <cstdio>
#include <vector>

namespace testsupport {

ChildProcess::~ChildProcess() { Terminate(); }

bool ChildProcess::Start(const std::string& commandLine)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    return Launch(commandLine, FALSE, startup);
}

bool ChildProcess::StartInheriting(const std::string& commandLine, HANDLE standardOutput)
{
    STARTUPINFOA startup = {};
    startup.cb = sizeof(startup);
    startup.dwFlags = STARTF_USESTDHANDLES;
    startup.hStdOutput = standardOutput;
    startup.hStdError = standardOutput;
    return Launch(commandLine, TRUE, startup);
}

bool ChildProcess::Launch(const std::string& commandLine, BOOL inherit, STARTUPINFOA& startup)
{
    Terminate();
    std::vector<char> line(commandLine.begin(), commandLine.end());
    line.push_back('\0');
    PROCESS_INFORMATION info = {};
    if (!::CreateProcessA(nullptr, line.data(), nullptr, nullptr, inherit, 0, nullptr, nullptr,
                          &startup, &info)) {
        startError_ = ::GetLastError();
        std::fprintf(stderr, "could not start (error %lu): %s\n", startError_,
                     commandLine.c_str());
        return false;
    }
    startError_ = 0;
    tavrel::UniqueHandle thread(info.hThread);
    process_.reset(info.hProcess);
    id_ = info.dwProcessId;
    return true;
}

std::optional<DWORD> ChildProcess::WaitExit(DWORD timeoutMs) const
{
    if (!process_.valid()) {
        return std::nullopt;
    }
    if (::WaitForSingleObject(process_.get(), timeoutMs) != WAIT_OBJECT_0) {
        return std::nullopt;
    }
    DWORD code = 0;
    ::GetExitCodeProcess(process_.get(), &code);
    return code;
}

bool ChildProcess::IsRunning() const
{
    return process_.valid() && ::WaitForSingleObject(process_.get(), 0) == WAIT_TIMEOUT;
}

void ChildProcess::Terminate()
{
    if (IsRunning()) {
        ::TerminateProcess(process_.get(), 0xDEAD);
        ::WaitForSingleObject(process_.get(), 5000);
    }
}

std::string QuotedCommand(const std::string& program, const std::string& arguments)
{
    std::string line = "\"" + program + "\"";
    if (!arguments.empty()) {
        line += " " + arguments;
    }
    return line;
}

}  // namespace testsupport
