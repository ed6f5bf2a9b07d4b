#include <gtest/gtest.h>

#include "app/SessionRegistrar.h"
#include "common/UniqueResource.h"
#include "tests/unit/TestWindow.h"

namespace tavrel {
namespace {

// Runs the registrar on its own thread, as the monitor does; true when it
// returned within the time.
bool RegistrarReturnsWithin(HWND window, DWORD milliseconds)
{
    UniqueHandle thread(::CreateThread(nullptr, 0, SessionRegistrar, window, 0, nullptr));
    return thread.valid() && ::WaitForSingleObject(thread.get(), milliseconds) == WAIT_OBJECT_0;
}

TEST(SessionRegistrarTest, GivesUpAtOnceForAWindowThatDoesNotExist)
{
    EXPECT_TRUE(RegistrarReturnsWithin(nullptr, 1000));
    HWND gone = nullptr;
    {
        testsupport::TestWindow window("SessionRegistrarTest", "gone");
        gone = window.get();
    }
    EXPECT_TRUE(RegistrarReturnsWithin(gone, 1000));
}

TEST(SessionRegistrarTest, RegistersAnExistingWindowAndReturns)
{
    testsupport::TestWindow window("SessionRegistrarTest", "here");
    EXPECT_TRUE(RegistrarReturnsWithin(window.get(), 5000));
}

}  // namespace
}  // namespace tavrel
