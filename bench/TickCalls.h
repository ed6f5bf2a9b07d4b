// One tick's platform calls as a list: what the bench learns from a trace of
// the monitor and what the replay program makes every tick. The functions a
// list may hold, and the kind of each parameter, are described once here,
// for both sides; which calls a tick makes, in which order and with which
// arguments, comes from the trace alone.
//
// A list is text, one call a line:
//   advapi32.RegOpenKeyExA 0x80000002 "software\\..." 0x0 0x2001f out:h1 = 0x0
//   user32.FindWindowA null "Windows Media Player" -> h2
//   user32.IsIconic h2 = 0x0
// Arguments: 0x<hex> a number, "<text>" a string (escaped as Wine's traces
// show it), null a null pointer, buf a buffer the replay provides, size:<n>
// a byte count passed by pointer, h<n> a handle (window, key, process) or
// process id an earlier call of the same tick produced, out:h<n> the handle
// or id this call writes through a pointer. The result: "= 0x<hex>" a value
// that must come back, "-> h<n>" a handle that must not be null, "-> null" one
// that must be.
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace tickcalls {

enum class Param {
    Number,        // any 32-bit value, passed as it was
    Text,          // const char*: a string or null
    Key,           // HKEY: a predefined root or one an earlier call opened
    Window,        // HWND from an earlier call
    Process,       // process handle from an earlier call
    ProcessId,     // the id an earlier call wrote
    OutKey,        // HKEY* the call opens a key into
    OutProcessId,  // DWORD* the call writes a process id into
    Buffer,        // out buffer (its size is another argument)
    RegSize,       // DWORD* holding the buffer's size on the way in
    WindowInfo,    // WINDOWINFO* (the replay sets cbSize)
};

enum class Result {
    Value,   // the same value must come back
    Handle,  // only null or not null is compared; a non-null one gets a slot
};

struct Signature {
    const char* module;  // as Wine's relay trace names it
    const char* function;
    std::vector<Param> params;
    Result result;
};

// Every function a tick list may hold.
const std::vector<Signature>& AllSignatures();
// Its signature; nullptr when the function is not one.
const Signature* FindSignature(const std::string& module, const std::string& function);

enum class ArgKind { Number, Text, Null, Buffer, Size, Slot, OutSlot };

struct Arg {
    ArgKind kind = ArgKind::Number;
    unsigned long value = 0;  // Number: the value; Size: bytes; Slot, OutSlot: the slot
    std::string text;         // Text
    bool operator==(const Arg& other) const
    {
        return kind == other.kind && value == other.value && text == other.text;
    }
};

struct Call {
    std::string module;
    std::string function;
    std::vector<Arg> args;
    Result result = Result::Value;
    unsigned long expected = 0;  // Value: the result; Handle: 0 for null, else its slot
    bool operator==(const Call& other) const
    {
        return module == other.module && function == other.function && args == other.args &&
               result == other.result && expected == other.expected;
    }
};

using CallList = std::vector<Call>;

std::string FormatCall(const Call& call);
std::string FormatList(const CallList& calls);

// Reads a list back; empty, with the bad line's text in *error, when a line
// does not parse or names a function without a signature, or when its
// arguments do not fit the signature.
std::optional<CallList> ParseList(const std::string& text, std::string* error);

// The highest slot a list uses (slots count from 1).
unsigned long SlotCount(const CallList& calls);

// Wine's escaping of a string in a trace (debugstr_a): \\ \" \n \r \t \xNN.
std::string Escape(const std::string& text);
std::string Unescape(const std::string& escaped);

// Module and key names compare without regard to ASCII letter case, as
// Windows compares them.
bool EqualNoCase(const std::string& a, const std::string& b);

}  // namespace tickcalls
