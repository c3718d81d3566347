// The contacts controller's files: following the document from one contacts file to the next,
// telling the operator once when writes fail, and handing the contacts over.

#include "app/CContactsController.h"

#include "acquisition/CTamsorDoc.h"
#include "app/CMOndrelView.h"
#include "app/ContactDocument.h"

#include <QCoreApplication>
#include <QDate>
#include <QFileDialog>
#include <QFileInfo>

#include <filesystem>
#include <fstream>

namespace vexar {

void CContactsController::FollowFile() {
    const std::string path = contact_doc::ContactsFileOf(m_doc, QDate::currentDate());
    if (path == m_path) {
        return;
    }
    m_path = path;
    m_selected = 0;
    m_refused = false;
    contacts::ContactFileRead read = contacts::ReadContactFile(path);
    if (!read.ok) {
        // Never written over: the ping goes on without the file's contacts.
        m_refused = true;
        Tell(read.error + "\n\nThe file is left as it is. Contacts marked now are kept in this session only; "
                          "use \"Export Contacts...\" to save them.");
    }
    m_list.Load(std::move(read.contacts));
    m_view.update();
    emit contactsChanged();
}

void CContactsController::OnPingProcessed() {
    // The day's file changes at midnight; the rest follow the document's own events.
    if (!m_path.empty() && !m_doc.IsPlayback() && !m_doc.Recording().Current().active) {
        FollowFile();
    }
}

void CContactsController::OnRealTimeStarted() {
    FollowFile();
}

void CContactsController::OnPlaybackOpened(std::uint64_t) {
    FollowFile();
}

void CContactsController::OnRecordingChanged(const RecordingStatus&) {
    FollowFile();
}

void CContactsController::CheckWriter() {
    const contacts::CContactWriter::State state = m_writer.CurrentState();
    if (!state.error.empty() && !m_failureShown) {
        m_failureShown = true;
        Tell("The contacts cannot be written: " + state.error +
             "\n\nThey are kept and are written as soon as the file can be written.");
    } else if (state.error.empty() && state.pending == 0) {
        m_failureShown = false;
    }
    emit stateChanged();
}

bool CContactsController::FlushWrites() {
    // The chips being encoded come first: their contacts are written with them.
    m_encoders.waitForDone();
    QCoreApplication::sendPostedEvents(this);
    return m_writer.Flush();
}

QString CContactsController::StateText() const {
    const contacts::CContactWriter::State state = m_writer.CurrentState();
    QString text = QString::fromStdString(m_path);
    if (m_refused) {
        return text + QStringLiteral(": not a contacts file; contacts kept in this session only");
    }
    if (state.pending > 0) {
        text += QStringLiteral(": %1 changes waiting to be written").arg(state.pending);
        if (!state.error.empty()) {
            text += QStringLiteral(" (") + QString::fromStdString(state.error) + QStringLiteral(")");
        }
        return text;
    }
    return text + QStringLiteral(": all written");
}

std::string CContactsController::ExportTo(const std::string& path) {
    // The exports read the contacts as the file holds them: what is still on its way goes first.
    const std::string suffix = QFileInfo(QString::fromStdString(path)).suffix().toLower().toStdString();
    if (suffix == "html" || suffix == "htm") {
        const std::string title = "Contacts of " + std::filesystem::path(m_path).filename().string();
        std::ofstream out(path, std::ios::binary | std::ios::trunc);
        out << contacts::ContactReportHtml(m_list.All(), title);
        out.close();
        return out ? std::string() : "cannot write " + path;
    }
    if (m_refused || !FlushWrites()) {
        return "the contacts are not all written to " + m_path + " yet, so they cannot be exported as " +
               suffix + "; an HTML report can be saved";
    }
    if (suffix == "kml") {
        return contacts::ExportContactFile(m_path, path, contacts::ContactFormat::Kml);
    }
    if (suffix == "geojson" || suffix == "json") {
        return contacts::ExportContactFile(m_path, path, contacts::ContactFormat::GeoJson);
    }
    if (suffix == "csv") {
        return contacts::ExportContactFile(m_path, path, contacts::ContactFormat::Csv);
    }
    return "unknown format \"" + suffix + "\": use .kml, .geojson, .csv or .html";
}

void CContactsController::Export(QWidget* dialogParent) {
    FollowFile();
    const QString path = QFileDialog::getSaveFileName(
        dialogParent, QStringLiteral("Export Contacts"),
        QString::fromStdString(m_doc.GetSettings().system.writeFolder),
        QStringLiteral("KML (*.kml);;GeoJSON (*.geojson);;CSV (*.csv);;HTML report (*.html)"));
    if (path.isEmpty()) {
        return;
    }
    const std::string error = ExportTo(path.toStdString());
    if (!error.empty()) {
        Tell("The contacts could not be exported: " + error + ".");
    }
}

} // namespace vexar
