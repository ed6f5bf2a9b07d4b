#include "app/ProcessCloser.h"

#include <tlhelp32.h>
#include <winternl.h>

#include <cstring>

namespace tavrel {

namespace {

constexpr DWORD kToolhelpProcessAccess = 0x001F0FFF;  // STANDARD_RIGHTS_REQUIRED | SYNCHRONIZE | 0xFFF
constexpr DWORD kSystemInfoProcessAccess = SYNCHRONIZE | PROCESS_TERMINATE;
constexpr ULONG kSystemProcessInformationClass = 5;
constexpr LONG kStatusInfoLengthMismatch = static_cast<LONG>(0xC0000004);
constexpr ULONG kFirstQuerySize = 0x8000;
constexpr int kNameCapacity = 260;

char LowerAscii(char c) noexcept { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

// A block from the process heap, freed through the bound entry.
class HeapBlock {
public:
    HeapBlock(HANDLE heap, void* block, BOOL(WINAPI* heapFree)(HANDLE, DWORD, void*)) noexcept
        : heap_(heap), block_(block), heapFree_(heapFree)
    {
    }
    ~HeapBlock()
    {
        if (block_ != nullptr) {
            heapFree_(heap_, 0, block_);
        }
    }
    HeapBlock(const HeapBlock&) = delete;
    HeapBlock& operator=(const HeapBlock&) = delete;
    void* get() const noexcept { return block_; }

private:
    HANDLE heap_;
    void* block_;
    BOOL(WINAPI* heapFree_)(HANDLE, DWORD, void*);
};

// The record's image name in the ANSI code page; empty when it does not fit
// the 260-byte buffer (such a name then matches nothing).
void ImageNameOf(const SYSTEM_PROCESS_INFORMATION& record, char (&name)[kNameCapacity]) noexcept
{
    std::memset(name, 0, sizeof(name));
    const wchar_t* wide = record.ImageName.Buffer;
    int length = static_cast<int>(record.ImageName.Length / sizeof(wchar_t));
    if (wide == nullptr) {
        wide = L"Idle";
        length = 4;
    }
    if (length == 0) {
        return;
    }
    const int written =
        ::WideCharToMultiByte(CP_ACP, 0, wide, length, name, kNameCapacity - 1, nullptr, nullptr);
    if (written <= 0) {
        name[0] = '\0';
    }
}

}  // namespace

bool EqualIgnoringAsciiCase(const char* left, const char* right) noexcept
{
    for (;; ++left, ++right) {
        if (LowerAscii(*left) != LowerAscii(*right)) {
            return false;
        }
        if (*left == '\0') {
            return true;
        }
    }
}

ProcessCloser::ProcessCloser(const ToolhelpExportNames& toolhelpNames) noexcept
{
    kernel32_.reset(::LoadLibraryA(closer_names::kKernel32));
    if (!kernel32_.valid()) {
        return;
    }
    createSnapshot_ = GetProcAs<SnapshotFn>(kernel32_.get(), toolhelpNames.snapshot);
    processFirst_ = GetProcAs<ProcessWalkFn>(kernel32_.get(), toolhelpNames.first);
    processNext_ = GetProcAs<ProcessWalkFn>(kernel32_.get(), toolhelpNames.next);
    if (HasToolhelpRoute()) {
        return;
    }
    ntdll_.reset(::LoadLibraryA(closer_names::kNtdll));
    if (!ntdll_.valid()) {
        return;
    }
    querySystemInformation_ =
        GetProcAs<QuerySystemInfoFn>(ntdll_.get(), closer_names::kQuerySystemInfoExport);
    getProcessHeap_ = GetProcAs<ProcessHeapFn>(kernel32_.get(), closer_names::kProcessHeapExport);
    heapAlloc_ = GetProcAs<HeapAllocFn>(kernel32_.get(), closer_names::kHeapAllocExport);
    heapFree_ = GetProcAs<HeapFreeFn>(kernel32_.get(), closer_names::kHeapFreeExport);
}

bool ProcessCloser::HasToolhelpRoute() const noexcept
{
    return createSnapshot_ != nullptr && processFirst_ != nullptr && processNext_ != nullptr;
}

bool ProcessCloser::HasSystemInfoRoute() const noexcept
{
    return querySystemInformation_ != nullptr && heapAlloc_ != nullptr &&
           getProcessHeap_ != nullptr && heapFree_ != nullptr;
}

BOOL CALLBACK ProcessCloser::PostCloseToProcessWindows(HWND window, LPARAM processId) noexcept
{
    DWORD owner = 0;
    ::GetWindowThreadProcessId(window, &owner);
    if (owner == static_cast<DWORD>(processId)) {
        ::PostMessageA(window, WM_CLOSE, 0, 0);
    }
    return TRUE;
}

UniqueHandle ProcessCloser::FindProcessToolhelp(const char* executableName, DWORD& processId) noexcept
{
    UniqueFileHandle snapshot(createSnapshot_(TH32CS_SNAPPROCESS, 0));
    if (!snapshot.valid()) {
        return UniqueHandle();
    }
    PROCESSENTRY32 entry = {};
    entry.dwSize = sizeof(entry);
    for (BOOL more = processFirst_(snapshot.get(), &entry); more;
         more = processNext_(snapshot.get(), &entry)) {
        if (std::strcmp(entry.szExeFile, executableName) != 0) {
            continue;
        }
        UniqueHandle process(::OpenProcess(kToolhelpProcessAccess, FALSE, entry.th32ProcessID));
        if (process.valid()) {
            processId = entry.th32ProcessID;
            return process;
        }
    }
    return UniqueHandle();
}

UniqueHandle ProcessCloser::FindProcessSystemInfo(const char* executableName, DWORD& processId) noexcept
{
    const HANDLE heap = getProcessHeap_();
    for (ULONG size = kFirstQuerySize; size != 0;) {
        HeapBlock buffer(heap, heapAlloc_(heap, 0, size), heapFree_);
        if (buffer.get() == nullptr) {
            return UniqueHandle();
        }
        const LONG status =
            querySystemInformation_(kSystemProcessInformationClass, buffer.get(), size, nullptr);
        if (status == kStatusInfoLengthMismatch) {
            // Double until it fits; stop rather than wrap around.
            size = size > (~ULONG{0} / 2) ? 0 : size * 2;
            continue;
        }
        if (status < 0) {
            return UniqueHandle();
        }
        const auto* base = static_cast<const BYTE*>(buffer.get());
        for (ULONG offset = 0; offset + sizeof(SYSTEM_PROCESS_INFORMATION) <= size;) {
            const auto& record = *reinterpret_cast<const SYSTEM_PROCESS_INFORMATION*>(base + offset);
            char name[kNameCapacity];
            ImageNameOf(record, name);
            if (EqualIgnoringAsciiCase(name, executableName)) {
                const DWORD id = static_cast<DWORD>(reinterpret_cast<ULONG_PTR>(record.UniqueProcessId));
                processId = id;
                return UniqueHandle(::OpenProcess(kSystemInfoProcessAccess, TRUE, id));
            }
            if (record.NextEntryOffset == 0) {
                break;
            }
            offset += record.NextEntryOffset;
        }
        return UniqueHandle();
    }
    return UniqueHandle();
}

bool ProcessCloser::CloseProcessByName(const char* executableName) noexcept
{
    if (!kernel32_.valid()) {
        return false;
    }
    DWORD processId = 0;
    UniqueHandle process;
    if (HasToolhelpRoute()) {
        process = FindProcessToolhelp(executableName, processId);
    } else if (HasSystemInfoRoute()) {
        process = FindProcessSystemInfo(executableName, processId);
    } else {
        return false;
    }
    if (!process.valid()) {
        return false;
    }
    ::EnumWindows(PostCloseToProcessWindows, static_cast<LPARAM>(processId));
    if (::WaitForSingleObject(process.get(), kCloseWaitMs) == WAIT_OBJECT_0) {
        return true;
    }
    return ::TerminateProcess(process.get(), 0) == 1;
}

bool BuildMediaStatusCommand(const char* windowsDirectory, char (&command)[MAX_PATH]) noexcept
{
    std::memset(command, 0, sizeof(command));
    if (windowsDirectory == nullptr || windowsDirectory[0] == '\0') {
        return false;
    }
    const size_t directoryLength = std::strlen(windowsDirectory);
    const size_t relativeLength = std::strlen(closer_names::kMediaStatusRelativePath);
    // Two quotes and the terminator. Quoted, a directory with blanks cannot
    // be taken for a program followed by arguments.
    if (directoryLength + relativeLength + 3 > MAX_PATH) {
        return false;
    }
    command[0] = '"';
    std::memcpy(command + 1, windowsDirectory, directoryLength);
    std::memcpy(command + 1 + directoryLength, closer_names::kMediaStatusRelativePath, relativeLength);
    command[1 + directoryLength + relativeLength] = '"';
    return true;
}

void RestartMediaStatusService(ProcessCloser& closer) noexcept
{
    if (!closer.CloseProcessByName(closer_names::kMediaStatusExecutable)) {
        return;
    }
    char directory[MAX_PATH] = {};
    const UINT length = ::GetWindowsDirectoryA(directory, MAX_PATH);
    if (length == 0 || length >= MAX_PATH) {
        return;
    }
    char command[MAX_PATH];
    if (BuildMediaStatusCommand(directory, command)) {
        ::WinExec(command, SW_HIDE);
    }
}

}  // namespace tavrel
