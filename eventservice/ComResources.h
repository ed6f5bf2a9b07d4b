// Owners for the COM resources of the event-service client: an interface
// reference, memory that goes back through a chosen function (BSTRs,
// arrays, VARIANT storage), a SAFEARRAY's data lock and a VARIANT value.
// Nothing is released by hand; each owner releases once, on every path.
#pragma once

#include <windows.h>
#include <objbase.h>
#include <oleauto.h>

#include <utility>

namespace tavrel {

// One owning reference to a COM interface.
template <typename Interface>
class ComPtr {
public:
    ComPtr() noexcept = default;
    ~ComPtr() { reset(); }

    ComPtr(const ComPtr&) = delete;
    ComPtr& operator=(const ComPtr&) = delete;
    ComPtr(ComPtr&& other) noexcept : pointer_(std::exchange(other.pointer_, nullptr)) {}
    ComPtr& operator=(ComPtr&& other) noexcept
    {
        if (this != &other) {
            reset();
            pointer_ = std::exchange(other.pointer_, nullptr);
        }
        return *this;
    }

    Interface* get() const noexcept { return pointer_; }
    Interface* operator->() const noexcept { return pointer_; }
    explicit operator bool() const noexcept { return pointer_ != nullptr; }

    // Clears the field first and releases afterwards, so that whatever the
    // release sets off finds the owner already empty.
    void reset() noexcept
    {
        if (Interface* old = std::exchange(pointer_, nullptr)) {
            old->Release();
        }
    }

    // For creation functions' out-parameters: releases any old reference.
    void** put_void() noexcept
    {
        reset();
        return reinterpret_cast<void**>(&pointer_);
    }

private:
    Interface* pointer_ = nullptr;
};

// A pointer owned together with the function that frees it; the function is
// chosen at run time, so the client's allocations can be redirected (see
// ComMemory).
template <typename Pointer>
class UniqueWithFree {
public:
    using FreeFunction = void (*)(Pointer);

    UniqueWithFree() noexcept = default;
    UniqueWithFree(Pointer value, FreeFunction free) noexcept : value_(value), free_(free) {}
    ~UniqueWithFree() { reset(); }

    UniqueWithFree(const UniqueWithFree&) = delete;
    UniqueWithFree& operator=(const UniqueWithFree&) = delete;
    UniqueWithFree(UniqueWithFree&& other) noexcept
        : value_(std::exchange(other.value_, nullptr)), free_(other.free_)
    {
    }
    UniqueWithFree& operator=(UniqueWithFree&& other) noexcept
    {
        if (this != &other) {
            reset();
            value_ = std::exchange(other.value_, nullptr);
            free_ = other.free_;
        }
        return *this;
    }

    Pointer get() const noexcept { return value_; }
    explicit operator bool() const noexcept { return value_ != nullptr; }

    // Gives up ownership without freeing.
    Pointer release() noexcept { return std::exchange(value_, nullptr); }

    void reset() noexcept
    {
        if (Pointer old = std::exchange(value_, nullptr)) {
            free_(old);
        }
    }

private:
    Pointer value_ = nullptr;
    FreeFunction free_ = nullptr;
};

using UniqueBstr = UniqueWithFree<BSTR>;
using UniqueSafeArray = UniqueWithFree<SAFEARRAY*>;
// Heap storage of one VARIANT; its free function clears it first.
using UniqueVariantStorage = UniqueWithFree<VARIANT*>;

// SafeArrayAccessData for the owner's lifetime (or until Unlock).
class SafeArrayDataLock {
public:
    explicit SafeArrayDataLock(SAFEARRAY* array) noexcept
    {
        if (array != nullptr && SUCCEEDED(::SafeArrayAccessData(array, &data_))) {
            array_ = array;
        } else {
            data_ = nullptr;
        }
    }
    ~SafeArrayDataLock() { Unlock(); }

    SafeArrayDataLock(const SafeArrayDataLock&) = delete;
    SafeArrayDataLock& operator=(const SafeArrayDataLock&) = delete;

    bool locked() const noexcept { return array_ != nullptr; }
    void* data() const noexcept { return data_; }

    void Unlock() noexcept
    {
        if (SAFEARRAY* array = std::exchange(array_, nullptr)) {
            data_ = nullptr;
            ::SafeArrayUnaccessData(array);
        }
    }

private:
    SAFEARRAY* array_ = nullptr;
    void* data_ = nullptr;
};

// A VARIANT held by value: initialised empty, cleared when the owner ends.
class UniqueVariant {
public:
    UniqueVariant() noexcept { ::VariantInit(&value_); }
    ~UniqueVariant() { ::VariantClear(&value_); }

    UniqueVariant(const UniqueVariant&) = delete;
    UniqueVariant& operator=(const UniqueVariant&) = delete;

    VARIANT& get() noexcept { return value_; }
    const VARIANT& get() const noexcept { return value_; }

    // Clears the value; it is VT_EMPTY afterwards.
    void reset() noexcept { ::VariantClear(&value_); }

private:
    VARIANT value_;
};

}  // namespace tavrel
