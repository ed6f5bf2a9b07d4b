#include "bench/RelayTrace.h"

#include <algorithm>
#include <cctype>
#include <cstdlib>
#include <sstream>

namespace bench {

namespace {

using tickcalls::Arg;
using tickcalls::ArgKind;
using tickcalls::Call;
using tickcalls::CallList;
using tickcalls::EqualNoCase;
using tickcalls::Param;
using tickcalls::Result;

constexpr unsigned long long kLow32 = 0xFFFFFFFFull;

struct RawArg {
    unsigned long long value = 0;
    bool hasText = false;
    bool truncated = false;  // Wine shortens long strings and appends "..."
    std::string text;        // unescaped
};

struct RawCall {
    DWORD thread = 0;
    std::string module;
    std::string function;
    std::vector<RawArg> args;
    unsigned long long returnAddress = 0;
    unsigned long long result = 0;
    bool returned = false;
    std::vector<std::string> registryLines;  // "trace:reg:" lines inside the call
};

bool EndsWithNoCase(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && EqualNoCase(text.substr(text.size() - end.size()), end);
}

unsigned long long Hex(const std::string& text, size_t from = 0, size_t* end = nullptr)
{
    const char* begin = text.c_str() + std::min(from, text.size());
    char* stop = nullptr;
    const unsigned long long value = std::strtoull(begin, &stop, 16);
    if (end != nullptr) {
        *end = from + static_cast<size_t>(stop - begin);
    }
    return value;
}

// "<pid>:<tid>:<rest>" -> pid, tid and rest.
bool SplitPrefix(const std::string& line, DWORD& pid, DWORD& tid, std::string& rest)
{
    size_t end = 0;
    pid = static_cast<DWORD>(Hex(line, 0, &end));
    if (end == 0 || end >= line.size() || line[end] != ':') {
        return false;
    }
    const size_t tidStart = end + 1;
    tid = static_cast<DWORD>(Hex(line, tidStart, &end));
    if (end == tidStart || end >= line.size() || line[end] != ':') {
        return false;
    }
    rest = line.substr(end + 1);
    return true;
}

// One argument as relay prints it: hex, optionally followed by its string.
RawArg ParseRawArg(const std::string& text)
{
    RawArg arg;
    size_t end = 0;
    arg.value = Hex(text, 0, &end);
    size_t quote = text.find('"', end);
    if (quote == std::string::npos) {
        return arg;
    }
    arg.hasText = true;
    std::string escaped;
    size_t at = quote + 1;
    for (; at < text.size() && text[at] != '"'; ++at) {
        if (text[at] == '\\' && at + 1 < text.size()) {
            escaped += text[at++];
        }
        escaped += text[at];
    }
    arg.text = tickcalls::Unescape(escaped);
    arg.truncated = text.compare(std::min(at + 1, text.size()), 3, "...") == 0;
    return arg;
}

// Splits "a,b "x,y",c" at the commas outside quotes.
std::vector<RawArg> ParseRawArgs(const std::string& text)
{
    std::vector<RawArg> args;
    if (text.empty()) {
        return args;
    }
    size_t start = 0;
    bool quoted = false;
    for (size_t at = 0; at <= text.size(); ++at) {
        if (at == text.size() || (!quoted && text[at] == ',')) {
            args.push_back(ParseRawArg(text.substr(start, at - start)));
            start = at + 1;
        } else if (text[at] == '\\' && quoted) {
            ++at;
        } else if (text[at] == '"') {
            quoted = !quoted;
        }
    }
    return args;
}

// "Call module.function(args) ret=addr"
std::optional<RawCall> ParseCallLine(const std::string& rest)
{
    static const std::string kCall = "Call ";
    static const std::string kRet = ") ret=";
    if (rest.compare(0, kCall.size(), kCall) != 0) {
        return std::nullopt;
    }
    const size_t dot = rest.find('.', kCall.size());
    const size_t open = rest.find('(', kCall.size());
    const size_t close = rest.rfind(kRet);
    if (dot == std::string::npos || open == std::string::npos || close == std::string::npos ||
        dot > open || close < open) {
        return std::nullopt;  // e.g. "Call window proc ..."
    }
    RawCall call;
    call.module = rest.substr(kCall.size(), dot - kCall.size());
    call.function = rest.substr(dot + 1, open - dot - 1);
    call.args = ParseRawArgs(rest.substr(open + 1, close - open - 1));
    call.returnAddress = Hex(rest, close + kRet.size());
    return call;
}

// "Ret  module.function() retval=value ret=addr"
bool ParseRetLine(const std::string& rest, std::string& name, unsigned long long& value,
                  unsigned long long& returnAddress)
{
    static const std::string kRet = "Ret  ";
    static const std::string kValue = " retval=";
    static const std::string kAddress = " ret=";
    if (rest.compare(0, kRet.size(), kRet) != 0) {
        return false;
    }
    const size_t open = rest.find("()", kRet.size());
    const size_t valueAt = rest.find(kValue);
    const size_t addressAt = rest.find(kAddress, valueAt == std::string::npos ? 0 : valueAt + 1);
    if (open == std::string::npos || valueAt == std::string::npos ||
        addressAt == std::string::npos) {
        return false;
    }
    name = rest.substr(kRet.size(), open - kRet.size());
    value = Hex(rest, valueAt + kValue.size());
    returnAddress = Hex(rest, addressAt + kAddress.size());
    return true;
}

// "trace:loaddll:build_module Loaded L"...\Tavrel.exe" at 0000000140000000: native"
std::optional<unsigned long long> LoadedImageBase(const std::string& rest,
                                                  const std::string& imageName)
{
    static const std::string kLoaded = "trace:loaddll:build_module Loaded L\"";
    static const std::string kAt = "\" at ";
    if (rest.compare(0, kLoaded.size(), kLoaded) != 0) {
        return std::nullopt;
    }
    const size_t at = rest.find(kAt, kLoaded.size());
    if (at == std::string::npos) {
        return std::nullopt;
    }
    const std::string path = rest.substr(kLoaded.size(), at - kLoaded.size());
    if (!EndsWithNoCase(path, "\\" + imageName)) {
        return std::nullopt;
    }
    return Hex(rest, at + kAt.size());
}

bool IsMessageLoopCall(const RawCall& call)
{
    static const char* const kLoop[] = {"GetMessageA", "TranslateMessage", "DispatchMessageA"};
    if (!EqualNoCase(call.module, "user32")) {
        return false;
    }
    for (const char* name : kLoop) {
        if (call.function == name) {
            return true;
        }
    }
    return false;
}

bool IsRuntimeCall(const RawCall& call)
{
    return EqualNoCase(call.module, "msvcrt") || EqualNoCase(call.module, "ucrtbase") ||
           call.module.rfind("api-ms-win-crt-", 0) == 0;
}

bool IsTickStart(const RawCall& call, const std::string& key)
{
    return EqualNoCase(call.module, "advapi32") && call.function == "RegOpenKeyExA" &&
           call.args.size() > 1 && call.args[1].hasText && EqualNoCase(call.args[1].text, key);
}

// The handle the registry trace says an open wrote: the last "<- value".
std::optional<unsigned long long> OpenedKey(const RawCall& call)
{
    for (auto line = call.registryLines.rbegin(); line != call.registryLines.rend(); ++line) {
        const size_t arrow = line->find(" <- ");
        if (arrow != std::string::npos &&
            (line->find(":NtOpenKey") != std::string::npos ||
             line->find(":NtCreateKey") != std::string::npos)) {
            return Hex(*line, arrow + 4);
        }
    }
    return std::nullopt;
}

// The size a registry query passed by pointer: "...,<pointer>=<size>)".
std::optional<unsigned long> QueriedSize(const RawCall& call)
{
    const std::string head = "trace:reg:" + call.function + " (";
    for (const std::string& line : call.registryLines) {
        const size_t equals = line.rfind('=');
        if (line.rfind(head, 0) == 0 && equals != std::string::npos) {
            return std::strtoul(line.c_str() + equals + 1, nullptr, 10);
        }
    }
    return std::nullopt;
}

// Turns one tick's raw calls into a call list; handles and ids a call
// produced become slots that later arguments name.
CallList ListTick(const std::vector<const RawCall*>& tick, std::vector<std::string>& unlisted)
{
    CallList list;
    std::map<unsigned long long, unsigned long> slots;  // traced value -> slot
    unsigned long nextSlot = 0;
    unsigned long lastProcessIdSlot = 0;
    for (const RawCall* raw : tick) {
        const std::string name = raw->module + "." + raw->function;
        const tickcalls::Signature* signature = tickcalls::FindSignature(raw->module, raw->function);
        if (signature == nullptr) {
            unlisted.push_back(name + ": no signature");
            continue;
        }
        if (signature->params.size() != raw->args.size() || !raw->returned) {
            unlisted.push_back(name + ": " + (raw->returned ? "argument count" : "no result"));
            continue;
        }
        Call call;
        call.module = signature->module;
        call.function = signature->function;
        call.result = signature->result;
        bool complete = true;
        for (size_t i = 0; i < raw->args.size(); ++i) {
            const RawArg& in = raw->args[i];
            Arg arg;
            const auto slot = slots.find(in.value);
            switch (signature->params[i]) {
            case Param::Number:
                arg.value = static_cast<unsigned long>(in.value & kLow32);
                break;
            case Param::Text:
                if (in.hasText) {
                    arg.kind = ArgKind::Text;
                    arg.text = in.text;
                    complete = complete && !in.truncated;
                } else if (in.value == 0) {
                    arg.kind = ArgKind::Null;
                } else {
                    arg.value = static_cast<unsigned long>(in.value & kLow32);  // an atom
                }
                break;
            case Param::Key:
            case Param::Window:
            case Param::Process:
                if (slot != slots.end()) {
                    arg.kind = ArgKind::Slot;
                    arg.value = slot->second;
                } else {
                    // A predefined root key, a null handle, or one from
                    // outside the tick: passed as it was.
                    arg.value = static_cast<unsigned long>(in.value & kLow32);
                }
                break;
            case Param::ProcessId:
                if (lastProcessIdSlot != 0) {
                    arg.kind = ArgKind::Slot;
                    arg.value = lastProcessIdSlot;
                } else {
                    arg.value = static_cast<unsigned long>(in.value & kLow32);
                }
                break;
            case Param::OutKey:
            case Param::OutProcessId:
                if (in.value == 0) {
                    arg.kind = ArgKind::Null;
                    break;
                }
                arg.kind = ArgKind::OutSlot;
                arg.value = ++nextSlot;
                if (signature->params[i] == Param::OutProcessId) {
                    lastProcessIdSlot = arg.value;
                } else if (raw->result == 0) {
                    const auto key = OpenedKey(*raw);
                    complete = complete && key.has_value();
                    if (key) {
                        slots[*key] = arg.value;
                    }
                }
                break;
            case Param::Buffer:
            case Param::WindowInfo:
                arg.kind = in.value == 0 ? ArgKind::Null : ArgKind::Buffer;
                break;
            case Param::RegSize:
                if (in.value == 0) {
                    arg.kind = ArgKind::Null;
                } else if (const auto size = QueriedSize(*raw)) {
                    arg.kind = ArgKind::Size;
                    arg.value = *size;
                } else {
                    complete = false;
                }
                break;
            }
            call.args.push_back(arg);
        }
        if (!complete) {
            unlisted.push_back(name + ": an argument the trace does not show in full");
            continue;
        }
        if (call.result == Result::Value) {
            call.expected = static_cast<unsigned long>(raw->result & kLow32);
        } else if (raw->result != 0) {
            call.expected = ++nextSlot;
            slots[raw->result] = call.expected;
        }
        list.push_back(std::move(call));
    }
    return list;
}

}  // namespace

TracedTicks ExtractTicks(const std::string& trace, const TraceSubject& subject)
{
    TracedTicks traced;
    traced.imageBase = subject.imageBase;
    std::vector<RawCall> calls;
    std::map<DWORD, std::vector<size_t>> open;  // per thread: calls awaiting their result
    std::istringstream lines(trace);
    std::string line;
    std::string rest;
    while (std::getline(lines, line)) {
        DWORD pid = 0;
        DWORD tid = 0;
        if (!SplitPrefix(line, pid, tid, rest) || pid != subject.processId) {
            continue;
        }
        if (!traced.imageBase) {
            traced.imageBase = LoadedImageBase(rest, subject.imageName);
            continue;
        }
        std::vector<size_t>& stack = open[tid];
        if (auto call = ParseCallLine(rest)) {
            const unsigned long long base = *traced.imageBase;
            if (call->returnAddress >= base && call->returnAddress < base + subject.imageSize) {
                call->thread = tid;
                stack.push_back(calls.size());
                calls.push_back(std::move(*call));
            }
            continue;
        }
        std::string name;
        unsigned long long value = 0;
        unsigned long long returnAddress = 0;
        if (ParseRetLine(rest, name, value, returnAddress)) {
            for (size_t depth = stack.size(); depth > 0; --depth) {
                RawCall& waiting = calls[stack[depth - 1]];
                if (waiting.module + "." + waiting.function == name &&
                    waiting.returnAddress == returnAddress) {
                    waiting.result = value;
                    waiting.returned = true;
                    stack.resize(depth - 1);
                    break;
                }
            }
            continue;
        }
        if (!stack.empty() && rest.rfind("trace:reg:", 0) == 0) {
            calls[stack.back()].registryLines.push_back(rest);
        }
    }

    // The tick runs on the thread of the monitor's window: the one whose
    // calls start ticks.
    std::vector<std::vector<const RawCall*>> ticks;
    std::vector<const RawCall*>* current = nullptr;
    std::map<std::string, size_t> leftOut;
    for (const RawCall& call : calls) {
        if (traced.mainThread == 0 && IsTickStart(call, subject.tickStartKey)) {
            traced.mainThread = call.thread;
        }
        if (traced.mainThread == 0 || call.thread != traced.mainThread) {
            continue;
        }
        if (IsTickStart(call, subject.tickStartKey)) {
            if (current != nullptr) {
                for (const auto& entry : leftOut) {
                    traced.leftOut[entry.first] += static_cast<double>(entry.second);
                }
            }
            leftOut.clear();
            ticks.emplace_back();
            current = &ticks.back();
        }
        if (current == nullptr) {
            continue;
        }
        if (IsMessageLoopCall(call) || IsRuntimeCall(call)) {
            ++leftOut[call.module + "." + call.function];
        } else {
            current->push_back(&call);
        }
    }
    // The last tick may not have ended when the trace was read.
    if (!ticks.empty()) {
        ticks.pop_back();
    }
    std::vector<std::string> unlisted;
    for (const auto& tick : ticks) {
        traced.ticks.push_back(ListTick(tick, unlisted));
    }
    for (const std::string& entry : unlisted) {
        if (std::find(traced.unlisted.begin(), traced.unlisted.end(), entry) ==
            traced.unlisted.end()) {
            traced.unlisted.push_back(entry);
        }
    }
    for (auto& entry : traced.leftOut) {
        entry.second /= static_cast<double>(ticks.size());
    }
    return traced;
}

std::optional<unsigned long long> FindImageBase(const std::string& trace, DWORD processId,
                                                const std::string& imageName)
{
    std::istringstream lines(trace);
    std::string line;
    std::string rest;
    while (std::getline(lines, line)) {
        DWORD pid = 0;
        DWORD tid = 0;
        if (SplitPrefix(line, pid, tid, rest) && pid == processId) {
            if (const auto base = LoadedImageBase(rest, imageName)) {
                return base;
            }
        }
    }
    return std::nullopt;
}

std::map<std::string, size_t> KeyOpens(const CallList& calls)
{
    std::map<std::string, size_t> opens;
    for (const Call& call : calls) {
        if (call.function == "RegOpenKeyExA" && call.args.size() > 1 &&
            call.args[1].kind == ArgKind::Text) {
            ++opens[call.args[1].text];
        }
    }
    return opens;
}

std::map<std::string, size_t> CallsByFunction(const CallList& calls)
{
    std::map<std::string, size_t> counts;
    for (const Call& call : calls) {
        ++counts[call.module + "." + call.function];
    }
    return counts;
}

}  // namespace bench
