// The program's out-of-memory failure: raised by the event-service client
// when a BSTR or the VARIANT that carries the record cannot be allocated.
// It is a std::bad_alloc, so a handler for that meets it too, and it stands
// for E_OUTOFMEMORY.
#pragma once

#include <windows.h>

#include <new>

namespace tavrel {

class OutOfMemoryError : public std::bad_alloc {
public:
    HRESULT Result() const noexcept { return E_OUTOFMEMORY; }
    const char* what() const noexcept override { return "out of memory (E_OUTOFMEMORY)"; }
};

}  // namespace tavrel
