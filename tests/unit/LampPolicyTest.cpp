// The lamp policy driven step by step against a modelled driver whose
// reads answer the last word written.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "lamp/LampPolicy.h"

namespace tavrel {
namespace {

struct Call {
    DWORD code;
    DWORD word;  // word after the call (reads) or the word written
    bool operator==(const Call& other) const { return code == other.code && word == other.word; }
};

std::ostream& operator<<(std::ostream& out, const Call& call)
{
    return out << (call.code == CodeLampRead ? "read " : call.code == CodeLampWrite ? "write " : "code ")
               << call.word;
}

class ModelDriver final : public LampDriverPort {
public:
    DWORD Call(DriverCode code, DWORD* word) noexcept override
    {
        DWORD result = 1;
        if (code == CodeLampRead) {
            if (failReads > 0) {
                --failReads;
                result = 0;
            } else {
                *word = lampWord;
            }
        } else if (code == CodeLampWrite) {
            lampWord = *word;
        } else if (code == CodeLampCapability) {
            *word = capability;
        } else if (code == CodeLampPresence) {
            *word = presence;
        }
        calls.push_back({static_cast<DWORD>(code), *word});
        return result;
    }

    DWORD lampWord = 0;
    DWORD capability = 1;
    DWORD presence = 3;
    int failReads = 0;
    std::vector<tavrel::Call> calls;
};

constexpr DWORD R = CodeLampRead;
constexpr DWORD W = CodeLampWrite;

TEST(LampPolicyTest, WantedBitFollowsTheModeTable)
{
    struct {
        LONG mode;
        int flag;
        LampWanted wanted;
    } cases[] = {{0, 1, LampWanted::Set},    {0, 0, LampWanted::Clear}, {1, 0, LampWanted::Clear},
                 {1, 1, LampWanted::Clear},  {2, 0, LampWanted::Set},   {2, 1, LampWanted::Set},
                 {-1, 1, LampWanted::Leave}, {3, 1, LampWanted::Leave}, {3, 0, LampWanted::Leave},
                 {0x7FFFFFFF, 1, LampWanted::Leave}};
    for (const auto& c : cases) {
        EXPECT_EQ(c.wanted, WantedLampBit(c.mode, c.flag)) << c.mode << "/" << c.flag;
    }
}

TEST(LampPolicyTest, FirstPassesSpendTheRefreshBudgetTwoTwoOne)
{
    ModelDriver driver;
    LampCache cache;
    ApplyLampModes(cache, driver, 0, 0, 1);
    const std::vector<Call> first = {{R, 0}, {R, 0}, {W, 2}, {R, 2}, {R, 2}, {W, 3}};
    EXPECT_EQ(first, driver.calls);
    EXPECT_EQ(2u, cache.refreshCount);
    EXPECT_EQ(3u, cache.state);

    driver.calls.clear();
    ApplyLampModes(cache, driver, 0, 0, 1);
    EXPECT_EQ((std::vector<Call>{{R, 3}, {R, 3}}), driver.calls);

    driver.calls.clear();
    ApplyLampModes(cache, driver, 0, 0, 1);
    EXPECT_EQ((std::vector<Call>{{R, 3}}), driver.calls) << "only the status lamp still refreshes";
    EXPECT_EQ(5u, cache.refreshCount);

    // Budget spent, nothing to change: the steady state makes no call.
    driver.calls.clear();
    for (int pass = 0; pass < 10; ++pass) {
        ApplyLampModes(cache, driver, 0, 0, 1);
    }
    EXPECT_TRUE(driver.calls.empty());

    // A change is read in front of, then written.
    ApplyLampModes(cache, driver, 0, 0, 0);
    EXPECT_EQ((std::vector<Call>{{R, 3}, {W, 1}, {R, 1}, {W, 0}}), driver.calls);
}

TEST(LampPolicyTest, AChangeWritesBackBitsSomeoneElseChanged)
{
    ModelDriver driver;
    LampCache cache;
    cache.refreshCount = kLampRefreshBudget;
    driver.lampWord = 0x10;  // another bit set behind the cache's back
    ApplyLampModes(cache, driver, 2, -1, 0);
    EXPECT_EQ((std::vector<Call>{{R, 0x10}, {W, 0x12}}), driver.calls);
    EXPECT_EQ(0x12u, driver.lampWord);
}

TEST(LampPolicyTest, UnsetOrUnknownModesMakeNoCallAndSpendNoBudget)
{
    for (LONG mode : {-1, 3, 4, 100}) {
        ModelDriver driver;
        LampCache cache;
        ApplyLampModes(cache, driver, mode, mode, 1);
        ApplyLampModes(cache, driver, mode, mode, 0);
        EXPECT_TRUE(driver.calls.empty()) << mode;
        EXPECT_EQ(0u, cache.refreshCount) << mode;
    }
}

TEST(LampPolicyTest, FixedModesIgnoreTheFlag)
{
    for (int flag : {0, 1}) {
        ModelDriver driver;
        LampCache cache;
        cache.refreshCount = kLampRefreshBudget;
        driver.lampWord = 0x2;  // status on, logo off: mode 1 / mode 2 turn both
        cache.state = 0x2;
        ApplyLampModes(cache, driver, 1, 2, flag);
        EXPECT_EQ((std::vector<Call>{{R, 2}, {W, 0}, {R, 0}, {W, 1}}), driver.calls) << flag;
    }
}

TEST(LampPolicyTest, AFailedReadInFrontOfAChangeAbandonsItUntilTheNextPass)
{
    ModelDriver driver;
    LampCache cache;
    cache.refreshCount = kLampRefreshBudget;
    driver.failReads = 1;
    ApplyLampModes(cache, driver, 2, -1, 0);
    EXPECT_EQ((std::vector<Call>{{R, 0}}), driver.calls);
    EXPECT_EQ(0u, driver.lampWord);

    driver.calls.clear();
    ApplyLampModes(cache, driver, 2, -1, 0);
    EXPECT_EQ((std::vector<Call>{{R, 0}, {W, 2}}), driver.calls);
}

TEST(LampPolicyTest, AFailedWriteLeavesTheCacheBelievingIt)
{
    struct FailingWrites final : LampDriverPort {
        DWORD Call(DriverCode code, DWORD*) noexcept override
        {
            codes.push_back(code);
            return code == CodeLampWrite ? 0 : 1;
        }
        std::vector<DWORD> codes;
    } driver;
    LampCache cache;
    cache.refreshCount = kLampRefreshBudget;
    ApplyLampModes(cache, driver, 2, -1, 0);
    ApplyLampModes(cache, driver, 2, -1, 0);
    EXPECT_EQ((std::vector<DWORD>{R, W}), driver.codes) << "the second pass trusts the cache";
}

TEST(LampPolicyTest, ProbeReadsThePresenceMaskOnlyWhenTheCapabilityWordIsOne)
{
    struct {
        DWORD capability;
        DWORD presence;
        int result;
        size_t calls;
    } cases[] = {{280, 0, 1, 1}, {2, 0, 1, 1}, {1, 3, 1, 2}, {1, 1, 1, 2},
                 {1, 2, 1, 2},   {1, 4, 0, 2}, {1, 0, 0, 2}, {1, 0xFC, 0, 2}};
    for (const auto& c : cases) {
        ModelDriver driver;
        driver.capability = c.capability;
        driver.presence = c.presence;
        EXPECT_EQ(c.result, ProbeLampsPresent(driver)) << c.capability << "/" << c.presence;
        EXPECT_EQ(c.calls, driver.calls.size()) << c.capability << "/" << c.presence;
    }
}

}  // namespace
}  // namespace tavrel
