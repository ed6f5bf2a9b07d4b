// ShowHideTavrel against the driver-utility stand-in: its answers, the
// driver calls it makes in order, and that every call lets go of the
// library again. Also: which stored paths it refuses to load at all.
#include <gtest/gtest.h>

#include <future>
#include <string>
#include <thread>
#include <vector>

#include "tests/support/Registry.h"
#include "tests/support/SystemNames.h"
#include "tests/support/TestPaths.h"
#include "tests/support/VelUtilsStandIn.h"
#include "tests/unit/lampcheck/BrisoltLibrary.h"

namespace testsupport {
namespace {

constexpr DWORD kCapabilityCode = 137;
constexpr DWORD kPresenceCode = 136;
constexpr DWORD kCapabilityQuery = 280;
constexpr DWORD kOpenHandle = 0x51;

std::wstring Widen(const std::string& text) { return std::wstring(text.begin(), text.end()); }

// Wide registry data as the library reads it; RegSetValueExA would convert.
bool SetWide(DWORD type, const void* data, DWORD size)
{
    tavrel::UniqueHkey key;
    if (::RegCreateKeyExW(HKEY_LOCAL_MACHINE, Widen(names::kSharedDllsKey).c_str(), 0, nullptr,
                          0, KEY_ALL_ACCESS, nullptr, key.put(), nullptr) != ERROR_SUCCESS) {
        return false;
    }
    return ::RegSetValueExW(key.get(), Widen(names::kDriverPathValue).c_str(), 0, type,
                            static_cast<const BYTE*>(data), size) == ERROR_SUCCESS;
}

// One line per record of this process, e.g. "call 137 280 handle=81".
std::vector<std::string> Summary(const std::vector<Record>& records)
{
    std::vector<std::string> lines;
    for (const Record& record : records) {
        if (record.Number("pid") != ::GetCurrentProcessId()) {
            continue;
        }
        const std::string fn = record.Text("fn");
        if (fn == "VuOpen") {
            lines.push_back("open " + record.Text("a1") + " " + record.Text("a2"));
        } else if (fn == "VuCallDriverDWORD") {
            lines.push_back("call " + record.Text("code") + " " + record.Text("word_in") +
                            " handle=" + record.Text("handle"));
        } else if (fn == "VuClose") {
            lines.push_back("close handle=" + record.Text("handle"));
        } else {
            lines.push_back(fn);
        }
    }
    return lines;
}

// The stand-in's path, lengthened with "." steps to exactly `length`
// characters while still naming the same file.
std::string PaddedDllPath(const std::string& variant, size_t length)
{
    const std::string head = DeliverableDirectory() + "\\";
    const std::string tail = "fixtures\\" + variant + "\\VelUtils.dll";
    std::string padding;
    if ((length - head.size() - tail.size()) % 2 != 0) {
        padding = "tests\\..\\";  // bin\tests exists; nine characters
    }
    while (head.size() + padding.size() + tail.size() < length) {
        padding += ".\\";
    }
    return head + padding + tail;
}

class ShowHideTavrelTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(brisolt_.complete()) << BrisoltLibrary::Path();
        velutils_.Install();
        velutils_.Set("OpenHandle", kOpenHandle);
    }

    bool StandInLoaded() const
    {
        return ::GetModuleHandleA(velutils_.DllPath().c_str()) != nullptr;
    }

    // The record lines of a complete call; the presence query only when
    // the capability word asked for it.
    static std::vector<std::string> FullCall(bool presenceRead)
    {
        const std::string handle = " handle=" + std::to_string(kOpenHandle);
        std::vector<std::string> lines = {
            "open 0 0",
            "call " + std::to_string(kCapabilityCode) + " " + std::to_string(kCapabilityQuery) +
                handle};
        if (presenceRead) {
            lines.push_back("call " + std::to_string(kPresenceCode) + " 0" + handle);
        }
        lines.push_back("close" + handle);
        lines.push_back("Unloaded");
        return lines;
    }

