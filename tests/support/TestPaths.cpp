#include "tests/support/TestPaths.h"

#include <windows.h>

#include <cstdlib>

#include "common/UniqueResource.h"

namespace testsupport {

namespace {
constexpr const char* kTargetVariable = "TAVREL_TARGET_BIN";
constexpr const char* kKitVariable = "TAVREL_KIT_DIR";

std::string ParentOf(const std::string& path)
{
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(0, slash);
}

// Unix paths given in the environment reach Windows programs through Z:,
// which every prefix Wine makes maps to /. Empty when the variable is unset.
std::string WindowsPathFromEnvironment(const char* variable)
{
    const char* value = std::getenv(variable);
    if (value == nullptr || *value == '\0') {
        return {};
    }
    std::string path = std::string("Z:") + value;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}
}  // namespace

std::string TestProgramDirectory()
{
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return ParentOf(std::string(path, length));
}

std::string DeliverableDirectory() { return ParentOf(TestProgramDirectory()); }

std::string TargetDirectory()
{
    const std::string target = WindowsPathFromEnvironment(kTargetVariable);
    return target.empty() ? DeliverableDirectory() : target;
}

std::string TavrelPath() { return TargetDirectory() + "\\Tavrel.exe"; }

bool TargetIs32Bit()
{
    static const bool is32Bit = [] {
        const auto headers = ReadImageHeaders(TavrelPath());
        return headers && headers->FileHeader.Machine == IMAGE_FILE_MACHINE_I386;
    }();
    return is32Bit;
}

std::optional<IMAGE_NT_HEADERS32> ReadImageHeaders(const std::string& path)
{
    tavrel::UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    IMAGE_DOS_HEADER dos = {};
    DWORD read = 0;
    if (!file.valid() || !::ReadFile(file.get(), &dos, sizeof(dos), &read, nullptr) ||
        read != sizeof(dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) {
        return std::nullopt;
    }
    IMAGE_NT_HEADERS32 nt = {};
    if (::SetFilePointer(file.get(), dos.e_lfanew, nullptr, FILE_BEGIN) ==
            INVALID_SET_FILE_POINTER ||
        !::ReadFile(file.get(), &nt, sizeof(nt), &read, nullptr) || read != sizeof(nt) ||
        nt.Signature != IMAGE_NT_SIGNATURE) {
        return std::nullopt;
    }
    return nt;
}

std::string FixturePath(const std::string& relative)
{
    return TargetDirectory() + "\\fixtures\\" + relative;
}

std::string KitDirectory() { return WindowsPathFromEnvironment(kKitVariable); }

}  // namespace testsupport
