// The up-downs of the live and playback bars stop at their limits and write their texts.

#include "ConsoleFixture.h"

#include "app/CInfoPanel.h"
#include "app/CUpDown.h"
#include "app/ControlBars.h"
#include "support/NavigationSample.h"

#include <QLabel>
#include <QLineEdit>
#include <QProgressBar>
#include <QSlider>
#include <QToolBar>

namespace vexar::test {
namespace {

class BarTest : public ConsoleTest {
protected:
    CLiveBar& Live() { return *m_frame->LiveBar(); }
    CPlaybackBar& Playback() { return *m_frame->PlaybackBar(); }
    void Click(CUpDown* upDown, int step, int times = 1) {
        for (int i = 0; i < times; ++i) {
            upDown->Click(step);
        }
    }
};

TEST_F(BarTest, LiveBarShowsAtStartAndPlaybackBarIsHidden) {
    EXPECT_TRUE(m_frame->LiveBand()->isVisible());
    EXPECT_FALSE(m_frame->PlaybackBand()->isVisible());
    EXPECT_EQ(Live().m_rangeText->text(), QStringLiteral("10 m"));
    m_frame->OnPlaybackOpened(12345);
    EXPECT_FALSE(m_frame->LiveBand()->isVisible());
    EXPECT_TRUE(m_frame->PlaybackBand()->isVisible());
    EXPECT_EQ(m_frame->BytesPerSliderStep(), 123u);
    EXPECT_EQ(Playback().m_filePos->maximum(), 100);
    EXPECT_EQ(Playback().m_filePos->tickInterval(), 10);
    m_frame->OnRealTimeStarted();
    EXPECT_TRUE(m_frame->LiveBand()->isVisible());
}

TEST_F(BarTest, RangeStopsAtItsEndsAndIsRefusedInPlayback) {
    Click(Live().m_rangeUpDown, +1, 5);
    EXPECT_EQ(m_doc->Shown().Settings().rangeIndex, 4);
    EXPECT_FLOAT_EQ(m_doc->Shown().Settings().rangeM, 20.0f);
    EXPECT_EQ(Live().m_rangeText->text(), QStringLiteral("20 m"));
    Click(Live().m_rangeUpDown, -1, 6);
    EXPECT_EQ(m_doc->Shown().Settings().rangeIndex, 1);
    EXPECT_EQ(Live().m_rangeText->text(), QStringLiteral("2.5 m"));
    m_frame->OnCommand(kCmdUnitsImperial);
    EXPECT_EQ(Live().m_rangeText->text(), QStringLiteral("7.5 ft"));

    ASSERT_NO_FATAL_FAILURE(Play(MakeRawRecord(64, 0)));
    Click(Live().m_rangeUpDown, +1);
    EXPECT_EQ(m_doc->Shown().Settings().rangeIndex, 1);
}

TEST_F(BarTest, GainsStopAtTheirLimitsInBothBars) {
    Click(Live().m_gains.startGainUpDown, +1, 25);
    EXPECT_EQ(m_doc->Shown().Settings().startGainDb, 20);
    EXPECT_EQ(Live().m_gains.startGainText->text(), QStringLiteral("20 dB"));
    EXPECT_EQ(Playback().m_gains.startGainText->text(), QStringLiteral("20 dB"));
    Click(Playback().m_gains.startGainUpDown, -1, 25);
    EXPECT_EQ(m_doc->Shown().Settings().startGainDb, 0);
    EXPECT_EQ(Live().m_gains.startGainText->text(), QStringLiteral("0 dB"));

    Click(Live().m_gains.displayGainUpDown, +1, 120);
    EXPECT_EQ(m_doc->Shown().Settings().displayGain, 100);
    EXPECT_EQ(Playback().m_gains.displayGainText->text(), QStringLiteral("100 %"));
    Click(Live().m_gains.displayGainUpDown, -1, 120);
    EXPECT_EQ(m_doc->Shown().Settings().displayGain, 1);
    EXPECT_EQ(Live().m_gains.displayGainText->text(), QStringLiteral("1 %"));
}

TEST_F(BarTest, SpeedMovesTheSleepTimeAndTheProgressBar) {
    m_doc->EditSettings([](Settings& s) { s.system.sleepTimeMs = 100; });
    m_frame->OnPlaybackOpened(1000);
    EXPECT_EQ(Playback().m_speedBar->value(), 18);
    Click(Playback().m_speedUpDown, +1, 5);
    EXPECT_EQ(m_doc->GetSettings().system.sleepTimeMs, 0);
    EXPECT_EQ(Playback().m_speedBar->value(), 20);
    Click(Playback().m_speedUpDown, -1, 25);
    EXPECT_EQ(m_doc->GetSettings().system.sleepTimeMs, 1000);
    EXPECT_EQ(Playback().m_speedBar->value(), 0);
}

TEST_F(BarTest, InfoPanelHasItsLabelsAndShowsTheClock) {
    const CInfoBar& first = *m_frame->InfoPanel()->First();
    const CInfoBar& second = *m_frame->InfoPanel()->Second();
    const std::pair<int, const char*> firstLabels[] = {
        {2, "Bearing:"}, {7, "Roll:"}, {10, "Altitude:"}, {13, "Long:"}, {16, "Heading:"}};
    const std::pair<int, const char*> secondLabels[] = {
        {2, "Range:"}, {7, "Pitch:"}, {10, "Depth:"}, {13, "Lat:"}, {16, "Speed:"}};
    for (const auto& [pane, text] : firstLabels) {
        EXPECT_EQ(first.Pane(pane)->text(), QString::fromLatin1(text));
    }
    for (const auto& [pane, text] : secondLabels) {
        EXPECT_EQ(second.Pane(pane)->text(), QString::fromLatin1(text));
    }
    EXPECT_FALSE(first.Pane(4)->isEnabled());
    EXPECT_TRUE(first.Pane(6)->isEnabled());
    EXPECT_TRUE(second.Pane(9)->isEnabled());
    EXPECT_FALSE(first.Pane(9)->isEnabled());
    EXPECT_GT(first.Pane(14)->width(), first.Pane(13)->width());

    // A played ping brings its record's time and its sentence's navigation.
    ASSERT_NO_FATAL_FAILURE(Play(MakeRawRecord(64, 0, kSampleNavigationSentence)));
    ASSERT_EQ(m_doc->Playback().Step(), StepResult::Ping);
    EXPECT_EQ(first.Pane(5)->text(), QStringLiteral("11:41:39"));
    EXPECT_EQ(second.Pane(5)->text(), QStringLiteral("07-12-2026"));
    EXPECT_EQ(first.Pane(17)->text(), QStringLiteral("64.8 deg."));
    EXPECT_EQ(second.Pane(11)->text(), QStringLiteral("-35.400 m"));
    EXPECT_EQ(second.Pane(19)->text(), QStringLiteral("10/14/1999"));
}

} // namespace
} // namespace vexar::test
