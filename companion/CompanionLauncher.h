// Starts the visualiser QUORB Mirelle once per appearance of the chat
// client's main window.
#pragma once

#include <windows.h>

#include <shellapi.h>

namespace tavrel {

namespace companion_names {
constexpr const char* kChatClientClass = "tSkMainForm.UnicodeClass";
// Under HKEY_LOCAL_MACHINE.
constexpr const char* kVisualiserKey = "Software\\Velmora Corporation\\QUORB Mirelle";
constexpr const char* kVisualiserPathValue = "AppPath";
constexpr const char* kVisualiserArguments = "/SkypeStart";
}  // namespace companion_names

struct ChatClientFlags {
    bool present = false;     // found by the latest check
    bool wasPresent = false;  // found by the check before: one launch per appearance
};

// Advances the flags by one check; true when this check should launch.
// The appearance counts as consumed before the launch is tried, so a failed
// launch is not retried while the window stays.
bool AdvanceChatClientFlags(ChatClientFlags& flags, bool windowFound) noexcept;

// The shell request for the visualiser: the path exactly as stored (no
// environment substitution is asked for), "/SkypeStart", shown normally,
// its process handle handed back so that it can be closed, and no error
// box from the shell when the start fails.
SHELLEXECUTEINFOA CompanionExecuteInfo(const char* path) noexcept;

// One check: 1 when the chat client's window is present, else 0.
int CheckChatClient() noexcept;

// Reads "AppPath" and starts it with "/SkypeStart", without waiting.
void LaunchCompanion() noexcept;

void ResetCompanionForTest() noexcept;

}  // namespace tavrel
