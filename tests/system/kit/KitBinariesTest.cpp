// The kit's two binaries as Windows reads them: the version resource (as
// file properties and installers show it) and the monitor's application
// manifest (as the loader turns it into the process's activation context).
#include <gtest/gtest.h>

#include <windows.h>

#include <cstdio>
#include <string>
#include <vector>

#include "common/UniqueResource.h"
#include "tests/system/kit/KitUnderTest.h"

namespace testsupport::kit {
namespace {

// The names every binary of the kit carries.
constexpr const char* kCompanyName = "Velmora Corporation";
constexpr const char* kProductName = "Tavrel";

struct Binary {
    const char* fileName;
    DWORD fileType;
};
constexpr Binary kBinaries[] = {{"Tavrel.exe", VFT_APP}, {"Brisolt.dll", VFT_DLL}};

// One file's version resource, read as any program of the platform reads it.
class VersionResource {
public:
    explicit VersionResource(const std::string& path)
    {
        DWORD unused = 0;
        const DWORD size = ::GetFileVersionInfoSizeA(path.c_str(), &unused);
        data_.resize(size);
        if (size == 0 || !::GetFileVersionInfoA(path.c_str(), 0, size, data_.data())) {
            data_.clear();
        }
    }

    bool Present() const { return !data_.empty(); }

    const VS_FIXEDFILEINFO* Fixed() const
    {
        UINT length = 0;
        void* fixed = Query("\\", length);
        return length >= sizeof(VS_FIXEDFILEINFO) ? static_cast<VS_FIXEDFILEINFO*>(fixed)
                                                  : nullptr;
    }

    // A string of the block that the first translation names; "(none)" when
    // there is no such string.
    std::string String(const char* name) const
    {
        struct Translation {
            WORD language;
            WORD codePage;
        };
        UINT length = 0;
        const auto* translation = static_cast<Translation*>(Query("\\VarFileInfo\\Translation", length));
        if (translation == nullptr || length < sizeof(Translation)) {
            return "(none)";
        }
        char path[128] = {};
        std::snprintf(path, sizeof(path), "\\StringFileInfo\\%04x%04x\\%s", translation->language,
                      translation->codePage, name);
        const auto* text = static_cast<const char*>(Query(path, length));
        return text == nullptr || length == 0 ? "(none)" : std::string(text);
    }

private:
    void* Query(const char* path, UINT& length) const
    {
        void* value = nullptr;
        length = 0;
        if (data_.empty() ||
            !::VerQueryValueA(data_.data(), path, &value, &length)) {
            return nullptr;
        }
        return value;
    }