    ScopedKey sharedInfo_{HKEY_LOCAL_MACHINE, names::kSharedInfoKey};
    VelUtilsStandIn velutils_;
    BrisoltLibrary brisolt_;
};

TEST_F(ShowHideTavrelTest, AnswersFromTheDriverWordsAndTheMask)
{
    const struct {
        DWORD capability;
        DWORD presence;
        DWORD mask;
        int expected;
        bool presenceRead;
    } cases[] = {
        {1, 3, 0, 0, true},  // mask 0: no, but the driver is asked all the same
        {1, 2, 2, 1, true},
        {1, 2, 3, 1, true},
        {1, 2, 1, 0, true},
        {1, 0, 0xFFFFFFFF, 0, true},
        {1, 0x80000000, 0x80000001, 1, true},
        {0, 3, 3, 0, false},  // any capability word but 1: no, presence not read
        {2, 3, 3, 0, false},
        {kCapabilityQuery, 3, 3, 0, false},  // the word left as it was sent
        {0xFFFFFFFF, 0xFFFFFFFF, 0xFFFFFFFF, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << "capability " << c.capability << " presence "
                                        << c.presence << " mask " << c.mask);
        velutils_.Set("CapabilityWord", c.capability);
        velutils_.Set("PresenceMask", c.presence);
        velutils_.ClearRecords();
        EXPECT_EQ(c.expected, brisolt_.showHideTavrel(c.mask));
        EXPECT_EQ(FullCall(c.presenceRead), Summary(velutils_.Records()));
        EXPECT_FALSE(StandInLoaded());
    }
}

TEST_F(ShowHideTavrelTest, WithoutAnyOfTheThreeExportsTheDriverIsNotTouched)
{
    // The stand-in's defaults would answer 1 for mask 3.
    for (const char* variant : {"velutils-noclose", "velutils-noopen", "velutils-nocall"}) {
        SCOPED_TRACE(variant);
        VelUtilsStandIn partial(variant);
        partial.Install();
        EXPECT_EQ(0, brisolt_.showHideTavrel(3));
        EXPECT_EQ(std::vector<std::string>{"Unloaded"}, Summary(partial.Records()));
        EXPECT_EQ(nullptr, ::GetModuleHandleA(partial.DllPath().c_str()));
    }
}

