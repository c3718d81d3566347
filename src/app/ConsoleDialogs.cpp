#include "app/ConsoleDialogs.h"

#include "acquisition/CTamsorDoc.h"
#include "app/CAboutDlg.h"
#include "app/CDataOutputDlg.h"
#include "app/CMountingDlg.h"
#include "app/CNavInputDlg.h"
#include "app/CPingDelayDlg.h"
#include "app/CSVInputDlg.h"
#include "app/GeoPictureExport.h"
#include "app/ScreenCapture.h"
#include "config/SettingsPanel.h"

#include <QApplication>
#include <QFileDialog>

namespace vexar {

ConsoleDialogs::ConsoleDialogs(CTamsorDoc& doc, QWidget& window, IOperatorPort* op)
    : m_doc(doc), m_window(window), m_operator(op) {}

void ConsoleDialogs::OnAbout() {
    CAboutDlg about(QString::fromLatin1(kVersionText), &m_window);
    about.exec();
}

void ConsoleDialogs::OnSoundVelocity() {
    CSVInputDlg dialog(&m_window);
    const bool live = !m_doc.IsPlayback();
    dialog.Load(m_doc.GetSettings().sonar.soundVelocity, m_doc.Shown().FileValues().soundVelocity,
                m_doc.GetSettings().system.useFileSlc != 0, !live);
    if (dialog.exec() == QDialog::Accepted) {
        const float velocity = dialog.Velocity();
        const bool useFile = dialog.UseFile();
        m_doc.EditSettings([&](Settings& s) { ApplySoundVelocity(s, live, velocity, useFile); });
        m_doc.ProcessPing(); // the current ping again, at the new velocity
    }
}

void ConsoleDialogs::OnPingDelay() {
    CPingDelayDlg dialog(m_doc.GetSettings().system.pingDelayMs, &m_window);
    if (dialog.exec() == QDialog::Accepted) {
        const int delayMs = dialog.DelayMs();
        m_doc.EditSettings([delayMs](Settings& s) { s.system.pingDelayMs = delayMs; });
    }
}

void ConsoleDialogs::OnDataOutput() {
    CDataOutputDlg dialog(m_doc, &m_window);
    dialog.exec();
}

void ConsoleDialogs::OnNavigationInput() {
    CNavInputDlg dialog(m_doc.GetSettings().system, &m_window);
    if (dialog.exec() == QDialog::Accepted) {
        const SystemSettings chosen = dialog.Values();
        m_doc.EditSettings([&chosen](Settings& s) { s.system = chosen; });
    }
}

void ConsoleDialogs::OnMounting() {
    CMountingDlg dialog(m_doc.GetSettings().mounting, &m_window);
    if (dialog.exec() == QDialog::Accepted) {
        const HeadMounting chosen = dialog.Values();
        m_doc.EditSettings([&chosen](Settings& s) { s.mounting = chosen; });
    }
}

void ConsoleDialogs::Report(const std::string& text, MessageIcon icon) {
    if (m_operator != nullptr) {
        m_operator->ShowMessage(text, icon);
    }
}

void ConsoleDialogs::OnSaveGeoPicture(CMOndrelView& view) {
    AskAndSavePictureAsGeoTiff(m_doc, view, &m_window, m_operator);
}

void ConsoleDialogs::OnSaveScreen() {
    const QString path = QFileDialog::getSaveFileName(
        &m_window, QStringLiteral("Save Image As:"),
        QString::fromStdString(m_doc.GetSettings().system.writeFolder), SaveScreenFilters());
    // Redraw at once so that the dialog is not in the picture.
    m_window.repaint();
    QApplication::processEvents();
    SaveScreenTo(path);
}

void ConsoleDialogs::SaveScreenTo(const QString& path) {
    const QImage image = CaptureWindow(m_window);
    if (image.isNull()) {
        Report("Can't save the screen!", MessageIcon::Error);
        return;
    }
    if (path.isEmpty()) {
        return; // the dialog was cancelled
    }
    switch (SaveScreenImage(image, path)) {
    case SaveScreenResult::InvalidFormat:
        Report("Invalid File Format", MessageIcon::Warning);
        break;
    case SaveScreenResult::WriteFailed:
        Report("Can't save the screen!", MessageIcon::Error);
        break;
    case SaveScreenResult::Saved:
        break;
    }
}

} // namespace vexar
