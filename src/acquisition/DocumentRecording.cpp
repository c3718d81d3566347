// What recording asks of the document: its folders, names, title and the live link. The
// commands themselves are CRecording's.

#include "acquisition/CTamsorDoc.h"

namespace vexar {

void CTamsorDoc::ChangeWriteFolder(const std::string& folder) {
    EditSettings([&](Settings& s) { s.system.writeFolder = folder; });
}

std::string CTamsorDoc::FreshAutoName() {
    if (!IsPlayback()) {
        m_shown.SetClock(ClockNow());
    } else if (m_ports.clock != nullptr) {
        // The played record's time stays in the clock strings; only the name is refreshed.
        m_shown.RenewAutoName(m_ports.clock->Now());
    }
    return m_shown.Clock().autoName;
}

std::string CTamsorDoc::RollOverName() const {
    // In real time the automatic name is that of the current ping's clock reading; playback keeps
    // the played record's time in the clock strings, so the name is read afresh.
    if (IsPlayback() && m_ports.clock != nullptr) {
        return FormatAutoName(m_ports.clock->Now());
    }
    return m_shown.Clock().autoName;
}

std::string CTamsorDoc::PlayedFileName() const {
    return m_playback.Player().FileName();
}

void CTamsorDoc::RecordingChanged(const RecordingStatus& status) {
    Notify(&IDocumentListener::OnRecordingChanged, status);
}

} // namespace vexar
