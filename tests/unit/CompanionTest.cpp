#include <gtest/gtest.h>

#include "companion/CompanionLauncher.h"

namespace tavrel {
namespace {

TEST(ChatClientFlagsTest, OneLaunchPerAppearance)
{
    // Window seen over a sequence of checks, and whether each check launches.
    const struct {
        bool found;
        bool launches;
    } checks[] = {{false, false}, {true, true},  {true, false}, {true, false},
                  {false, false}, {true, true},  {false, false}, {false, false},
                  {true, true}};
    ChatClientFlags flags;
    for (size_t i = 0; i < sizeof(checks) / sizeof(checks[0]); ++i) {
        EXPECT_EQ(checks[i].launches, AdvanceChatClientFlags(flags, checks[i].found)) << i;
        EXPECT_EQ(checks[i].found, flags.present) << i;
        EXPECT_EQ(checks[i].found, flags.wasPresent) << i;
    }
}

TEST(CompanionExecuteInfoTest, AsksForNoEnvironmentSubstitution)
{
    const char* path = "%ProgramFiles%\\Mirelle\\Mirelle.exe";
    const SHELLEXECUTEINFOA info = CompanionExecuteInfo(path);
    EXPECT_EQ(sizeof(SHELLEXECUTEINFOA), info.cbSize);
    // The handle back, and no error box from the shell for a failed start.
    EXPECT_EQ(static_cast<ULONG>(SEE_MASK_NOCLOSEPROCESS | SEE_MASK_FLAG_NO_UI), info.fMask);
    EXPECT_EQ(path, info.lpFile);
    EXPECT_STREQ("/SkypeStart", info.lpParameters);
    EXPECT_EQ(nullptr, info.lpVerb);
    EXPECT_EQ(nullptr, info.lpDirectory);
    EXPECT_EQ(nullptr, info.hwnd);
    EXPECT_EQ(SW_SHOW, info.nShow);
}

}  // namespace
}  // namespace tavrel
