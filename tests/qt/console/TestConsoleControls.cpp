// Controls that always act: Clear Image on a frozen picture, typed values in the settings dialog,
// arrow keys in a focused list, Esc to end measuring, and the bars after leaving playback.

#include "ConsoleFixture.h"

#include "app/CMOndrelView.h"
#include "app/CSettingsDlg.h"
#include "app/CUpDown.h"
#include "app/ControlBars.h"
#include "support/ElementSynth.h"
#include "support/TestPing.h"

#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QTest>

#include <algorithm>
#include <memory>

namespace vexar::test {
namespace {

using ControlsConsoleTest = ConsoleTest;

TEST_F(ControlsConsoleTest, ClearImageEmptiesAFrozenPictureAtOnce) {
    // A ping with an echo 5 m before every head.
    auto echo = std::make_unique<COndrel>();
    SynthesiseHead(*echo, {PointTarget{}}, SynthSettings{});
    TestPing ping;
    for (int k = 0; k < kHeadCount; ++k) {
        ping.SetRawSamples(k, echo->m_rawSamples);
    }
    ping.EnterInto(*m_doc);
    m_frame->View()->OnUpdate();
    const auto picture = m_frame->View()->Picture().Picture();
    ASSERT_GT(*std::max_element(picture.begin(), picture.end()), 1);
    m_doc->OnHold(); // frozen: no ping will come to apply the clear

    m_frame->OnCommand(kCmdClearImage);
    const auto cleared = m_frame->View()->Picture().Picture();
    EXPECT_EQ(*std::max_element(cleared.begin(), cleared.end()), 1);
}

TEST_F(ControlsConsoleTest, TypedValueInTheSettingsDialogIsAppliedOnEnter) {
    m_frame->OnCommand(kCmdSettings);
    CSettingsDlg& dialog = *m_frame->SettingsDlg();
    QLineEdit* gain = dialog.m_dataGain.edit;
    EXPECT_FALSE(gain->isReadOnly());
    EXPECT_TRUE(dialog.m_persistence.edit->isReadOnly()); // shows a value only
    QApplication::setActiveWindow(&dialog);
    gain->setFocus();
    gain->selectAll();
    QTest::keyClicks(gain, QStringLiteral("130"));
    dialog.RefreshSettingsDialog(); // a ping while typing leaves the text alone
    EXPECT_EQ(gain->text(), QStringLiteral("130"));
    QTest::keyClick(gain, Qt::Key_Return);
    EXPECT_EQ(m_doc->Shown().Settings().displayGain, 100); // within the spin's limits
    EXPECT_EQ(gain->text(), QStringLiteral("100 %"));
    EXPECT_EQ(m_frame->LiveBar()->m_gains.displayGainText->text(), QStringLiteral("100 %"));
}

TEST_F(ControlsConsoleTest, SettingsDialogFollowsTheBarsWhileHeld) {
    m_frame->OnCommand(kCmdSettings);
    m_doc->OnHold(); // no ping refreshes the dialog
    Q_EMIT m_frame->LiveBar()->m_gains.startGainUpDown->stepped(+1);
    EXPECT_EQ(m_frame->SettingsDlg()->m_startGain.edit->text(),
              QStringLiteral("%1 dB").arg(m_doc->Shown().Settings().startGainDb));
}

TEST_F(ControlsConsoleTest, ArrowKeysStayWithAFocusedListAndEscEndsMeasuring) {
    m_frame->OnCommand(kCmdSettings);
    QComboBox* beams = m_frame->SettingsDlg()->m_beams;
    QApplication::setActiveWindow(m_frame->SettingsDlg());
    beams->setFocus();
    const int before = beams->currentIndex();
    QTest::keyClick(beams, before == 0 ? Qt::Key_Down : Qt::Key_Up);
    EXPECT_NE(beams->currentIndex(), before);

    QApplication::setActiveWindow(m_frame.get());
    m_frame->OnCommand(kCmdMeasure);
    ASSERT_TRUE(m_frame->View()->IsMeasuring());
    QTest::keyClick(m_frame->View(), Qt::Key_Escape);
    EXPECT_FALSE(m_frame->View()->IsMeasuring());
}

TEST_F(ControlsConsoleTest, LeavingPlaybackShowsTheLiveValuesInTheBars) {
    Q_EMIT m_frame->LiveBar()->m_gains.displayGainUpDown->stepped(+1);
    const int live = m_doc->Shown().Settings().displayGain;
    ASSERT_NO_FATAL_FAILURE(Play(MakeRawRecord(64, 0)));
    Q_EMIT m_frame->PlaybackBar()->m_gains.displayGainUpDown->stepped(+5);
    ASSERT_EQ(m_doc->Shown().Settings().displayGain, live + 5);

    m_frame->OnCommand(kCmdRealTime);
    EXPECT_EQ(m_doc->Shown().Settings().displayGain, live);
    EXPECT_EQ(m_frame->LiveBar()->m_gains.displayGainText->text(), QStringLiteral("%1 %").arg(live));
}

} // namespace
} // namespace vexar::test