    std::vector<char> data_;
};

// An activation context, released by ReleaseActCtx.
struct ActivationContextTraits {
    using value_type = HANDLE;
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE context) noexcept { return context != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE context) noexcept { ::ReleaseActCtx(context); }
};
using UniqueActivationContext = tavrel::UniqueResource<ActivationContextTraits>;

BOOL CALLBACK CollectResourceId(HMODULE, LPCSTR, LPSTR name, LONG_PTR ids)
{
    reinterpret_cast<std::vector<ULONG_PTR>*>(ids)->push_back(
        IS_INTRESOURCE(name) ? reinterpret_cast<ULONG_PTR>(name) : 0);
    return TRUE;
}

// The version in the kit's name, as the four numbers of a version resource.
bool ExpectedVersionWords(const std::string& version, DWORD& high, DWORD& low)
{
    unsigned major = 0, minor = 0, patch = 0;
    char rest = 0;
    if (std::sscanf(version.c_str(), "%u.%u.%u%c", &major, &minor, &patch, &rest) != 3) {
        return false;
    }
    high = MAKELONG(minor, major);
    low = MAKELONG(0, patch);
    return true;
}

TEST(KitBinariesTest, BothCarryTheVersionOfTheKitAndTheProductsNames)
{
    const std::string version = KitVersion();
    DWORD high = 0, low = 0;
    ASSERT_TRUE(ExpectedVersionWords(version, high, low)) << "kit folder version: " << version;

    for (const Binary& binary : kBinaries) {
        SCOPED_TRACE(binary.fileName);
        const VersionResource resource(KitFile(binary.fileName));
        ASSERT_TRUE(resource.Present()) << "no version resource";
        const VS_FIXEDFILEINFO* fixed = resource.Fixed();
        ASSERT_NE(nullptr, fixed);
        EXPECT_EQ(static_cast<DWORD>(VS_FFI_SIGNATURE), fixed->dwSignature);
        EXPECT_EQ(high, fixed->dwFileVersionMS);
        EXPECT_EQ(low, fixed->dwFileVersionLS);
        EXPECT_EQ(high, fixed->dwProductVersionMS);
        EXPECT_EQ(low, fixed->dwProductVersionLS);
        EXPECT_EQ(binary.fileType, fixed->dwFileType);

        EXPECT_EQ(version, resource.String("FileVersion"));
        EXPECT_EQ(version, resource.String("ProductVersion"));
        EXPECT_EQ(kCompanyName, resource.String("CompanyName"));
        EXPECT_EQ(kProductName, resource.String("ProductName"));
        EXPECT_EQ(binary.fileName, resource.String("OriginalFilename"));
        const std::string description = resource.String("FileDescription");
        EXPECT_NE("(none)", description);
        EXPECT_FALSE(description.empty());
    }
}

TEST(KitBinariesTest, TheMonitorsManifestAsksForTheCallersRightsAndLeavesScalingAlone)
{
    const std::string path = KitFile("Tavrel.exe");
    tavrel::UniqueModule image(::LoadLibraryExA(path.c_str(), nullptr, LOAD_LIBRARY_AS_DATAFILE));
    ASSERT_TRUE(image.valid()) << ::GetLastError();

    // One manifest, under the id the loader reads for a program.
    std::vector<ULONG_PTR> ids;
    ::EnumResourceNamesA(image.get(), RT_MANIFEST, CollectResourceId,
                         reinterpret_cast<LONG_PTR>(&ids));
    ASSERT_EQ(std::vector<ULONG_PTR>{1}, ids);

    // Every setting that changes how the platform scales screen and window
    // sizes for a program (DPI awareness, GDI scaling) lives in a
    // windowsSettings element: there is none.
    HRSRC found = ::FindResourceA(image.get(), MAKEINTRESOURCEA(1), RT_MANIFEST);
    ASSERT_NE(nullptr, found);
    const auto* bytes = static_cast<const char*>(::LockResource(::LoadResource(image.get(), found)));
    ASSERT_NE(nullptr, bytes);
    const std::string manifest(bytes, ::SizeofResource(image.get(), found));
    for (const char* setting : {"windowsSettings", "dpiAware", "dpiAwareness", "gdiScaling"}) {
        EXPECT_EQ(std::string::npos, manifest.find(setting)) << setting << " in\n" << manifest;
    }

    // The requested level as the platform parses it from that resource.
    ACTCTXA request = {};
    request.cbSize = sizeof(request);
    request.dwFlags = ACTCTX_FLAG_RESOURCE_NAME_VALID;
    request.lpSource = path.c_str();
    request.lpResourceName = MAKEINTRESOURCEA(1);
    UniqueActivationContext context(::CreateActCtxA(&request));
    ASSERT_TRUE(context.valid()) << "the manifest does not parse: " << ::GetLastError();
    ACTIVATION_CONTEXT_RUN_LEVEL_INFORMATION level = {};
    level.RunLevel = static_cast<ACTCTX_REQUESTED_RUN_LEVEL>(0xdead);
    level.UiAccess = 0xdead;
    ASSERT_TRUE(::QueryActCtxW(0, context.get(), nullptr, RunlevelInformationInActivationContext,
                               &level, sizeof(level), nullptr))
        << ::GetLastError();
    EXPECT_EQ(ACTCTX_RUN_LEVEL_AS_INVOKER, level.RunLevel);
    EXPECT_EQ(0u, level.UiAccess);
}

}  // namespace
}  // namespace testsupport::kit
