#include "app/CVideoExportDlg.h"

#include "video/CVideoDocument.h"

#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QVBoxLayout>

namespace vexar {

namespace {
// The progress is looked at this often; the job itself never waits for the dialog.
constexpr int kPollMs = 100;
} // namespace

bool CVideoExportDlg::CanExport(const CTamsorDoc& doc) {
    return VideoExportSourceOf(doc).playing;
}

CVideoExportDlg* CVideoExportDlg::OnExportVideo(const CTamsorDoc& doc, QWidget* parent) {
    const VideoExportSource source = VideoExportSourceOf(doc);
    if (!source.playing) {
        return nullptr;
    }
    const QString proposed = QString::fromStdString(source.writeFolder) +
                             QFileInfo(QString::fromStdString(source.recording)).completeBaseName() +
                             QStringLiteral(".mp4");
    QString path = QFileDialog::getSaveFileName(parent, QStringLiteral("Export Video As:"), proposed,
                                                QStringLiteral("MPEG-4 Video: (*.mp4)"));
    if (path.isEmpty()) {
        return nullptr;
    }
    if (QFileInfo(path).suffix().isEmpty()) {
        path += QStringLiteral(".mp4");
    }
    auto* dialog = new CVideoExportDlg(doc, path, parent);
    dialog->show();
    return dialog;
}

CVideoExportDlg::CVideoExportDlg(const CTamsorDoc& doc, const QString& path, QWidget* parent)
    : QDialog(parent), m_path(path), m_status(new QLabel(this)), m_bar(new QProgressBar(this)),
      m_button(new QPushButton(QStringLiteral("Cancel"), this)) {
    setWindowTitle(QStringLiteral("Export Video"));
    setAttribute(Qt::WA_DeleteOnClose);
    auto* layout = new QVBoxLayout(this);
    m_status->setMinimumWidth(420);
    m_status->setWordWrap(true);
    layout->addWidget(m_status);
    m_bar->setRange(0, 1000);
    layout->addWidget(m_bar);
    layout->addWidget(m_button, 0, Qt::AlignRight);
    connect(m_button, &QPushButton::clicked, this, &CVideoExportDlg::reject);
    connect(&m_poll, &QTimer::timeout, this, &CVideoExportDlg::ShowProgress);

    const VideoExportSource source = VideoExportSourceOf(doc);
    VideoJobOptions options;
    options.recordings = {source.recording};
    options.output = path.toStdString();
    options.settings = source.settings;
    options.background = true;
    m_status->setText(QStringLiteral("Checking %1 ...").arg(QString::fromStdString(source.recording)));
    m_thread = std::thread([this, options = std::move(options)] {
        CVideoJob job(options);
        const VideoResult result = job.Run(
            [this](const VideoProgress& progress) {
                m_encoding.store(progress.stage == VideoProgress::Stage::Encoding);
                m_total.store(progress.total);
                m_done.store(progress.done);
            },
            m_cancel);
        // Runs on the dialog's thread, unless the dialog is already gone.
        QMetaObject::invokeMethod(
            this, [this, result] { OnJobDone(result); }, Qt::QueuedConnection);
    });
    m_poll.start(kPollMs);
}

CVideoExportDlg::~CVideoExportDlg() {
    m_cancel.store(true);
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

void CVideoExportDlg::Cancel() {
    if (IsRunning()) {
        m_cancel.store(true);
        m_button->setEnabled(false);
        m_status->setText(QStringLiteral("Cancelling..."));
    }
}

void CVideoExportDlg::reject() {
    if (IsRunning()) {
        Cancel();
        return;
    }
    QDialog::reject();
}

QString CVideoExportDlg::StatusText() const {
    return m_status->text();
}

void CVideoExportDlg::ShowProgress() {
    if (m_cancel.load() || !m_encoding.load()) {
        return;
    }
    const std::uint64_t total = m_total.load();
    const std::uint64_t done = m_done.load();
    if (total > 0) {
        m_bar->setValue(static_cast<int>(done * 1000 / total));
        m_status->setText(QStringLiteral("Writing %1: frame %2 of %3").arg(m_path).arg(done).arg(total));
    }
}

void CVideoExportDlg::OnJobDone(const VideoResult& result) {
    m_poll.stop();
    m_thread.join();
    m_finished = true;
    m_result = result;
    m_button->setEnabled(true);
    m_button->setText(QStringLiteral("Close"));
    switch (result.outcome) {
    case VideoOutcome::Written:
        m_bar->setValue(m_bar->maximum());
        m_status->setText(QStringLiteral("%1 written: %2 s of video, %3 frames")
                              .arg(m_path)
                              .arg(result.summary.videoSeconds, 0, 'f', 1)
                              .arg(result.summary.frames));
        break;
    case VideoOutcome::Failed:
        m_status->setText(
            QStringLiteral("No video was written: %1").arg(QString::fromStdString(result.message)));
        break;
    case VideoOutcome::Cancelled:
        m_status->setText(QStringLiteral("Cancelled; no video was written."));
        break;
    }
    emit Finished();
    if (result.outcome == VideoOutcome::Cancelled) {
        close();
    }
}

} // namespace vexar
