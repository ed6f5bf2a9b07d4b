// CRegistryKey against the Wine prefix's real registry.
#include <gtest/gtest.h>

#include <string>

#include "settings/CRegistryKey.h"
#include "tests/support/Registry.h"

namespace tavrel {
namespace {

using testsupport::ScopedKey;
using testsupport::SetDword;
using testsupport::SetRaw;
using testsupport::SetString;

constexpr const char* kKey = "Software\\TavrelTests\\RegistryKey";
constexpr DWORD kJunk = 0xDEADBEEF;

class CRegistryKeyTest : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(ERROR_SUCCESS, key_.Open(HKEY_CURRENT_USER, kKey, KEY_READ)); }

    LONG ReadString(const char* name, char* buffer, DWORD& count)
    {
        return key_.ReadString(name, buffer, count);
    }

    ScopedKey scoped_{HKEY_CURRENT_USER, kKey};
    bool created_ = SetDword(HKEY_CURRENT_USER, kKey, "placeholder", 0);
    CRegistryKey key_;
};

TEST_F(CRegistryKeyTest, OpenFailureKeepsTheHeldKey)
{
    SetDword(HKEY_CURRENT_USER, kKey, "kept", 7);
    EXPECT_EQ(ERROR_FILE_NOT_FOUND,
              key_.Open(HKEY_CURRENT_USER, "Software\\TavrelTests\\NoSuchKey", KEY_READ));
    DWORD value = kJunk;
    EXPECT_EQ(ERROR_SUCCESS, key_.ReadDword("kept", value));
    EXPECT_EQ(7u, value);
}

TEST_F(CRegistryKeyTest, CloseReportsNothingHeldAsSuccessAndIsRepeatable)
{
    EXPECT_TRUE(key_.IsOpen());
    EXPECT_EQ(ERROR_SUCCESS, key_.Close());
    EXPECT_FALSE(key_.IsOpen());
    EXPECT_EQ(ERROR_SUCCESS, key_.Close());
    DWORD value = kJunk;
    EXPECT_NE(ERROR_SUCCESS, key_.ReadDword("placeholder", value));
    EXPECT_EQ(kJunk, value);
}

TEST_F(CRegistryKeyTest, ReadDwordAcceptsOnlyFourByteDwords)
{
    const unsigned long long qword = 4316;
    const DWORD dword = 4316;
    const unsigned short word = 4316;
    SetDword(HKEY_CURRENT_USER, kKey, "dword", 4316);
    SetString(HKEY_CURRENT_USER, kKey, "string", "1");
    SetString(HKEY_CURRENT_USER, kKey, "longstring", "4316");
    SetRaw(HKEY_CURRENT_USER, kKey, "binary", REG_BINARY, &dword, sizeof(dword));
    SetRaw(HKEY_CURRENT_USER, kKey, "qword", REG_QWORD, &qword, sizeof(qword));
    SetRaw(HKEY_CURRENT_USER, kKey, "short", REG_DWORD, &word, sizeof(word));

    struct {
        const char* name;
        LONG expected;
    } cases[] = {{"dword", ERROR_SUCCESS},       {"string", ERROR_INVALID_DATA},
                 {"longstring", ERROR_MORE_DATA},
                 {"binary", ERROR_INVALID_DATA}, {"qword", ERROR_MORE_DATA},
                 {"short", ERROR_INVALID_DATA},  {"missing", ERROR_FILE_NOT_FOUND}};
    for (const auto& c : cases) {
        DWORD value = kJunk;
        EXPECT_EQ(c.expected, key_.ReadDword(c.name, value)) << c.name;
        EXPECT_EQ(c.expected == ERROR_SUCCESS ? 4316u : kJunk, value) << c.name;
    }
}

TEST_F(CRegistryKeyTest, ReadStringFitsAPathOf259CharactersButNot260)
{
    SetString(HKEY_CURRENT_USER, kKey, "fits", std::string(259, 'a'));
    SetString(HKEY_CURRENT_USER, kKey, "toolong", std::string(260, 'b'));

    char buffer[260];
    memset(buffer, 'x', sizeof(buffer));
    DWORD count = 260;
    EXPECT_EQ(ERROR_SUCCESS, ReadString("fits", buffer, count));
    EXPECT_EQ(260u, count);
    EXPECT_EQ(std::string(259, 'a'), std::string(buffer));

    count = 260;
    EXPECT_EQ(ERROR_MORE_DATA, ReadString("toolong", buffer, count));
    EXPECT_EQ(0u, count);
    EXPECT_EQ('\0', buffer[0]);
}

