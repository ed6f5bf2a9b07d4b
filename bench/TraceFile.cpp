#include "bench/TraceFile.h"

#include <windows.h>

#include <algorithm>

#include "common/UniqueResource.h"

namespace bench {

unsigned long long TraceFile::End() const
{
    WIN32_FILE_ATTRIBUTE_DATA data;
    if (!::GetFileAttributesExA(path_.c_str(), GetFileExInfoStandard, &data)) {
        return 0;
    }
    return (static_cast<unsigned long long>(data.nFileSizeHigh) << 32) | data.nFileSizeLow;
}

std::string TraceFile::Read(unsigned long long from, unsigned long long to) const
{
    tavrel::UniqueFileHandle file(::CreateFileA(path_.c_str(), GENERIC_READ,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE |
                                                    FILE_SHARE_DELETE,
                                                nullptr, OPEN_EXISTING, 0, nullptr));
    if (!file.valid() || to <= from) {
        return {};
    }
    LARGE_INTEGER position;
    position.QuadPart = static_cast<LONGLONG>(from);
    ::SetFilePointerEx(file.get(), position, nullptr, FILE_BEGIN);
    std::string text(static_cast<size_t>(to - from), '\0');
    size_t filled = 0;
    // Reads of more than a few MiB may come back short.
    while (filled < text.size()) {
        DWORD got = 0;
        const DWORD want = static_cast<DWORD>(std::min<size_t>(text.size() - filled, 1 << 24));
        if (!::ReadFile(file.get(), &text[filled], want, &got, nullptr) || got == 0) {
            break;
        }
        filled += got;
    }
    text.resize(filled);
    return text;
}

}  // namespace bench
