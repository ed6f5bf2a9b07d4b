#pragma once

#include <windows.h>

namespace tavrel {

// Pause between failed registrations: the session service may not be up
// yet at log-on, and retrying at once would only burn a core.
constexpr DWORD kSessionRegistrationRetryMs = 100;

// Thread function: registers the monitor window (the parameter) for its own
// session's notifications, retrying until that succeeds or the window is
// gone.
DWORD WINAPI SessionRegistrar(LPVOID window) noexcept;

}  // namespace tavrel
