#include <gtest/gtest.h>

#include "tests/support/MonitorHarness.h"

namespace testsupport {
namespace {

TEST(ModesTest, EmptyCommandLineExitsWithZero)
{
    ChildProcess tavrel;
    ASSERT_TRUE(StartTavrel(tavrel, ""));
    auto code = tavrel.WaitExit(10000);
    ASSERT_TRUE(code.has_value());
    EXPECT_EQ(0u, *code);
}

}  // namespace
}  // namespace testsupport
