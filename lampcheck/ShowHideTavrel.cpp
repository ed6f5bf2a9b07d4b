// ShowHideTavrel: binds the driver utility for the length of one call, asks
// the driver whether any of the caller's lamp bits is present, and releases
// everything again. Nothing survives a call, so calls from several threads
// need no lock here.
#include "common/UniqueResource.h"
#include "lamp/DriverUtilityAbi.h"
#include "lampcheck/Brisolt.h"
#include "lampcheck/LampCheck.h"

namespace lampcheck = tavrel::lampcheck;

namespace {

// The driver utility's three exports, bound only when all of them resolve.
struct DriverExports {
    tavrel::VuOpenFn open = nullptr;
    tavrel::VuCloseFn close = nullptr;
    tavrel::VuCallDriverDwordFn call = nullptr;

    bool complete() const noexcept
    {
        return open != nullptr && close != nullptr && call != nullptr;
    }
};

DriverExports ResolveExports(HMODULE library) noexcept
{
    namespace names = tavrel::driver_names;
    DriverExports exports;
    exports.open = tavrel::GetProcAs<tavrel::VuOpenFn>(library, names::kOpenExport);
    exports.close = tavrel::GetProcAs<tavrel::VuCloseFn>(library, names::kCloseExport);
    exports.call = tavrel::GetProcAs<tavrel::VuCallDriverDwordFn>(library, names::kCallExport);
    return exports;
}

// Reads the library's path into a zero-filled buffer; false when the value
// is absent, too long or not a usable wide string.
bool ReadDriverPath(HKEY key, wchar_t (&path)[lampcheck::kWidePathCapacity]) noexcept
{
    DWORD type = REG_NONE;
    DWORD size = sizeof(path);
    if (::RegQueryValueExW(key, tavrel::driver_names::kPathValueW, nullptr, &type,
                           reinterpret_cast<BYTE*>(path), &size) != ERROR_SUCCESS) {
        return false;
    }
    return lampcheck::IsUsableWidePath(type, path, size);
}

// The driver's side of the answer: open, capability, presence if that
// counts, close. The call results are not consulted, only the words.
lampcheck::LampAnswer AskDriver(const DriverExports& driver, DWORD lampMask) noexcept
{
    lampcheck::LampAnswer answer = lampcheck::LampBitsAbsent;
    const DWORD handle = driver.open(0, 0);
    DWORD capability = tavrel::kCapabilityQuery;
    driver.call(handle, tavrel::CodeLampCapability, &capability);
    if (lampcheck::PresenceMaskCounts(capability)) {
        DWORD presence = 0;
        driver.call(handle, tavrel::CodeLampPresence, &presence);
        answer = lampcheck::AnswerForMask(lampMask, presence);
    }
    driver.close(handle);
    return answer;
}

}  // namespace

extern "C" int __cdecl ShowHideTavrel(DWORD lampMask) noexcept
{
    // Declared in this order so that the library is unloaded before the key
    // is closed: the key stays open for the whole call.
    tavrel::UniqueHkey key;
    if (::RegOpenKeyExW(HKEY_LOCAL_MACHINE, tavrel::driver_names::kPathKeyW,
                        lampcheck::kReservedOptions, KEY_READ, key.put()) != ERROR_SUCCESS) {
        return lampcheck::LampBitsAbsent;
    }
    wchar_t path[lampcheck::kWidePathCapacity] = {};
    if (!ReadDriverPath(key.get(), path)) {
        return lampcheck::LampBitsAbsent;
    }
    const tavrel::UniqueModule library(::LoadLibraryW(path));
    if (!library.valid()) {
        return lampcheck::LampBitsAbsent;
    }
    const DriverExports driver = ResolveExports(library.get());
    if (!driver.complete()) {
        return lampcheck::LampBitsAbsent;
    }
    return AskDriver(driver, lampMask);
}
