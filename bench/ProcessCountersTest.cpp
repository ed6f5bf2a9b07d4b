// The soak is only as good as its instruments: each counter must see a
// leak of its own kind. This process leaks a known number of each resource
// and checks that the matching counter grows by exactly that much (and the
// CPU clock by about the time burnt), by the same readings the bench takes
// of the monitor.
#include <gtest/gtest.h>

#include <windows.h>

#include <functional>
#include <vector>

#include "bench/Latency.h"
#include "bench/LinuxProcess.h"
#include "bench/ProcessCounters.h"
#include "common/UniqueResource.h"
#include "tests/fixtures/programs/ProgramWindows.h"
#include "tests/support/ChildProcess.h"
#include "tests/support/Registry.h"
#include "tests/support/TestPaths.h"

namespace bench {
namespace {

constexpr int kLeaked = 7;
constexpr DWORD kSpinMs = 2500;
constexpr DWORD kWatchMs = 800;
constexpr const char* kProbeKey = "Software\\TavrelBench\\CounterProbe";

struct GdiObjectTraits {
    using value_type = HGDIOBJ;
    static HGDIOBJ Invalid() noexcept { return nullptr; }
    static bool IsValid(HGDIOBJ object) noexcept { return object != nullptr; }
    static void Close(HGDIOBJ object) noexcept { ::DeleteObject(object); }
};
using UniqueGdiObject = tavrel::UniqueResource<GdiObjectTraits>;

struct VirtualMemoryTraits {
    using value_type = void*;
    static void* Invalid() noexcept { return nullptr; }
    static bool IsValid(void* block) noexcept { return block != nullptr; }
    static void Close(void* block) noexcept { ::VirtualFree(block, 0, MEM_RELEASE); }
};
using UniqueVirtualMemory = tavrel::UniqueResource<VirtualMemoryTraits>;

using standin::UniqueWindow;

// What each case holds until the reading is taken.
struct Held {
    std::vector<tavrel::UniqueHkey> keys;
    std::vector<tavrel::UniqueHandle> handles;
    std::vector<UniqueGdiObject> gdiObjects;
    std::vector<UniqueWindow> windows;
    std::vector<tavrel::UniqueModule> modules;
};

ResourceSample Sample()
{
    return SampleResources(::GetCurrentProcess(), ::GetCurrentProcessId());
}

long long Counter(const ResourceSample& sample, const std::string& name)
{
    for (const CounterChange& change : CompareSamples(sample, sample)) {
        if (change.name == name) {
            return change.first;
        }
    }
    return 0;
}

DWORD WINAPI Park(LPVOID event) noexcept
{
    ::WaitForSingleObject(static_cast<HANDLE>(event), INFINITE);
    return 0;
}

UniqueWindow SmallWindow()
{
    return UniqueWindow(::CreateWindowExA(0, "STATIC", "", WS_POPUP, 0, 0, 10, 10, nullptr,
                                          nullptr, nullptr, nullptr));
}

TEST(ProcessCountersTest, EachCounterSeesALeakOfItsOwnKind)
{
    tavrel::UniqueHandle release(::CreateEventA(nullptr, TRUE, FALSE, nullptr));
    testsupport::SetDword(HKEY_CURRENT_USER, kProbeKey, "Probe", 1);
    // The first window of a thread brings the thread's input-method window
    // with it (seen under Wine); that one is not the case's.
    const UniqueWindow first = SmallWindow();
    const std::string brisolt = testsupport::DeliverableDirectory() + "\\Brisolt.dll";
    const struct {
        const char* counter;
        long long growth;
        std::function<void(Held&)> leak;
    } cases[] = {
        {"handles.Key", kLeaked,
         [](Held& held) {
             for (int i = 0; i < kLeaked; ++i) {
                 held.keys.emplace_back();
                 ::RegOpenKeyExA(HKEY_CURRENT_USER, kProbeKey, 0, KEY_READ, held.keys.back().put());
             }
         }},
        {"handles.Process", kLeaked,
         [](Held& held) {
             for (int i = 0; i < kLeaked; ++i) {
                 held.handles.emplace_back(::OpenProcess(PROCESS_QUERY_INFORMATION, FALSE,
                                                         ::GetCurrentProcessId()));
             }
         }},
        {"handles", kLeaked,
         [](Held& held) {
             for (int i = 0; i < kLeaked; ++i) {
                 held.handles.emplace_back(::CreateEventA(nullptr, FALSE, FALSE, nullptr));
             }
         }},
        {"gdi_objects", kLeaked,
         [](Held& held) {
             for (int i = 0; i < kLeaked; ++i) {
                 held.gdiObjects.emplace_back(::CreateSolidBrush(RGB(i, 0, 0)));
             }
         }},
        {"user_objects", 2,
         [](Held& held) {
             for (int i = 0; i < 2; ++i) {
                 held.windows.push_back(SmallWindow());
             }
         }},
        // A library that needs nothing this process has not loaded yet.
        {"modules", 1,
         [&](Held& held) { held.modules.emplace_back(::LoadLibraryA(brisolt.c_str())); }},
        {"threads", 2,
         [&](Held& held) {
             for (int i = 0; i < 2; ++i) {
                 held.handles.emplace_back(::CreateThread(nullptr, 0, Park, release.get(), 0, nullptr));
             }
         }},
    };
    for (const auto& c : cases) {
        const ResourceSample before = Sample();
        Held held;
        c.leak(held);
        const ResourceSample after = Sample();
        EXPECT_EQ(c.growth, Counter(after, c.counter) - Counter(before, c.counter)) << c.counter;
    }
    ::SetEvent(release.get());
    testsupport::DeleteTree(HKEY_CURRENT_USER, "Software\\TavrelBench");
}

TEST(ProcessCountersTest, PrivateBytesSeeNewlyCommittedAndTouchedMemory)
{
    constexpr size_t kBytes = 8 << 20;
    const auto before = ReadMemory(::GetCurrentProcess());
    ASSERT_TRUE(before.has_value());
    UniqueVirtualMemory block(::VirtualAlloc(nullptr, kBytes, MEM_COMMIT | MEM_RESERVE, PAGE_READWRITE));
    ASSERT_TRUE(block.valid());
    ::FillMemory(block.get(), kBytes, 0x5A);
    const auto after = ReadMemory(::GetCurrentProcess());
    ASSERT_TRUE(after.has_value());
    EXPECT_GE(after->privateBytes, before->privateBytes + kBytes - (64 << 10))
        << "from " << after->privateSource;
    EXPECT_GE(after->peakWorkingSet, after->workingSet);
}

TEST(ProcessCountersTest, TheHaltEventsKindOfNameIsFoundAmongAProcesssHandles)
{
    tavrel::UniqueHandle named(::CreateEventA(nullptr, TRUE, FALSE, "Local\\TavrelBenchNameProbe"));
    ASSERT_TRUE(named.valid());
    const HANDLE self = ::GetCurrentProcess();
    const DWORD id = ::GetCurrentProcessId();
    EXPECT_TRUE(HoldsNamedObject(self, id, "Event", L"\\TavrelBenchNameProbe"));
    EXPECT_FALSE(HoldsNamedObject(self, id, "Event", L"\\TavrelBenchNameProb"));
    EXPECT_FALSE(HoldsNamedObject(self, id, "Mutant", L"\\TavrelBenchNameProbe"));
    named.reset();
    EXPECT_FALSE(HoldsNamedObject(self, id, "Event", L"\\TavrelBenchNameProbe"));
}

// Run only as the child of the test below, which reads its CPU time.
TEST(LinuxProcessTest, DISABLED_SpinForTheClockTest)
{
    const DWORD start = ::GetTickCount();
    volatile unsigned long long spin = 0;
    while (::GetTickCount() - start < kSpinMs) {
        spin = spin + 1;
    }
}

// Under Wine the monitor's CPU time comes from the Linux process behind it:
// it must be found by its command line and count what it burns. The child
// is this test program, running the spinning test above.
TEST(LinuxProcessTest, AnotherProcesssCpuTimeIsReadFromTheLinuxSide)
{
    if (!RunningUnderWine()) {
        GTEST_SKIP() << "only Wine needs the Linux side";
    }
    char path[MAX_PATH] = {};
    ::GetModuleFileNameA(nullptr, path, MAX_PATH);
    const std::string arguments =
        "--gtest_filter=LinuxProcessTest.DISABLED_SpinForTheClockTest --gtest_also_run_disabled_tests";
    testsupport::ChildProcess spinner;
    ASSERT_TRUE(spinner.Start(testsupport::QuotedCommand(path, arguments)));
    ProcessCpuClock clock(spinner.Handle(), path, arguments);
    ASSERT_TRUE(clock.Attach(5000)) << clock.Source();
    const auto before = clock.Milliseconds();
    ::Sleep(kWatchMs);
    const auto after = clock.Milliseconds();
    ASSERT_TRUE(before && after);
    // A busy machine may give the spinner less than all of a core.
    EXPECT_GE(*after - *before, kWatchMs / 5.0);
    EXPECT_LE(*after - *before, kWatchMs * 1.2);
    EXPECT_TRUE(WineServerPid().has_value());
    spinner.WaitExit(kSpinMs + 5000);
}

TEST(LatencyRecordsTest, RecordsAreCountedInTheirWindowAcrossTheTickCountsWrap)
{
    auto record = [](DWORD tick) {
        testsupport::Record r;
        r.fields["tick"] = std::to_string(tick);
        return r;
    };
    const std::vector<testsupport::Record> records = {record(0xFFFFFF00), record(0xFFFFFFF0),
                                                      record(0x10), record(0x200), record(5)};
    EXPECT_EQ(3u, CountInWindow(records, 0xFFFFFFF0, 0x100));
    EXPECT_EQ(1u, CountInWindow(records, 0x100, 0x200));
    EXPECT_EQ(0u, CountInWindow(records, 0x201, 0x300));
}

}  // namespace
}  // namespace bench
