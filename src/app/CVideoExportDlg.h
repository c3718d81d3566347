#pragma once
// CVideoExportDlg: "Export Video..." of the File menu in playback. It asks where to write an MP4
// video of the played recording and makes it on a thread of its own, with a document of its own,
// while the console goes on playing or pinging; the dialog shows the progress and cancels. It is
// modeless and deletes itself when closed; closed while the video is being made, it cancels it
// and waits for the job, which leaves no file behind.

#include "video/CVideoJob.h"

#include <QDialog>
#include <QTimer>

#include <atomic>
#include <thread>

class QLabel;
class QProgressBar;
class QPushButton;

namespace vexar {

class CTamsorDoc;

class CVideoExportDlg : public QDialog {
    Q_OBJECT
public:
    /// Whether "Export Video..." can run: a recording is being played.
    static bool CanExport(const CTamsorDoc& doc);
    /// The command: asks for the video's file name and starts the export; the dialog is returned
    /// (owned by `parent`), or null when the operator cancelled or nothing is played.
    static CVideoExportDlg* OnExportVideo(const CTamsorDoc& doc, QWidget* parent);

    /// Starts making a video of the played recording of `doc` into `path` at once.
    CVideoExportDlg(const CTamsorDoc& doc, const QString& path, QWidget* parent);
    /// Cancels a video still being made and waits for its job.
    ~CVideoExportDlg() override;

    /// Asks the job to stop; it removes what it has written. The dialog closes when it has.
    void Cancel();
    bool IsRunning() const { return m_thread.joinable() && !m_finished; }
    /// How the job ended; Failed while it runs.
    VideoOutcome Outcome() const { return m_result.outcome; }
    QString StatusText() const;

signals:
    /// The job has ended, whatever its outcome.
    void Finished();

protected:
    /// Esc, the window's close button and "Cancel": cancel first while the video is being made.
    void reject() override;

private:
    void ShowProgress();
    void OnJobDone(const VideoResult& result);

    QString m_path;
    QLabel* m_status = nullptr;
    QProgressBar* m_bar = nullptr;
    QPushButton* m_button = nullptr;
    QTimer m_poll;
    std::atomic<bool> m_cancel{false};
    std::atomic<std::uint64_t> m_done{0};
    std::atomic<std::uint64_t> m_total{0};
    std::atomic<bool> m_encoding{false};
    bool m_finished = false;
    VideoResult m_result;
    std::thread m_thread;
};

} // namespace vexar
