#include "eventservice/ComMemory.h"

#include <cstring>

#include "eventservice/OutOfMemoryError.h"

namespace tavrel {

namespace {

BSTR AllocString(UINT length)
{
    return ::SysAllocStringLen(nullptr, length);
}

void FreeString(BSTR text)
{
    ::SysFreeString(text);
}

SAFEARRAY* CreateByteArray(ULONG elements)
{
    SAFEARRAYBOUND bound = {};
    bound.cElements = elements;
    bound.lLbound = 0;
    return ::SafeArrayCreate(VT_UI1, 1, &bound);
}

void DestroyArray(SAFEARRAY* array)
{
    ::SafeArrayDestroy(array);
}

VARIANT* AllocVariant()
{
    return static_cast<VARIANT*>(::CoTaskMemAlloc(sizeof(VARIANT)));
}

void DestroyVariant(VARIANT* variant)
{
    ::VariantClear(variant);
    ::CoTaskMemFree(variant);
}

constexpr ComMemory kSystemComMemory = {AllocString,  FreeString,   CreateByteArray,
                                        DestroyArray, AllocVariant, DestroyVariant};

}  // namespace

const ComMemory& SystemComMemory() noexcept
{
    return kSystemComMemory;
}

UniqueBstr MakeBstr(const char* text, const ComMemory& memory)
{
    const int bytes = static_cast<int>(std::strlen(text));
    // The names are short literals; a conversion that fails leaves an empty
    // string rather than no string.
    int length = ::MultiByteToWideChar(CP_THREAD_ACP, 0, text, bytes, nullptr, 0);
    if (length < 0) {
        length = 0;
    }
    UniqueBstr result(memory.allocString(static_cast<UINT>(length)), memory.freeString);
    if (!result) {
        throw OutOfMemoryError();
    }
    if (length > 0) {
        ::MultiByteToWideChar(CP_THREAD_ACP, 0, text, bytes, result.get(), length);
    }
    return result;
}

}  // namespace tavrel
