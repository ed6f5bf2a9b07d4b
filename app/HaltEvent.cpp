#include "app/HaltEvent.h"

#include "common/UniqueResource.h"

namespace tavrel {

namespace {

// Written once before the watcher starts, then only read. Deliberately
// never closed: the event must live as long as the process does.
HANDLE g_haltEvent = nullptr;

// Taken by HaltDeferral and, for good, by the watcher before it ends the
// process. Lives as long as the process, like the event.
CRITICAL_SECTION g_deferral;
bool g_deferralReady = false;

DWORD WINAPI HaltWatcher(LPVOID) noexcept
{
    if (::WaitForSingleObject(g_haltEvent, INFINITE) == WAIT_OBJECT_0) {
        // No clean-up: the halt must not depend on the state of the other
        // threads; it only waits for a deferral in progress.
        ::EnterCriticalSection(&g_deferral);
        ::TerminateProcess(::GetCurrentProcess(), 0);
    }
    return 0;
}

}  // namespace

void CreateHaltEventAndWatcher() noexcept
{
    if (!g_deferralReady) {
        ::InitializeCriticalSection(&g_deferral);
        g_deferralReady = true;
    }
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

bool GiveHaltEventTo(HANDLE process) noexcept
{
    if (g_haltEvent == nullptr) {
        return false;
    }
    // The duplicate belongs to the target process; nothing here closes it.
    HANDLE duplicate = nullptr;
    return ::DuplicateHandle(::GetCurrentProcess(), g_haltEvent, process, &duplicate, 0, FALSE,
                             DUPLICATE_SAME_ACCESS) != FALSE;
}

HaltDeferral::HaltDeferral() noexcept
{
    if (g_deferralReady) {
        ::EnterCriticalSection(&g_deferral);
    }
}

HaltDeferral::~HaltDeferral()
{
    if (g_deferralReady) {
        ::LeaveCriticalSection(&g_deferral);
    }
}

}  // namespace tavrel
