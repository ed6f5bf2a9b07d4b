// Each application's full-screen rule, on windows this test makes itself
// (under Xvfb the screen is the Xvfb screen; without a window manager a
// maximised window keeps its size, so "maximised" and "screen-sized" can be
// told apart).
#include <gtest/gtest.h>

#include "monitoring/FullScreenTests.h"
#include "settings/Settings.h"
#include "tests/support/Registry.h"
#include "tests/support/SystemNames.h"
#include "tests/unit/TestWindow.h"

namespace tavrel {
namespace {

namespace names = testsupport::names;
using testsupport::TestWindow;
using Shape = TestWindow::Shape;

constexpr const char* kClass = "FullScreenTestWindow";

TEST(FullScreenChecksTest, ScreenSizedMeansExactlyTheScreen)
{
    EXPECT_TRUE(IsScreenSized(RECT{0, 0, 1280, 1024}, 1280, 1024));
    EXPECT_TRUE(IsScreenSized(RECT{-5, -5, 1275, 1019}, 1280, 1024));
    EXPECT_FALSE(IsScreenSized(RECT{0, 0, 1280, 1023}, 1280, 1024));
    EXPECT_FALSE(IsScreenSized(RECT{0, 0, 1281, 1024}, 1280, 1024));
    EXPECT_TRUE(HasMaximizedStyle(WS_OVERLAPPEDWINDOW | WS_MAXIMIZE));
    EXPECT_FALSE(HasMaximizedStyle(WS_OVERLAPPEDWINDOW));
}

TEST(FullScreenTestsTest, MediaPlayerAndMediaCenterTakeMaximisedOrScreenSized)
{
    TestWindow normal(kClass, "Windows Media Player");
    TestWindow maximised(kClass, "Windows Media Player", Shape::Maximised);
    TestWindow popup(kClass, "Windows Media Player", Shape::ScreenPopup);
    for (auto* rule : {&MediaPlayerFullScreen, &MediaCenterFullScreen}) {
        EXPECT_EQ(0, rule(normal.get()));
        EXPECT_EQ(1, rule(maximised.get()));
        EXPECT_EQ(1, rule(popup.get()));
        EXPECT_EQ(0, rule(nullptr)) << "no window information";
    }
}

TEST(FullScreenTestsTest, MediaPlayerAlsoTakesTheVisualiserOrAnEmptyTitle)
{
    TestWindow visualiser(kClass, "WMPVisualizeThis");
    TestWindow untitled(kClass, "");
    TestWindow otherCase(kClass, "wmpvisualizethis");
    EXPECT_EQ(1, MediaPlayerFullScreen(visualiser.get()));
    EXPECT_EQ(1, MediaPlayerFullScreen(untitled.get()));
    EXPECT_EQ(0, MediaPlayerFullScreen(otherCase.get()));
    EXPECT_EQ(0, MediaCenterFullScreen(untitled.get()));
}

TEST(FullScreenTestsTest, WinDvdLooksThroughAPlayerWindowToTheMainWindow)
{
    TestWindow player(kClass, "Player");
    EXPECT_EQ(0, WinDvdFullScreen(player.get())) << "no main window";
    {
        // The first title found decides, in the order QUORB, 5, plain.
        TestWindow plain(kClass, "InterVideo WinDVD", Shape::Maximised);
        EXPECT_EQ(1, WinDvdFullScreen(player.get()));
        TestWindow five(kClass, "InterVideo WinDVD 5");
        EXPECT_EQ(0, WinDvdFullScreen(player.get()));
        TestWindow quorb(kClass, "InterVideo WinDVD for QUORB", Shape::Maximised);
        EXPECT_EQ(1, WinDvdFullScreen(player.get()));
    }
    TestWindow maximisedOwn(kClass, "Some DVD", Shape::Maximised);
    TestWindow screenSized(kClass, "Some DVD", Shape::ScreenPopup);
    EXPECT_EQ(1, WinDvdFullScreen(maximisedOwn.get()));
    EXPECT_EQ(0, WinDvdFullScreen(screenSized.get())) << "only the maximised style counts";
}

TEST(FullScreenTestsTest, WinDvdBdLooksForItsOwnMainWindow)
{
    TestWindow player(kClass, "Player");
    TestWindow dvd(kClass, "InterVideo WinDVD for QUORB", Shape::Maximised);
    EXPECT_EQ(0, WinDvdBdFullScreen(player.get()));
    TestWindow bd(kClass, "InterVideo WinDVD BD for QUORB", Shape::Maximised);
    EXPECT_EQ(1, WinDvdBdFullScreen(player.get()));
    TestWindow own(kClass, "BD", Shape::Maximised);
    EXPECT_EQ(1, WinDvdBdFullScreen(own.get()));
}

class TitledRulesTest : public ::testing::Test {
protected:
    testsupport::ScopedKey sharedInfo_{HKEY_LOCAL_MACHINE, names::kSharedInfoKey};
};

TEST_F(TitledRulesTest, TvEnhanceWantsTheLocationsTitleAndAScreenSizedClient)
{
    TestWindow quorbPopup(kClass, "TV Enhance for QUORB", Shape::ScreenPopup);
    TestWindow plainPopup(kClass, "TVEnhance", Shape::ScreenPopup);
    TestWindow quorbMaximised(kClass, "TV Enhance for QUORB", Shape::Maximised);
    EXPECT_EQ(0, TvEnhanceFullScreen(quorbPopup.get()));
    EXPECT_EQ(1, TvEnhanceFullScreen(plainPopup.get()));

    // Asked afresh each time: no restart needed.
    testsupport::SetDword(HKEY_LOCAL_MACHINE, names::kSharedInfoKey, "dwLocation",
                          names::kLocationAtHome);
    EXPECT_EQ(1, TvEnhanceFullScreen(quorbPopup.get()));
    EXPECT_EQ(0, TvEnhanceFullScreen(plainPopup.get()));
    EXPECT_EQ(0, TvEnhanceFullScreen(quorbMaximised.get())) << "maximised but not screen-sized";
}

TEST_F(TitledRulesTest, StationTvAndEmotionalPlayerCheckTheirTitles)
{
    TestWindow stationPopup(kClass, "StationTV Digital", Shape::ScreenPopup);
    TestWindow stationMaximised(kClass, "StationTV Digital", Shape::Maximised);
    TestWindow otherPopup(kClass, "StationTV", Shape::ScreenPopup);
    EXPECT_EQ(1, StationTvFullScreen(stationPopup.get()));
    EXPECT_EQ(0, StationTvFullScreen(stationMaximised.get()));
    EXPECT_EQ(0, StationTvFullScreen(otherPopup.get()));

    TestWindow emotional(kClass, "Emotional Player");
    TestWindow emotionalOther(kClass, "Emotional player", Shape::ScreenPopup);
    EXPECT_EQ(1, EmotionalPlayerFullScreen(emotional.get())) << "any size";
    EXPECT_EQ(0, EmotionalPlayerFullScreen(emotionalOther.get()));
}

}  // namespace
}  // namespace tavrel
