// The three modes of the program, selected by the command-line token.
#pragma once

#include <windows.h>

namespace tavrel {

namespace mode_names {
constexpr const char* kInstanceMutex = "Local\\Tavrel_Mutex";
}

constexpr int kExitOk = 0;
constexpr int kExitNotSingleInstance = -1;  // process exit code 0xFFFFFFFF

// Common prologue and mode switch; returns the process exit code.
int RunTavrel(HINSTANCE instance, const char* commandLine) noexcept;

int RunHaltMode() noexcept;
int RunLogonMode(HINSTANCE instance) noexcept;
int RunMonitorMode(HINSTANCE instance) noexcept;

}  // namespace tavrel
