// The console against the simulated head, both on 127.0.0.1: pings arrive, the picture changes
// and the diagnostics report the connection; a head that dies is shown at once, and its return
// clears the alarms; a head that answers with garbage is lived through; the head's navigation
// line reaches the pings and the status row.

#include "acquisition/CTamsorDoc.h"
#include "app/CDiagDlg.h"
#include "app/CInfoPanel.h"
#include "app/CMOndrelView.h"
#include "app/CMainFrame.h"
#include "app/CTamsorApp.h"
#include "display/ViewPointer.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QLabel>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <algorithm>
#include <fstream>
#include <functional>
#include <memory>

#ifdef VEXAR_HEADSIM_PATH

#include "support/HeadProcess.h"

namespace vexar::test {
namespace {

// A settings file in `folder` that points the console at the head on `port` and the output at
// 127.0.0.1; `system`: more lines of [System].
QString LoopbackSettings(const QTemporaryDir& folder, std::uint16_t port, const std::string& system = {}) {
    const QString settings = folder.filePath(QStringLiteral("Vexar.INI"));
    std::ofstream(settings.toStdString())
        << "[System]\nIPAddress_Sonar1=127.0.0.1\nRemotePort_Sonar1=" << port
        << "\nIPAddress_Output1=127.0.0.1\n"
           "RemotePort_Output1=4041\nPing Delay=20\n"
        << system
        << "[Sonar]\nOperating Range=3\n"
           "Number of Samples=500\nBeams=240\n[View]\nZoomIndex=2\n";
    return settings;
}

// Runs the event loop until `done` or the deadline; true when done.
bool WaitFor(const std::function<bool()>& done, int timeoutMs) {
    const QDeadlineTimer deadline(timeoutMs);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QTest::qWait(20);
    }
    return true;
}

// The console on its own settings file, talking to a simulated head of its own.
class ConsoleWithHead : public ::testing::Test {
protected:
    /// Starts the head with `options`, then the console with settings that point at it
    /// (`system`: more lines of [System]).
    void Start(const QStringList& options = {}, const std::string& system = {}) {
        m_port = m_head.Start(0, options);
        ASSERT_NE(m_port, 0) << "the simulated head did not start";
        ASSERT_TRUE(m_folder.isValid());
        m_app = std::make_unique<CTamsorApp>(m_folder.path() + QLatin1Char('/'),
                                             LoopbackSettings(m_folder, m_port, system));
        ASSERT_TRUE(m_app->Start());
        ASSERT_EQ(Doc().GetSettings().system.sonarAddress, "127.0.0.1");
        ASSERT_EQ(Doc().GetSettings().system.outputAddress, "127.0.0.1");
    }
    void TearDown() override {
        if (m_app) {
            m_app->Shutdown();
        }
    }
    CTamsorDoc& Doc() { return m_app->Document(); }
    CMainFrame& Frame() { return m_app->Frame(); }

