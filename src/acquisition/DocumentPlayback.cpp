// The document's side of playback: opening a recording and leaving one that fails, taking the
// played pings in through the one ping entry (CPlayback reads the records and turns them into
// pings; the document applies their header values and sentences), and the Hold at the end of the
// XYZ export of a played recording.

#include "acquisition/CTamsorDoc.h"

namespace vexar {

// ---------------------------------------------------------------------------------------------
// Opening

void CTamsorDoc::OnOpenPlayback() {
    const bool wasPlayback = IsPlayback() && m_playback.Player().IsOpen();
    // No step runs under the dialog; what ran before goes on if it is cancelled.
    m_live.Pause();
    m_playback.Pause();
    if (const std::optional<std::string> chosen =
            AskPlaybackFile(m_ports.operatorPort, m_settings.system.readFolder)) {
        OpenPlayback(*chosen);
    } else if (wasPlayback) {
        m_playback.Resume();
    } else {
        m_live.Resume(m_settings.system.pingDelayMs);
    }
}

bool CTamsorDoc::RefusePlayback(const char* text, bool wasPlayback) {
    if (IOperatorPort* op = m_ports.operatorPort; op != nullptr) {
        op->ShowMessage(text, MessageIcon::Error);
    }
    m_playback.Player().Close();
    if (wasPlayback) {
        OnRealTime();
    } else {
        StartAcquisition();
    }
    return false;
}

bool CTamsorDoc::OpenPlayback(const std::string& path, bool oneShot) {
    const bool wasPlayback = IsPlayback();
    m_live.Pause();
    CloseAllFiles();
    if (!wasPlayback && !oneShot) {
        // "Real Time" reloads the settings file: with every live setting in it, the operator
        // gets back exactly what was in force when the file was opened.
        SaveSettings(SaveGroup::Head);
        SaveSettings(SaveGroup::Other);
    }
    switch (m_playback.Open(path, !oneShot)) {
    case CPlayer::OpenResult::CannotOpen:
        return RefusePlayback("Error opening file !   ", wasPlayback);
    case CPlayer::OpenResult::NoData:
        return RefusePlayback("File has no data!!!  ", wasPlayback);
    case CPlayer::OpenResult::Opened:
        break;
    }
    if (const std::string folder = FolderOf(path); !folder.empty()) {
        EditSettings([&](Settings& s) { s.system.readFolder = folder; });
    }
    // Played pings are not timed: the times of the last live ping would describe nothing shown.
    m_shown.Timings().sonarTimeMs = 0.0f;
    m_shown.Timings().acquisitionTimeMs = 0.0f;
    m_shown.ResetGeometry();
    CloseSockets();
    // The last live picture is not part of the file: it goes before the first played ping.
    m_ping.ForgetNewPing();
    m_ping.ClearImage();
    m_shown.ClearPicture();
    SetTitle(m_playback.FileTitle());
    SetMode(oneShot ? DocMode::Conversion : DocMode::Playback);
    m_events.Notify(&IDocumentListener::OnPlaybackOpened, m_playback.Player().FileLength());
    m_live.Pause();
    m_recording.OpenOutput();
    RefreshStatus();
    m_playback.Start();
    return true;
}

// ---------------------------------------------------------------------------------------------
// Playing into the document

void CTamsorDoc::ShowPlaybackTitle(const std::string& title) {
    if (!m_recording.Recorder().AnyRecording()) {
        SetTitle(title);
    }
}

void CTamsorDoc::EnterPlayedPing(const PlayedPing& ping) {
    m_shown.TakeRecordValues(ping.fileValues, ping.pingPeriodMs);
    std::copy(ping.lastRequest->begin(), ping.lastRequest->end(), m_ping.Heads()[0].m_commandPacket.begin());
    m_shown.TakeSentence(ping.input.sentence, m_conversion.IsActive());
    EnterPing(ping.input);
}

// ---------------------------------------------------------------------------------------------
// XYZ export

void CTamsorDoc::HoldAfterConversion(bool looping) {
    if (!m_hold) {
        m_holdAfterConversion = true;
    }
    SetModeAndHold(looping ? DocMode::Playback : m_mode, true);
}

} // namespace vexar