TEST_F(CRegistryKeyTest, ReadStringNeverHandsOutAnUnterminatedString)
{
    // Windows answers 13 for 260 stored bytes without a NUL. Wine (seen with
    // 8.0) stores a terminator behind such a value and then reports 261
    // bytes, so the query itself fails with 234. Either way the read fails,
    // with nothing usable in the buffer.
    const std::string unterminated(260, 'c');
    SetRaw(HKEY_CURRENT_USER, kKey, "unterminated", REG_SZ, unterminated.data(), 260);
    char buffer[260];
    memset(buffer, 'x', sizeof(buffer));
    DWORD count = 260;
    const LONG result = ReadString("unterminated", buffer, count);
    EXPECT_TRUE(result == ERROR_INVALID_DATA || result == ERROR_MORE_DATA) << result;
    EXPECT_EQ(0u, count);
    EXPECT_EQ('\0', buffer[0]);
}

TEST_F(CRegistryKeyTest, ReadStringRejectsWrongTypes)
{
    SetDword(HKEY_CURRENT_USER, kKey, "dword", 1);
    SetRaw(HKEY_CURRENT_USER, kKey, "binary", REG_BINARY, "abc", 4);
    SetString(HKEY_CURRENT_USER, kKey, "multi", "a", REG_MULTI_SZ);

    for (const char* name : {"dword", "binary", "multi"}) {
        char buffer[260];
        memset(buffer, 'x', sizeof(buffer));
        DWORD count = 260;
        EXPECT_EQ(ERROR_INVALID_DATA, ReadString(name, buffer, count)) << name;
        EXPECT_EQ(0u, count) << name;
        EXPECT_EQ('\0', buffer[0]) << name;
    }
    char buffer[260];
    DWORD count = 260;
    EXPECT_EQ(ERROR_FILE_NOT_FOUND, ReadString("missing", buffer, count));
    EXPECT_EQ(0u, count);
}

TEST_F(CRegistryKeyTest, ReadStringGivesEmptyValuesAsEmptyStrings)
{
    SetRaw(HKEY_CURRENT_USER, kKey, "nodata", REG_SZ, "", 0);
    SetString(HKEY_CURRENT_USER, kKey, "justnul", "");
    for (const char* name : {"nodata", "justnul"}) {
        char buffer[260];
        memset(buffer, 'x', sizeof(buffer));
        DWORD count = 260;
        EXPECT_EQ(ERROR_SUCCESS, ReadString(name, buffer, count)) << name;
        EXPECT_STREQ("", buffer) << name;
    }
}

TEST_F(CRegistryKeyTest, ReadStringKeepsEnvironmentReferencesUnexpanded)
{
    SetString(HKEY_CURRENT_USER, kKey, "expand", "%WINDIR%\\x.exe", REG_EXPAND_SZ);
    char buffer[260] = {};
    DWORD count = 260;
    EXPECT_EQ(ERROR_SUCCESS, ReadString("expand", buffer, count));
    EXPECT_STREQ("%WINDIR%\\x.exe", buffer);
    EXPECT_EQ(strlen("%WINDIR%\\x.exe") + 1, count);
}

TEST(CheckStringDataTest, DecidesOnTypeAndTerminator)
{
    EXPECT_EQ(ERROR_SUCCESS, CheckStringData(REG_SZ, "ab", 3));
    EXPECT_EQ(ERROR_SUCCESS, CheckStringData(REG_EXPAND_SZ, "ab", 3));
    EXPECT_EQ(ERROR_SUCCESS, CheckStringData(REG_SZ, "", 0));
    EXPECT_EQ(ERROR_INVALID_DATA, CheckStringData(REG_SZ, "ab", 2));
    EXPECT_EQ(ERROR_INVALID_DATA, CheckStringData(REG_MULTI_SZ, "ab", 3));
    EXPECT_EQ(ERROR_INVALID_DATA, CheckStringData(REG_BINARY, "ab", 3));
}

}  // namespace
}  // namespace tavrel
