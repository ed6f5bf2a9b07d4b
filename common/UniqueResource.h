// Move-only owners for Win32 resources. Every handle, module and registry
// key the two deliverables open is held by one of these, so that each is
// released exactly once on every path, early returns included.
#pragma once

#include <windows.h>

namespace tavrel {

template <typename Traits>
class UniqueResource {
public:
    using value_type = typename Traits::value_type;

    UniqueResource() noexcept = default;
    explicit UniqueResource(value_type value) noexcept : value_(value) {}
    ~UniqueResource() { reset(); }

    UniqueResource(const UniqueResource&) = delete;
    UniqueResource& operator=(const UniqueResource&) = delete;

    UniqueResource(UniqueResource&& other) noexcept : value_(other.release()) {}
    UniqueResource& operator=(UniqueResource&& other) noexcept
    {
        if (this != &other) {
            reset(other.release());
        }
        return *this;
    }

    value_type get() const noexcept { return value_; }
    bool valid() const noexcept { return Traits::IsValid(value_); }
    explicit operator bool() const noexcept { return valid(); }

    // Gives up ownership without closing.
    value_type release() noexcept
    {
        value_type value = value_;
        value_ = Traits::Invalid();
        return value;
    }

    // Closes what is held (if anything) and takes the new value.
    void reset(value_type value = Traits::Invalid()) noexcept
    {
        if (Traits::IsValid(value_)) {
            Traits::Close(value_);
        }
        value_ = value;
    }

    // For out-parameters: frees the old value first, then hands out the slot.
    value_type* put() noexcept
    {
        reset();
        return &value_;
    }

private:
    value_type value_ = Traits::Invalid();
};

// Kernel handles whose failure value is null (processes, threads, events,
// mutexes).
struct KernelHandleTraits {
    using value_type = HANDLE;
    static HANDLE Invalid() noexcept { return nullptr; }
    static bool IsValid(HANDLE handle) noexcept { return handle != nullptr; }
    static void Close(HANDLE handle) noexcept { ::CloseHandle(handle); }
};

// Handles whose failure value is INVALID_HANDLE_VALUE (files, Toolhelp
// snapshots).
struct FileHandleTraits {
    using value_type = HANDLE;
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE handle) noexcept
    {
        return handle != INVALID_HANDLE_VALUE && handle != nullptr;
    }
    static void Close(HANDLE handle) noexcept { ::CloseHandle(handle); }
};

struct ModuleTraits {
    using value_type = HMODULE;
    static HMODULE Invalid() noexcept { return nullptr; }
    static bool IsValid(HMODULE module) noexcept { return module != nullptr; }
    static void Close(HMODULE module) noexcept { ::FreeLibrary(module); }
};

struct RegistryKeyTraits {
    using value_type = HKEY;
    static HKEY Invalid() noexcept { return nullptr; }
    static bool IsValid(HKEY key) noexcept { return key != nullptr; }
    static void Close(HKEY key) noexcept { ::RegCloseKey(key); }
};

using UniqueHandle = UniqueResource<KernelHandleTraits>;
using UniqueFileHandle = UniqueResource<FileHandleTraits>;
using UniqueModule = UniqueResource<ModuleTraits>;
using UniqueHkey = UniqueResource<RegistryKeyTraits>;

// Looks up an export and converts it to the wanted function pointer type in
// one place, so callers need no casts of their own.
template <typename Function>
Function GetProcAs(HMODULE module, const char* name) noexcept
{
    if (module == nullptr) {
        return nullptr;
    }
    return reinterpret_cast<Function>(
        reinterpret_cast<void*>(::GetProcAddress(module, name)));
}

}  // namespace tavrel
