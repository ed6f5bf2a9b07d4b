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
    execute.fMask = SEE_MASK_NOCLOSEPROCESS;
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
