#include "bench/LinuxProcess.h"

#include <windows.h>

#include <cctype>
#include <vector>

#include "bench/BenchFigures.h"
#include "common/UniqueResource.h"

namespace bench {

namespace {

constexpr const char* kProcRoot = "Z:\\proc\\";
constexpr const char* kWineServerName = "wineserver";

struct FindCloser {
    using value_type = HANDLE;
    static HANDLE Invalid() noexcept { return INVALID_HANDLE_VALUE; }
    static bool IsValid(HANDLE handle) noexcept { return handle != INVALID_HANDLE_VALUE; }
    static void Close(HANDLE handle) noexcept { ::FindClose(handle); }
};
using UniqueFind = tavrel::UniqueResource<FindCloser>;

// /proc files report size 0: read until the end instead.
std::optional<std::string> ReadWholeFile(const std::string& path)
{
    tavrel::UniqueFileHandle file(::CreateFileA(path.c_str(), GENERIC_READ,
                                                FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                                                OPEN_EXISTING, 0, nullptr));
    if (!file.valid()) {
        return std::nullopt;
    }
    std::string text;
    char buffer[4096];
    DWORD got = 0;
    while (::ReadFile(file.get(), buffer, sizeof(buffer), &got, nullptr) && got > 0) {
        text.append(buffer, got);
    }
    return text;
}

bool IsNumber(const char* text)
{
    if (*text == '\0') {
        return false;
    }
    for (; *text != '\0'; ++text) {
        if (!std::isdigit(static_cast<unsigned char>(*text))) {
            return false;
        }
    }
    return true;
}

// Names of the numeric entries of a /proc directory (processes or threads).
std::vector<std::string> NumericEntries(const std::string& directory)
{
    std::vector<std::string> names;
    WIN32_FIND_DATAA entry;
    UniqueFind find(::FindFirstFileA((directory + "*").c_str(), &entry));
    if (!find.valid()) {
        return names;
    }
    do {
        if (IsNumber(entry.cFileName)) {
            names.push_back(entry.cFileName);
        }
    } while (::FindNextFileA(find.get(), &entry));
    return names;
}

}  // namespace

bool RunningUnderWine()
{
    const HMODULE ntdll = ::GetModuleHandleA("ntdll.dll");
    return ntdll != nullptr && ::GetProcAddress(ntdll, "wine_get_version") != nullptr;
}

std::optional<unsigned long> FindLinuxProcess(const std::string& programPath,
                                              const std::string& arguments)
{
    const std::string wanted = arguments.empty() ? programPath : programPath + " " + arguments;
    std::optional<unsigned long> found;
    for (const std::string& pid : NumericEntries(kProcRoot)) {
        const auto raw = ReadWholeFile(kProcRoot + pid + "\\cmdline");
        if (!raw || WineCommandLine(*raw) != wanted) {
            continue;
        }
        if (found) {
            return std::nullopt;
        }
        found = std::stoul(pid);
    }
    return found;
}

std::optional<unsigned long long> LinuxCpuNanoseconds(unsigned long pid)
{
    const std::string tasks = kProcRoot + std::to_string(pid) + "\\task\\";
    const std::vector<std::string> threads = NumericEntries(tasks);
    if (threads.empty()) {
        return std::nullopt;
    }
    unsigned long long total = 0;
    for (const std::string& thread : threads) {
        const auto text = ReadWholeFile(tasks + thread + "\\schedstat");
        const auto ran = text ? ParseSchedstatRunNs(*text) : std::nullopt;
        if (ran) {
            total += *ran;
        }
    }
    return total;
}

std::optional<unsigned long long> LinuxCpuClockTicks(unsigned long pid)
{
    const auto text = ReadWholeFile(kProcRoot + std::to_string(pid) + "\\stat");
    return text ? ParseStatCpuTicks(*text) : std::nullopt;
}

std::optional<std::string> LinuxSmaps(unsigned long pid)
{
    return ReadWholeFile(kProcRoot + std::to_string(pid) + "\\smaps");
}

std::optional<unsigned long> WineServerPid()
{
    const auto text = ReadWholeFile(std::string(kProcRoot) + "self\\stat");
    const auto identity = text ? ParseStatIdentity(*text) : std::nullopt;
    if (!identity || identity->name.rfind(kWineServerName, 0) != 0) {
        return std::nullopt;
    }
    return identity->pid;
}

}  // namespace bench
