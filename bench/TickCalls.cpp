#include "bench/TickCalls.h"

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <sstream>

namespace tickcalls {

namespace {

using P = Param;

// The parameters as the functions declare them. A function the monitor
// starts to call that is missing here makes the trace unusable, and the
// bench says which one, so the replay never silently leaves a call out.
const std::vector<Signature>& Signatures()
{
    static const std::vector<Signature> signatures = {
        {"advapi32", "RegOpenKeyExA", {P::Key, P::Text, P::Number, P::Number, P::OutKey},
         Result::Value},
        {"advapi32", "RegQueryValueExA",
         {P::Key, P::Text, P::Buffer, P::Buffer, P::Buffer, P::RegSize}, Result::Value},
        {"advapi32", "RegDeleteValueA", {P::Key, P::Text}, Result::Value},
        {"advapi32", "RegCloseKey", {P::Key}, Result::Value},
        {"user32", "FindWindowA", {P::Text, P::Text}, Result::Handle},
        {"user32", "IsIconic", {P::Window}, Result::Value},
        {"user32", "GetForegroundWindow", {}, Result::Handle},
        // Answers the thread id, which differs from run to run.
        {"user32", "GetWindowThreadProcessId", {P::Window, P::OutProcessId}, Result::Handle},
        {"user32", "GetWindowTextA", {P::Window, P::Buffer, P::Number}, Result::Value},
        {"user32", "GetWindowInfo", {P::Window, P::WindowInfo}, Result::Value},
        {"user32", "GetSystemMetrics", {P::Number}, Result::Value},
        {"KERNEL32", "OpenProcess", {P::Number, P::Number, P::ProcessId}, Result::Handle},
        {"KERNEL32", "CloseHandle", {P::Process}, Result::Value},
        {"psapi", "GetProcessImageFileNameA", {P::Process, P::Buffer, P::Number}, Result::Value},
    };
    return signatures;
}

std::string Hex(unsigned long value)
{
    char text[16];
    std::snprintf(text, sizeof(text), "0x%lx", value);
    return text;
}

std::string FormatArg(const Arg& arg)
{
    switch (arg.kind) {
    case ArgKind::Number: return Hex(arg.value);
    case ArgKind::Text: return "\"" + Escape(arg.text) + "\"";
    case ArgKind::Null: return "null";
    case ArgKind::Buffer: return "buf";
    case ArgKind::Size: return "size:" + std::to_string(arg.value);
    case ArgKind::Slot: return "h" + std::to_string(arg.value);
    case ArgKind::OutSlot: return "out:h" + std::to_string(arg.value);
    }
    return "?";
}

// Splits a line into blank-separated tokens; a quoted string is one token
// (quotes kept), escapes inside it included.
std::vector<std::string> Tokens(const std::string& line)
{
    std::vector<std::string> tokens;
    size_t at = 0;
    while (at < line.size()) {
        if (line[at] == ' ') {
            ++at;
            continue;
        }
        size_t end = at;
        if (line[at] == '"') {
            for (end = at + 1; end < line.size() && line[end] != '"'; ++end) {
                if (line[end] == '\\') {
                    ++end;
                }
            }
            end = std::min(end + 1, line.size());
        } else {
            while (end < line.size() && line[end] != ' ') {
                ++end;
            }
        }
        tokens.push_back(line.substr(at, end - at));
        at = end;
    }
    return tokens;
}

bool ParseNumber(const std::string& text, size_t from, unsigned long& value)
{
    if (from >= text.size()) {
        return false;
    }
    char* end = nullptr;
    value = std::strtoul(text.c_str() + from, &end, 0);
    return end == text.c_str() + text.size();
}

std::optional<Arg> ParseArg(const std::string& token)
{
    Arg arg;
    if (token == "null") {
        arg.kind = ArgKind::Null;
    } else if (token == "buf") {
        arg.kind = ArgKind::Buffer;
    } else if (token.size() >= 2 && token.front() == '"' && token.back() == '"') {
        arg.kind = ArgKind::Text;
        arg.text = Unescape(token.substr(1, token.size() - 2));
    } else if (token.rfind("size:", 0) == 0) {
        arg.kind = ArgKind::Size;
        if (!ParseNumber(token, 5, arg.value)) {
            return std::nullopt;
        }
    } else if (token.rfind("out:h", 0) == 0) {
        arg.kind = ArgKind::OutSlot;
        if (!ParseNumber(token, 5, arg.value) || arg.value == 0) {
            return std::nullopt;
        }
    } else if (token.rfind("h", 0) == 0) {
        arg.kind = ArgKind::Slot;
        if (!ParseNumber(token, 1, arg.value) || arg.value == 0) {
            return std::nullopt;
        }
    } else if (token.rfind("0x", 0) == 0) {
        if (!ParseNumber(token, 0, arg.value)) {
            return std::nullopt;
        }
    } else {
        return std::nullopt;
    }
    return arg;
}

// Which argument kinds each parameter kind may take.
bool Fits(Param param, ArgKind kind)
{
    switch (param) {
    case Param::Number: return kind == ArgKind::Number;
    case Param::Text: return kind == ArgKind::Text || kind == ArgKind::Null || kind == ArgKind::Number;
    case Param::Key:
    case Param::Window:
    case Param::Process:
    case Param::ProcessId: return kind == ArgKind::Slot || kind == ArgKind::Number;
    case Param::OutKey:
    case Param::OutProcessId: return kind == ArgKind::OutSlot || kind == ArgKind::Null;
    case Param::Buffer:
    case Param::WindowInfo: return kind == ArgKind::Buffer || kind == ArgKind::Null;
    case Param::RegSize: return kind == ArgKind::Size || kind == ArgKind::Null;
    }
    return false;
}

}  // namespace

const std::vector<Signature>& AllSignatures() { return Signatures(); }

const Signature* FindSignature(const std::string& module, const std::string& function)
{
    for (const Signature& signature : Signatures()) {
        if (function == signature.function && EqualNoCase(module, signature.module)) {
            return &signature;
        }
    }
    return nullptr;
}

std::string FormatCall(const Call& call)
{
    std::string line = call.module + "." + call.function;
    for (const Arg& arg : call.args) {
        line += " " + FormatArg(arg);
    }
    if (call.result == Result::Value) {
        line += " = " + Hex(call.expected);
    } else {
        line += call.expected == 0 ? " -> null" : " -> h" + std::to_string(call.expected);
    }
    return line;
}

std::string FormatList(const CallList& calls)
{
    std::string text;
    for (const Call& call : calls) {
        text += FormatCall(call) + "\n";
    }
    return text;
}

std::optional<CallList> ParseList(const std::string& text, std::string* error)
{
    CallList calls;
    std::istringstream lines(text);
    std::string line;
    auto fail = [&](const std::string& why) {
        if (error != nullptr) {
            *error = why + ": " + line;
        }
        return std::nullopt;
    };
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') {
            line.pop_back();
        }
        if (line.empty()) {
            continue;
        }
        const std::vector<std::string> tokens = Tokens(line);
        const size_t dot = tokens[0].find('.');
        if (tokens.size() < 3 || dot == std::string::npos) {
            return fail("not a call");
        }
        Call call;
        call.module = tokens[0].substr(0, dot);
        call.function = tokens[0].substr(dot + 1);
        const Signature* signature = FindSignature(call.module, call.function);
        if (signature == nullptr) {
            return fail("no such function");
        }
        const size_t argCount = tokens.size() - 3;
        if (argCount != signature->params.size()) {
            return fail("wrong number of arguments");
        }
        for (size_t i = 0; i < argCount; ++i) {
            const auto arg = ParseArg(tokens[1 + i]);
            if (!arg || !Fits(signature->params[i], arg->kind)) {
                return fail("argument " + std::to_string(i + 1) + " does not fit");
            }
            call.args.push_back(*arg);
        }
        const std::string& arrow = tokens[tokens.size() - 2];
        const std::string& result = tokens.back();
        call.result = signature->result;
        if (call.result == Result::Value && arrow == "=" && ParseNumber(result, 0, call.expected)) {
        } else if (call.result == Result::Handle && arrow == "->" && result == "null") {
            call.expected = 0;
        } else if (call.result == Result::Handle && arrow == "->" && result.rfind("h", 0) == 0 &&
                   ParseNumber(result, 1, call.expected) && call.expected != 0) {
        } else {
            return fail("result does not fit");
        }
        calls.push_back(std::move(call));
    }
    return calls;
}

