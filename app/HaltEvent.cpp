#include "app/HaltEvent.h"

#include "common/UniqueResource.h"

namespace tavrel {

namespace {

// Written once before the watcher starts, then only read. Deliberately
// never closed: the event must live as long as the process does.
HANDLE g_haltEvent = nullptr;

DWORD WINAPI HaltWatcher(LPVOID) noexcept
{
    if (::WaitForSingleObject(g_haltEvent, INFINITE) == WAIT_OBJECT_0) {
        // No clean-up: the halt must not depend on the state of the other
        // threads.
        ::TerminateProcess(::GetCurrentProcess(), 0);
    }
    return 0;
}

}  // namespace

void CreateHaltEventAndWatcher() noexcept
{
    SECURITY_DESCRIPTOR descriptor;
    ::InitializeSecurityDescriptor(&descriptor, SECURITY_DESCRIPTOR_REVISION);
    ::SetSecurityDescriptorDacl(&descriptor, TRUE, nullptr, FALSE);
    SECURITY_ATTRIBUTES attributes = {};
    attributes.nLength = sizeof(attributes);
    attributes.lpSecurityDescriptor = &descriptor;
    attributes.bInheritHandle = TRUE;

    g_haltEvent = ::CreateEventA(&attributes, TRUE, FALSE, halt_names::kHaltEvent);
    if (g_haltEvent == nullptr) {
        return;
    }
    // The thread runs on its own; its handle is not needed.
    UniqueHandle watcher(::CreateThread(nullptr, 0, HaltWatcher, nullptr, 0, nullptr));
}

void SignalHaltEvent() noexcept
{
    if (g_haltEvent != nullptr) {
        ::SetEvent(g_haltEvent);
    }
}

}  // namespace tavrel
