// "Export Video..." in playback: the video of the played recording is made on a thread of its own
// while the console plays on, and cancelling from the dialog leaves no file behind.

#include "ConsoleFixture.h"

#include "app/CVideoExportDlg.h"
#include "app/ConsoleCommands.h"
#include "files/CPlayer.h"
#include "files/RecordHeader.h"
#include "support/RecordingFixture.h"

#include <QAction>
#include <QDir>
#include <QElapsedTimer>
#include <QPointer>
#include <QPushButton>
#include <QTest>

#include <algorithm>
#include <cstdio>
#include <set>

namespace vexar::test {
namespace {

class VideoExportTest : public ConsoleTest {
protected:
    // A recording of pings 100 ms apart, played by the console.
    void PlayRecording(int pings) {
        Bytes file;
        for (int ping = 0; ping < pings; ++ping) {
            Bytes record = MakeRawRecord(64, ping);
            char stamp[kTimeStampLength + 1];
            std::snprintf(stamp, sizeof stamp, "071220261141%05d", 100 * ping);
            std::copy(stamp, stamp + kTimeStampLength, record.begin() + 10);
            Append(file, record);
        }
        const std::string path = m_folder.filePath(QStringLiteral("quay.R96")).toStdString();
        WriteFile(path, file);
        ASSERT_TRUE(m_doc->OpenPlayback(path));
    }

    // Starts the export to `name` and plays the console's file while `until` is false.
    QPointer<CVideoExportDlg> Export(const QString& name, const std::function<bool()>& until) {
        QPointer<CVideoExportDlg> dialog =
            new CVideoExportDlg(*m_doc, m_folder.filePath(name), m_frame.get());
        QObject::connect(dialog, &CVideoExportDlg::Finished, [this] { m_finished = true; });
        QElapsedTimer clock;
        clock.start();
        while (!until() && clock.elapsed() < 120000) {
            if (m_doc->Playback().Step() == StepResult::Ping) {
                ++m_consolePings;
            }
            QTest::qWait(5);
        }
        return dialog;
    }

    std::set<std::string> Files() const {
        std::set<std::string> names;
        for (const QString& name : QDir(m_folder.path()).entryList(QDir::Files | QDir::Hidden)) {
            names.insert(name.toStdString());
        }
        return names;
    }

    bool m_finished = false;
    int m_consolePings = 0;
};

TEST_F(VideoExportTest, MakesTheVideoWhileTheConsolePlaysOn) {
    m_frame->UpdateCommandStates();
    EXPECT_FALSE(m_frame->Action(kCmdExportVideo)->isEnabled()) << "nothing is played in real time";
    PlayRecording(10);
    m_frame->UpdateCommandStates();
    EXPECT_TRUE(m_frame->Action(kCmdExportVideo)->isEnabled());

    const QPointer<CVideoExportDlg> dialog =
        Export(QStringLiteral("quay.mp4"), [this] { return m_finished; });
    ASSERT_TRUE(m_finished);
    ASSERT_FALSE(dialog.isNull());
    EXPECT_EQ(dialog->Outcome(), VideoOutcome::Written) << dialog->StatusText().toStdString();
    EXPECT_TRUE(dialog->StatusText().contains(QStringLiteral("25 frames")))
        << dialog->StatusText().toStdString();
    EXPECT_EQ(Files(), (std::set<std::string>{"Vexar.INI", "quay.R96", "quay.mp4"}));
    EXPECT_GT(m_consolePings, 0);
    EXPECT_EQ(m_doc->Mode(), DocMode::Playback);
}

TEST_F(VideoExportTest, CancelWhileWritingLeavesNoFile) {
    PlayRecording(60);
    // Cancelled as the operator does, once the video is being written.
    const auto writing = [this] {
        const std::set<std::string> files = Files();
        return m_finished || std::any_of(files.begin(), files.end(), [](const std::string& name) {
                   return name.find(".partial-") != std::string::npos;
               });
    };
    QPointer<CVideoExportDlg> dialog = Export(QStringLiteral("quay.mp4"), writing);
    ASSERT_FALSE(m_finished) << "the export ended before it could be cancelled";
    QPushButton* cancel = dialog->findChild<QPushButton*>();
    ASSERT_NE(cancel, nullptr);
    EXPECT_EQ(cancel->text(), QStringLiteral("Cancel"));
    cancel->click();
    EXPECT_TRUE(QTest::qWaitFor([&] { return m_finished; }, 60000));
    EXPECT_TRUE(QTest::qWaitFor([&] { return dialog.isNull(); }, 5000)) << "the dialog closes itself";
    EXPECT_EQ(Files(), (std::set<std::string>{"Vexar.INI", "quay.R96"}));
}

} // namespace
} // namespace vexar::test
