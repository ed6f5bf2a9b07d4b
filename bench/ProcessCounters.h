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
#include "bench/GuiObjects.h"
#include "bench/HandleList.h"

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

// The modules of a process by file name (lower case), with the size of
// each image.
std::map<std::string, unsigned long long> ListModules(HANDLE process);

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
