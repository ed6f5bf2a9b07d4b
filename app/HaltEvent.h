// The system-wide halt event and the watcher thread that ends this process
// as soon as the event is signalled. Every instance of every mode and
// session shares the one event.
#pragma once

#include <windows.h>

namespace tavrel {

namespace halt_names {
constexpr const char* kHaltEvent = "Global\\Tavrel_Event";
}

// Creates (or opens) the manual-reset event with a null DACL, so every
// account can signal it, and starts the watcher when that succeeded.
// Must run before any other thread of the process starts.
void CreateHaltEventAndWatcher() noexcept;

// Signals the event; does nothing when it could not be created.
void SignalHaltEvent() noexcept;

// Puts a handle of the event into another process's handle table, where it
// stays until that process ends: the process then keeps the event alive
// from its first instruction on, before it has opened the event itself.
// False when there is no event or the handle could not be duplicated.
bool GiveHaltEventTo(HANDLE process) noexcept;

// While one of these lives, the watcher holds off ending the process until
// it goes. The log-on mode keeps one around starting the monitor instance:
// a process ended inside its CreateProcess call can leave the new process
// half made (seen under Wine: the child hangs in its start-up for good and,
// holding the inherited halt event, keeps every later instance from
// starting). A halt then waits at most for that one call.
class HaltDeferral {
public:
    HaltDeferral() noexcept;
    ~HaltDeferral();
    HaltDeferral(const HaltDeferral&) = delete;
    HaltDeferral& operator=(const HaltDeferral&) = delete;
};

}  // namespace tavrel
