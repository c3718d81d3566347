// The real menus and toolbar show the document's check marks and enabled states, and their
// commands reach the document.

#include "ConsoleFixture.h"

#include "app/CAboutDlg.h"
#include "app/CInfoPanel.h"
#include "app/CSettingsDlg.h"
#include "display/PictureOrientation.h"

#include <QAction>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QSignalSpy>
#include <QStatusTipEvent>
#include <QTest>

namespace vexar::test {
namespace {

class MenuTest : public ConsoleTest {
protected:
    /// Opens every menu of the menu bar (and its submenus) as the operator would see it.
    void ShowMenus() {
        for (QAction* top : m_frame->menuBar()->actions()) {
            if (QMenu* menu = top->menu()) {
                emit menu->aboutToShow();
                for (QAction* item : menu->actions()) {
                    if (QMenu* sub = item->menu()) {
                        emit sub->aboutToShow();
                    }
                }
            }
        }
    }
    bool Checked(int id) { return m_frame->Action(id)->isChecked(); }
    bool Enabled(int id) { return m_frame->Action(id)->isEnabled(); }
    /// Menu texts of a top-level menu, separators and submenus included by title.
    QStringList Texts(const QString& title) {
        QStringList texts;
        for (QAction* top : m_frame->menuBar()->actions()) {
            if (top->text() == title && top->menu() != nullptr) {
                for (QAction* item : top->menu()->actions()) {
                    texts << (item->isSeparator() ? QStringLiteral("-") : item->text());
                }
            }
        }
        return texts;
    }
};

TEST_F(MenuTest, MenusCarryTheirTextsAndIds) {
    EXPECT_EQ(Texts(QStringLiteral("&Options")),
              (QStringList{"&Settings...", "&Diagnostics...", "&Measure", "&Transducer Up", "&Sound Velocity",
                           "Ping Delay...", "Com Port Settings...", "Mounting..."}));
    EXPECT_EQ(Texts(QStringLiteral("&File")).first(), QStringLiteral("Real &Time"));
    EXPECT_TRUE(Texts(QStringLiteral("&File")).contains(QStringLiteral("Convert .R96 File to .xyz...")));
    EXPECT_EQ(m_frame->Action(kCmdMixHigh)->text(), QStringLiteral("High MIx"));
    EXPECT_EQ(m_frame->Action(kCmdPointsOnly)->text(), QStringLiteral("Points  Only"));
    EXPECT_EQ(m_frame->Action(kCmdColorTable5)->text(), QStringLiteral("Brown / Yellow"));
    EXPECT_EQ(m_frame->Action(kCmdSaveScreen)->text(), QStringLiteral("Save Screen"));
    EXPECT_EQ(m_frame->Action(kCmdDataOutput)->statusTip(),
              QStringLiteral("Display Data Output Settings Dlg"));
    EXPECT_EQ(m_frame->Action(kCmdRealTime)->toolTip(), QStringLiteral("Real Time Data Acquisition"));
    EXPECT_EQ(m_frame->Action(kCmdStopRecording)->toolTip(), QStringLiteral("Stop Recording Process"));
}

TEST(AboutBox, ShowsTheVersion) {
    CAboutDlg about(QString::fromLatin1(kVersionText));
    EXPECT_TRUE(about.findChild<QLabel*>(QStringLiteral("version"))
                    ->text()
                    .endsWith(QStringLiteral("1.022 (July 17, 2019)")));
}

TEST_F(MenuTest, ModeChangesMoveTheGridAndGreyItsItems) {
    m_frame->OnCommand(kCmdGridPolar);
    ShowMenus();
    EXPECT_TRUE(Checked(kCmdModePolar));
    EXPECT_TRUE(Checked(kCmdGridPolar));
    EXPECT_FALSE(Enabled(kCmdGridLine));
    EXPECT_TRUE(Enabled(kCmdGridRectangular));

    m_frame->OnCommand(kCmdModeBeamTest);
    ShowMenus();
    EXPECT_TRUE(Checked(kCmdModeBeamTest));
    EXPECT_FALSE(Checked(kCmdModePolar));
    EXPECT_TRUE(Checked(kCmdGridLine));
    EXPECT_FALSE(Enabled(kCmdGridPolar));
    EXPECT_FALSE(Enabled(kCmdGridRectangular));
    EXPECT_TRUE(Enabled(kCmdGridLine));

    m_frame->OnCommand(kCmdModePolar);
    ShowMenus();
    EXPECT_TRUE(Checked(kCmdGridPolar));
}

TEST_F(MenuTest, ZoomReselectionKeepsThePictureGeometry) {
    m_frame->OnCommand(kCmdZoom50);
    const std::uint64_t geometry = m_doc->Shown().GeometryVersion();
    m_frame->OnCommand(kCmdZoom50);
    EXPECT_EQ(m_doc->Shown().GeometryVersion(), geometry);
    ShowMenus();
    EXPECT_TRUE(Checked(kCmdZoom50));
    EXPECT_FALSE(Checked(kCmdZoom100));
    m_frame->OnCommand(kCmdZoomFill);
    EXPECT_NE(m_doc->Shown().GeometryVersion(), geometry);
}

TEST_F(MenuTest, HeadUpAndNorthUpChooseTheOrientation) {
    // A vertical head's picture is a cross-section: never turned.
    ShowMenus();
    EXPECT_FALSE(Enabled(kCmdNorthUp));
    m_doc->EditSettings([](Settings& s) { s.mounting.plane = HeadPlane::Level; });
    ShowMenus();
    EXPECT_TRUE(Enabled(kCmdNorthUp));
    EXPECT_TRUE(Checked(kCmdHeadUp));
    EXPECT_FALSE(Checked(kCmdNorthUp));
    const std::uint64_t geometry = m_doc->Shown().GeometryVersion();
    m_frame->OnCommand(kCmdNorthUp);
    ShowMenus();
    EXPECT_TRUE(Checked(kCmdNorthUp));
    EXPECT_FALSE(Checked(kCmdHeadUp));
    EXPECT_EQ(m_doc->GetSettings().view.orientation, ViewOrientation::NorthUp);
    EXPECT_NE(m_doc->Shown().GeometryVersion(), geometry); // the held picture of the other way is cleared
    EXPECT_EQ(Texts(QStringLiteral("&View")).mid(6), (QStringList{"-", "Head Up", "North Up"}));
}

TEST_F(MenuTest, DataPointsAreLockedInPlayback) {
    ShowMenus();
    EXPECT_TRUE(Enabled(kCmdPoints500));
    EXPECT_TRUE(Checked(kCmdPoints1000));
    ASSERT_NO_FATAL_FAILURE(Play(MakeRawRecord(64, 0)));
    ShowMenus();
    EXPECT_FALSE(Enabled(kCmdPoints500));
    EXPECT_FALSE(Enabled(kCmdPoints1000));
    m_frame->Action(kCmdPoints500)->trigger(); // a disabled item does nothing
    EXPECT_EQ(m_doc->Shown().Settings().samples, 1000);
    m_doc->OnRealTime();
    ShowMenus();
    m_frame->Action(kCmdPoints500)->trigger();
    EXPECT_EQ(m_doc->Shown().Settings().samples, 500);
    ShowMenus();
    EXPECT_TRUE(Checked(kCmdPoints500));
}

TEST_F(MenuTest, ProfileLevelsAreGreyWhileProfilesAreOff) {
    ShowMenus();
    EXPECT_FALSE(Checked(kCmdProfileOff));
    EXPECT_TRUE(Enabled(kCmdMixLow));
    m_frame->OnCommand(kCmdProfileOff);
    ShowMenus();
    EXPECT_TRUE(Checked(kCmdProfileOff));
    for (int id = kCmdMixHigh; id <= kCmdPointsOnly; ++id) {
        EXPECT_FALSE(Enabled(id)) << id;
    }
    EXPECT_EQ(m_doc->Shown().Settings().detectProfilePoints, 0);
}

TEST_F(MenuTest, OptionsShowTheirStates) {
    ShowMenus();
    EXPECT_TRUE(Enabled(kCmdComPort));
    EXPECT_FALSE(Checked(kCmdDiagnostics));
    m_frame->OnCommand(kCmdDiagnostics);
    ShowMenus();
    EXPECT_TRUE(Checked(kCmdDiagnostics));
    EXPECT_TRUE(m_frame->DiagnosticsShown());

    // Measure is started from the menu and ended there too.
    m_frame->OnCommand(kCmdMeasure);
    EXPECT_TRUE(Checked(kCmdMeasure));
    m_frame->OnCommand(kCmdMeasure);
    EXPECT_FALSE(Checked(kCmdMeasure));

    EXPECT_FALSE(Checked(kCmdHold));
    m_frame->Action(kCmdHold)->trigger(); // the toolbar button is the same action
    EXPECT_TRUE(m_doc->IsHeld());
    EXPECT_TRUE(Checked(kCmdHold));
}

TEST_F(MenuTest, FileMenuFollowsTheRecorder) {
    ShowMenus();
    EXPECT_TRUE(Enabled(kCmdRealTime));
    EXPECT_TRUE(Enabled(kCmdPlayback));
    EXPECT_TRUE(Enabled(kCmdSaveScreen));
    EXPECT_TRUE(Enabled(kCmdRecordR96));
    EXPECT_FALSE(Checked(kCmdRecordR96));
    EXPECT_FALSE(Enabled(kCmdStopRecording));
    const bool autoName = Checked(kCmdAutoFileName);
    m_frame->OnCommand(kCmdAutoFileName);
    EXPECT_NE(Checked(kCmdAutoFileName), autoName);
    ASSERT_NO_FATAL_FAILURE(Play(MakeRawRecord(64, 0)));
    m_doc->EditSettings([](Settings& s) { s.system.autoFileSize = 2; });
    ShowMenus();
    EXPECT_FALSE(Enabled(kCmdAutoSize500M));
    EXPECT_TRUE(Checked(kCmdAutoSize1G));
}

TEST_F(MenuTest, StatusPromptsGoToTheMessagePane) {
    m_frame->Action(kCmdModeBeamTest)->showStatusText(m_frame.get());
    EXPECT_EQ(m_frame->InfoPanel()->First()->Pane(1)->text(), QStringLiteral("Display Raw Beams Data"));
    QStatusTipEvent empty{QString()};
    QApplication::sendEvent(m_frame.get(), &empty);
    // No head answers in this console: the pane says so instead of "Ready".
    EXPECT_EQ(m_frame->InfoPanel()->First()->Pane(1)->text(), QStringLiteral("No sonar link"));
}

TEST_F(MenuTest, AcceleratorsWorkWhileTheSettingsDialogHasFocus) {
    m_frame->OnCommand(kCmdSettings);
    CSettingsDlg* settings = m_frame->SettingsDlg();
    ASSERT_TRUE(settings->isVisible());
    settings->activateWindow();
    if (!QTest::qWaitForWindowActive(settings)) {
        GTEST_SKIP() << "the platform does not activate windows";
    }
    QTest::keyClick(settings, Qt::Key_H);
    EXPECT_TRUE(m_doc->IsHeld());
    QSignalSpy cleared(m_frame->Action(kCmdClearImage), &QAction::triggered);
    QTest::keyClick(settings, Qt::Key_C);
    EXPECT_EQ(cleared.count(), 1);
}

} // namespace
} // namespace vexar::test
