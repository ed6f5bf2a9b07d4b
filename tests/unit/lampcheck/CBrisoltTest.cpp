// The class members of Brisolt.dll, called as a Microsoft-built program
// calls them on the target the test is built for: constructor and
// assignment, the machine-identifier wrapper and the registry lookup.
#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "tests/support/Registry.h"
#include "tests/unit/lampcheck/BrisoltLibrary.h"

namespace testsupport {
namespace {

constexpr unsigned long kNoMachineId = 0xFFFFFFFF;
constexpr DWORD kSearchCapacity = 260;
constexpr unsigned char kUntouched = 0xCD;

class CBrisoltTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_TRUE(brisolt_.complete()) << BrisoltLibrary::Path(); }

    BrisoltLibrary brisolt_;
};

TEST_F(CBrisoltTest, ConstructorAndAssignmentReturnTheObjectAndWriteNothing)
{
    std::array<unsigned char, 16> left;
    std::array<unsigned char, 16> right;
    left.fill(0xAB);
    right.fill(0x5A);
    const auto leftBefore = left;
    const auto rightBefore = right;
    EXPECT_EQ(left.data(), brisolt_.construct(left.data()));
    EXPECT_EQ(left.data(), brisolt_.assign(left.data(), right.data()));
    EXPECT_EQ(right.data(), brisolt_.assign(right.data(), left.data()));
    EXPECT_EQ(leftBefore, left);
    EXPECT_EQ(rightBefore, right);
}

// What the machine-identifier functions below saw.
struct MachineIdCall {
    int calls = 0;
    void* structure = nullptr;
    DWORD* word = nullptr;
};
MachineIdCall g_seen;

void Note(void* structure, DWORD* word)
{
    ++g_seen.calls;
    g_seen.structure = structure;
    g_seen.word = word;
}

// The platform's own identifier function is a plain C function taking the
// structure and the word; a callee-removes one must serve as well.
int __cdecl StoresAndSucceeds(void* structure, DWORD* word)
{
    Note(structure, word);
    *word = 0x1234ABCD;
    return 1;
}
int __stdcall StoresAndSucceedsCalleeRemoves(void* structure, DWORD* word)
{
    Note(structure, word);
    *word = 0xBEEF;
    return 7;
}
int __cdecl StoresAndAnswersMinusOne(void* structure, DWORD* word)
{
    Note(structure, word);
    *word = 42;
    return -1;
}
int __cdecl StoresAndFails(void* structure, DWORD* word)
{
    Note(structure, word);
    *word = 0x5555;
    return 0;
}
int __cdecl SucceedsWithoutStoring(void* structure, DWORD* word)
{
    Note(structure, word);
    return 1;
}

template <typename Function>
BrisoltMachineIdFunction AsDeclared(Function function)
{
    return reinterpret_cast<BrisoltMachineIdFunction>(reinterpret_cast<void (*)()>(function));
}

TEST_F(CBrisoltTest, GetMachineIdAnswersTheStoredWordOrAllOnesOnFailure)
{
    int someStructure = 0;
    void* const structures[] = {&someStructure, nullptr,
                                reinterpret_cast<void*>(static_cast<uintptr_t>(0x7FFE0000))};
    const struct {
        const char* name;
        BrisoltMachineIdFunction function;
        unsigned long expected;
    } cases[] = {
        {"stores and succeeds", AsDeclared(&StoresAndSucceeds), 0x1234ABCD},
        {"callee removes", AsDeclared(&StoresAndSucceedsCalleeRemoves), 0xBEEF},
        {"answers -1", AsDeclared(&StoresAndAnswersMinusOne), 42},
        {"stores and fails", AsDeclared(&StoresAndFails), kNoMachineId},
        // The word starts at 0, so an identifier never stored reads as 0.
        {"succeeds without storing", AsDeclared(&SucceedsWithoutStoring), 0},
    };
    for (const auto& c : cases) {
        for (void* structure : structures) {
            SCOPED_TRACE(testing::Message() << c.name << ", structure " << structure);
            g_seen = MachineIdCall{};
            g_seen.structure = &g_seen;  // anything but what is passed
            EXPECT_EQ(c.expected, brisolt_.getMachineId(structure, c.function));
            EXPECT_EQ(1, g_seen.calls);
            EXPECT_EQ(structure, g_seen.structure);
            EXPECT_NE(nullptr, g_seen.word);
        }
    }
}

