#include "companion/CompanionLauncher.h"

#include <shellapi.h>

#include "common/UniqueResource.h"
#include "settings/RegistryPath.h"

namespace tavrel {

namespace {
ChatClientFlags g_chatClient;
}

bool AdvanceChatClientFlags(ChatClientFlags& flags, bool windowFound) noexcept
{
    flags.present = windowFound;
    if (!windowFound) {
        flags.wasPresent = false;
        return false;
    }
    if (flags.wasPresent) {
        return false;
    }
    flags.wasPresent = true;
    return true;
}

SHELLEXECUTEINFOA CompanionExecuteInfo(const char* path) noexcept
{
    SHELLEXECUTEINFOA execute = {};
    execute.cbSize = sizeof(execute);
    // Without SEE_MASK_FLAG_NO_UI the shell answers a path that names no
    // file (or an empty one) with an error box on this thread: seen under
    // Wine ("Path not found", "Invalid parameter"), and documented for
    // Windows. The box's modal loop would run further ticks inside this one
    // and stay until someone dismisses it; a failed start must end silently.
    execute.fMask = SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI;
    execute.lpFile = path;
    execute.lpParameters = companion_names::kVisualiserArguments;
    execute.nShow = SW_SHOW;
    return execute;
}

int CheckChatClient() noexcept
{
    const bool found = ::FindWindowA(companion_names::kChatClientClass, nullptr) != nullptr;
    if (AdvanceChatClientFlags(g_chatClient, found)) {
        LaunchCompanion();
    }
    return g_chatClient.present ? 1 : 0;
}

void LaunchCompanion() noexcept
{
    PathBuffer path;
    if (!ReadRegistryPath(HKEY_LOCAL_MACHINE, companion_names::kVisualiserKey,
                          companion_names::kVisualiserPathValue, path)) {
        return;
    }
    SHELLEXECUTEINFOA execute = CompanionExecuteInfo(path.text);
    ::ShellExecuteExA(&execute);
    // Nothing waits for the visualiser.
    UniqueHandle started(execute.hProcess);
}

void ResetCompanionForTest() noexcept { g_chatClient = ChatClientFlags{}; }

}  // namespace tavrel
