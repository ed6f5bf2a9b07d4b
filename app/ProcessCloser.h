// Ends a running process found by its executable file name: asks its
// top-level windows to close, waits a bounded time, then terminates it.
// Used once, by the log-on mode, to restart the media centre's status
// process.
#pragma once

#include <windows.h>

#include "common/UniqueResource.h"

namespace tavrel {

namespace closer_names {
constexpr const char* kKernel32 = "Kernel32";
constexpr const char* kNtdll = "ntdll.dll";
constexpr const char* kSnapshotExport = "CreateToolhelp32Snapshot";
constexpr const char* kFirstExport = "Process32First";
constexpr const char* kNextExport = "Process32Next";
constexpr const char* kQuerySystemInfoExport = "ZwQuerySystemInformation";
constexpr const char* kProcessHeapExport = "GetProcessHeap";
constexpr const char* kHeapAllocExport = "HeapAlloc";
constexpr const char* kHeapFreeExport = "HeapFree";

constexpr const char* kMediaStatusExecutable = "ehmsas.exe";
// Appended to the Windows directory exactly as written.
constexpr const char* kMediaStatusRelativePath = "//ehome//ehmsas.exe";
}  // namespace closer_names

constexpr DWORD kCloseWaitMs = 5000;

// Names under which the Toolhelp entries are looked up. Only tests use
// other names, to make the entries unavailable and so take the
// system-information route.
struct ToolhelpExportNames {
    const char* snapshot = closer_names::kSnapshotExport;
    const char* first = closer_names::kFirstExport;
    const char* next = closer_names::kNextExport;
};

// ASCII-only case-insensitive equality (A-Z against a-z), as the
// system-information search compares names.
bool EqualIgnoringAsciiCase(const char* left, const char* right) noexcept;

class ProcessCloser {
public:
    ProcessCloser() noexcept : ProcessCloser(ToolhelpExportNames{}) {}
    explicit ProcessCloser(const ToolhelpExportNames& toolhelpNames) noexcept;

    ProcessCloser(const ProcessCloser&) = delete;
    ProcessCloser& operator=(const ProcessCloser&) = delete;

    // True when the process was found and has ended or was terminated.
    bool CloseProcessByName(const char* executableName) noexcept;

    // Toolhelp route: case-sensitive name, first entry that opens with all
    // access.
    UniqueHandle FindProcessToolhelp(const char* executableName, DWORD& processId) noexcept;
    // System-information route: case-insensitive name (A-Z), first match
    // only, opened for SYNCHRONIZE and PROCESS_TERMINATE.
    UniqueHandle FindProcessSystemInfo(const char* executableName, DWORD& processId) noexcept;

    static BOOL CALLBACK PostCloseToProcessWindows(HWND window, LPARAM processId) noexcept;

    bool HasToolhelpRoute() const noexcept;
    bool HasSystemInfoRoute() const noexcept;

private:
    using SnapshotFn = HANDLE(WINAPI*)(DWORD, DWORD);
    using ProcessWalkFn = BOOL(WINAPI*)(HANDLE, void*);
    using QuerySystemInfoFn = LONG(WINAPI*)(ULONG, void*, ULONG, ULONG*);
    using ProcessHeapFn = HANDLE(WINAPI*)();
    using HeapAllocFn = void*(WINAPI*)(HANDLE, DWORD, SIZE_T);
    using HeapFreeFn = BOOL(WINAPI*)(HANDLE, DWORD, void*);

    // Declared in this order so that Kernel32 is released before ntdll.
    UniqueModule ntdll_;
    UniqueModule kernel32_;
    SnapshotFn createSnapshot_ = nullptr;
    ProcessWalkFn processFirst_ = nullptr;
    ProcessWalkFn processNext_ = nullptr;
    QuerySystemInfoFn querySystemInformation_ = nullptr;
    ProcessHeapFn getProcessHeap_ = nullptr;
    HeapAllocFn heapAlloc_ = nullptr;
    HeapFreeFn heapFree_ = nullptr;
};

// Closes "ehmsas.exe" and, when that succeeded, starts it again from the
// Windows directory's "ehome" folder.
void RestartMediaStatusService(ProcessCloser& closer) noexcept;

// The quoted command line for the restart, or false when the Windows
// directory is unusable or the path would not fit 260 characters.
bool BuildMediaStatusCommand(const char* windowsDirectory, char (&command)[MAX_PATH]) noexcept;

}  // namespace tavrel
