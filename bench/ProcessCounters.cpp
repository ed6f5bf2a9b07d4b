#include "bench/ProcessCounters.h"

#include <psapi.h>
#include <tlhelp32.h>
#include <winternl.h>

#include <vector>

#include "bench/LinuxProcess.h"
#include "common/UniqueResource.h"
#include "tests/support/Wait.h"

namespace bench {

namespace {

constexpr double kMsPerNanosecond = 1e-6;
constexpr double kMsPerFiletimeUnit = 1e-4;  // FILETIME counts 100 ns
constexpr double kMsPerClockTick = 10.0;     // Linux USER_HZ 100

// ---- native system information (ntdll, looked up at run time) ----

constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr ULONG kObjectNameInformation = 1;
constexpr ULONG kObjectTypesInformation = 3;
constexpr NTSTATUS kStatusInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);
constexpr ULONG kProcessBasicInformation = 0;

struct HandleEntry {
    PVOID object;
    ULONG_PTR processId;
    ULONG_PTR handleValue;
    ULONG grantedAccess;
    USHORT creatorBackTraceIndex;
    USHORT objectTypeIndex;
    ULONG handleAttributes;
    ULONG reserved;
};

struct HandleList {
    ULONG_PTR count;
    ULONG_PTR reserved;
    HandleEntry entries[1];
};

struct ObjectTypeEntry {
    UNICODE_STRING typeName;
    ULONG counters[12];
    ULONG invalidAttributes;
    GENERIC_MAPPING genericMapping;
    ULONG validAccessMask;
    BOOLEAN securityRequired;
    BOOLEAN maintainHandleCount;
    UCHAR typeIndex;
    CHAR reservedByte;
    ULONG poolType;
    ULONG defaultPagedPoolCharge;
    ULONG defaultNonPagedPoolCharge;
};

using QuerySystemInformationFn = NTSTATUS(NTAPI*)(ULONG, PVOID, ULONG, PULONG);
using QueryObjectFn = NTSTATUS(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);
using QueryInformationProcessFn = NTSTATUS(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

template <typename Function>
Function NtdllFunction(const char* name)
{
    return tavrel::GetProcAs<Function>(::GetModuleHandleA("ntdll.dll"), name);
}

std::vector<BYTE> QueryHandleList()
{
    const auto query = NtdllFunction<QuerySystemInformationFn>("NtQuerySystemInformation");
    std::vector<BYTE> buffer(1 << 16);
    if (query == nullptr) {
        return {};
    }
    for (;;) {
        ULONG needed = 0;
        const NTSTATUS status = query(kSystemExtendedHandleInformation, buffer.data(),
                                      static_cast<ULONG>(buffer.size()), &needed);
        if (status == kStatusInfoLengthMismatch) {
            buffer.resize(buffer.size() * 2);
            continue;
        }
        return status >= 0 ? buffer : std::vector<BYTE>();
    }
}

template <typename Visit>
void ForEachHandle(const std::vector<BYTE>& list, Visit visit)
{
    if (list.size() < sizeof(HandleList)) {
        return;
    }
    const auto* handles = reinterpret_cast<const HandleList*>(list.data());
    const size_t room = (list.size() - offsetof(HandleList, entries)) / sizeof(HandleEntry);
    for (size_t i = 0; i < handles->count && i < room; ++i) {
        visit(handles->entries[i]);
    }
}

// Type list position -> name, from NtQueryObject's list of all types.
std::map<int, std::string> QueryTypeList()
{
    std::map<int, std::string> types;
    const auto query = NtdllFunction<QueryObjectFn>("NtQueryObject");
    std::vector<BYTE> buffer(1 << 16);
    ULONG needed = 0;
    if (query == nullptr ||
        query(nullptr, kObjectTypesInformation, buffer.data(), static_cast<ULONG>(buffer.size()),
              &needed) < 0) {
        return types;
    }
    const ULONG count = *reinterpret_cast<const ULONG*>(buffer.data());
    size_t offset = sizeof(void*);
    for (ULONG i = 0; i < count && offset + sizeof(ObjectTypeEntry) <= buffer.size(); ++i) {
        const auto* entry = reinterpret_cast<const ObjectTypeEntry*>(buffer.data() + offset);
        std::string name;
        for (USHORT c = 0; c < entry->typeName.Length / sizeof(WCHAR); ++c) {
            name += static_cast<char>(entry->typeName.Buffer[c]);
        }
        types[entry->typeIndex] = name;
        // Each entry is followed by its name, padded to a pointer's size.
        const size_t nameBytes = (entry->typeName.MaximumLength + sizeof(void*) - 1) &
                                 ~(sizeof(void*) - 1);
        offset += sizeof(ObjectTypeEntry) + nameBytes;
    }
    return types;
}

// Handle-list type number -> name, learnt once from an event of our own.
const std::map<int, std::string>& HandleTypes()
{
    static const std::map<int, std::string> names = [] {
        tavrel::UniqueHandle probe(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
        int probeType = -1;
        ForEachHandle(QueryHandleList(), [&](const HandleEntry& entry) {
            if (entry.processId == ::GetCurrentProcessId() &&
                reinterpret_cast<HANDLE>(entry.handleValue) == probe.get()) {
                probeType = entry.objectTypeIndex;
            }
        });
        return HandleTypeNames(QueryTypeList(), probeType, "Event");
    }();
    return names;
}

// ---- GDI objects without GetGuiResources ----

// Wine keeps each process's GDI handle table in its own memory and points
// the PEB's GdiSharedHandleTable at it; an entry is in use while its type
// is not 0. Wine lays entries out with 64-bit fields on both targets.
struct GdiTableEntry {
    UINT64 object;
    ULONG owner;
    USHORT unique;
    UCHAR type;
    UCHAR flags;
    UINT64 userPointer;
};
static_assert(sizeof(GdiTableEntry) == 24, "Wine's GDI handle entry");
constexpr size_t kGdiTableEntries = 0x10000;
constexpr size_t kPebGdiTableOffset = sizeof(void*) == 8 ? 0xF8 : 0x94;

std::optional<size_t> CountGdiTable(HANDLE process)
{
    const auto query = NtdllFunction<QueryInformationProcessFn>("NtQueryInformationProcess");
    PROCESS_BASIC_INFORMATION basic = {};
    ULONG length = 0;
    if (query == nullptr ||
        query(process, kProcessBasicInformation, &basic, sizeof(basic), &length) < 0) {
        return std::nullopt;
    }
    void* table = nullptr;
    SIZE_T read = 0;
    if (!::ReadProcessMemory(process, static_cast<BYTE*>(static_cast<void*>(basic.PebBaseAddress)) +
                                          kPebGdiTableOffset,
                             &table, sizeof(table), &read) ||
        table == nullptr) {
        return std::nullopt;
    }
    std::vector<GdiTableEntry> entries(kGdiTableEntries);
    if (!::ReadProcessMemory(process, table, entries.data(), entries.size() * sizeof(GdiTableEntry),
                             &read)) {
        return std::nullopt;
    }
    size_t used = 0;
    for (size_t i = 0; i < read / sizeof(GdiTableEntry); ++i) {
        used += entries[i].type != 0 ? 1 : 0;
    }
    return used;
}

// ---- USER objects without GetGuiResources: the process's windows ----

struct WindowCount {
    DWORD processId;
    size_t count;
};

BOOL CALLBACK CountChildWindow(HWND window, LPARAM parameter) noexcept
{
    auto* search = reinterpret_cast<WindowCount*>(parameter);
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    search->count += owner == search->processId ? 1 : 0;
    return TRUE;
}

BOOL CALLBACK CountTopLevelWindow(HWND window, LPARAM parameter) noexcept
{
    CountChildWindow(window, parameter);
    ::EnumChildWindows(window, CountChildWindow, parameter);
    return TRUE;
}

size_t CountWindows(DWORD processId)
{
    WindowCount search{processId, 0};
    ::EnumWindows(CountTopLevelWindow, reinterpret_cast<LPARAM>(&search));
    // Message-only windows are not listed by EnumWindows.
    for (HWND window = ::FindWindowExA(HWND_MESSAGE, nullptr, nullptr, nullptr); window != nullptr;
         window = ::FindWindowExA(HWND_MESSAGE, window, nullptr, nullptr)) {
        CountChildWindow(window, reinterpret_cast<LPARAM>(&search));
    }
    return search.count;
}

struct GuiReading {
    std::optional<DWORD> count;  // empty when the call is not implemented
};

GuiReading GuiResources(HANDLE process, DWORD flags)
{
    ::SetLastError(ERROR_SUCCESS);
    const DWORD count = ::GetGuiResources(process, flags);
    if (count == 0 && ::GetLastError() == ERROR_CALL_NOT_IMPLEMENTED) {
        return {};
    }
    return {count};
}

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

// ---- handles ----

HandleFigures ReadHandles(HANDLE process, DWORD processId)
{
    HandleFigures figures;
    ::GetProcessHandleCount(process, &figures.reportedCount);
    const auto& names = HandleTypes();
    ForEachHandle(QueryHandleList(), [&](const HandleEntry& entry) {
        if (entry.processId != processId) {
            return;
        }
        ++figures.listedCount;
        const auto name = names.find(entry.objectTypeIndex);
        ++figures.byType[name != names.end() ? name->second
                                             : "type" + std::to_string(entry.objectTypeIndex)];
    });
    return figures;
}

// ---- GUI objects ----

GuiFigures ReadGuiObjects(HANDLE process, DWORD processId)
{
    GuiFigures figures;
    const GuiReading gdi = GuiResources(process, GR_GDIOBJECTS);
    if (gdi.count) {
        figures.gdiObjects = *gdi.count;
        figures.gdiSource = "GetGuiResources";
    } else {
        figures.gdiObjects = CountGdiTable(process).value_or(0);
        figures.gdiSource =
            "entries in use of the process's GDI handle table (GetGuiResources not implemented)";
    }
    const GuiReading user = GuiResources(process, GR_USEROBJECTS);
    if (user.count) {
        figures.userObjects = *user.count;
        figures.userSource = "GetGuiResources";
    } else {
        figures.userObjects = CountWindows(processId);
        figures.userSource = "windows of the process (GetGuiResources not implemented)";
    }
    return figures;
}

bool HoldsNamedObject(HANDLE process, DWORD processId, const std::string& typeName,
                      const std::wstring& nameEnd)
{
    const auto query = NtdllFunction<QueryObjectFn>("NtQueryObject");
    if (query == nullptr) {
        return false;
    }
    const auto& names = HandleTypes();
    bool found = false;
    ForEachHandle(QueryHandleList(), [&](const HandleEntry& entry) {
        const auto type = names.find(entry.objectTypeIndex);
        if (found || entry.processId != processId || type == names.end() ||
            type->second != typeName) {
            return;
        }
        HANDLE copy = nullptr;
        if (!::DuplicateHandle(process, reinterpret_cast<HANDLE>(entry.handleValue),
                               ::GetCurrentProcess(), &copy, 0, FALSE, DUPLICATE_SAME_ACCESS)) {
            return;
        }
        const tavrel::UniqueHandle owned(copy);
        alignas(UNICODE_STRING) BYTE buffer[1024] = {};
        ULONG length = 0;
        if (query(owned.get(), kObjectNameInformation, buffer, sizeof(buffer), &length) < 0) {
            return;
        }
        const auto* name = reinterpret_cast<const UNICODE_STRING*>(buffer);
        const std::wstring text(name->Buffer, name->Length / sizeof(WCHAR));
        found = text.size() >= nameEnd.size() &&
                text.compare(text.size() - nameEnd.size(), nameEnd.size(), nameEnd) == 0;
    });
    return found;
}

// ---- threads, modules ----

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
