// The document's side of playback: opening a recording, what the end of a pass means, taking
// the played pings in through the one ping entry (CPlayback reads the records and turns them into
// pings; the document applies their header values and sentences), and the XYZ export of a played
// recording.

#include "acquisition/CTamsorDoc.h"

namespace vexar {

namespace {
void StopTimers(ITimerPort* timers, std::initializer_list<int> ids) {
    if (timers != nullptr) {
        for (const int id : ids) {
            timers->Stop(id);
        }
    }
}
} // namespace

// ---------------------------------------------------------------------------------------------
// Opening

void CTamsorDoc::OnOpenPlayback() {
    const bool wasPlayback = IsPlayback() && m_playback.Player().IsOpen();
    // No step runs under the dialog; it resumes if the dialog is cancelled.
    StopTimers(m_ports.timers, {kWatchdogTimer, kPingTimer, kPlaybackTimer});
    std::optional<std::string> chosen;
    if (IOperatorPort* op = m_ports.operatorPort; op != nullptr) {
        FileDialogRequest request;
        request.title = "Open Data File:";
        request.folder = m_settings.system.readFolder;
        request.filterText = "Sonar Data Files: (*.R96) ";
        request.filterPattern = "*.R96";
        chosen = op->AskOpenFile(request);
    }
    if (!chosen || chosen->empty()) {
        ResumeAfterCancel(wasPlayback);
        return;
    }
    OpenPlayback(*chosen);
}

void CTamsorDoc::ResumeAfterCancel(bool wasPlayback) {
    ITimerPort* timers = m_ports.timers;
    if (timers == nullptr || m_hold) {
        return;
    }
    if (wasPlayback) {
        timers->Arm(kPlaybackTimer, m_playback.NextStepDelayMs());
        return;
    }
    if (m_live.Link().connected) {
        timers->Arm(kPingTimer, m_settings.system.pingDelayMs);
    }
    // A head that falls silent after the dialog is noticed as it would have been before it.
    timers->Arm(kWatchdogTimer, kWatchdogMs);
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
    StopTimers(m_ports.timers, {kWatchdogTimer, kPingTimer});
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
    EnterPlayback(path);
    SetMode(oneShot ? DocMode::Conversion : DocMode::Playback);
    Notify(&IDocumentListener::OnPlaybackOpened, m_playback.Player().FileLength());
    StopTimers(m_ports.timers, {kWatchdogTimer, kPingTimer});
    OpenOutputSocket();
    RefreshStatus();
    if (m_ports.timers != nullptr) {
        m_ports.timers->Arm(kPlaybackTimer, m_playback.NextStepDelayMs());
    }
    return true;
}

void CTamsorDoc::EnterPlayback(const std::string& path) {
    if (const std::string folder = FolderOf(path); !folder.empty()) {
        EditSettings([&](Settings& s) { s.system.readFolder = folder; });
    }
    // Played pings are not timed: the times of the last live ping would describe nothing shown.
    m_shown.Timings().sonarTimeMs = 0.0f;
    m_shown.Timings().acquisitionTimeMs = 0.0f;
    ResetPictureGeometry();
    CloseSockets();
    // The last live picture is not part of the file: it goes before the first played ping.
    m_ping.ForgetNewPing();
    ClearCombinedImage();
    m_shown.ClearPicture();
    SetTitle(m_playback.FileTitle());
}

// ---------------------------------------------------------------------------------------------
// Playing into the document

bool CTamsorDoc::Playing() const {
    return IsPlayback();
}

bool CTamsorDoc::Held() const {
    return m_hold;
}

void CTamsorDoc::HoldForPlayback() {
    OnHold();
}

const Settings& CTamsorDoc::PlaybackSettings() const {
    return m_settings;
}

void CTamsorDoc::PlaybackMoved(int percent) {
    Notify(&IDocumentListener::OnPlaybackMoved, percent);
}

std::optional<StepResult> CTamsorDoc::PassEnded() {
    CPlayer& player = m_playback.Player();
    if (m_conversion.IsActive() && !player.PassPlayedNothing()) {
        // The export ends with the file: playback holds on its last ping.
        m_conversion.Finish();
        return StepResult::AtEnd;
    }
    if (player.PassPlayedNothing()) {
        // Not one record in the whole file: nothing to show, and nothing will come.
        if (IOperatorPort* op = m_ports.operatorPort; op != nullptr) {
            op->ShowMessage("File has no data!!!  ", MessageIcon::Error);
        }
        OnRealTime();
        return StepResult::Idle;
    }
    player.Rewind();
    return std::nullopt;
}

void CTamsorDoc::ShowPlaybackTitle(const std::string& title) {
    if (!m_recording.Recorder().AnyRecording()) {
        SetTitle(title);
    }
}

IRecordCopy* CTamsorDoc::RecordCopy() {
    return m_recording.Recorder().IsCopying() ? &m_recording.Recorder() : nullptr;
}

void CTamsorDoc::EnterPlayedPing(const PlayedPing& ping) {
    m_shown.TakeRecordValues(ping.fileValues, ping.pingPeriodMs);
    std::copy(ping.lastRequest->begin(), ping.lastRequest->end(), m_ping.Heads()[0].m_commandPacket.begin());
    m_shown.TakeSentence(ping.input.sentence, m_conversion.IsActive());
    EnterPing(ping.input);
}

// ---------------------------------------------------------------------------------------------
// XYZ export

void CTamsorDoc::EnterConversion(bool release) {
    SetModeAndHold(DocMode::Conversion, release ? false : m_hold);
}

void CTamsorDoc::HoldAfterConversion(bool looping) {
    if (!m_hold) {
        m_holdAfterConversion = true;
    }
    SetModeAndHold(looping ? DocMode::Playback : m_mode, true);
}

} // namespace vexar