unsigned long SlotCount(const CallList& calls)
{
    unsigned long highest = 0;
    for (const Call& call : calls) {
        if (call.result == Result::Handle) {
            highest = std::max(highest, call.expected);
        }
        for (const Arg& arg : call.args) {
            if (arg.kind == ArgKind::Slot || arg.kind == ArgKind::OutSlot) {
                highest = std::max(highest, arg.value);
            }
        }
    }
    return highest;
}

std::string Escape(const std::string& text)
{
    static const char hex[] = "0123456789abcdef";
    std::string escaped;
    for (char c : text) {
        const unsigned char u = static_cast<unsigned char>(c);
        switch (c) {
        case '\n': escaped += "\\n"; break;
        case '\r': escaped += "\\r"; break;
        case '\t': escaped += "\\t"; break;
        case '"': escaped += "\\\""; break;
        case '\\': escaped += "\\\\"; break;
        default:
            if (u < ' ' || u >= 127) {
                escaped += "\\x";
                escaped += hex[u >> 4];
                escaped += hex[u & 15];
            } else {
                escaped += c;
            }
        }
    }
    return escaped;
}

std::string Unescape(const std::string& escaped)
{
    std::string text;
    for (size_t i = 0; i < escaped.size(); ++i) {
        if (escaped[i] != '\\' || i + 1 == escaped.size()) {
            text += escaped[i];
            continue;
        }
        const char next = escaped[++i];
        switch (next) {
        case 'n': text += '\n'; break;
        case 'r': text += '\r'; break;
        case 't': text += '\t'; break;
        case 'x':
            if (i + 2 < escaped.size()) {
                text += static_cast<char>(std::strtoul(escaped.substr(i + 1, 2).c_str(), nullptr, 16));
                i += 2;
            }
            break;
        default: text += next;
        }
    }
    return text;
}

bool EqualNoCase(const std::string& a, const std::string& b)
{
    if (a.size() != b.size()) {
        return false;
    }
    for (size_t i = 0; i < a.size(); ++i) {
        if (std::tolower(static_cast<unsigned char>(a[i])) !=
            std::tolower(static_cast<unsigned char>(b[i]))) {
            return false;
        }
    }
    return true;
}

}  // namespace tickcalls
