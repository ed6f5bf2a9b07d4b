// The tick replay: the platform's share of the monitor's tick, without the
// monitor. A hidden window's 1000 ms timer makes, every tick, exactly the
// calls of one steady tick of the monitor, in the same order and with the
// same arguments, as the bench read them from a trace of the monitor (see
// bench/TickCalls.h for the list), and nothing else: no decision, no state
// kept from one tick to the next. Handles and ids a call produces are those
// of this tick; each result is compared with the one the monitor got, so a
// replay that went another way than the monitor shows.
//
// Usage: TickReplay.exe <tag> <call list file>   (the tag makes its command
// line unique, so the bench can find the Linux process behind it under Wine)
//
// Answers the timer programs' requests (bench/TimerProgramProtocol.h);
// WM_CLOSE ends it. Exit code 2: the list cannot be read; 3: it names a
// function this program cannot call.
#include <windows.h>

#include <fstream>
#include <map>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

#include "bench/TickCalls.h"
#include "bench/TimerProgramProtocol.h"
#include "common/UniqueResource.h"

namespace {

using tickcalls::Arg;
using tickcalls::ArgKind;
using tickcalls::Call;

constexpr int kExitListUnreadable = 2;
constexpr int kExitCannotCall = 3;
constexpr DWORD kScratchBytes = 4096;
// Predefined registry roots are small negative numbers in a HKEY.
constexpr unsigned long kFirstRootKey = 0x80000000;
constexpr unsigned long kLastRootKey = 0x80000006;

// What one tick produced, by slot. Keys and processes it opened are owned
// here until the replayed close, so that a list that does not close one
// leaks nothing beyond the tick.
class TickSlots {
public:
    void Reset(size_t count)
    {
        values_.assign(count + 1, 0);
        keys_.clear();
        processes_.clear();
    }
    ULONG_PTR Get(unsigned long slot) const { return slot < values_.size() ? values_[slot] : 0; }
    void Set(unsigned long slot, ULONG_PTR value)
    {
        if (slot < values_.size()) {
            values_[slot] = value;
        }
    }
    void OwnKey(HKEY key) { keys_[key].reset(key); }
    void OwnProcess(HANDLE process) { processes_[process].reset(process); }
    // After a replayed close: the handle is gone already.
    void Disown(ULONG_PTR value)
    {
        if (auto key = keys_.find(reinterpret_cast<HKEY>(value)); key != keys_.end()) {
            key->second.release();
            keys_.erase(key);
        }
        if (auto process = processes_.find(reinterpret_cast<HANDLE>(value));
            process != processes_.end()) {
            process->second.release();
            processes_.erase(process);
        }
    }

private:
    std::vector<ULONG_PTR> values_;
    std::map<HKEY, tavrel::UniqueHkey> keys_;
    std::map<HANDLE, tavrel::UniqueHandle> processes_;
};

struct Replay {
    TickSlots slots;
    char scratch[kScratchBytes] = {};
};

ULONG_PTR Value(const Arg& arg, const Replay& replay)
{
    switch (arg.kind) {
    case ArgKind::Slot: return replay.slots.Get(arg.value);
    case ArgKind::Number: return arg.value;
    default: return 0;
    }
}

HKEY Key(const Arg& arg, const Replay& replay)
{
    if (arg.kind == ArgKind::Number && arg.value >= kFirstRootKey && arg.value <= kLastRootKey) {
        return reinterpret_cast<HKEY>(static_cast<LONG_PTR>(static_cast<LONG>(arg.value)));
    }
    return reinterpret_cast<HKEY>(Value(arg, replay));
}

HWND Window(const Arg& arg, const Replay& replay)
{
    return reinterpret_cast<HWND>(Value(arg, replay));
}

HANDLE Process(const Arg& arg, const Replay& replay)
{
    return reinterpret_cast<HANDLE>(Value(arg, replay));
}

const char* Text(const Arg& arg)
{
    switch (arg.kind) {
    case ArgKind::Text: return arg.text.c_str();
    case ArgKind::Number: return MAKEINTATOM(arg.value);
    default: return nullptr;
    }
}

char* Buffer(const Arg& arg, Replay& replay)
{
    return arg.kind == ArgKind::Buffer ? replay.scratch : nullptr;
}

DWORD Number(const Arg& arg) { return static_cast<DWORD>(arg.value); }

// Each function's call, its arguments converted from the list. Answers the
// result as the trace shows it.
using Invoker = ULONG_PTR (*)(FARPROC function, const Call& call, Replay& replay);

template <typename Function>
Function As(FARPROC function)
{
    return reinterpret_cast<Function>(reinterpret_cast<void*>(function));
}

ULONG_PTR RegOpenKeyExAInvoker(FARPROC function, const Call& call, Replay& replay)
{
    const auto& a = call.args;
    HKEY opened = nullptr;
    const LONG result = As<decltype(&::RegOpenKeyExA)>(function)(
        Key(a[0], replay), Text(a[1]), Number(a[2]), Number(a[3]),
        a[4].kind == ArgKind::OutSlot ? &opened : nullptr);
    if (result == ERROR_SUCCESS && opened != nullptr) {
        replay.slots.OwnKey(opened);
        replay.slots.Set(a[4].value, reinterpret_cast<ULONG_PTR>(opened));
    }
    return static_cast<ULONG_PTR>(result);
}

ULONG_PTR RegQueryValueExAInvoker(FARPROC function, const Call& call, Replay& replay)
{
    const auto& a = call.args;
    DWORD reserved = 0;
    DWORD type = 0;
    DWORD size = static_cast<DWORD>(a[5].value);
    const LONG result = As<decltype(&::RegQueryValueExA)>(function)(
        Key(a[0], replay), Text(a[1]), a[2].kind == ArgKind::Buffer ? &reserved : nullptr,
        a[3].kind == ArgKind::Buffer ? &type : nullptr,
        reinterpret_cast<BYTE*>(Buffer(a[4], replay)), a[5].kind == ArgKind::Size ? &size : nullptr);
    return static_cast<ULONG_PTR>(result);
}

ULONG_PTR RegDeleteValueAInvoker(FARPROC function, const Call& call, Replay& replay)
{
    return static_cast<ULONG_PTR>(
        As<decltype(&::RegDeleteValueA)>(function)(Key(call.args[0], replay), Text(call.args[1])));
}

ULONG_PTR RegCloseKeyInvoker(FARPROC function, const Call& call, Replay& replay)
{
    HKEY key = Key(call.args[0], replay);
    const LONG result = As<decltype(&::RegCloseKey)>(function)(key);
    if (result == ERROR_SUCCESS) {
        replay.slots.Disown(reinterpret_cast<ULONG_PTR>(key));
    }
    return static_cast<ULONG_PTR>(result);
}

ULONG_PTR FindWindowAInvoker(FARPROC function, const Call& call, Replay&)
{
    return reinterpret_cast<ULONG_PTR>(
        As<decltype(&::FindWindowA)>(function)(Text(call.args[0]), Text(call.args[1])));
}

ULONG_PTR IsIconicInvoker(FARPROC function, const Call& call, Replay& replay)
{
    return static_cast<ULONG_PTR>(As<decltype(&::IsIconic)>(function)(Window(call.args[0], replay)));
}

ULONG_PTR GetForegroundWindowInvoker(FARPROC function, const Call&, Replay&)
{
    return reinterpret_cast<ULONG_PTR>(As<decltype(&::GetForegroundWindow)>(function)());
}

ULONG_PTR GetWindowThreadProcessIdInvoker(FARPROC function, const Call& call, Replay& replay)
{
    DWORD processId = 0;
    const bool wanted = call.args[1].kind == ArgKind::OutSlot;
    const DWORD thread = As<decltype(&::GetWindowThreadProcessId)>(function)(
        Window(call.args[0], replay), wanted ? &processId : nullptr);
    if (wanted) {
        replay.slots.Set(call.args[1].value, processId);
    }
    return thread;
}

ULONG_PTR GetWindowTextAInvoker(FARPROC function, const Call& call, Replay& replay)
{
    return static_cast<ULONG_PTR>(As<decltype(&::GetWindowTextA)>(function)(
        Window(call.args[0], replay), Buffer(call.args[1], replay),
        static_cast<int>(Number(call.args[2]))));
}

ULONG_PTR GetWindowInfoInvoker(FARPROC function, const Call& call, Replay& replay)
{
    WINDOWINFO info = {};
    info.cbSize = sizeof(info);
    return static_cast<ULONG_PTR>(As<decltype(&::GetWindowInfo)>(function)(
        Window(call.args[0], replay), call.args[1].kind == ArgKind::Buffer ? &info : nullptr));
}

ULONG_PTR GetSystemMetricsInvoker(FARPROC function, const Call& call, Replay&)
{
    return static_cast<ULONG_PTR>(static_cast<DWORD>(
        As<decltype(&::GetSystemMetrics)>(function)(static_cast<int>(Number(call.args[0])))));
}

ULONG_PTR OpenProcessInvoker(FARPROC function, const Call& call, Replay& replay)
{
    HANDLE process = As<decltype(&::OpenProcess)>(function)(
        Number(call.args[0]), Number(call.args[1]), static_cast<DWORD>(Value(call.args[2], replay)));
    if (process != nullptr) {
        replay.slots.OwnProcess(process);
    }
    return reinterpret_cast<ULONG_PTR>(process);
}

ULONG_PTR CloseHandleInvoker(FARPROC function, const Call& call, Replay& replay)
{
    HANDLE handle = Process(call.args[0], replay);
    const BOOL closed = As<decltype(&::CloseHandle)>(function)(handle);
    if (closed) {
        replay.slots.Disown(reinterpret_cast<ULONG_PTR>(handle));
    }
    return static_cast<ULONG_PTR>(closed);
}

using ImageFileNameFunction = DWORD(WINAPI*)(HANDLE, LPSTR, DWORD);

ULONG_PTR GetProcessImageFileNameAInvoker(FARPROC function, const Call& call, Replay& replay)
{
    return As<ImageFileNameFunction>(function)(Process(call.args[0], replay),
                                               Buffer(call.args[1], replay), Number(call.args[2]));
}

const std::map<std::string, Invoker>& Invokers()
{
    static const std::map<std::string, Invoker> invokers = {
        {"RegOpenKeyExA", RegOpenKeyExAInvoker},
        {"RegQueryValueExA", RegQueryValueExAInvoker},
        {"RegDeleteValueA", RegDeleteValueAInvoker},
        {"RegCloseKey", RegCloseKeyInvoker},
        {"FindWindowA", FindWindowAInvoker},
        {"IsIconic", IsIconicInvoker},
        {"GetForegroundWindow", GetForegroundWindowInvoker},
        {"GetWindowThreadProcessId", GetWindowThreadProcessIdInvoker},
        {"GetWindowTextA", GetWindowTextAInvoker},
        {"GetWindowInfo", GetWindowInfoInvoker},
        {"GetSystemMetrics", GetSystemMetricsInvoker},
        {"OpenProcess", OpenProcessInvoker},
        {"CloseHandle", CloseHandleInvoker},
        {"GetProcessImageFileNameA", GetProcessImageFileNameAInvoker},
    };
    return invokers;
}

struct PreparedCall {
    FARPROC function = nullptr;
    Invoker invoke = nullptr;
    Call call;
};

struct ReplayState {
    std::vector<tavrel::UniqueModule> modules;
    std::vector<PreparedCall> calls;
    size_t slotCount = 0;
    Replay replay;
    LONG ticks = 0;
    LONG mismatches = 0;
    LONG firstMismatch = 0;  // 1 + index
};

ReplayState g_state;

// Sizes passed with a buffer must fit the scratch buffer.
bool BuffersFit(const Call& call)
{
    for (size_t i = 0; i < call.args.size(); ++i) {
        const Arg& arg = call.args[i];
        if (arg.kind == ArgKind::Size && arg.value > kScratchBytes) {
            return false;
        }
        if (arg.kind == ArgKind::Buffer && i + 1 < call.args.size() &&
            call.args[i + 1].kind == ArgKind::Number && call.args[i + 1].value > kScratchBytes) {
            return false;
        }
    }
    return true;
}

int Prepare(const std::string& path)
{
    std::ifstream in(path, std::ios::binary);
    std::ostringstream text;
    text << in.rdbuf();
    const auto list = in ? tickcalls::ParseList(text.str(), nullptr) : std::nullopt;
    if (!list || list->empty()) {
        return kExitListUnreadable;
    }
    std::map<std::string, HMODULE> loaded;
    for (const Call& call : *list) {
        const auto invoker = Invokers().find(call.function);
        if (invoker == Invokers().end() || !BuffersFit(call)) {
            return kExitCannotCall;
        }
        HMODULE& module = loaded[call.module];
        if (module == nullptr) {
            module = ::LoadLibraryA(call.module.c_str());
            if (module == nullptr) {
                return kExitCannotCall;
            }
            g_state.modules.emplace_back(module);
        }
        const FARPROC function = ::GetProcAddress(module, call.function.c_str());
        if (function == nullptr) {
            return kExitCannotCall;
        }
        g_state.calls.push_back({function, invoker->second, call});
    }
    g_state.slotCount = tickcalls::SlotCount(*list);
    return 0;
}

bool Matches(const Call& call, ULONG_PTR result)
{
    if (call.result == tickcalls::Result::Value) {
        return static_cast<DWORD>(result) == call.expected;
    }
    return (result != 0) == (call.expected != 0);
}

void CALLBACK ReplayTick(HWND, UINT, UINT_PTR, DWORD) noexcept
{
    Replay& replay = g_state.replay;
    replay.slots.Reset(g_state.slotCount);
    for (size_t index = 0; index < g_state.calls.size(); ++index) {
        const PreparedCall& prepared = g_state.calls[index];
        const ULONG_PTR result = prepared.invoke(prepared.function, prepared.call, replay);
        if (prepared.call.result == tickcalls::Result::Handle && prepared.call.expected != 0) {
            replay.slots.Set(prepared.call.expected, result);
        }
        if (!Matches(prepared.call, result)) {
            ++g_state.mismatches;
            if (g_state.firstMismatch == 0) {
                g_state.firstMismatch = static_cast<LONG>(index + 1);
            }
        }
    }
    ++g_state.ticks;
}

LRESULT CALLBACK ReplayWindowProc(HWND window, UINT message, WPARAM wParam, LPARAM lParam) noexcept
{
    switch (message) {
    case timer_program::kCountRequest: return g_state.ticks;
    case timer_program::kMismatchRequest: return g_state.mismatches;
    case timer_program::kFirstMismatchRequest: return g_state.firstMismatch;
    case WM_DESTROY: ::PostQuitMessage(0); return 0;
    default: return ::DefWindowProcA(window, message, wParam, lParam);
    }
}

}  // namespace

int WINAPI WinMain(HINSTANCE instance, HINSTANCE, LPSTR, int)
{
    if (__argc < 3) {
        return kExitListUnreadable;
    }
    const int prepared = Prepare(__argv[2]);
    if (prepared != 0) {
        return prepared;
    }
    WNDCLASSA windowClass = {};
    windowClass.lpfnWndProc = ReplayWindowProc;
    windowClass.hInstance = instance;
    windowClass.lpszClassName = timer_program::kReplayClass;
    if (::RegisterClassA(&windowClass) == 0) {
        return 1;
    }
    // Like the monitor's: an ordinary top-level window that is never shown.
    HWND window = ::CreateWindowExA(0, timer_program::kReplayClass, "", WS_OVERLAPPEDWINDOW,
                                    CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT, CW_USEDEFAULT,
                                    nullptr, nullptr, instance, nullptr);
    if (window == nullptr) {
        return 1;
    }
    ::SetTimer(window, timer_program::kTimerId, timer_program::kPeriodMs, ReplayTick);
    MSG message;
    while (::GetMessageA(&message, nullptr, 0, 0) > 0) {
        ::TranslateMessage(&message);
        ::DispatchMessageA(&message);
    }
    return 0;
}