class SearchRegistryTest : public CBrisoltTest {
protected:
    static constexpr const char* kKey = "Software\\TavrelTests\\BrisoltSearch";

    // The caller's buffer, larger than the library may use, so that a write
    // beyond its 260 bytes shows.
    std::vector<unsigned char> Buffer() const
    {
        return std::vector<unsigned char>(kSearchCapacity + 40, kUntouched);
    }

    int Search(HKEY root, const char* subkey, const char* valueName,
               std::vector<unsigned char>& buffer)
    {
        std::string key = subkey;
        std::string name = valueName;
        return brisolt_.searchRegistry(root, key.data(), name.data(),
                                       reinterpret_cast<char*>(buffer.data()));
    }

    ScopedKey key_{HKEY_CURRENT_USER, kKey};
};

TEST_F(SearchRegistryTest, CopiesTheStoredBytesOfAnyTypeThatFitTheBuffer)
{
    std::vector<unsigned char> binary(kSearchCapacity + 1);
    for (size_t i = 0; i < binary.size(); ++i) {
        binary[i] = static_cast<unsigned char>(i * 7 + 1);
    }
    const std::string longest(kSearchCapacity - 1, 'p');
    const std::string tooLong(kSearchCapacity, 'q');
    const DWORD number = 0x01020304;

    const struct {
        const char* name;
        DWORD type;
        const void* data;
        DWORD size;
        int expected;
        bool onlyStoredBytes;  // nothing written after them
    } cases[] = {
        {"binary of 260 bytes", REG_BINARY, binary.data(), kSearchCapacity, 0, true},
        {"binary of 261 bytes", REG_BINARY, binary.data(), kSearchCapacity + 1, 2, true},
        {"empty binary", REG_BINARY, binary.data(), 0, 0, true},
        {"number", REG_DWORD, &number, sizeof(number), 0, true},
        {"string", REG_SZ, "abc", 4, 0, true},
        {"string of 260 bytes", REG_SZ, longest.c_str(), kSearchCapacity, 0, true},
        {"string of 261 bytes", REG_SZ, tooLong.c_str(), kSearchCapacity + 1, 2, true},
        {"expandable string", REG_EXPAND_SZ, "%PATH%", 7, 0, true},
        // Stored without a terminator (the registry adds a forgotten one
        // when the byte after the counted ones is NUL, hence "abcd"). Seen
        // under Wine: RegQueryValueExA itself then puts a NUL after the
        // three bytes, as there is room.
        {"unterminated string", REG_SZ, "abcd", 3, 0, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        ASSERT_TRUE(SetRaw(HKEY_CURRENT_USER, kKey, "Value", c.type, c.data, c.size));
        std::vector<unsigned char> buffer = Buffer();
        EXPECT_EQ(c.expected, Search(HKEY_CURRENT_USER, kKey, "Value", buffer));
        if (c.expected == 0) {
            EXPECT_EQ(0, std::memcmp(c.data, buffer.data(), c.size));
            if (c.onlyStoredBytes) {
                EXPECT_EQ(kUntouched, buffer[c.size]);
            }
        }
        for (size_t i = kSearchCapacity; i < buffer.size(); ++i) {
            ASSERT_EQ(kUntouched, buffer[i]) << "written beyond 260 bytes at " << i;
        }
    }
}

TEST_F(SearchRegistryTest, AMissingKeyAnswersOneAndAMissingValueTwo)
{
    ASSERT_TRUE(SetString(HKEY_CURRENT_USER, kKey, "Value", "abc"));
    std::vector<unsigned char> buffer = Buffer();
    EXPECT_EQ(1, Search(HKEY_CURRENT_USER, "Software\\TavrelTests\\BrisoltAbsent", "Value",
                        buffer));
    // The same path under another root is another key.
    EXPECT_EQ(1, Search(HKEY_LOCAL_MACHINE, kKey, "Value", buffer));
    EXPECT_EQ(2, Search(HKEY_CURRENT_USER, kKey, "Other", buffer));
    EXPECT_EQ(std::vector<unsigned char>(buffer.size(), kUntouched), buffer);
    EXPECT_EQ(0, Search(HKEY_CURRENT_USER, kKey, "Value", buffer));
    EXPECT_STREQ("abc", reinterpret_cast<const char*>(buffer.data()));
}

}  // namespace
}  // namespace testsupport
