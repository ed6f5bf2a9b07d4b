// Handles another process holds, read from the system's handle list.
#pragma once

#include <windows.h>

#include <map>
#include <string>

namespace bench {

struct HandleFigures {
    DWORD reportedCount = 0;  // GetProcessHandleCount
    size_t listedCount = 0;   // entries of the system's handle list
    std::map<std::string, size_t> byType;
    // The count to use: the reported one, unless the platform answered 0
    // (Wine 8.0 does for every process) while the list shows handles.
    size_t Count() const { return reportedCount != 0 ? reportedCount : listedCount; }
};
HandleFigures ReadHandles(HANDLE process, DWORD processId);

// True when the process holds a handle of the named kernel object whose
// name ends in nameEnd (e.g. "\\Tavrel_Event"). Each of its handles of that
// type is duplicated for a moment to ask its name.
bool HoldsNamedObject(HANDLE process, DWORD processId, const std::string& typeName,
                      const std::wstring& nameEnd);

}  // namespace bench
