#include "app/QtOperatorPort.h"

#include "app/CMainFrame.h"

#include <QDir>
#include <QFileDialog>
#include <QMessageBox>

namespace vexar {

namespace {
QString DialogFilter(const FileDialogRequest& request) {
    return QStringLiteral("%1 (%2)").arg(QString::fromStdString(request.filterText),
                                         QString::fromStdString(request.filterPattern));
}

QString StartPath(const FileDialogRequest& request) {
    return QDir(QString::fromStdString(request.folder))
        .filePath(QString::fromStdString(request.proposedName));
}

// QFileDialog::getOpenFileName or QFileDialog::getSaveFileName.
using FileDialog = QString (*)(QWidget*, const QString&, const QString&, const QString&, QString*,
                               QFileDialog::Options);

// The path the operator chose in `dialog`, or nothing when the dialog was cancelled.
std::optional<std::string> AskFile(FileDialog dialog, QWidget* parent, const FileDialogRequest& request) {
    const QString path = dialog(parent, QString::fromStdString(request.title), StartPath(request),
                                DialogFilter(request), nullptr, QFileDialog::Options());
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path.toStdString();
}
} // namespace

void QtOperatorPort::ShowMessage(const std::string& text, MessageIcon icon) {
    QMessageBox box(m_frame);
    box.setWindowTitle(QStringLiteral("Vexar"));
    box.setText(QString::fromStdString(text));
    box.setIcon(icon == MessageIcon::Warning ? QMessageBox::Warning
                : icon == MessageIcon::Error ? QMessageBox::Critical
                                             : QMessageBox::Information);
    box.exec();
}

bool QtOperatorPort::AskYesNo(const std::string& text) {
    return QMessageBox::question(m_frame, QStringLiteral("Vexar"), QString::fromStdString(text),
                                 QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

std::optional<std::string> QtOperatorPort::AskOpenFile(const FileDialogRequest& request) {
    return AskFile(&QFileDialog::getOpenFileName, m_frame, request);
}

std::optional<std::string> QtOperatorPort::AskSaveFile(const FileDialogRequest& request) {
    return AskFile(&QFileDialog::getSaveFileName, m_frame, request);
}

void QtOperatorPort::SetTitle(const std::string& title) {
    if (m_frame != nullptr) {
        m_frame->SetDocumentTitle(QString::fromStdString(title));
    }
}

} // namespace vexar
