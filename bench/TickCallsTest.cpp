// The replay's call list: what the bench reads from a relay trace of the
// monitor, and how the list is written and read back. The trace lines are
// shaped like Wine 8.0's (seen in traces of the monitor on both legs).
#include <gtest/gtest.h>

#include "bench/RelayTrace.h"
#include "bench/TickCalls.h"

namespace bench {
namespace {

constexpr const char* kTickKey = "software\\Uninstall\\Key";

// Two complete ticks and the start of a third, of process 0x20 (thread
// 0x24), with what a trace also holds: the loader's line, calls made inside
// a DLL (their return address lies outside the image), calls of another
// thread and of another process, the message loop and the C runtime.
constexpr const char* kTrace = R"(0020:0024:trace:loaddll:build_module Loaded L"Z:\\bin\\Tavrel.exe" at 0000000140000000: native
0020:0024:Call user32.GetMessageA(0021fc70,00000000,00000000,00000000) ret=1400018f8
0020:0024:Ret  user32.GetMessageA() retval=00000001 ret=1400018f8
0020:0024:Call user32.DispatchMessageA(0021fc70) ret=1400018eb
0020:0024:Call advapi32.RegOpenKeyExA(ffffffff80000002,1400202e0 "software\\Uninstall\\Key",00000000,0002001f,0021f838) ret=140005adc
0020:0024:Call kernelbase.RegOpenKeyExA(ffffffff80000002,1400202e0 "software\\Uninstall\\Key",00000000,0002001f,0021f838) ret=1700484ff
0020:0024:trace:reg:NtOpenKeyEx (0x1c,L"software\\Uninstall\\Key",2001f,0x21f838)
0020:0024:trace:reg:NtOpenKeyEx <- 0x88
0020:0024:Ret  kernelbase.RegOpenKeyExA() retval=00000000 ret=1700484ff
0020:0024:Ret  advapi32.RegOpenKeyExA() retval=00000000 ret=140005adc
0020:0024:Call advapi32.RegQueryValueExA(00000088,140020744 "dwStatusMode",00000000,0021f804,0021f808,0021f80c) ret=140005b55
0020:0024:trace:reg:RegQueryValueExA (0000000000000088,"dwStatusMode",0000000000000000,000000000021F804,000000000021F808,000000000021F80C=4)
0020:0024:Ret  advapi32.RegQueryValueExA() retval=00000000 ret=140005b55
0020:0024:Call advapi32.RegCloseKey(00000088) ret=140005e95
0020:0024:Ret  advapi32.RegCloseKey() retval=00000000 ret=140005e95
0021:0025:Call user32.FindWindowA(00000000,1400201a8 "Not this process") ret=14000387f
0021:0025:Ret  user32.FindWindowA() retval=00000000 ret=14000387f
0020:0028:Call user32.FindWindowA(00000000,1400201a8 "Not this thread") ret=14000387f
0020:0028:Ret  user32.FindWindowA() retval=00000000 ret=14000387f
0020:0024:Call user32.FindWindowA(14002039e "TVEnhance",140020214 "TV \"Enhance\" for QUORB") ret=140003934
0020:0024:Ret  user32.FindWindowA() retval=00010020 ret=140003934
0020:0024:Call user32.IsIconic(00010020) ret=140003e01
0020:0024:Ret  user32.IsIconic() retval=00000000 ret=140003e01
0020:0024:Call user32.GetForegroundWindow() ret=140003de7
0020:0024:Ret  user32.GetForegroundWindow() retval=00010020 ret=140003de7
0020:0024:Call user32.GetWindowThreadProcessId(00010020,0021f6b0) ret=140003e3e
0020:0024:Ret  user32.GetWindowThreadProcessId() retval=00000044 ret=140003e3e
0020:0024:Call KERNEL32.OpenProcess(00000400,00000001,00000040) ret=140003e5e
0020:0024:Ret  KERNEL32.OpenProcess() retval=00000088 ret=140003e5e
0020:0024:Call psapi.GetProcessImageFileNameA(00000088,0021f6e0,00000104) ret=140003e7c
0020:0024:Call KERNEL32.K32GetProcessImageFileNameA(00000088,0021f6e0,00000104) ret=1700484ff
0020:0024:Ret  KERNEL32.K32GetProcessImageFileNameA() retval=00000035 ret=1700484ff
0020:0024:Ret  psapi.GetProcessImageFileNameA() retval=00000035 ret=140003e7c
0020:0024:Call KERNEL32.CloseHandle(00000088) ret=140003e8e
0020:0024:Ret  KERNEL32.CloseHandle() retval=00000001 ret=140003e8e
0020:0024:Call msvcrt._mbsrchr(0021f6e0 "\\Device\\TVEnhance.exe",0000005c) ret=140003ea7
0020:0024:Ret  msvcrt._mbsrchr() retval=0021f708 ret=140003ea7
0020:0024:Call user32.GetSystemMetrics(ffffffff00000000) ret=140003f00
0020:0024:Ret  user32.GetSystemMetrics() retval=00000500 ret=140003f00
0020:0024:Ret  user32.DispatchMessageA() retval=00000000 ret=1400018eb
0020:0024:Call user32.GetMessageA(0021fc70,00000000,00000000,00000000) ret=1400018f8
0020:0024:Ret  user32.GetMessageA() retval=00000001 ret=1400018f8
0020:0024:Call user32.DispatchMessageA(0021fc70) ret=1400018eb
0020:0024:Call advapi32.RegOpenKeyExA(ffffffff80000002,1400202e0 "SOFTWARE\\UNINSTALL\\KEY",00000000,0002001f,0021f838) ret=140005adc
0020:0024:trace:reg:NtOpenKeyEx <- (nil)
0020:0024:Ret  advapi32.RegOpenKeyExA() retval=00000002 ret=140005adc
0020:0024:Call user32.FindWindowA(00000000,1400201a8 "A title Wine shortened"...) ret=14000387f
0020:0024:Ret  user32.FindWindowA() retval=00000000 ret=14000387f
0020:0024:Call user32.FlashWindow(00010020,00000001) ret=14000387f
0020:0024:Ret  user32.FlashWindow() retval=00000000 ret=14000387f
0020:0024:Ret  user32.DispatchMessageA() retval=00000000 ret=1400018eb
0020:0024:Call user32.DispatchMessageA(0021fc70) ret=1400018eb
0020:0024:Call advapi32.RegOpenKeyExA(ffffffff80000002,1400202e0 "software\\Uninstall\\Key",00000000,0002001f,0021f838) ret=140005adc
)";

TracedTicks Traced()
{
    TraceSubject subject;
    subject.processId = 0x20;
    subject.imageName = "Tavrel.exe";
    subject.imageSize = 0x30000;
    subject.tickStartKey = kTickKey;
    return ExtractTicks(kTrace, subject);
}

TEST(RelayTraceTest, TheImagesOwnCallsOfItsTickThreadBecomeOneListPerCompleteTick)
{
    const TracedTicks traced = Traced();
    ASSERT_TRUE(traced.imageBase.has_value());
    EXPECT_EQ(0x140000000ull, *traced.imageBase);
    EXPECT_EQ(0x24u, traced.mainThread);
    ASSERT_EQ(2u, traced.ticks.size()) << "the third tick has not ended";
    // Keys and windows a call produced are slots of the tick; the process id
    // is the one the window query wrote; sizes passed by pointer come from
    // the registry trace; a 32-bit argument's upper half is dropped.
    EXPECT_EQ(
        "advapi32.RegOpenKeyExA 0x80000002 \"software\\\\Uninstall\\\\Key\" 0x0 0x2001f out:h1 = 0x0\n"
        "advapi32.RegQueryValueExA h1 \"dwStatusMode\" null buf buf size:4 = 0x0\n"
        "advapi32.RegCloseKey h1 = 0x0\n"
        "user32.FindWindowA \"TVEnhance\" \"TV \\\"Enhance\\\" for QUORB\" -> h2\n"
        "user32.IsIconic h2 = 0x0\n"
        "user32.GetForegroundWindow -> h3\n"
        "user32.GetWindowThreadProcessId h3 out:h4 -> h5\n"
        "KERNEL32.OpenProcess 0x400 0x1 h4 -> h6\n"
        "psapi.GetProcessImageFileNameA h6 buf 0x104 = 0x35\n"
        "KERNEL32.CloseHandle h6 = 0x1\n"
        "user32.GetSystemMetrics 0x0 = 0x500\n",
        tickcalls::FormatList(traced.ticks[0]));
    EXPECT_EQ("advapi32.RegOpenKeyExA 0x80000002 \"SOFTWARE\\\\UNINSTALL\\\\KEY\" 0x0 0x2001f "
              "out:h1 = 0x2\n",
              tickcalls::FormatList(traced.ticks[1]));
    // Per complete tick: the loop's GetMessageA and DispatchMessageA (the
    // one that dispatched the tick began before it), and the runtime's call.
    const std::map<std::string, double> leftOut = {
        {"msvcrt._mbsrchr", 0.5}, {"user32.DispatchMessageA", 1.0}, {"user32.GetMessageA", 0.5}};
    EXPECT_EQ(leftOut, traced.leftOut);
    const std::vector<std::string> unlisted = {
        "user32.FindWindowA: an argument the trace does not show in full",
        "user32.FlashWindow: no signature"};
    EXPECT_EQ(unlisted, traced.unlisted);

    const auto keys = KeyOpens(traced.ticks[0]);
    EXPECT_EQ((std::map<std::string, size_t>{{"software\\Uninstall\\Key", 1}}), keys);
    EXPECT_EQ(1u, CallsByFunction(traced.ticks[0]).at("user32.FindWindowA"));
}

TEST(TickCallsTest, AListReadsBackAsWrittenAndBadLinesAreRefused)
{
    const TracedTicks traced = Traced();
    ASSERT_FALSE(traced.ticks.empty());
    const std::string text = tickcalls::FormatList(traced.ticks[0]);
    std::string error;
    const auto read = tickcalls::ParseList(text, &error);
    ASSERT_TRUE(read.has_value()) << error;
    EXPECT_EQ(traced.ticks[0], *read);
    EXPECT_EQ(6u, tickcalls::SlotCount(*read));
    EXPECT_EQ("a\\\\b\\\"c\\n\\x01\\xe9", tickcalls::Escape("a\\b\"c\n\x01\xe9"));
    EXPECT_EQ("a\\b\"c\n\x01\xe9", tickcalls::Unescape(tickcalls::Escape("a\\b\"c\n\x01\xe9")));

    const struct {
        const char* line;
        const char* why;
    } bad[] = {
        {"user32.FlashWindow h1 0x1 = 0x0", "no such function"},
        {"user32.IsIconic h1 0x1 = 0x0", "wrong number of arguments"},
        {"user32.IsIconic \"text\" = 0x0", "argument 1 does not fit"},
        {"user32.IsIconic h0 = 0x0", "argument 1 does not fit"},
        {"user32.IsIconic h1 -> h2", "result does not fit"},
        {"user32.FindWindowA null null = 0x0", "result does not fit"},
        {"IsIconic h1 = 0x0", "not a call"},
    };
    for (const auto& entry : bad) {
        error.clear();
        EXPECT_FALSE(tickcalls::ParseList(entry.line, &error).has_value()) << entry.line;
        EXPECT_EQ(std::string(entry.why) + ": " + entry.line, error);
    }
}

}  // namespace
}  // namespace bench
