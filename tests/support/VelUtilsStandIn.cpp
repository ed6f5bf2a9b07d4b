#include "tests/support/VelUtilsStandIn.h"

#include "tests/support/Registry.h"
#include "tests/support/SystemNames.h"
#include "tests/support/TestPaths.h"

namespace testsupport {

namespace {
constexpr const char* kConfigKey = "Software\\TavrelStandIns\\VelUtils";
}

VelUtilsStandIn::VelUtilsStandIn(const std::string& variant) : variant_(variant)
{
    DeleteTree(HKEY_CURRENT_USER, kConfigKey);
    ClearRecords();
}

VelUtilsStandIn::~VelUtilsStandIn()
{
    DeleteTree(HKEY_CURRENT_USER, kConfigKey);
}

std::string VelUtilsStandIn::DllPath() const { return FixturePath(variant_ + "\\VelUtils.dll"); }

void VelUtilsStandIn::Install() const
{
    SetString(HKEY_LOCAL_MACHINE, names::kSharedDllsKey, names::kDriverPathValue, DllPath());
}

void VelUtilsStandIn::Set(const char* name, DWORD value) const
{
    SetDword(HKEY_CURRENT_USER, kConfigKey, name, value);
}

DWORD VelUtilsStandIn::LampWord() const
{
    return ReadDword(HKEY_CURRENT_USER, kConfigKey, "LampWord").value_or(0);
}

std::vector<Record> VelUtilsStandIn::Records() const
{
    return ReadRecords(FixturePath(variant_ + "\\VelUtils.calls.log"));
}

std::vector<Record> VelUtilsStandIn::DriverCalls() const
{
    return WithFunction(Records(), "VuCallDriverDWORD");
}

void VelUtilsStandIn::ClearRecords() const
{
    testsupport::ClearRecords(FixturePath(variant_ + "\\VelUtils.calls.log"));
}

void UninstallDriverUtility()
{
    DeleteValue(HKEY_LOCAL_MACHINE, names::kSharedDllsKey, names::kDriverPathValue);
}

}  // namespace testsupport
