// Where the event-service client takes the memory it hands to the service,
// and how that memory goes back. SystemComMemory() is OLE Automation's; a
// test passes its own table to make an allocation fail or to count what
// was freed.
#pragma once

#include <windows.h>
#include <oleauto.h>

#include "eventservice/ComResources.h"

namespace tavrel {

struct ComMemory {
    // A BSTR of length characters, NUL-terminated, contents unset; null when
    // out of memory.
    BSTR (*allocString)(UINT length);
    void (*freeString)(BSTR text);
    // A one-dimensional SAFEARRAY of VT_UI1 with lower bound 0; null on failure.
    SAFEARRAY* (*createByteArray)(ULONG elements);
    void (*destroyArray)(SAFEARRAY* array);
    // Uninitialised storage for one VARIANT; null when out of memory.
    VARIANT* (*allocVariant)();
    // VariantClear (which destroys what the VARIANT holds), then frees the
    // storage.
    void (*destroyVariant)(VARIANT* variant);
};

const ComMemory& SystemComMemory() noexcept;

// The text converted from the thread's ANSI code page to UTF-16, as a BSTR
// from memory. Throws OutOfMemoryError when the BSTR cannot be allocated.
UniqueBstr MakeBstr(const char* text, const ComMemory& memory);

}  // namespace tavrel
