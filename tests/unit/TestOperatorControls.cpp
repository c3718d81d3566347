#include "acquisition/CTamsorDoc.h"
#include "acquisition/Diagnostics.h"
#include "common/RangeText.h"
#include "config/SettingsPanel.h"
#include "display/DisplayCommands.h"
#include "support/FakePorts.h"

#include <gtest/gtest.h>

namespace vexar {
namespace {

class ControlsTest : public ::testing::Test {
protected:
    ControlsTest() : doc(CTamsorDoc::Create(world.Ports())) { doc->Head(0).m_displayMode = 0; }
    CommandState State(int id) { return QueryDisplayCommand(*doc, id).value(); }

    test::FakeWorld world;
    std::unique_ptr<CTamsorDoc> doc;
};

TEST_F(ControlsTest, ChoosingTheZoomInUseChangesNothing) {
    doc->m_imageReset = 0;
    ExecuteDisplayCommand(*doc, kCmdZoom100);
    EXPECT_EQ(doc->m_imageReset, 0);
    doc->m_panX = 30;
    ExecuteDisplayCommand(*doc, kCmdZoomFill);
    EXPECT_EQ(doc->m_imageReset, 1);
    EXPECT_EQ(doc->m_zoomIndex, 2);
    EXPECT_EQ(doc->m_panX, 0);
    EXPECT_TRUE(State(kCmdZoomFill).checked);
    EXPECT_FALSE(State(kCmdZoom50).checked);
}

TEST_F(ControlsTest, GridFollowsTheModeAndItsItemsAreEnabledByMode) {
    doc->m_grid = 1;
    EXPECT_FALSE(State(kCmdGridLine).enabled);
    EXPECT_TRUE(State(kCmdGridRectangular).enabled);
    ExecuteDisplayCommand(*doc, kCmdModeBeamTest);
    EXPECT_EQ(doc->m_grid, 3);
    EXPECT_EQ(doc->Head(2).m_displayMode, 2);
    EXPECT_EQ(doc->m_clearImage, 1);
    EXPECT_FALSE(State(kCmdGridPolar).enabled);
    EXPECT_FALSE(State(kCmdGridRectangular).enabled);
    EXPECT_TRUE(State(kCmdGridLine).enabled);
    EXPECT_TRUE(State(kCmdModeBeamTest).checked);
    ExecuteDisplayCommand(*doc, kCmdModePolar);
    EXPECT_EQ(doc->m_grid, 1);
    ExecuteDisplayCommand(*doc, kCmdGridNone);
    ExecuteDisplayCommand(*doc, kCmdModeBeamTest);
    EXPECT_EQ(doc->m_grid, 0);
}

TEST_F(ControlsTest, DataPointsRaiseTheShortRangeAndAreLockedInPlayback) {
    doc->Head(0).m_rangeM = 1.25f;
    doc->Head(0).m_rangeIndex = 0;
    ExecuteDisplayCommand(*doc, kCmdPoints1000);
    EXPECT_FLOAT_EQ(doc->Head(0).m_rangeM, 2.5f);
    EXPECT_EQ(doc->Head(0).m_rangeIndex, 1);
    EXPECT_EQ(doc->Head(3).m_samples, 1000);
    EXPECT_TRUE(State(kCmdPoints1000).checked);
    doc->m_playback = 1;
    EXPECT_FALSE(State(kCmdPoints500).enabled);
    ExecuteDisplayCommand(*doc, kCmdPoints500);
    EXPECT_EQ(doc->Head(0).m_samples, 1000);
}

TEST_F(ControlsTest, ProfileMenusFollowDetection) {
    doc->Head(0).m_detectProfilePoints = 0;
    EXPECT_TRUE(State(kCmdProfileOff).checked);
    EXPECT_FALSE(State(kCmdMixMedium).enabled);
    ExecuteDisplayCommand(*doc, kCmdProfileOff);
    EXPECT_EQ(doc->Head(3).m_detectProfilePoints, 1);
    EXPECT_TRUE(State(kCmdMixMedium).enabled);
    ExecuteDisplayCommand(*doc, kCmdPointsOnly);
    EXPECT_EQ(doc->m_profileDisplay, 3);
    ExecuteDisplayCommand(*doc, kCmdFilterBottom);
    EXPECT_EQ(doc->Head(2).m_profileFilterType, 2);
    EXPECT_TRUE(State(kCmdFilterBottom).checked);
}

TEST_F(ControlsTest, BeamsWidthAveragingAndTablesAreCheckedByValue) {
    ExecuteDisplayCommand(*doc, kCmdBeams720);
    EXPECT_EQ(doc->Head(1).m_beams, 240);
    ExecuteDisplayCommand(*doc, kCmdWidthWide);
    EXPECT_EQ(doc->Head(3).m_beamWidth, 0);
    ExecuteDisplayCommand(*doc, kCmdAverage7);
    EXPECT_EQ(doc->Head(0).m_average, 7);
    EXPECT_TRUE(State(kCmdAverage7).checked);
    ExecuteDisplayCommand(*doc, kCmdAverageOff);
    EXPECT_EQ(doc->Head(0).m_average, 1);
    ExecuteDisplayCommand(*doc, kCmdColorFirst + 4);
    EXPECT_EQ(doc->m_colorTable, 4);
    EXPECT_TRUE(State(kCmdColorFirst + 4).checked);
    EXPECT_FALSE(State(kCmdComPort).enabled);
    EXPECT_FALSE(QueryDisplayCommand(*doc, kCmdRecordR96).has_value());
}

TEST_F(ControlsTest, MeasureCommandStartsAndEndsMeasuring) {
    ExecuteDisplayCommand(*doc, kCmdMeasure);
    EXPECT_EQ(doc->m_measuring, 1);
    ExecuteDisplayCommand(*doc, kCmdMeasure);
    EXPECT_EQ(doc->m_measuring, 0);
}

TEST_F(ControlsTest, TransducerUpSwapsHeadsAndForgetsHistory) {
    doc->Head(0).m_transducerUp = 0;
    doc->m_imageReset = 0;
    ExecuteDisplayCommand(*doc, kCmdTransducerUp);
    EXPECT_EQ(doc->Head(3).m_transducerUp, 1);
    EXPECT_EQ(doc->Head(1).m_azimuth, 900);
    EXPECT_EQ(doc->m_imageReset, 1);
    EXPECT_TRUE(State(kCmdTransducerUp).checked);
}

TEST_F(ControlsTest, KeysHoldAndCycleTheZoom) {
    EXPECT_TRUE(HandleViewKey(*doc, 'z'));
    EXPECT_TRUE(HandleViewKey(*doc, 'Z'));
    EXPECT_EQ(doc->m_zoomIndex, 2);
    EXPECT_TRUE(HandleViewKey(*doc, 'z'));
    EXPECT_EQ(doc->m_zoomIndex, 0);
    EXPECT_TRUE(HandleViewKey(*doc, 'H'));
    EXPECT_EQ(doc->m_hold, 1);
    EXPECT_FALSE(HandleViewKey(*doc, 'q'));
}

TEST_F(ControlsTest, BarUpDownsStopAtTheirLimits) {
    doc->Head(0).m_rangeIndex = 4;
    EXPECT_FALSE(StepRange(*doc, +1));
    doc->Head(0).m_rangeIndex = 1;
    EXPECT_FALSE(StepRange(*doc, -1));
    EXPECT_TRUE(StepRange(*doc, +1));
    EXPECT_FLOAT_EQ(doc->Head(3).m_rangeM, 5.0f);
    doc->m_playback = 1;
    EXPECT_FALSE(StepRange(*doc, +1));

    doc->m_startGain = 20;
    EXPECT_FALSE(StepStartGain(*doc, +1));
    doc->m_startGain = 0;
    EXPECT_FALSE(StepStartGain(*doc, -1));
    doc->Head(0).m_displayGain = 100;
    EXPECT_FALSE(StepDisplayGain(*doc, +1));
    doc->Head(0).m_displayGain = 1;
    EXPECT_FALSE(StepDisplayGain(*doc, -1));
    EXPECT_TRUE(StepDisplayGain(*doc, +1));
    EXPECT_EQ(doc->Head(2).m_displayGain, 2);

    doc->m_sleepTimeMs = 0;
    EXPECT_EQ(SpeedBarPosition(*doc), 20);
    EXPECT_FALSE(StepSpeed(*doc, +1));
    EXPECT_TRUE(StepSpeed(*doc, -1));
    EXPECT_EQ(doc->m_sleepTimeMs, 50);
    EXPECT_EQ(world.timers.DelayOf(kPlaybackTimer), 50);
    doc->m_sleepTimeMs = 1000;
    EXPECT_EQ(SpeedBarPosition(*doc), 0);
    EXPECT_FALSE(StepSpeed(*doc, -1));
}

TEST(RangeTexts, MetricAndImperialThresholds) {
    EXPECT_EQ(RangeText(10.0f, 0), "10 m");
    EXPECT_EQ(RangeText(2.5f, 0), "2.5 m");
    EXPECT_EQ(RangeText(1.25f, 0), "1.25 m");
    EXPECT_EQ(RangeText(1.5f, 0), "1 m");
    EXPECT_EQ(RangeText(10.0f, 1), "30 ft");
    EXPECT_EQ(RangeText(2.5f, 1), "7.5 ft");
    EXPECT_EQ(RangeText(1.25f, 1), "3.75 ft");
}

TEST_F(ControlsTest, DiagnosticsTexts) {
    const auto initial = InitialDiagnosticsTexts();
    EXPECT_EQ(initial[0], ":   n/a");
    EXPECT_EQ(initial[18], ":   No");
    auto t = UpdateDiagnosticsTexts(*doc);
    EXPECT_EQ(t[0], ":   ");
    EXPECT_EQ(t[1], ":   0x10");
    EXPECT_EQ(t[2], ":   0x00 ");
    EXPECT_EQ(t[3], ":   0x01 ");
    EXPECT_EQ(t[6], ":   n/a");
    EXPECT_EQ(t[16], ":   1480.0 (n/a) m/s");
    doc->Head(0).m_frequencyStep = -3;
    doc->m_unit = 1;
    doc->Head(0).m_rangeM = 2.5f;
    doc->m_playback = 1;
    doc->m_sonarTimeMs = 12.0f;
    doc->m_acquisitionTimeMs = 99.6f;
    doc->m_fileStartGain = 4;
    t = UpdateDiagnosticsTexts(*doc);
    EXPECT_EQ(t[8], ":   673.5 kHz");
    EXPECT_EQ(t[4], ":   7.5 ft");
    EXPECT_EQ(t[11], ":   100 msec");
    EXPECT_EQ(t[12], ":   12 msec");
    EXPECT_EQ(t[6], ":   4 dB");
    EXPECT_EQ(t[16], ":   1480.0 (1480.0) m/s");
    // The link's counters follow the existing rows; the ping rate is that of pings coming now.
    doc->m_linkStats.pingsPerSecond = 12.34f;
    doc->m_linkStats.retries = 3;
    doc->m_linkStats.skipped = 4;
    doc->m_linkStats.reconnects = 5;
    t = UpdateDiagnosticsTexts(*doc);
    EXPECT_EQ(std::vector<std::string>(t.begin() + 19, t.end()),
              (std::vector<std::string>{":   0.0", ":   3", ":   4", ":   5"}));
    doc->m_playback = 0;
    doc->m_connected = 1;
    doc->m_pingedSinceConnect = true;
    EXPECT_EQ(UpdateDiagnosticsTexts(*doc)[19], ":   12.3");
    EXPECT_STREQ(kDiagnosticsLayout[19].label, "Pings/s");
}

TEST_F(ControlsTest, SettingsPanelSpinsListsAndTexts) {
    CSettingsPanel panel;
    COndrel& h = doc->Head(0);
    h.m_rangeIndex = 4;
    h.m_rangeM = 20.0f;
    h.m_pulseLengthMultiplier = 1.0f;
    h.m_average = 5;
    auto v = panel.Refresh(*doc);
    EXPECT_EQ(v.pulseLength, "120 us");
    EXPECT_EQ(v.range, "20 m");
    EXPECT_EQ(v.averagingSelection, 2);
    EXPECT_FALSE(panel.Spin(*doc, SettingsSpin::Range, +1));
    h.m_rangeM = 2.5f;
    h.m_rangeIndex = 1;
    h.m_pulseLengthMultiplier = 2.0f;
    EXPECT_EQ(panel.Refresh(*doc).pulseLength, "40 us");
    h.m_rangeM = 1.25f;
    h.m_pulseLengthMultiplier = 1.0f;
    EXPECT_EQ(panel.Refresh(*doc).pulseLength, "10 us");
    panel.SelectPoints(*doc, 1);
    EXPECT_FLOAT_EQ(h.m_rangeM, 2.5f);
    EXPECT_EQ(doc->Head(3).m_samples, 1000);
    h.m_pulseLengthMultiplier = 0.5f;
    panel.SelectPoints(*doc, 0);
    EXPECT_FLOAT_EQ(h.m_pulseLengthMultiplier, 1.0f);
    EXPECT_FALSE(panel.Spin(*doc, SettingsSpin::Multiplier, -1)); // at least 1.0 with 500 samples
    EXPECT_TRUE(panel.Spin(*doc, SettingsSpin::Multiplier, +3));
    EXPECT_FLOAT_EQ(h.m_pulseLengthMultiplier, 1.3f);
    EXPECT_TRUE(panel.Spin(*doc, SettingsSpin::QuadrantGain, +25, 2));
    EXPECT_EQ(doc->Head(2).m_quadrantGain, 20);
    EXPECT_EQ(doc->Head(1).m_quadrantGain, 0);
    EXPECT_FALSE(panel.Spin(*doc, SettingsSpin::QuadrantGain, +1, 2));

    doc->m_playback = 1;
    doc->m_fileDisplayGain = 44;
    doc->m_fileQuadrantGains = {1, 2, 3, 4};
    EXPECT_FALSE(panel.Spin(*doc, SettingsSpin::Range, +1));
    EXPECT_FALSE(panel.Spin(*doc, SettingsSpin::Frequency, +1));
    EXPECT_TRUE(panel.Spin(*doc, SettingsSpin::StartGain, +1));
    v = panel.Refresh(*doc);
    EXPECT_FALSE(v.frequencyEnabled);
    EXPECT_FALSE(v.pointsEnabled);
    EXPECT_EQ(v.fileDataGain, " (44 %)");
    EXPECT_EQ(v.fileQuadrantGains[3], " (4 dB)");
}

// A typed value goes where the spin's clicks would take it, within the same limits.
TEST_F(ControlsTest, TypedSettingsStepTheSpinsWithinTheirLimits) {
    CSettingsPanel panel;
    COndrel& h = doc->Head(0);
    EXPECT_TRUE(panel.ApplyTyped(*doc, SettingsSpin::DataGain, " 72 %"));
    EXPECT_EQ(doc->Head(3).m_displayGain, 72);
    EXPECT_TRUE(panel.ApplyTyped(*doc, SettingsSpin::StartGain, "45 dB"));
    EXPECT_EQ(doc->m_startGain, 20);
    EXPECT_TRUE(panel.ApplyTyped(*doc, SettingsSpin::Range, "6"));
    EXPECT_FLOAT_EQ(h.m_rangeM, 5.0f); // the nearest of 2.5, 5, 10 and 20 m
    EXPECT_TRUE(panel.ApplyTyped(*doc, SettingsSpin::Range, "0.5"));
    EXPECT_FLOAT_EQ(doc->Head(2).m_rangeM, 2.5f);
    doc->m_unit = 1;
    EXPECT_TRUE(panel.ApplyTyped(*doc, SettingsSpin::Range, "30 ft"));
    EXPECT_FLOAT_EQ(h.m_rangeM, 10.0f);
    EXPECT_TRUE(panel.ApplyTyped(*doc, SettingsSpin::Frequency, "676.5"));
    EXPECT_EQ(h.m_frequencyStep, 3);
    EXPECT_TRUE(panel.ApplyTyped(*doc, SettingsSpin::Multiplier, "1.7"));
    EXPECT_FLOAT_EQ(doc->Head(1).m_pulseLengthMultiplier, 1.7f);
    EXPECT_EQ(h.m_pulseLength, COndrel::PulseLengthFor(10.0f, 1.7f));
    // Not a number, or a box that only shows a value: nothing changes.
    EXPECT_FALSE(panel.ApplyTyped(*doc, SettingsSpin::DataGain, "lots"));
    EXPECT_EQ(h.m_displayGain, 72);
    EXPECT_FALSE(panel.ApplyTyped(*doc, SettingsSpin::Persistence, "10"));
    EXPECT_EQ(h.m_persistence, 0);
    // In playback the range comes from the file.
    doc->m_playback = 1;
    EXPECT_TRUE(panel.ApplyTyped(*doc, SettingsSpin::Range, "20"));
    EXPECT_FLOAT_EQ(h.m_rangeM, 10.0f);
}

// The pulse follows a change of range or multiplier at once, not a later refresh of the dialog.
TEST_F(ControlsTest, RangeAndMultiplierSpinsSetThePulse) {
    CSettingsPanel panel;
    COndrel& h = doc->Head(0);
    h.m_rangeIndex = 3;
    h.m_rangeM = 10.0f;
    h.m_samples = 1000;
    h.m_pulseLengthMultiplier = 1.0f;
    h.m_pulseLength = 0;
    ASSERT_TRUE(panel.Spin(*doc, SettingsSpin::Range, +1));
    EXPECT_EQ(h.m_pulseLength, 12);
    ASSERT_TRUE(panel.Spin(*doc, SettingsSpin::Multiplier, -5));
    EXPECT_EQ(h.m_pulseLength, COndrel::PulseLengthFor(20.0f, 0.5f));
    EXPECT_FLOAT_EQ(doc->Head(3).m_pulseLengthMultiplier, 0.5f);
    ASSERT_TRUE(panel.Spin(*doc, SettingsSpin::PulseLength, +40));
    EXPECT_EQ(h.m_pulseLength, COndrel::PulseLengthFor(20.0f, 0.5f));
}

TEST_F(ControlsTest, SoundVelocityAndPingDelayDialogs) {
    EXPECT_FLOAT_EQ(AcceptSoundVelocity("1700"), 1600.0f);
    EXPECT_FLOAT_EQ(AcceptSoundVelocity("fast"), 1400.0f);
    EXPECT_FLOAT_EQ(SpinSoundVelocity(1500.0f, 3), 1500.3f);
    EXPECT_FLOAT_EQ(SpinSoundVelocity(1599.9f, 5), 1600.0f);
    EXPECT_EQ(AcceptPingDelay("7000"), 5000);
    EXPECT_EQ(AcceptPingDelay("-5"), 0);
    EXPECT_EQ(SpinPingDelay(0, -1), 0);

    doc->m_playback = 1;
    ApplySoundVelocity(*doc, 1520.0f, true);
    EXPECT_FLOAT_EQ(doc->m_soundVelocity, 1480.0f); // the played records supply it
    EXPECT_EQ(doc->m_useFileSlc, 1);
    EXPECT_EQ(doc->m_soundVelocityChanged, 1);
    ApplySoundVelocity(*doc, 1520.0f, false);
    EXPECT_FLOAT_EQ(doc->m_soundVelocity, 1520.0f);
}

} // namespace
} // namespace vexar
