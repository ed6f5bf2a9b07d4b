#include "bench/ProcessCounters.h"

#include <psapi.h>
#include <tlhelp32.h>

#include <algorithm>
#include <cctype>
#include <vector>

#include "bench/LinuxProcess.h"
#include "common/UniqueResource.h"
#include "tests/support/Wait.h"

namespace bench {

namespace {

constexpr double kMsPerNanosecond = 1e-6;
constexpr double kMsPerFiletimeUnit = 1e-4;  // FILETIME counts 100 ns
constexpr double kMsPerClockTick = 10.0;     // Linux USER_HZ 100

}  // namespace

// ---- CPU ----

ProcessCpuClock::ProcessCpuClock(HANDLE process, std::string programPath, std::string arguments)
    : process_(process), programPath_(std::move(programPath)), arguments_(std::move(arguments))
{
}

bool ProcessCpuClock::Attach(DWORD timeoutMs)
{
    if (!RunningUnderWine()) {
        source_ = "GetProcessTimes";
        return Milliseconds().has_value();
    }
    testsupport::WaitUntil(
        [&] { return (linuxPid_ = FindLinuxProcess(programPath_, arguments_)).has_value(); },
        timeoutMs, 100);
    if (!linuxPid_) {
        source_ = "none (Linux process not found)";
        return false;
    }
    source_ = "Linux /proc/" + std::to_string(*linuxPid_) +
              "/task/*/schedstat (Wine's GetProcessTimes answers the caller's own times)";
    return Milliseconds().has_value();
}

std::optional<double> ProcessCpuClock::Milliseconds() const
{
    if (linuxPid_) {
        const auto ns = LinuxCpuNanoseconds(*linuxPid_);
        return ns ? std::optional<double>(*ns * kMsPerNanosecond) : std::nullopt;
    }
    if (RunningUnderWine()) {
        return std::nullopt;
    }
    FILETIME created, ended, kernel, user;
    if (!::GetProcessTimes(process_, &created, &ended, &kernel, &user)) {
        return std::nullopt;
    }
    const auto units = [](const FILETIME& time) {
        return (static_cast<unsigned long long>(time.dwHighDateTime) << 32) | time.dwLowDateTime;
    };
    return (units(kernel) + units(user)) * kMsPerFiletimeUnit;
}

std::optional<double> ProcessCpuClock::CoarseMilliseconds() const
{
    if (!linuxPid_) {
        return std::nullopt;
    }
    const auto ticks = LinuxCpuClockTicks(*linuxPid_);
    return ticks ? std::optional<double>(*ticks * kMsPerClockTick) : std::nullopt;
}

std::optional<double> WineServerCpuMilliseconds()
{
    static const std::optional<unsigned long> server = WineServerPid();
    if (!server) {
        return std::nullopt;
    }
    const auto ns = LinuxCpuNanoseconds(*server);
    return ns ? std::optional<double>(*ns * kMsPerNanosecond) : std::nullopt;
}

bool ProcessTimesAreCallersOwn(HANDLE process)
{
    FILETIME times[2][4];
    if (!::GetProcessTimes(process, &times[0][0], &times[0][1], &times[0][2], &times[0][3]) ||
        !::GetProcessTimes(::GetCurrentProcess(), &times[1][0], &times[1][1], &times[1][2],
                           &times[1][3])) {
        return false;
    }
    // Kernel and user time; creation times may differ either way.
    return ::CompareFileTime(&times[0][2], &times[1][2]) == 0 &&
           ::CompareFileTime(&times[0][3], &times[1][3]) == 0;
}

// ---- memory ----

std::optional<MemoryFigures> ReadMemory(HANDLE process)
{
    PROCESS_MEMORY_COUNTERS_EX counters = {};
    counters.cb = sizeof(counters);
    if (!::GetProcessMemoryInfo(process, reinterpret_cast<PROCESS_MEMORY_COUNTERS*>(&counters),
                                sizeof(counters))) {
        return std::nullopt;
    }
    MemoryFigures figures;
    figures.workingSet = counters.WorkingSetSize;
    figures.peakWorkingSet = counters.PeakWorkingSetSize;
    if (counters.PrivateUsage != 0) {
        figures.privateBytes = counters.PrivateUsage;
        figures.privateSource = "PrivateUsage";
    } else {
        // Windows reports the same commit charge in both fields. Wine leaves
        // PrivateUsage 0 and fills PagefileUsage with the Linux process's
        // anonymous resident memory (seen: equal to RssAnon + VmSwap).
        figures.privateBytes = counters.PagefileUsage;
        figures.privateSource = "PagefileUsage (PrivateUsage answered 0)";
    }
    return figures;
}

// ---- threads, modules ----

std::map<std::string, unsigned long long> ListModules(HANDLE process)
{
    std::map<std::string, unsigned long long> modules;
    DWORD needed = 0;
    std::vector<HMODULE> handles(512);
    if (!::EnumProcessModulesEx(process, handles.data(),
                                static_cast<DWORD>(handles.size() * sizeof(HMODULE)), &needed,
                                LIST_MODULES_ALL)) {
        return modules;
    }
    handles.resize(std::min<size_t>(handles.size(), needed / sizeof(HMODULE)));
    for (HMODULE module : handles) {
        char name[MAX_PATH] = {};
        MODULEINFO info = {};
        if (::GetModuleBaseNameA(process, module, name, MAX_PATH) == 0 ||
            !::GetModuleInformation(process, module, &info, sizeof(info))) {
            continue;
        }
        std::string lower = name;
        for (char& c : lower) {
            c = static_cast<char>(::tolower(static_cast<unsigned char>(c)));
        }
        modules[lower] = info.SizeOfImage;
    }
    return modules;
}

size_t CountThreads(DWORD processId)
{
    tavrel::UniqueFileHandle snapshot(::CreateToolhelp32Snapshot(TH32CS_SNAPTHREAD, 0));
    if (!snapshot.valid()) {
        return 0;
    }
    THREADENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    size_t count = 0;
    for (BOOL more = ::Thread32First(snapshot.get(), &entry); more;
         more = ::Thread32Next(snapshot.get(), &entry)) {
        count += entry.th32OwnerProcessID == processId ? 1 : 0;
    }
    return count;
}

size_t CountModules(HANDLE process)
{
    DWORD needed = 0;
    std::vector<HMODULE> modules(256);
    for (int attempt = 0; attempt < 4; ++attempt) {
        const DWORD room = static_cast<DWORD>(modules.size() * sizeof(HMODULE));
        if (!::EnumProcessModulesEx(process, modules.data(), room, &needed, LIST_MODULES_ALL)) {
            return 0;
        }
        if (needed <= room) {
            return needed / sizeof(HMODULE);
        }
        modules.resize(needed / sizeof(HMODULE) + 16);
    }
    return 0;
}

ResourceSample SampleResources(HANDLE process, DWORD processId)
{
    ResourceSample sample;
    const HandleFigures handles = ReadHandles(process, processId);
    sample.handles = handles.Count();
    sample.handlesByType = handles.byType;
    const GuiFigures gui = ReadGuiObjects(process, processId);
    sample.gdiObjects = gui.gdiObjects;
    sample.userObjects = gui.userObjects;
    if (const auto memory = ReadMemory(process)) {
        sample.privateBytes = memory->privateBytes;
        sample.workingSet = memory->workingSet;
    }
    sample.threads = CountThreads(processId);
    sample.modules = CountModules(process);
    return sample;
}

SampleSources DescribeSources(HANDLE process, DWORD processId)
{
    SampleSources sources;
    const HandleFigures handles = ReadHandles(process, processId);
    sources.handles = handles.reportedCount != 0
                          ? "GetProcessHandleCount"
                          : "entries of the system handle list (GetProcessHandleCount answered 0)";
    const GuiFigures gui = ReadGuiObjects(process, processId);
    sources.gdi = gui.gdiSource;
    sources.user = gui.userSource;
    const auto memory = ReadMemory(process);
    sources.privateBytes = memory ? memory->privateSource : "none";
    return sources;
}

}  // namespace bench
