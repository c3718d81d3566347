// The console against the simulated head, both on 127.0.0.1: pings arrive, the picture changes
// and the diagnostics report the connection.

#include "acquisition/CTamsorDoc.h"
#include "app/CDiagDlg.h"
#include "app/CMOndrelView.h"
#include "app/CMainFrame.h"
#include "app/CTamsorApp.h"

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <fstream>
#include <memory>

#ifdef VEXAR_HEADSIM_PATH

namespace vexar::test {
namespace {

class HeadProcess {
public:
    /// Starts the simulated head on a free loopback port with `options`; 0 when it did not come up.
    std::uint16_t Start(const QStringList& options = {}) {
        m_process.setProgram(QStringLiteral(VEXAR_HEADSIM_PATH));
        m_process.setArguments(QStringList{QStringLiteral("--listen"), QStringLiteral("127.0.0.1:0")} +
                               options);
        m_process.start();
        if (!m_process.waitForStarted(10000)) {
            return 0;
        }
        const QRegularExpression listening(QStringLiteral("listening on 127\\.0\\.0\\.1:(\\d+)"));
        QByteArray output;
        const QDeadlineTimer deadline(10000);
        while (!deadline.hasExpired() &&
               m_process.waitForReadyRead(static_cast<int>(deadline.remainingTime()))) {
            output += m_process.readAllStandardOutput();
            const auto match = listening.match(QString::fromLatin1(output));
            if (match.hasMatch()) {
                return static_cast<std::uint16_t>(match.captured(1).toUInt());
            }
        }
        return 0;
    }
    ~HeadProcess() {
        m_process.kill();
        m_process.waitForFinished(5000);
    }

private:
    QProcess m_process;
};

/// A settings file in `folder` for the head on `port`; both addresses are loopback.
QString WriteSettings(const QTemporaryDir& folder, std::uint16_t port) {
    const QString settings = folder.filePath(QStringLiteral("Vexar.INI"));
    std::ofstream(settings.toStdString())
        << "[System]\nIPAddress_Sonar1=127.0.0.1\nRemotePort_Sonar1=" << port
        << "\nIPAddress_Output1=127.0.0.1\n"
           "RemotePort_Output1=4041\nPing Delay=20\n[Sonar]\nOperating Range=3\n"
           "Number of Samples=500\nBeams=240\n[View]\nZoomIndex=2\n";
    return settings;
}

/// Runs the event loop until head 0 has counted `pings` pings or 60 s have passed.
void WaitForPings(const CTamsorDoc& doc, int pings) {
    const QDeadlineTimer deadline(60000);
    while (doc.Head(0).m_pingCounter < pings && !deadline.hasExpired()) {
        QTest::qWait(50);
    }
}

// The simulated head and the console against it, both shut down at the end.
class ConsoleWithHead : public ::testing::Test {
protected:
    /// Starts the head with `options`, then the console with settings that point at it.
    void Start(const QStringList& options = {}) {
        const std::uint16_t port = m_head.Start(options);
        ASSERT_NE(port, 0) << "the simulated head did not start";
        ASSERT_TRUE(m_folder.isValid());
        m_app =
            std::make_unique<CTamsorApp>(m_folder.path() + QLatin1Char('/'), WriteSettings(m_folder, port));
        m_started = m_app->Start();
        ASSERT_TRUE(m_started);
    }
    void TearDown() override {
        if (m_started) {
            m_app->Shutdown();
        }
    }

    HeadProcess m_head;
    QTemporaryDir m_folder;
    std::unique_ptr<CTamsorApp> m_app;
    bool m_started = false;
};

TEST_F(ConsoleWithHead, PingsArriveAndThePictureChanges) {
    ASSERT_NO_FATAL_FAILURE(Start());
    CTamsorApp& app = *m_app;
    CTamsorDoc& doc = app.Document();
    ASSERT_EQ(doc.m_sonarAddress, "127.0.0.1");
    ASSERT_EQ(doc.m_outputAddress, "127.0.0.1");
    app.Frame().OnCommand(kCmdDiagnostics);

    const QImage before = app.Frame().View()->grab().toImage();
    WaitForPings(doc, 5);
    ASSERT_GE(doc.Head(0).m_pingCounter, 5);
    QTest::qWait(100);
    const QImage after = app.Frame().View()->grab().toImage();
    EXPECT_NE(before, after);
    EXPECT_EQ(app.Frame().DiagDlg()->ValueText(1023), QStringLiteral(":   Yes"));
}

// A head that answers its first requests with garbage (random bytes of a reply's length, of
// random lengths, or nothing): the console lives through it and draws whole pings once the head
// behaves.
TEST_F(ConsoleWithHead, SurvivesAHeadThatAnswersWithGarbage) {
    ASSERT_NO_FATAL_FAILURE(
        Start({QStringLiteral("--garbage"), QStringLiteral("0.5"), QStringLiteral("--garbage-requests"),
               QStringLiteral("24"), QStringLiteral("--seed"), QStringLiteral("5")}));
    const CTamsorDoc& doc = m_app->Document();
    WaitForPings(doc, 3);
    ASSERT_GE(doc.Head(0).m_pingCounter, 3);
    EXPECT_GT(doc.m_linkStats.retries, 0u);
    EXPECT_EQ(doc.Head(0).m_headerText, "SIM");
}

} // namespace
} // namespace vexar::test

#endif // VEXAR_HEADSIM_PATH
