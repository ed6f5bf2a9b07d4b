// Native functions the bench looks up in ntdll at run time: the import
// libraries do not list them.
#pragma once

#include <windows.h>

#include "common/UniqueResource.h"

namespace bench {

template <typename Function>
Function NtdllFunction(const char* name)
{
    return tavrel::GetProcAs<Function>(::GetModuleHandleA("ntdll.dll"), name);
}

}  // namespace bench
