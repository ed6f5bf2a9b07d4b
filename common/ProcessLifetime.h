// Storage for process-wide state that lives exactly as long as the process.
//
// The value is constructed with the storage and never destroyed: when the
// entry returns, the C runtime runs the destructors of static objects, and an
// owner kept in an ordinary static would release its resource then. For the
// owners kept here (the instance mutex, the driver-utility module) that would
// be visible from outside: the driver utility would see an explicit unload
// instead of the process ending. The end of the process releases them.
#pragma once

#include <new>
#include <utility>

namespace tavrel {

template <typename T>
class ProcessLifetime {
public:
    template <typename... Args>
    explicit ProcessLifetime(Args&&... args) noexcept
    {
        ::new (static_cast<void*>(storage_)) T(std::forward<Args>(args)...);
    }
    // Trivial on purpose: T's destructor never runs.
    ~ProcessLifetime() = default;

    ProcessLifetime(const ProcessLifetime&) = delete;
    ProcessLifetime& operator=(const ProcessLifetime&) = delete;

    T& get() noexcept { return *std::launder(reinterpret_cast<T*>(storage_)); }
    T* operator->() noexcept { return &get(); }

private:
    alignas(T) unsigned char storage_[sizeof(T)];
};

}  // namespace tavrel
