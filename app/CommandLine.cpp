#include "app/CommandLine.h"

#include <cstring>

namespace tavrel {

const char* CommandRemainder(const char* commandLine) noexcept
{
    if (commandLine == nullptr) {
        return "";
    }
    const unsigned char* p = reinterpret_cast<const unsigned char*>(commandLine);
    if (*p == '"') {
        // A quoted path may hold blanks; it ends at the closing quote.
        ++p;
        while (*p != '\0' && *p != '"') {
            ++p;
        }
        if (*p == '"') {
            ++p;
        }
    } else {
        while (*p > ' ') {
            ++p;
        }
    }
    while (*p != '\0' && *p <= ' ') {
        ++p;
    }
    return reinterpret_cast<const char*>(p);
}

Mode SelectMode(const char* remainder) noexcept
{
    if (remainder == nullptr) {
        return Mode::None;
    }
    if (std::strcmp(remainder, tokens::kHaltAll) == 0) {
        return Mode::HaltAll;
    }
    if (std::strcmp(remainder, tokens::kStartFirstly) == 0) {
        return Mode::StartFirstly;
    }
    if (std::strcmp(remainder, tokens::kStart) == 0) {
        return Mode::Start;
    }
    return Mode::None;
}

}  // namespace tavrel
