// What the main window tells the operator: the link and recording indicators and the message
// pane, in step with the diagnostics; the stale picture; the sonar view that cannot be closed;
// the narrowest window; the map position under the pointer; and the question before exiting
// while recording.

#include "ConsoleFixture.h"

#include "app/CChildFrame.h"
#include "app/CDiagDlg.h"
#include "app/CInfoPanel.h"
#include "app/CMOndrelView.h"
#include "display/PictureOrientation.h"
#include "display/ViewPointer.h"
#include "files/CRecorder.h"
#include "support/TestPing.h"

#include <QApplication>
#include <QFileInfo>
#include <QLabel>
#include <QRegularExpression>

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

    // The head accepts the connection but sends nothing yet.
    AnswerPings(false);
    ASSERT_TRUE(RunTimersUntil([this] { return m_doc->Live().Link().connected; }));
    EXPECT_EQ(Link(), QStringLiteral("Sonar: connected, no pings"));
    EXPECT_EQ(Message(), QStringLiteral("No pings from sonar"));
    EXPECT_EQ(Diag(1023), QStringLiteral(":   Yes"));

    // Eight pings a second of the fake clock.
    m_doc->EditSettings([](Settings& s) { s.system.pingDelayMs = 125; });
    AnswerPings();
    ASSERT_TRUE(RunTimersUntil([this] { return m_doc->Live().Link().stats.pingsPerSecond > 0.0f; }));
    EXPECT_EQ(Link(), QStringLiteral("Sonar: %1 pings/s").arg(Diag(1101).mid(4)));
    EXPECT_NE(Diag(1101), QStringLiteral(":   0.0"));
    EXPECT_EQ(Message(), QStringLiteral("Ready"));

    AnswerPings(false);
    ASSERT_TRUE(RunTimersUntil([this] { return m_doc->Live().Link().staleSeconds >= 3; }));
    EXPECT_EQ(Link(), QStringLiteral("Sonar: connected, no pings"));
    EXPECT_EQ(Diag(1101), QStringLiteral(":   0.0"));

    const std::string path = Folder() + "points.P96";
    ASSERT_TRUE(m_doc->Recording().Start(RecordKind::Point, path));
    EXPECT_EQ(Info().RecordingPane()->text(), QStringLiteral("Recording: points.P96  0.0 MB"));
    EXPECT_EQ(Info().RecordingPane()->toolTip(), QString::fromStdString(path));
    m_doc->Recording().Stop();
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
    // No ping comes for four seconds after the start of acquisition.
    AnswerPings(false);
    ASSERT_TRUE(RunTimersUntil([this] { return m_doc->Live().Link().staleSeconds == 4; }));
    EXPECT_EQ(banner(), QStringLiteral("No new data for 4 s"));
    AnswerPings();
    ASSERT_TRUE(RunTimersUntil([this] { return m_doc->Live().Link().staleSeconds == 0; }));
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

TEST_F(StatusTest, PositionUnderThePointerInPlaybackHeadAndNorthUp) {
    m_doc->EditSettings([](Settings& s) { s.mounting.plane = HeadPlane::Level; });
    const std::string path = Folder() + "nav.R96";
    WriteFile(path, MakeRawRecord(
                        64, 0, "$AULOG,2;30.0,N,3;0.0,E,,-10.0,,45.0,0.0,0.0,0.0,,,0,0,0,0,0.00,1/1/2026,*"));
    ASSERT_TRUE(m_doc->OpenPlayback(path));
    ASSERT_EQ(m_doc->Playback().Step(), StepResult::Ping);
    QApplication::processEvents();
    CMOndrelView& view = *m_frame->View();
    view.PointerMovedTo(view.width() / 2 + 50, view.height() / 2);
    const QString map = Info().MapPositionPane()->text();
    EXPECT_TRUE(map.startsWith(QStringLiteral("E 5"))) << map.toStdString();
    EXPECT_TRUE(map.endsWith(QStringLiteral("zone 31"))) << map.toStdString();
    const QRegularExpression geo(QStringLiteral("^2\\.(49|50)\\d{4} N (2\\.99|3\\.00)\\d{4} E$"));
    EXPECT_TRUE(geo.match(Info().GeoPositionPane()->text()).hasMatch())
        << Info().GeoPositionPane()->text().toStdString();

    // North Up turns the picture by the heading of 45 degrees: the point a quarter turn to the
    // right of the bow is now that much further round on the screen, and lies where it did.
    Info().UpdateCursorReadout(*m_doc, PointerReadout{6.0f, 90.0f});
    const QString headUp = Info().MapPositionPane()->text();
    m_frame->OnCommand(kCmdNorthUp);
    const float turn =
        TurnOfPicture(ViewOrientation::NorthUp, m_doc->Shown().Settings().beams, 45.0f).degrees;
    EXPECT_NEAR(turn, 45.0f, 0.125f);
    Info().UpdateCursorReadout(*m_doc, PointerReadout{6.0f, 90.0f + turn});
    EXPECT_EQ(Info().MapPositionPane()->text(), headUp);
    EXPECT_EQ(Info().First()->Pane(3)->text(), QString::fromStdString(CursorBearingText(90.0f + turn)));

    m_doc->OnRealTime();
    EXPECT_EQ(Info().MapPositionPane()->text(), QString());
    EXPECT_EQ(Info().GeoPositionPane()->text(), QString());
}

TEST_F(StatusTest, ExitWhileRecordingAsksAndLeavesTheFileWhole) {
    const std::string path = Folder() + "exit.P96";
    ASSERT_TRUE(m_doc->Recording().Start(RecordKind::Point, path));
    const TestPing ping;
    ping.EnterInto(*m_doc);
    ping.EnterInto(*m_doc);
    m_operator.m_answerYes = false;
    EXPECT_FALSE(m_frame->close());
    ASSERT_EQ(m_operator.m_questions.size(), 1u);
    EXPECT_NE(m_operator.m_questions[0].find(path), std::string::npos);
    EXPECT_TRUE(m_doc->Recording().Recorder().AnyRecording());

    m_operator.m_answerYes = true;
    EXPECT_TRUE(m_frame->close());
    EXPECT_FALSE(m_doc->Recording().Recorder().AnyRecording());
    EXPECT_FALSE(m_doc->Recording().Recorder().FileIsOpen());
    // Two whole point records of 1440 beams.
    EXPECT_EQ(QFileInfo(QString::fromStdString(path)).size(), 2 * (2048 + 1440 * 8));
}

} // namespace
} // namespace vexar::test
