// What the bench reads about another process: CPU time, memory, handles by
// type, GDI and USER objects, threads and modules. Each reading says where
// it came from, because Wine answers several of the Win32 calls with
// nothing useful (seen with Wine 8.0 and noted at each fallback).
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>

#include "bench/BenchFigures.h"

namespace bench {

// CPU time (user + kernel) of one process.
class ProcessCpuClock {
public:
    // programPath and arguments: exactly what the process was started with.
    ProcessCpuClock(HANDLE process, std::string programPath, std::string arguments);

    // Finds the Linux process behind it under Wine (it shows its Windows
    // arguments only once Wine has started it); true when readable.
    bool Attach(DWORD timeoutMs);
    std::optional<double> Milliseconds() const;
    // Coarse second reading under Wine (1/100 s steps, ended threads
    // included), for a cross-check; empty elsewhere.
    std::optional<double> CoarseMilliseconds() const;
    const std::string& Source() const { return source_; }
    std::optional<unsigned long> LinuxPid() const { return linuxPid_; }

private:
    HANDLE process_;
    std::string programPath_;
    std::string arguments_;
    std::optional<unsigned long> linuxPid_;
    std::string source_;
};

// CPU time of this prefix's wineserver (Wine only), which does the work of
// every registry, window and synchronisation call of all its processes.
std::optional<double> WineServerCpuMilliseconds();

// Wine answers GetProcessTimes for another process with the caller's own
// times: true when the two readings are identical.
bool ProcessTimesAreCallersOwn(HANDLE process);

struct MemoryFigures {
    unsigned long long workingSet = 0;
    unsigned long long peakWorkingSet = 0;
    unsigned long long privateBytes = 0;
    std::string privateSource;
};
std::optional<MemoryFigures> ReadMemory(HANDLE process);

struct HandleFigures {
    DWORD reportedCount = 0;  // GetProcessHandleCount
    size_t listedCount = 0;   // entries of the system's handle list
    std::map<std::string, size_t> byType;
    // The count to use: the reported one, unless the platform answered 0
    // (Wine 8.0 does for every process) while the list shows handles.
    size_t Count() const { return reportedCount != 0 ? reportedCount : listedCount; }
};
HandleFigures ReadHandles(HANDLE process, DWORD processId);

struct GuiFigures {
    size_t gdiObjects = 0;
    size_t userObjects = 0;
    std::string gdiSource;
    std::string userSource;
};
GuiFigures ReadGuiObjects(HANDLE process, DWORD processId);

// True when the process holds a handle of the named kernel object whose
// name ends in nameEnd (e.g. "\\Tavrel_Event"). Each of its handles of that
// type is duplicated for a moment to ask its name.
bool HoldsNamedObject(HANDLE process, DWORD processId, const std::string& typeName,
                      const std::wstring& nameEnd);

size_t CountThreads(DWORD processId);
size_t CountModules(HANDLE process);

// Every counter at once, for the soak's samples.
ResourceSample SampleResources(HANDLE process, DWORD processId);

// Where each part of a sample comes from on this platform.
struct SampleSources {
    std::string handles;
    std::string gdi;
    std::string user;
    std::string privateBytes;
};
SampleSources DescribeSources(HANDLE process, DWORD processId);

}  // namespace bench
