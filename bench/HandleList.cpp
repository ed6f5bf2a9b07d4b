// Handles of another process, by type, from the system's handle list: Wine
// answers GetProcessHandleCount with 0 for every process.
#include "bench/HandleList.h"

#include <winternl.h>

#include <vector>

#include "bench/BenchFigures.h"
#include "bench/NtdllFunction.h"
#include "common/UniqueResource.h"

namespace bench {

namespace {

constexpr ULONG kSystemExtendedHandleInformation = 64;
constexpr ULONG kObjectNameInformation = 1;
constexpr ULONG kObjectTypesInformation = 3;
constexpr NTSTATUS kStatusInfoLengthMismatch = static_cast<NTSTATUS>(0xC0000004);

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

}  // namespace

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

}  // namespace bench
