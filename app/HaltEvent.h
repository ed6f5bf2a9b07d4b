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

}  // namespace tavrel