    HeadProcess m_head;
    std::uint16_t m_port = 0;
    QTemporaryDir m_folder;
    std::unique_ptr<CTamsorApp> m_app;
};

TEST_F(ConsoleWithHead, PingsArriveAndThePictureChanges) {
    ASSERT_NO_FATAL_FAILURE(Start());
    Frame().OnCommand(kCmdDiagnostics);
    const QImage before = Frame().View()->grab().toImage();
    ASSERT_TRUE(WaitFor([this] { return Doc().PingRoutine().Head(0).m_pingCounter >= 5; }, 30000));
    QTest::qWait(100);
    const QImage after = Frame().View()->grab().toImage();
    EXPECT_NE(before, after);
    EXPECT_EQ(Frame().DiagDlg()->ValueText(1023), QStringLiteral(":   Yes"));
}

TEST_F(ConsoleWithHead, ADeadHeadIsShownWithinThreeSecondsAndItsReturnClearsTheAlarms) {
    ASSERT_NO_FATAL_FAILURE(Start());
    CInfoPanel& info = *Frame().InfoPanel();
    const auto link = [&info] { return info.LinkPane()->text(); };
    const auto message = [&info] { return info.First()->Pane(1)->text(); };
    const auto banner = [this] {
        Frame().View()->repaint();
        const OverlayItems& items = Frame().View()->LastOverlay();
        return std::any_of(items.begin(), items.end(), [](const OverlayItem& item) {
            return item.text.startsWith(QStringLiteral("No new data for"));
        });
    };
    const auto pinging = [&] { return link().endsWith(QStringLiteral("pings/s")); };
    ASSERT_TRUE(WaitFor(pinging, 30000)) << link().toStdString();
    EXPECT_FALSE(banner());
    EXPECT_EQ(message(), QStringLiteral("Ready"));

    QElapsedTimer sinceDeath;
    m_head.Kill();
    sinceDeath.start();
    // Both alarms are up within 3 s of the head's death, and the link is not said to work.
    EXPECT_TRUE(WaitFor([&] { return banner() && !pinging(); }, 3000))
        << link().toStdString() << " after " << sinceDeath.elapsed() << " ms";
    EXPECT_NE(message(), QStringLiteral("Ready"));

    ASSERT_EQ(m_head.Start(m_port), m_port) << "the simulated head did not come back on its port";
    EXPECT_TRUE(WaitFor([&] { return pinging() && !banner(); }, 15000)) << link().toStdString();
    EXPECT_EQ(message(), QStringLiteral("Ready"));
}

// A head that answers its first requests with garbage (random bytes of a reply's length, of
// random lengths, or nothing): the console lives through it and draws whole pings once the head
// behaves.
TEST_F(ConsoleWithHead, SurvivesAHeadThatAnswersWithGarbage) {
    ASSERT_NO_FATAL_FAILURE(
        Start({QStringLiteral("--garbage"), QStringLiteral("0.5"), QStringLiteral("--garbage-requests"),
               QStringLiteral("24"), QStringLiteral("--seed"), QStringLiteral("5")}));
    ASSERT_TRUE(WaitFor([this] { return Doc().PingRoutine().Head(0).m_pingCounter >= 3; }, 60000));
    EXPECT_GT(Doc().Live().Link().stats.blockRetries + Doc().Live().Link().stats.retries, 0u);
    EXPECT_EQ(Doc().PingRoutine().Head(0).m_headerText, "SIM");
}

// The head's navigation line as the console's source: the status row turns green with the rate
// of the fixes, every live ping carries a fix and the info panel shows it; when the line goes
// quiet the field turns amber once the newest fix is older than the maximum fix age.
TEST_F(ConsoleWithHead, NavigationFromTheHeadsSerialLineIsShownLiveAndGoesStale) {
    const std::string link = m_folder.filePath(QStringLiteral("nav")).toStdString();
    ASSERT_NO_FATAL_FAILURE(Start({QStringLiteral("--nav-link"), QString::fromStdString(link)},
                                  "Nav Source=serial\nNav Serial Device=" + link + "\n"));
    CInfoPanel& info = *Frame().InfoPanel();
    QLabel& field = *info.NavigationPane();
    const auto colour = [&field] { return field.palette().color(QPalette::Window); };
    const QRegularExpression good(QStringLiteral("^Nav: serial (9|10|11) Hz$"));
    ASSERT_TRUE(WaitFor(
        [&] { return good.match(field.text()).hasMatch() && Doc().PingRoutine().Head(0).m_pingCounter > 3; },
        30000))
        << field.text().toStdString();
    EXPECT_TRUE(field.isVisible());
    EXPECT_EQ(colour(), QColor(40, 130, 40));
    EXPECT_TRUE(Doc().Shown().NavigationSentence().starts_with("$AULOG,43;"))
        << Doc().Shown().NavigationSentence();
    EXPECT_TRUE(info.Second()->Pane(14)->text().startsWith(QStringLiteral("43;"))); // Lat:
    EXPECT_LE(Frame().minimumSizeHint().width(), 1024);
    // The point under the pointer has its place on the map live too.
    info.UpdateCursorReadout(Doc(), PointerReadout{5.0f, 90.0f});
    EXPECT_TRUE(info.MapPositionPane()->text().endsWith(QStringLiteral("zone 32")));
    const QRegularExpression geo(QStringLiteral("^43\\.(49|50)\\d{4} N (8\\.99|9\\.00)\\d{4} E$"));
    EXPECT_TRUE(geo.match(info.GeoPositionPane()->text()).hasMatch())
        << info.GeoPositionPane()->text().toStdString();

    m_head.Kill();
    const QRegularExpression stale(QStringLiteral("^Nav: stale \\d+ s$"));
    ASSERT_TRUE(WaitFor([&] { return stale.match(field.text()).hasMatch(); }, 10000))
        << field.text().toStdString();
    EXPECT_EQ(colour(), QColor(240, 170, 20));
}

} // namespace
} // namespace vexar::test

#endif // VEXAR_HEADSIM_PATH
