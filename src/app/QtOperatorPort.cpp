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

std::optional<std::string> QtOperatorPort::AskOpenFile(const FileDialogRequest& request) {
    const QString path = QFileDialog::getOpenFileName(m_frame, QString::fromStdString(request.title),
                                                      StartPath(request), DialogFilter(request));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path.toStdString();
}

std::optional<std::string> QtOperatorPort::AskSaveFile(const FileDialogRequest& request) {
    const QString path = QFileDialog::getSaveFileName(m_frame, QString::fromStdString(request.title),
                                                      StartPath(request), DialogFilter(request));
    if (path.isEmpty()) {
        return std::nullopt;
    }
    return path.toStdString();
}

void QtOperatorPort::SetTitle(const std::string& title) {
    if (m_frame != nullptr) {
        m_frame->SetDocumentTitle(QString::fromStdString(title));
    }
}

} // namespace vexar
