// What the main window tells the operator: the link and recording indicators and the message
// pane, in step with the diagnostics; the stale picture; the sonar view that cannot be closed;
// the narrowest window; the map position under the pointer; and the question before exiting
// while recording.

#include "ConsoleFixture.h"

#include "app/CChildFrame.h"
#include "app/CDiagDlg.h"
#include "app/CInfoPanel.h"
#include "app/CMOndrelView.h"
#include "files/CPlayer.h"
#include "files/CRecorder.h"
#include "support/RecordingFixture.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>

#include <algorithm>

namespace vexar::test {
namespace {

class StatusTest : public ConsoleTest {
protected:
    CInfoPanel& Info() { return *m_frame->InfoPanel(); }
    QString Link() { return Info().LinkPane()->text(); }
    QString Message() { return Info().First()->Pane(1)->text(); }
    QString Diag(int id) { return m_frame->DiagDlg()->ValueText(id); }
    std::string Folder() { return m_folder.path().toStdString() + "/"; }
};

TEST_F(StatusTest, LinkAndRecordingAreShownAsTheDiagnosticsSeeThem) {
    m_frame->OnCommand(kCmdDiagnostics);
    EXPECT_EQ(Link(), QStringLiteral("Sonar: not connected"));
    EXPECT_EQ(Message(), QStringLiteral("No sonar link"));
    EXPECT_EQ(Diag(1023), QStringLiteral(":   No"));

    m_doc->m_connected = 1;
    m_doc->m_linkState = LinkState::Connected;
    m_frame->OnLinkStateChanged(LinkState::Connected);
    EXPECT_EQ(Link(), QStringLiteral("Sonar: connected, no pings"));
    EXPECT_EQ(Message(), QStringLiteral("No pings from sonar"));
    EXPECT_EQ(Diag(1023), QStringLiteral(":   Yes"));

    m_doc->m_pingedSinceConnect = true;
    m_doc->m_linkStats.pingsPerSecond = 8.04f;
    m_frame->OnPingProcessed();
    EXPECT_EQ(Link(), QStringLiteral("Sonar: 8.0 pings/s"));
    EXPECT_EQ(Diag(1101), QStringLiteral(":   8.0"));
    EXPECT_EQ(Message(), QStringLiteral("Ready"));

    m_doc->m_staleSeconds = 3;
    m_frame->OnPictureStale(3);
    EXPECT_EQ(Link(), QStringLiteral("Sonar: connected, no pings"));
    EXPECT_EQ(Diag(1101), QStringLiteral(":   0.0"));

    const std::string path = Folder() + "points.P96";
    ASSERT_TRUE(m_doc->Recorder().StartRecording(RecordKind::Point, path));
    EXPECT_EQ(Info().RecordingPane()->text(), QStringLiteral("Recording: points.P96  0.0 MB"));
    EXPECT_EQ(Info().RecordingPane()->toolTip(), QString::fromStdString(path));
    m_doc->Recorder().OnStopRecording();
    EXPECT_EQ(Info().RecordingPane()->text(), QStringLiteral("Not recording"));
}

TEST_F(StatusTest, StalePictureIsShownUntilTheNextPing) {
    const auto banner = [this] {
        QApplication::processEvents();
        const OverlayItems& items = m_frame->View()->LastOverlay();
        const auto found = std::find_if(items.begin(), items.end(), [](const OverlayItem& item) {
            return item.text.startsWith(QStringLiteral("No new data for"));
        });
        return found != items.end() ? found->text : QString();
    };
    m_doc->ProcessPing();
    EXPECT_EQ(banner(), QString());
    m_doc->m_staleSeconds = 4;
    m_frame->OnPictureStale(4);
    EXPECT_EQ(banner(), QStringLiteral("No new data for 4 s"));
    m_doc->m_staleSeconds = 0;
    m_frame->OnPictureStale(0);
    EXPECT_EQ(banner(), QString());
}

TEST_F(StatusTest, TheSonarViewCannotBeClosed) {
    CChildFrame& child = *m_frame->ChildFrame();
    EXPECT_FALSE(child.windowFlags() & Qt::WindowSystemMenuHint) << "a close box";
    EXPECT_FALSE(child.close());
    EXPECT_TRUE(child.isVisible());
    EXPECT_TRUE(child.isMaximized());
}

TEST_F(StatusTest, TheWindowGoesDownTo1024Pixels) {
    EXPECT_LE(m_frame->minimumSizeHint().width(), 1024);
    m_frame->resize(1024, 768);
    QApplication::processEvents();
    EXPECT_EQ(m_frame->width(), 1024);
    // Every pane of the info panel shows its label whole.
    for (const CInfoBar* bar : {Info().First(), Info().Second()}) {
        for (int n = 2; n <= kInfoPanes; ++n) {
            const QLabel* pane = bar->Pane(n);
            EXPECT_GE(pane->contentsRect().width(), pane->fontMetrics().horizontalAdvance(pane->text()))
                << pane->text().toStdString();
        }
    }
}

TEST_F(StatusTest, MapPositionUnderThePointerInPlayback) {
    const std::string path = Folder() + "nav.R96";
    WriteFile(path, MakeRawRecord(
                        64, 0, "$AULOG,2;30.0,N,3;0.0,E,,-10.0,,45.0,0.0,0.0,0.0,,,0,0,0,0,0.00,1/1/2026,*"));
    ASSERT_TRUE(m_doc->Player().OpenPlayback(path));
    ASSERT_EQ(m_doc->Player().PlaybackStep(), StepResult::Ping);
    QApplication::processEvents();
    CMOndrelView& view = *m_frame->View();
    view.PointerMovedTo(view.width() / 2 + 50, view.height() / 2);
    const QString map = Info().MapPositionPane()->text();
    EXPECT_TRUE(map.startsWith(QStringLiteral("E 5"))) << map.toStdString();
    EXPECT_TRUE(map.endsWith(QStringLiteral("zone 31"))) << map.toStdString();
    m_doc->OnRealTime();
    EXPECT_EQ(Info().MapPositionPane()->text(), QString());
}

TEST_F(StatusTest, ExitWhileRecordingAsksAndLeavesTheFileWhole) {
    const std::string path = Folder() + "exit.P96";
    ASSERT_TRUE(m_doc->Recorder().StartRecording(RecordKind::Point, path));
    for (int ping = 0; ping < 2; ++ping) {
        m_doc->Head(0).m_newData = 1;
        m_doc->ProcessPing();
    }
    m_operator.m_answerYes = false;
    EXPECT_FALSE(m_frame->close());
    ASSERT_EQ(m_operator.m_questions.size(), 1u);
    EXPECT_NE(m_operator.m_questions[0].find(path), std::string::npos);
    EXPECT_TRUE(m_doc->Recorder().AnyRecording());

    m_operator.m_answerYes = true;
    EXPECT_TRUE(m_frame->close());
    EXPECT_FALSE(m_doc->Recorder().AnyRecording());
    EXPECT_FALSE(m_doc->m_recordFile.IsOpen());
    // Two whole point records of 1440 beams.
    EXPECT_EQ(QFileInfo(QString::fromStdString(path)).size(), 2 * (2048 + 1440 * 8));
}

} // namespace
} // namespace vexar::test
