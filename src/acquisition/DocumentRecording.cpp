// The document's recording commands: which file a recording goes to, what the title says, and
// who writes the records (the sonar link writes live raw records where it exchanges them; the
// recorder everything else).

#include "acquisition/CTamsorDoc.h"

namespace vexar {

namespace {
FileDialogRequest SaveRequest(RecordKind kind, const std::string& folder, const std::string& name) {
    FileDialogRequest request;
    request.title = "Save Sonar Data File:";
    request.folder = folder;
    request.proposedName = name;
    switch (kind) {
    case RecordKind::Raw:
        request.filterText = "Sonar Raw Data File: (*.R96)";
        request.filterPattern = "*.R96";
        break;
    case RecordKind::Beam:
        request.filterText = "Sonar Beam Data File: (*.B96)";
        request.filterPattern = "*.B96";
        break;
    case RecordKind::Point:
        request.filterText = "Sonar Profile Points Data File: (*.P96)";
        request.filterPattern = "*.P96";
        break;
    }
    return request;
}
} // namespace

bool CTamsorDoc::LinkRecords() const {
    return m_recorder.IsRecording(RecordKind::Raw) && !IsPlayback() && m_live.SonarLink() != nullptr;
}

RecordingStatus CTamsorDoc::CurrentRecording() const {
    RecordingStatus status;
    if (m_recorder.AnyRecording() && m_recorder.FileIsOpen()) {
        status.path = m_recorder.FilePath();
        status.bytes = m_recorder.RecordFileBytes();
    } else if (LinkRecords()) {
        // A live raw recording is the link's.
        const RawRecordingState recording = m_live.SonarLink()->Recording();
        if (recording.active) {
            status.path = recording.path;
            status.bytes = recording.bytes;
        }
    }
    status.active = !status.path.empty();
    return status;
}

void CTamsorDoc::NotifyRecordingChanged() {
    Notify(&IDocumentListener::OnRecordingChanged, CurrentRecording());
}

void CTamsorDoc::OnRecordingChanged() {
    NotifyRecordingChanged();
}

void CTamsorDoc::OnRecordingStopped() {
    if (!IsPlayback()) {
        SetTitle("Real Time");
    }
}

void CTamsorDoc::FollowLinkRecording(const RawRecordingState& state) {
    if (!LinkRecords() || state.active || !state.ended) {
        return;
    }
    m_live.SonarLink()->StopRecording();
    m_recorder.StopAll();
    IOperatorPort* op = m_ports.operatorPort;
    if (op == nullptr || state.error.empty()) {
        return; // the record limit of a headless recording
    }
    if (state.error == kRollOverOpenFailed) {
        op->ShowMessage(kRollOverOpenFailed, MessageIcon::Error);
        return;
    }
    op->ShowMessage(state.error, MessageIcon::Error);
    op->ShowMessage("Error Writing File!", MessageIcon::Error);
}

void CTamsorDoc::UpdateRollOverRule() {
    RollOverRule rule;
    rule.limitBytes = SizeLimitBytes(System().autoFileSize);
    rule.folder = System().writeFolder;
    // In real time the automatic name is that of the current ping's clock reading; playback keeps
    // the played record's time in the clock strings, so the name is read afresh.
    rule.stem = [this] {
        if (IsPlayback() && m_ports.clock != nullptr) {
            return FormatAutoName(m_ports.clock->Now());
        }
        return m_clock.autoName;
    };
    m_recorder.SetRollOver(std::move(rule));
}

std::string CTamsorDoc::ProposedName(RecordKind kind) const {
    // With "&Auto File Name" off the operator names every file.
    if (System().autoFileName == 0) {
        return {};
    }
    if (kind == RecordKind::Raw && IsPlayback()) {
        return "Copy of " + m_playback.Player().FileName();
    }
    return m_clock.autoName + ExtensionOf(kind);
}

void CTamsorDoc::OnRecord(RecordKind kind) {
    if (m_recorder.IsRecording(kind)) {
        if (kind == RecordKind::Raw && LinkRecords()) {
            m_live.SonarLink()->StopRecording();
        }
        m_recorder.StopKind(kind);
        if (!IsPlayback()) {
            SetTitle("Real Time");
        }
        NotifyRecordingChanged();
        return;
    }
    if (!IsPlayback()) {
        RefreshClockStrings();
    } else if (m_ports.clock != nullptr) {
        // The played record's time stays in the clock strings; only the name is refreshed.
        m_clock.autoName = FormatAutoName(m_ports.clock->Now());
    }
    IOperatorPort* op = m_ports.operatorPort;
    if (op == nullptr) {
        return;
    }
    const auto chosen = op->AskSaveFile(SaveRequest(kind, System().writeFolder, ProposedName(kind)));
    if (!chosen || chosen->empty()) {
        return;
    }
    StartRecording(kind, *chosen);
}

bool CTamsorDoc::StartRecording(RecordKind kind, const std::string& path, std::uint64_t maxRecords) {
    IOperatorPort* op = m_ports.operatorPort;
    if (m_recorder.AnyRecording()) {
        if (op != nullptr) {
            op->ShowMessage("Data is already being saved to file.   ", MessageIcon::Warning);
        }
        return false;
    }
    if (IsPlayback() && NameOf(path) == m_playback.Player().FileName()) {
        if (op != nullptr) {
            op->ShowMessage("Can't write in this file ...\nThis file is used as playback!   ",
                            MessageIcon::Warning);
        }
        return false;
    }
    const std::string previousTitle = m_title;
    if (!IsPlayback()) {
        SetTitle("Real Time -- Recording to File: " + path);
    } else if (kind == RecordKind::Raw) {
        SetTitle("Playback -- Copying to File: " + path);
    } else {
        SetTitle("Playback -- Converting to File: " + path);
    }
    if (const std::string folder = FolderOf(path); !folder.empty()) {
        EditSettings([&](Settings& s) { s.system.writeFolder = folder; });
    }
    if (!m_recorder.FileIsOpen() && !m_recorder.OpenFile(path)) {
        SetTitle(previousTitle);
        return false;
    }
    m_recorder.SetSwitch(kind, true);
    if (LinkRecords()) {
        // Live pings are recorded where they are exchanged: the link takes the open file and
        // writes each whole ping from the next one on.
        RawRecordingRequest request;
        request.path = path;
        request.folder = System().writeFolder;
        request.sizeLimitBytes = SizeLimitBytes(System().autoFileSize);
        request.maxRecords = maxRecords;
        m_live.SonarLink()->StartRecording(m_recorder.TakeFile(), request);
    }
    NotifyRecordingChanged();
    return true;
}

void CTamsorDoc::StopRecording() {
    m_recorder.FinishProducts();
    if (LinkRecords()) {
        m_live.SonarLink()->StopRecording();
    }
    m_recorder.StopAll();
}

} // namespace vexar
