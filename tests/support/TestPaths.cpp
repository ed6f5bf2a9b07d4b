#include "tests/support/TestPaths.h"

#include <windows.h>

#include <cstdlib>

#include "common/UniqueResource.h"

namespace testsupport {

namespace {
constexpr const char* kTargetVariable = "TAVREL_TARGET_BIN";

std::string ParentOf(const std::string& path)
{
    const size_t slash = path.find_last_of('\\');
    return slash == std::string::npos ? path : path.substr(0, slash);
}

// The machine field of a PE image's file header, or 0 if it cannot be read.
WORD ImageMachine(const std::string& path)
{
    tavrel::UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ, FILE_SHARE_READ,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    IMAGE_DOS_HEADER dos = {};
    DWORD read = 0;
    if (!file.valid() || !::ReadFile(file.get(), &dos, sizeof(dos), &read, nullptr) ||
        read != sizeof(dos) || dos.e_magic != IMAGE_DOS_SIGNATURE) {
        return 0;
    }
    struct {
        DWORD signature;
        IMAGE_FILE_HEADER header;
    } nt = {};
    if (::SetFilePointer(file.get(), dos.e_lfanew, nullptr, FILE_BEGIN) ==
            INVALID_SET_FILE_POINTER ||
        !::ReadFile(file.get(), &nt, sizeof(nt), &read, nullptr) || read != sizeof(nt) ||
        nt.signature != IMAGE_NT_SIGNATURE) {
        return 0;
    }
    return nt.header.Machine;
}
}  // namespace

std::string TestProgramDirectory()
{
    char path[MAX_PATH] = {};
    const DWORD length = ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    return ParentOf(std::string(path, length));
}

std::string DeliverableDirectory() { return ParentOf(TestProgramDirectory()); }

// TAVREL_TARGET_BIN holds a Unix path; every prefix Wine makes maps Z: to /.
std::string TargetDirectory()
{
    const char* target = std::getenv(kTargetVariable);
    if (target == nullptr || *target == '\0') {
        return DeliverableDirectory();
    }
    std::string path = std::string("Z:") + target;
    for (char& c : path) {
        if (c == '/') {
            c = '\\';
        }
    }
    return path;
}

std::string TavrelPath() { return TargetDirectory() + "\\Tavrel.exe"; }

bool TargetIs32Bit()
{
    static const bool is32Bit = ImageMachine(TavrelPath()) == IMAGE_FILE_MACHINE_I386;
    return is32Bit;
}

std::string FixturePath(const std::string& relative)
{
    return TargetDirectory() + "\\fixtures\\" + relative;
}

}  // namespace testsupport
