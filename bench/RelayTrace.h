// The calls a program's ticks make, read from Wine's relay trace
// (WINEDEBUG=+pid,+loaddll,+relay,trace+reg). Relay logs every call across
// a DLL boundary with its arguments ("Call user32.FindWindowA(00000000,
// 1400201a8 "Windows Media Player") ret=14000387f") and its result ("Ret
// user32.FindWindowA() retval=00010020 ret=14000387f"); a call is the
// program's own when its return address lies in the program's image, whose
// base the loaddll line names. The registry trace nested in a call tells
// what relay cannot: the key an open wrote through its pointer ("NtOpenKeyEx
// <- 0x88") and the buffer size a query passed by pointer ("...=4)").
#pragma once

#include <windows.h>

#include <map>
#include <optional>
#include <string>
#include <vector>

#include "bench/TickCalls.h"

namespace bench {

struct TraceSubject {
    DWORD processId = 0;         // as the trace's "+pid" prefix shows it
    std::string imageName;       // e.g. "Tavrel.exe"
    unsigned long long imageSize = 0;
    // Where the image lies, when the trace read does not hold the loader's
    // line (it comes at the program's start).
    std::optional<unsigned long long> imageBase;
    // The tick's first call: RegOpenKeyExA of this key (without case).
    std::string tickStartKey;
};

struct TracedTicks {
    std::optional<unsigned long long> imageBase;
    DWORD mainThread = 0;
    // Complete ticks (from one start to the next), each as a call list.
    std::vector<tickcalls::CallList> ticks;
    // Calls that cannot be listed: a function without a signature, or an
    // argument the trace does not show fully ("module.function: why").
    std::vector<std::string> unlisted;
    // Left out on purpose, per complete tick: the message loop's own calls
    // (the replay runs a loop of its own) and the C runtime's (string
    // functions, the program's own logic compiled into a library).
    std::map<std::string, double> leftOut;
};

TracedTicks ExtractTicks(const std::string& trace, const TraceSubject& subject);

// The base the loader's line names for the image in the process.
std::optional<unsigned long long> FindImageBase(const std::string& trace, DWORD processId,
                                                const std::string& imageName);

// Key opens per tick, by key, of a call list (RegOpenKeyExA's subkey).
std::map<std::string, size_t> KeyOpens(const tickcalls::CallList& calls);

// Calls per tick by function ("user32.FindWindowA").
std::map<std::string, size_t> CallsByFunction(const tickcalls::CallList& calls);

}  // namespace bench
