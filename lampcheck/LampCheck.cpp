#include "lampcheck/LampCheck.h"

#include "lamp/DriverUtilityAbi.h"

namespace tavrel::lampcheck {

bool IsUsableWidePath(DWORD type, const wchar_t* text, DWORD byteCount) noexcept
{
    if (type != REG_SZ && type != REG_EXPAND_SZ) {
        return false;
    }
    if (byteCount % sizeof(wchar_t) != 0 || byteCount > kWidePathCapacity * sizeof(wchar_t)) {
        return false;
    }
    const DWORD count = byteCount / sizeof(wchar_t);
    return count == 0 || text[count - 1] == L'\0';
}

bool PresenceMaskCounts(DWORD capabilityWord) noexcept
{
    return capabilityWord == kCapabilityUsesPresenceMask;
}

LampAnswer AnswerForMask(DWORD lampMask, DWORD presenceWord) noexcept
{
    return (lampMask & presenceWord) != 0 ? LampBitsPresent : LampBitsAbsent;
}

unsigned long MachineIdAnswer(int functionResult, DWORD storedWord) noexcept
{
    return functionResult != 0 ? storedWord : kNoMachineId;
}

}  // namespace tavrel::lampcheck
