#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "app/CommandLine.h"

namespace tavrel {
namespace {

struct RemainderCase {
    const char* commandLine;
    const char* remainder;
};

class CommandRemainderTest : public ::testing::TestWithParam<RemainderCase> {};

TEST_P(CommandRemainderTest, DropsThePathAndTheControlCharactersAfterIt)
{
    EXPECT_STREQ(GetParam().remainder, CommandRemainder(GetParam().commandLine));
}

INSTANTIATE_TEST_SUITE_P(
    Paths, CommandRemainderTest,
    ::testing::Values(
        RemainderCase{"C:\\Tavrel.exe @@@Start", "@@@Start"},
        RemainderCase{"C:\\Tavrel.exe      @@@Start", "@@@Start"},
        RemainderCase{"C:\\Tavrel.exe \t\x01\x1f @@@Start", "@@@Start"},
        // A quoted path may hold blanks.
        RemainderCase{"\"C:\\Program Files\\Tavrel.exe\" @@@HaltAll", "@@@HaltAll"},
        RemainderCase{"\"C:\\Program Files\\Tavrel.exe\"@@@HaltAll", "@@@HaltAll"},
        RemainderCase{"\"\" @@@Start", "@@@Start"},
        // Trailing blanks belong to the remainder.
        RemainderCase{"Tavrel.exe @@@Start  ", "@@@Start  "},
        RemainderCase{"Tavrel.exe", ""},
        RemainderCase{"\"C:\\unterminated quote @@@Start", ""},
        RemainderCase{"", ""}),
    [](const ::testing::TestParamInfo<RemainderCase>& info) {
        return "Case" + std::to_string(info.index);
    });

TEST(CommandRemainderTest, NullCommandLineGivesEmptyRemainder)
{
    EXPECT_STREQ("", CommandRemainder(nullptr));
}

struct ModeCase {
    const char* remainder;
    Mode mode;
};

class SelectModeTest : public ::testing::TestWithParam<ModeCase> {};

TEST_P(SelectModeTest, MatchesWholeTokensExactly)
{
    EXPECT_EQ(GetParam().mode, SelectMode(GetParam().remainder));
}

INSTANTIATE_TEST_SUITE_P(
    Tokens, SelectModeTest,
    ::testing::Values(ModeCase{"@@@HaltAll", Mode::HaltAll},
                      ModeCase{"@@@StartFirstly", Mode::StartFirstly},
                      ModeCase{"@@@Start", Mode::Start},
                      ModeCase{"", Mode::None},
                      ModeCase{"@@@start", Mode::None},
                      ModeCase{"@@@HALTALL", Mode::None},
                      ModeCase{"@@@Start ", Mode::None},
                      ModeCase{"@@@Start\t", Mode::None},
                      ModeCase{"@@@Start extra", Mode::None},
                      ModeCase{"@@@StartFirstly ", Mode::None},
                      ModeCase{"@@@Star", Mode::None},
                      ModeCase{"@@@HaltAll@@@Start", Mode::None}),
    [](const ::testing::TestParamInfo<ModeCase>& info) {
        std::string name;
        for (const char* c = info.param.remainder; *c != '\0'; ++c) {
            name += std::isalnum(static_cast<unsigned char>(*c)) ? *c : '_';
        }
        return "Token" + std::to_string(info.index) + "_" + name;
    });

}  // namespace
}  // namespace tavrel
