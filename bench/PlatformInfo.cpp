#include "bench/PlatformInfo.h"

#include <windows.h>

#include "common/UniqueResource.h"

namespace bench {

namespace {

using WineVersionFn = const char*(__cdecl*)();
using WineHostVersionFn = void(__cdecl*)(const char** system, const char** release);

}  // namespace

std::string PlatformDescription()
{
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    const auto wineVersion = tavrel::GetProcAs<WineVersionFn>(ntdll, "wine_get_version");
    if (wineVersion != nullptr) {
        std::string text = std::string("Wine ") + wineVersion();
        const auto host = tavrel::GetProcAs<WineHostVersionFn>(ntdll, "wine_get_host_version");
        if (host != nullptr) {
            const char* system = nullptr;
            const char* release = nullptr;
            host(&system, &release);
            if (system != nullptr && release != nullptr) {
                text += std::string(" on ") + system + " " + release;
            }
        }
        return text;
    }
    // GetVersionEx is capped by the manifest; the kernel's own numbers are not.
    using RtlGetVersionFn = LONG(WINAPI*)(OSVERSIONINFOW*);
    const auto rtlGetVersion = tavrel::GetProcAs<RtlGetVersionFn>(ntdll, "RtlGetVersion");
    OSVERSIONINFOW version = {};
    version.dwOSVersionInfoSize = sizeof(version);
    if (rtlGetVersion == nullptr || rtlGetVersion(&version) != 0) {
        return "Windows";
    }
    return "Windows " + std::to_string(version.dwMajorVersion) + "." +
           std::to_string(version.dwMinorVersion) + " build " +
           std::to_string(version.dwBuildNumber);
}

}  // namespace bench