TEST_F(ShowHideTavrelTest, LoadsOnlyAWholeTerminatedWideStringThatFits)
{
    const std::wstring path = Widen(velutils_.DllPath());
    const std::wstring longest = Widen(PaddedDllPath("velutils", MAX_PATH - 1));
    const std::wstring tooLong = Widen(PaddedDllPath("velutils", MAX_PATH));
    const std::wstring farTooLong = Widen(PaddedDllPath("velutils", 2 * MAX_PATH));
    const std::wstring absent = Widen(FixturePath("velutils-absent\\VelUtils.dll"));
    const std::wstring unexpanded = L"%BRISOLT_TEST_VELUTILS%";
    ASSERT_TRUE(::SetEnvironmentVariableW(L"BRISOLT_TEST_VELUTILS", path.c_str()));
    const DWORD number = 1;
    const auto bytes = [](const std::wstring& text, size_t terminators) {
        return static_cast<DWORD>((text.size() + terminators) * sizeof(wchar_t));
    };
    std::wstring doubleTerminated = path + L'\0';
    // The registry adds a forgotten terminator when the character after the
    // counted ones is NUL; a value stored without one needs something else
    // there.
    const std::wstring unterminated = path + L'X';

    const struct {
        const char* name;
        DWORD type;
        const void* data;
        DWORD size;
        bool loads;
    } cases[] = {
        {"REG_SZ", REG_SZ, path.c_str(), bytes(path, 1), true},
        {"REG_EXPAND_SZ", REG_EXPAND_SZ, path.c_str(), bytes(path, 1), true},
        {"259 characters", REG_SZ, longest.c_str(), bytes(longest, 1), true},
        {"260 characters", REG_SZ, tooLong.c_str(), bytes(tooLong, 1), false},
        {"520 characters", REG_SZ, farTooLong.c_str(), bytes(farTooLong, 1), false},
        {"no terminator", REG_SZ, unterminated.c_str(), bytes(path, 0), false},
        {"odd byte count", REG_SZ, doubleTerminated.c_str(), bytes(path, 1) + 1, false},
        {"REG_BINARY", REG_BINARY, path.c_str(), bytes(path, 1), false},
        {"REG_MULTI_SZ", REG_MULTI_SZ, doubleTerminated.c_str(), bytes(path, 2), false},
        {"REG_DWORD", REG_DWORD, &number, sizeof(number), false},
        {"empty", REG_SZ, L"", 0, false},
        {"environment reference", REG_EXPAND_SZ, unexpanded.c_str(), bytes(unexpanded, 1),
         false},
        {"absent library", REG_SZ, absent.c_str(), bytes(absent, 1), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(SetWide(c.type, c.data, c.size));
        velutils_.ClearRecords();
        EXPECT_EQ(c.loads ? 1 : 0, brisolt_.showHideTavrel(3));
        EXPECT_EQ(c.loads ? FullCall(true) : std::vector<std::string>{},
                  Summary(velutils_.Records()));
        EXPECT_FALSE(StandInLoaded());
    }
}

TEST_F(ShowHideTavrelTest, WithoutTheValueOrTheKeyNothingIsLoaded)
{
    UninstallDriverUtility();
    EXPECT_EQ(0, brisolt_.showHideTavrel(3));
    ASSERT_TRUE(DeleteTree(HKEY_LOCAL_MACHINE, names::kSharedDllsKey));
    EXPECT_EQ(0, brisolt_.showHideTavrel(3));
    // The path is read from the machine, never from the user's key.
    ScopedKey userCopy(HKEY_CURRENT_USER, names::kSharedInfoKey);
    SetString(HKEY_CURRENT_USER, names::kSharedDllsKey, names::kDriverPathValue,
              velutils_.DllPath());
    EXPECT_EQ(0, brisolt_.showHideTavrel(3));
    EXPECT_TRUE(velutils_.Records().empty());
}

TEST_F(ShowHideTavrelTest, CallsFromSeveralThreadsEachBindAndReleaseTheDriver)
{
    constexpr int kThreads = 4;
    constexpr int kCallsEach = 5;
    velutils_.Set("PresenceMask", 2);
    std::vector<int> answers(kThreads * kCallsEach, -1);
    // The threads start one after the other and then make their calls
    // together. Under qemu-i386 user emulation a 32-bit process whose
    // threads start at the same instant can crash in the emulator, whatever
    // the threads then do.
    std::promise<void> go;
    const std::shared_future<void> together = go.get_future().share();
    std::vector<std::thread> threads;
    for (int t = 0; t < kThreads; ++t) {
        std::promise<void> running;
        std::future<void> started = running.get_future();
        threads.emplace_back([this, t, &answers, running = std::move(running), together]() mutable {
            running.set_value();
            together.wait();
            for (int i = 0; i < kCallsEach; ++i) {
                answers[t * kCallsEach + i] = brisolt_.showHideTavrel(2);
            }
        });
        started.wait();
    }
    go.set_value();
    for (std::thread& thread : threads) {
        thread.join();
    }
    EXPECT_EQ(std::vector<int>(kThreads * kCallsEach, 1), answers);
    const auto records = velutils_.Records();
    EXPECT_EQ(answers.size(), WithFunction(records, "VuOpen").size());
    EXPECT_EQ(answers.size(), WithFunction(records, "VuClose").size());
    EXPECT_FALSE(StandInLoaded());
}

}  // namespace
}  // namespace testsupport
