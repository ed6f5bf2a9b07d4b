#include "tests/support/ProcessWindows.h"

#include <psapi.h>

#include "common/UniqueResource.h"

namespace testsupport {

namespace {

struct WindowSearch {
    DWORD processId;
    const std::string* windowClass;
    std::vector<HWND> found;
};

BOOL CALLBACK CollectWindow(HWND window, LPARAM parameter) noexcept
{
    auto* search = reinterpret_cast<WindowSearch*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner != search->processId) {
        return TRUE;
    }
    if (!search->windowClass->empty()) {
        char className[256] = {};
        ::GetClassNameA(window, className, sizeof(className));
        if (*search->windowClass != className) {
            return TRUE;
        }
    }
    try {
        search->found.push_back(window);
    } catch (...) {
        return FALSE;
    }
    return TRUE;
}

std::string ImageNameOf(HANDLE process)
{
    char path[MAX_PATH] = {};
    const DWORD length = ::GetProcessImageFileNameA(process, path, MAX_PATH);
    return FinalPathComponent(std::string(path, length));
}

}  // namespace

std::vector<HWND> TopLevelWindows(DWORD processId, const std::string& windowClass)
{
    WindowSearch search{processId, &windowClass, {}};
    ::EnumWindows(CollectWindow, reinterpret_cast<LPARAM>(&search));
    return search.found;
}

HWND FindTopLevelWindow(DWORD processId, const std::string& windowClass)
{
    const auto windows = TopLevelWindows(processId, windowClass);
    return windows.empty() ? nullptr : windows.front();
}

std::string FinalPathComponent(const std::string& path)
{
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string ProcessImageName(DWORD processId)
{
    tavrel::UniqueHandle process(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE, processId));
    return process.valid() ? ImageNameOf(process.get()) : std::string();
}

DWORD WindowProcessId(HWND window)
{
    DWORD processId = 0;
    ::GetWindowThreadProcessId(window, &processId);
    return processId;
}

bool EndProcessWithImage(DWORD processId, const std::string& imageName, DWORD timeoutMs)
{
    tavrel::UniqueHandle process(
        ::OpenProcess(PROCESS_QUERY_INFORMATION | PROCESS_TERMINATE | SYNCHRONIZE, FALSE,
                      processId));
    if (!process.valid() || ::WaitForSingleObject(process.get(), 0) != WAIT_TIMEOUT) {
        return true;
    }
    if (::lstrcmpiA(ImageNameOf(process.get()).c_str(), imageName.c_str()) != 0) {
        return true;
    }
    ::TerminateProcess(process.get(), 0xDEAD);
    return ::WaitForSingleObject(process.get(), timeoutMs) == WAIT_OBJECT_0;
}

}  // namespace testsupport
