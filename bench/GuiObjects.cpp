// GDI and USER objects of another process. Wine does not implement
// GetGuiResources; the fallbacks count what it keeps instead.
#include "bench/GuiObjects.h"

#include <winternl.h>

#include <optional>
#include <vector>

#include "bench/NtdllFunction.h"

namespace bench {

namespace {

constexpr ULONG kProcessBasicInformation = 0;
using QueryInformationProcessFn = NTSTATUS(NTAPI*)(HANDLE, ULONG, PVOID, ULONG, PULONG);

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

// USER objects: the process's windows.

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

}  // namespace bench
