#include "acquisition/CTamsorDoc.h"
#include "acquisition/Diagnostics.h"
#include "acquisition/DocumentCommands.h"
#include "acquisition/LinkStatus.h"
#include "common/RangeText.h"
#include "common/TextFormat.h"
#include "config/SettingsPanel.h"
#include "display/CPictureModel.h"
#include "support/RecordingFixture.h"

#include <gtest/gtest.h>

namespace vexar {
namespace {

// The operator's commands on a document started in real time (polar display, 10 m, 1000 samples).
class ControlsTest : public ::testing::Test {
protected:
    void Run(int id) {
        const DocumentCommand* command = FindCommand(DocumentCommands(), id);
        ASSERT_NE(command, nullptr) << id;
        command->action(doc, command->value);
    }
    CommandState State(int id) {
        const DocumentCommand* command = FindCommand(DocumentCommands(), id);
        return command != nullptr && command->state != nullptr ? command->state(doc, command->value)
                                                               : CommandState{};
    }
    /// Plays a recording (held at its start): the file, not the head, gives the pings.
    void Play() {
        test::WriteFile(f.folder / "played.R96", test::MakeRawRecord(64, 0));
        ASSERT_TRUE(doc.OpenPlayback(f.folder / "played.R96"));
    }

    test::DocFixture f;
    CTamsorDoc& doc = *f.doc;
};

TEST_F(ControlsTest, ChoosingTheZoomInUseChangesNothing) {
    const std::uint64_t geometry = doc.Shown().GeometryVersion();
    Run(kCmdZoom100);
    EXPECT_EQ(doc.Shown().GeometryVersion(), geometry);
    Run(kCmdZoomFill);
    EXPECT_NE(doc.Shown().GeometryVersion(), geometry);
    EXPECT_EQ(doc.GetSettings().view.zoomIndex, 2);
    EXPECT_TRUE(State(kCmdZoomFill).checked);
    EXPECT_FALSE(State(kCmdZoom50).checked);
}

TEST_F(ControlsTest, GridFollowsTheModeAndItsItemsAreEnabledByMode) {
    ASSERT_EQ(doc.GetSettings().view.grid, GridStyle::Polar);
    EXPECT_FALSE(State(kCmdGridLine).enabled);
    EXPECT_TRUE(State(kCmdGridRectangular).enabled);
    const std::uint64_t clears = doc.Shown().ClearVersion();
    Run(kCmdModeBeamTest);
    EXPECT_EQ(doc.GetSettings().view.grid, GridStyle::Line);
    EXPECT_EQ(doc.Shown().Settings().displayMode, kDisplayModeBeamTest);
    EXPECT_NE(doc.Shown().ClearVersion(), clears);
    EXPECT_FALSE(State(kCmdGridPolar).enabled);
    EXPECT_FALSE(State(kCmdGridRectangular).enabled);
    EXPECT_TRUE(State(kCmdGridLine).enabled);
    EXPECT_TRUE(State(kCmdModeBeamTest).checked);
    Run(kCmdModePolar);
    EXPECT_EQ(doc.GetSettings().view.grid, GridStyle::Polar);
    Run(kCmdGridNone);
    Run(kCmdModeBeamTest);
    EXPECT_EQ(doc.GetSettings().view.grid, GridStyle::None);
}

TEST_F(ControlsTest, DataPointsRaiseTheShortRangeAndAreLockedInPlayback) {
    doc.EditSettings([](Settings& s) {
        s.sonar.rangeM = 1.25f;
        s.sonar.samples = 500;
    });
    Run(kCmdPoints1000);
    EXPECT_FLOAT_EQ(doc.Shown().Settings().rangeM, 2.5f);
    EXPECT_EQ(doc.Shown().Settings().rangeIndex, 1);
    EXPECT_EQ(doc.Shown().Settings().samples, 1000);
    EXPECT_TRUE(State(kCmdPoints1000).checked);
    Play();
    EXPECT_FALSE(State(kCmdPoints500).enabled);
    Run(kCmdPoints500);
    EXPECT_EQ(doc.Shown().Settings().samples, 1000);
}

// The menu and the settings dialog choose the data points by one rule: 1000 give the same settings
// either way; 500 differ only as they should, the dialog raising a multiplier below 1 at once
// where the menu leaves it to the next command packet.
TEST_F(ControlsTest, MenuAndDialogChooseDataPointsByOneRule) {
    const auto from = [this](int samples) {
        doc.EditSettings([samples](Settings& s) {
            s.sonar.rangeM = 1.25f;
            s.sonar.samples = samples;
            s.sonar.pulseLengthMultiplier = 0.5f;
        });
    };
    const auto dialog = [this](int index) {
        doc.EditSettings([index](Settings& s) { CSettingsPanel::SelectPoints(s, true, index); });
    };
    from(500);
    Run(kCmdPoints1000);
    const PingSettings menu = doc.Shown().Settings();
    from(500);
    dialog(1);
    EXPECT_EQ(doc.Shown().Settings(), menu);
    EXPECT_FLOAT_EQ(menu.rangeM, 2.5f);
    EXPECT_EQ(menu.pulseLength, PulseLengthFor(2.5f, 0.5f));

    from(1000);
    Run(kCmdPoints500);
    EXPECT_FLOAT_EQ(doc.Shown().Settings().pulseLengthMultiplier, 0.5f);
    from(1000);
    dialog(0);
    EXPECT_FLOAT_EQ(doc.Shown().Settings().pulseLengthMultiplier, 1.0f);
    EXPECT_EQ(doc.Shown().Settings().samples, 500);
}

TEST_F(ControlsTest, ProfileMenusFollowDetection) {
    ASSERT_EQ(doc.Shown().Settings().detectProfilePoints, 0);
    EXPECT_TRUE(State(kCmdProfileOff).checked);
    EXPECT_FALSE(State(kCmdMixMedium).enabled);
    Run(kCmdProfileOff);
    EXPECT_EQ(doc.Shown().Settings().detectProfilePoints, 1);
    EXPECT_TRUE(State(kCmdMixMedium).enabled);
    Run(kCmdPointsOnly);
    EXPECT_EQ(doc.GetSettings().view.profileDisplay, 3);
    Run(kCmdFilterBottom);
    EXPECT_EQ(doc.Shown().Settings().profileFilterType, 2);
    EXPECT_TRUE(State(kCmdFilterBottom).checked);
}

TEST_F(ControlsTest, BeamsWidthAveragingAndTablesAreCheckedByValue) {
    Run(kCmdBeams720);
    EXPECT_EQ(doc.Shown().Settings().beams, 240);
    Run(kCmdWidthWide);
    EXPECT_EQ(doc.Shown().Settings().beamWidth, 0);
    Run(kCmdAverage7);
    EXPECT_EQ(doc.Shown().Settings().average, 7);
    EXPECT_TRUE(State(kCmdAverage7).checked);
    Run(kCmdAverageOff);
    EXPECT_EQ(doc.Shown().Settings().average, 1);
    Run(kCmdColorTable4);
    EXPECT_EQ(doc.GetSettings().view.colorTable, 4);
    EXPECT_TRUE(State(kCmdColorTable4).checked);
}

TEST_F(ControlsTest, TransducerUpSwapsHeadsAndForgetsHistory) {
    ASSERT_EQ(doc.Shown().Settings().transducerUp, 0);
    const std::uint64_t geometry = doc.Shown().GeometryVersion();
    Run(kCmdTransducerUp);
    EXPECT_EQ(doc.Shown().Settings().transducerUp, 1);
    EXPECT_EQ(doc.Shown().Settings().Head(1).azimuth, 900);
    EXPECT_NE(doc.Shown().GeometryVersion(), geometry);
    EXPECT_TRUE(State(kCmdTransducerUp).checked);
}

TEST_F(ControlsTest, KeysHoldAndCycleTheZoom) {
    EXPECT_TRUE(HandleViewKey(doc, 'z'));
    EXPECT_TRUE(HandleViewKey(doc, 'Z'));
    EXPECT_EQ(doc.GetSettings().view.zoomIndex, 2);
    EXPECT_TRUE(HandleViewKey(doc, 'z'));
    EXPECT_EQ(doc.GetSettings().view.zoomIndex, 0);
    EXPECT_TRUE(HandleViewKey(doc, 'H'));
    EXPECT_TRUE(doc.IsHeld());
    EXPECT_FALSE(HandleViewKey(doc, 'q'));
}

TEST_F(ControlsTest, BarUpDownsStopAtTheirLimits) {
    doc.EditSettings([](Settings& s) { s.sonar.rangeIndex = 4; });
    EXPECT_FALSE(StepRange(doc, +1));
    doc.EditSettings([](Settings& s) { s.sonar.rangeIndex = 1; });
    EXPECT_FALSE(StepRange(doc, -1));
    EXPECT_TRUE(StepRange(doc, +1));
    EXPECT_FLOAT_EQ(doc.Shown().Settings().rangeM, 5.0f);
    Play();
    EXPECT_FALSE(StepRange(doc, +1));

    doc.EditSettings([](Settings& s) { s.sonar.startGainDb = 20; });
    EXPECT_FALSE(StepStartGain(doc, +1));
    doc.EditSettings([](Settings& s) { s.sonar.startGainDb = 0; });
    EXPECT_FALSE(StepStartGain(doc, -1));
    doc.EditSettings([](Settings& s) { s.sonar.displayGain = 100; });
    EXPECT_FALSE(StepDisplayGain(doc, +1));
    doc.EditSettings([](Settings& s) { s.sonar.displayGain = 1; });
    EXPECT_FALSE(StepDisplayGain(doc, -1));
    EXPECT_TRUE(StepDisplayGain(doc, +1));
    EXPECT_EQ(doc.Shown().Settings().displayGain, 2);

    doc.EditSettings([](Settings& s) { s.system.sleepTimeMs = 0; });
    EXPECT_EQ(SpeedBarPosition(doc), 20);
    EXPECT_FALSE(StepSpeed(doc, +1));
    EXPECT_TRUE(StepSpeed(doc, -1));
    EXPECT_EQ(doc.GetSettings().system.sleepTimeMs, 50);
    EXPECT_EQ(f.world.timers.DelayOf(kPlaybackTimer), 50);
    doc.EditSettings([](Settings& s) { s.system.sleepTimeMs = 1000; });
    EXPECT_EQ(SpeedBarPosition(doc), 0);
    EXPECT_FALSE(StepSpeed(doc, -1));
}

TEST(RangeTexts, MetricAndImperialThresholds) {
    EXPECT_EQ(RangeText(10.0f, DistanceUnit::Metric), "10 m");
    EXPECT_EQ(RangeText(2.5f, DistanceUnit::Metric), "2.5 m");
    EXPECT_EQ(RangeText(1.25f, DistanceUnit::Metric), "1.25 m");
    EXPECT_EQ(RangeText(1.5f, DistanceUnit::Metric), "1 m");
    EXPECT_EQ(RangeText(10.0f, DistanceUnit::Imperial), "30 ft");
    EXPECT_EQ(RangeText(2.5f, DistanceUnit::Imperial), "7.5 ft");
    EXPECT_EQ(RangeText(1.25f, DistanceUnit::Imperial), "3.75 ft");
}

TEST_F(ControlsTest, DiagnosticsTexts) {
    const auto initial = InitialDiagnosticsTexts();
    EXPECT_EQ(initial[0], ":   n/a");
    EXPECT_EQ(initial[18], ":   No");
    auto t = UpdateDiagnosticsTexts(doc);
    EXPECT_EQ(t[0], ":   ");
    EXPECT_EQ(t[1], ":   0x10");
    EXPECT_EQ(t[2], ":   0x00 ");
    EXPECT_EQ(t[3], ":   0x01 ");
    EXPECT_EQ(t[6], ":   n/a");
    EXPECT_EQ(t[16], ":   1480.0 (n/a) m/s");
    doc.EditSettings([](Settings& s) {
        s.sonar.frequencyStep = -3;
        s.view.unit = DistanceUnit::Imperial;
        s.sonar.rangeM = 2.5f;
    });
    t = UpdateDiagnosticsTexts(doc);
    EXPECT_EQ(t[8], ":   673.5 kHz");
    EXPECT_EQ(t[4], ":   7.5 ft");

    // The link's counters follow the existing rows; the ping rate is that of pings coming now.
    const auto answer = f.world.link.m_responder;
    f.world.link.m_responder = [&](const std::vector<std::uint8_t>& packet) {
        f.world.clock.Advance(1); // each reply takes a millisecond
        return answer(packet);
    };
    f.abandonAt = 5; // one block goes unanswered: it is asked for again, then its ping is too
    f.RunLivePings(3);
    const LinkStats stats = doc.Live().Link().stats;
    ASSERT_GT(stats.pingsPerSecond, 0.0f);
    ASSERT_EQ(stats.retries, 1u);
    t = UpdateDiagnosticsTexts(doc);
    EXPECT_EQ(t[19], FormatText(":   %.1f", static_cast<double>(stats.pingsPerSecond)));
    EXPECT_EQ(std::vector<std::string>(t.begin() + 20, t.end()),
              (std::vector<std::string>{":   1", FormatText(":   %d", kBlockRetries), ":   0", ":   0"}));
    EXPECT_STREQ(kDiagnosticsLayout[19].label, "Pings/s");

    PingInput timed;
    timed.settings = doc.Shown().Settings();
    timed.requestTime = f.world.clock.Now();
    timed.sonarTimeMs = 12.0f;
    timed.acquisitionTimeMs = 99.6f;
    doc.EnterPing(timed);
    t = UpdateDiagnosticsTexts(doc);
    EXPECT_EQ(t[11], ":   100 msec");
    EXPECT_EQ(t[12], ":   12 msec");

    test::Bytes record = test::MakeRawRecord(64, 0);
    record[320] = 4; // the start gain the record was made with
    test::WriteFile(f.folder / "gain.R96", record);
    ASSERT_TRUE(doc.OpenPlayback(f.folder / "gain.R96"));
    ASSERT_EQ(f.PlaySteps(1), 1);
    t = UpdateDiagnosticsTexts(doc);
    EXPECT_EQ(t[6], ":   4 dB");
    EXPECT_EQ(t[16], ":   1480.0 (1480.0) m/s");
    EXPECT_EQ(t[19], ":   0.0");
}

TEST(SettingsPanel, SpinsListsAndTexts) {
    Settings settings;
    PingSettings& h = settings.sonar;
    h.rangeIndex = 4;
    h.rangeM = 20.0f;
    h.pulseLengthMultiplier = 1.0f;
    h.average = 5;
    auto v = CSettingsPanel::Refresh(settings, true, {});
    EXPECT_EQ(v.pulseLength, "120 us");
    EXPECT_EQ(v.range, "20 m");
    EXPECT_EQ(v.averagingSelection, 2);
    EXPECT_FALSE(CSettingsPanel::Spin(settings, true, SettingsSpin::Range, +1));
    h.rangeM = 2.5f;
    h.rangeIndex = 1;
    h.pulseLengthMultiplier = 2.0f;
    EXPECT_EQ(CSettingsPanel::Refresh(settings, true, {}).pulseLength, "40 us");
    h.rangeM = 1.25f;
    h.pulseLengthMultiplier = 1.0f;
    EXPECT_EQ(CSettingsPanel::Refresh(settings, true, {}).pulseLength, "10 us");
    CSettingsPanel::SelectPoints(settings, true, 1);
    EXPECT_FLOAT_EQ(h.rangeM, 2.5f);
    EXPECT_EQ(h.samples, 1000);
    h.pulseLengthMultiplier = 0.5f;
    CSettingsPanel::SelectPoints(settings, true, 0);
    EXPECT_FLOAT_EQ(h.pulseLengthMultiplier, 1.0f);
    // At least 1.0 with 500 samples.
    EXPECT_FALSE(CSettingsPanel::Spin(settings, true, SettingsSpin::Multiplier, -1));
    EXPECT_TRUE(CSettingsPanel::Spin(settings, true, SettingsSpin::Multiplier, +3));
    EXPECT_FLOAT_EQ(h.pulseLengthMultiplier, 1.3f);
    EXPECT_TRUE(CSettingsPanel::Spin(settings, true, SettingsSpin::QuadrantGain, +25, 2));
    EXPECT_EQ(h.Head(2).quadrantGainDb, 20);
    EXPECT_EQ(h.Head(1).quadrantGainDb, 0);
    EXPECT_FALSE(CSettingsPanel::Spin(settings, true, SettingsSpin::QuadrantGain, +1, 2));

    // In playback the played record's values are shown beside the settings.
    FileHeaderValues file;
    file.displayGain = 44;
    file.quadrantGainsDb = {1, 2, 3, 4};
    EXPECT_FALSE(CSettingsPanel::Spin(settings, false, SettingsSpin::Range, +1));
    EXPECT_FALSE(CSettingsPanel::Spin(settings, false, SettingsSpin::Frequency, +1));
    EXPECT_TRUE(CSettingsPanel::Spin(settings, false, SettingsSpin::StartGain, +1));
    v = CSettingsPanel::Refresh(settings, false, file);
    EXPECT_FALSE(v.frequencyEnabled);
    EXPECT_FALSE(v.pointsEnabled);
    EXPECT_EQ(v.fileDataGain, " (44 %)");
    EXPECT_EQ(v.fileQuadrantGains[3], " (4 dB)");
}

// A typed value goes where the spin's clicks would take it, within the same limits.
TEST(SettingsPanel, TypedSettingsStepTheSpinsWithinTheirLimits) {
    Settings settings;
    PingSettings& h = settings.sonar;
    const auto typed = [&](SettingsSpin spin, const std::string& text, bool live = true) {
        return CSettingsPanel::ApplyTyped(settings, live, spin, text);
    };
    EXPECT_TRUE(typed(SettingsSpin::DataGain, " 72 %"));
    EXPECT_EQ(h.displayGain, 72);
    EXPECT_TRUE(typed(SettingsSpin::StartGain, "45 dB"));
    EXPECT_EQ(h.startGainDb, 20);
    EXPECT_TRUE(typed(SettingsSpin::Range, "6"));
    EXPECT_FLOAT_EQ(h.rangeM, 5.0f); // the nearest of 2.5, 5, 10 and 20 m
    EXPECT_TRUE(typed(SettingsSpin::Range, "0.5"));
    EXPECT_FLOAT_EQ(h.rangeM, 2.5f);
    settings.view.unit = DistanceUnit::Imperial;
    EXPECT_TRUE(typed(SettingsSpin::Range, "30 ft"));
    EXPECT_FLOAT_EQ(h.rangeM, 10.0f);
    EXPECT_TRUE(typed(SettingsSpin::Frequency, "676.5"));
    EXPECT_EQ(h.frequencyStep, 3);
    EXPECT_TRUE(typed(SettingsSpin::Multiplier, "1.7"));
    EXPECT_FLOAT_EQ(h.pulseLengthMultiplier, 1.7f);
    EXPECT_EQ(h.pulseLength, PulseLengthFor(10.0f, 1.7f));
    // Not a number, or a box that only shows a value: nothing changes.
    EXPECT_FALSE(typed(SettingsSpin::DataGain, "lots"));
    EXPECT_EQ(h.displayGain, 72);
    EXPECT_FALSE(typed(SettingsSpin::Persistence, "10"));
    EXPECT_EQ(h.persistence, 0);
    // In playback the range comes from the file.
    EXPECT_TRUE(typed(SettingsSpin::Range, "20", false));
    EXPECT_FLOAT_EQ(h.rangeM, 10.0f);
}

// The pulse follows a change of range or multiplier at once, not a later refresh of the dialog.
TEST(SettingsPanel, RangeAndMultiplierSpinsSetThePulse) {
    Settings settings;
    PingSettings& h = settings.sonar;
    h.rangeIndex = 3;
    h.rangeM = 10.0f;
    h.samples = 1000;
    h.pulseLengthMultiplier = 1.0f;
    h.pulseLength = 0;
    ASSERT_TRUE(CSettingsPanel::Spin(settings, true, SettingsSpin::Range, +1));
    EXPECT_EQ(h.pulseLength, 12);
    ASSERT_TRUE(CSettingsPanel::Spin(settings, true, SettingsSpin::Multiplier, -5));
    EXPECT_EQ(h.pulseLength, PulseLengthFor(20.0f, 0.5f));
    EXPECT_FLOAT_EQ(h.pulseLengthMultiplier, 0.5f);
    ASSERT_TRUE(CSettingsPanel::Spin(settings, true, SettingsSpin::PulseLength, +40));
    EXPECT_EQ(h.pulseLength, PulseLengthFor(20.0f, 0.5f));
}

TEST(SettingsPanel, SoundVelocityAndPingDelayDialogs) {
    EXPECT_FLOAT_EQ(AcceptSoundVelocity("1700"), 1600.0f);
    EXPECT_FLOAT_EQ(AcceptSoundVelocity("fast"), 1400.0f);
    EXPECT_FLOAT_EQ(SpinSoundVelocity(1500.0f, 3), 1500.3f);
    EXPECT_FLOAT_EQ(SpinSoundVelocity(1599.9f, 5), 1600.0f);
    EXPECT_EQ(AcceptPingDelay("7000"), 5000);
    EXPECT_EQ(AcceptPingDelay("-5"), 0);
    EXPECT_EQ(SpinPingDelay(0, -1), 0);

    Settings settings;
    ApplySoundVelocity(settings, false, 1520.0f, true);
    EXPECT_FLOAT_EQ(settings.sonar.soundVelocity, 1480.0f); // the played records supply it
    EXPECT_EQ(settings.system.useFileSlc, 1);
    ApplySoundVelocity(settings, false, 1520.0f, false);
    EXPECT_FLOAT_EQ(settings.sonar.soundVelocity, 1520.0f);
}

} // namespace
} // namespace vexar
