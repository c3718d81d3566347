// The document's playback: opening a recording, playing its records through the one ping entry
// (the player reads them; the document applies their headers and sentences), the operator's
// playback controls, and the XYZ export of a played recording.

#include "acquisition/CTamsorDoc.h"

#include "common/Numeric.h"

#include <cmath>
#include <cstdio>
#include <cstring>

namespace vexar {

namespace {
// A part of the time stamp as the C string formatting of the stamp would show it.
std::string StampPart(const std::string& stamp, std::size_t at, std::size_t length) {
    if (at >= stamp.size()) {
        return {};
    }
    std::string part = stamp.substr(at, length);
    if (const auto nul = part.find('\0'); nul != std::string::npos) {
        part.resize(nul);
    }
    return part;
}

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
    const bool wasPlayback = IsPlayback() && m_player.IsOpen();
    // No step runs under the dialog; it resumes if the dialog is cancelled.
    StopTimers(m_ports.timers, {kWatchdogTimer, kPingTimer, kPlaybackTimer});
    std::optional<std::string> chosen;
    if (IOperatorPort* op = m_ports.operatorPort; op != nullptr) {
        FileDialogRequest request;
        request.title = "Open Data File:";
        request.folder = System().readFolder;
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

void CTamsorDoc::OnConvertToXyz() {
    OnOpenPlayback();
    if (IsPlayback() && m_player.IsOpen()) {
        StartXyzExport();
    }
}

void CTamsorDoc::ResumeAfterCancel(bool wasPlayback) {
    ITimerPort* timers = m_ports.timers;
    if (timers == nullptr || m_hold) {
        return;
    }
    if (wasPlayback) {
        timers->Arm(kPlaybackTimer, m_player.NextStepDelayMs(System().sleepTimeMs));
    } else if (m_link.connected) {
        timers->Arm(kPingTimer, System().pingDelayMs);
    } else {
        timers->Arm(kWatchdogTimer, kWatchdogMs);
    }
}

bool CTamsorDoc::RefusePlayback(const char* text, bool wasPlayback) {
    if (IOperatorPort* op = m_ports.operatorPort; op != nullptr) {
        op->ShowMessage(text, MessageIcon::Error);
    }
    m_player.Close();
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
        SaveHeadSettings();
        SaveOtherSettings();
    }
    switch (m_player.Open(path)) {
    case CPlayer::OpenResult::CannotOpen:
        return RefusePlayback("Error opening file !   ", wasPlayback);
    case CPlayer::OpenResult::NoData:
        return RefusePlayback("File has no data!!!  ", wasPlayback);
    case CPlayer::OpenResult::Opened:
        break;
    }
    m_player.SetLooping(!oneShot);
    EnterPlayback(path);
    SetMode(oneShot ? DocMode::Conversion : DocMode::Playback);
    Notify(&IDocumentListener::OnPlaybackOpened, m_player.FileLength());
    StopTimers(m_ports.timers, {kWatchdogTimer, kPingTimer});
    OpenOutputSocket();
    RefreshStatus();
    if (m_ports.timers != nullptr) {
        m_ports.timers->Arm(kPlaybackTimer, m_player.NextStepDelayMs(System().sleepTimeMs));
    }
    return true;
}

void CTamsorDoc::EnterPlayback(const std::string& path) {
    if (const std::string folder = FolderOf(path); !folder.empty()) {
        EditSettings([&](Settings& s) { s.system.readFolder = folder; });
    }
    // Played pings are not timed: the times of the last live ping would describe nothing shown.
    m_timings.sonarTimeMs = 0.0f;
    m_timings.acquisitionTimeMs = 0.0f;
    ResetPictureGeometry();
    CloseSockets();
    // The last live picture is not part of the file: it goes before the first played ping.
    for (COndrel& head : m_heads) {
        head.m_newData = 0;
    }
    ClearCombinedImage();
    ++m_clearVersion;
    m_playbackTitle = "Playback File: " + path;
    SetTitle(m_playbackTitle);
}

// ---------------------------------------------------------------------------------------------
// One step

void CTamsorDoc::UpdatePlaybackTitle() {
    char text[128];
    std::snprintf(text, sizeof text, "%.1f M ( %d%% of Total %.1f M Bytes)",
                  static_cast<double>(m_player.Position()) / 1048576.0, m_player.PositionPercent(),
                  static_cast<double>(m_player.FileLength()) / 1048576.0);
    SetTitle(m_playbackTitle + "    ___" + text);
}

bool CTamsorDoc::EndPass() {
    if (m_player.PassPlayedNothing()) {
        // Not one record in the whole file: nothing to show, and nothing will come.
        if (IOperatorPort* op = m_ports.operatorPort; op != nullptr) {
            op->ShowMessage("File has no data!!!  ", MessageIcon::Error);
        }
        OnRealTime();
        return false;
    }
    m_player.Rewind();
    return true;
}

StepResult CTamsorDoc::PlaybackStep() {
    if (!m_player.IsOpen()) {
        return StepResult::Idle;
    }
    if (!m_dragging) {
        Notify(&IDocumentListener::OnPlaybackMoved, m_player.PositionPercent());
        if (m_player.AtEndOfFile()) {
            if (!m_player.IsLooping()) {
                return StepResult::AtEnd;
            }
            if (m_xyz.IsActive() && !m_player.PassPlayedNothing()) {
                // The export ends with the file: playback holds on its last ping.
                FinishXyzExport();
                return StepResult::AtEnd;
            }
            if (!EndPass()) {
                return StepResult::Idle;
            }
        }
        if (!m_recorder.AnyRecording()) {
            UpdatePlaybackTitle();
        }
    }
    IRecordCopy* copy = m_recorder.IsCopying() ? &m_recorder : nullptr;
    const StepResult result = m_player.ReadRecord(m_player.RecordedPace(), copy);
    if (result == StepResult::Ping) {
        EnterPlayedRecord(m_player.Record());
    }
    return result;
}

void CTamsorDoc::EnterPlayedRecord(const PlayedRecord& record) {
    PingInput input;
    input.settings = SettingsOfRecord(record);
    TakeRecordTimes(record.fields);
    FeedPairs(record);
    TakeSentence(record.sentence);
    input.payloads = &m_pingBuffer;
    input.lastReply = &m_replyBuffer;
    input.recordTexts = m_clock;
    EnterPing(input);
}

// The header's settings over the current ones: what the record cannot have been made with (a
// damaged field) keeps the current value.
PingSettings CTamsorDoc::SettingsOfRecord(const PlayedRecord& record) {
    const RecordHeaderFields& f = record.fields;
    PingSettings s = m_settings.sonar;
    s.transducerUp = f.transducerUp == 0x80 ? 1 : 0;
    UpdateHeadAzimuths(s);
    // The recorder stores microseconds and seconds; reading inverts exactly that, whatever the
    // label byte says, so a recording plays back with the values it was recorded with.
    s.pulseLength = f.pulseLengthUs / 10;
    if (f.beamCount == 1440 || f.beamCount == 720 || f.beamCount == 360) {
        SetBeams(s, f.beamCount / 3);
    }
    float velocity = f.soundVelocity;
    if (!(velocity >= 1400.0f && velocity <= 1600.0f)) {
        velocity = 1500.0f;
    }
    m_fileValues.soundVelocity = velocity;
    if (System().useFileSlc != 0) {
        s.soundVelocity = velocity;
    }
    const double frequency = f.frequencyHz;
    if (std::isfinite(frequency) && frequency >= 100000.0 && frequency <= 2000000.0) {
        const int base = TruncToInt(frequency / 1000.0);
        s.baseFrequencyKHz = base;
        s.frequencyStep = TruncToInt((frequency - base * 1000.0) / 50.0);
    }
    s.rangeM = f.rangeM;
    s.rangeIndex = RangeIndexFromMetres(s.rangeM);
    s.samples = record.packets > 65 ? 1000 : 500;
    return s;
}

void CTamsorDoc::TakeRecordTimes(const RecordHeaderFields& f) {
    const std::string& stamp = f.timeStamp;
    m_clock.date = StampPart(stamp, 0, 2) + "-" + StampPart(stamp, 2, 2) + "-" + StampPart(stamp, 4, 4);
    m_clock.time = StampPart(stamp, 8, 2) + ":" + StampPart(stamp, 10, 2) + ":" + StampPart(stamp, 12, 2);
    m_clock.millisecond = StampPart(stamp, 14, 3);
    m_clock.timeStamp = StampPart(stamp, 0, kTimeStampLength);
    m_fileValues.startGainDb = f.systemGainDb;
    for (std::size_t k = 0; k < f.quadrantGainsDb.size(); ++k) {
        m_fileValues.quadrantGainsDb[k] = f.quadrantGainsDb[k];
    }
    m_fileValues.displayGain = f.displayGain;
    if (std::isfinite(f.pingPeriodS)) {
        m_timings.displayedPingPeriodMs = f.pingPeriodS * 1000.0f;
    }
}

void CTamsorDoc::FeedPairs(const PlayedRecord& record) {
    COndrel& head = m_heads[0];
    for (int k = 0; k < record.packets; ++k) {
        const std::uint8_t* pair = record.pairs.data() + static_cast<std::size_t>(k) * kPacketPairSize;
        const std::uint8_t* reply = pair + kCommandPacketSize;
        std::memcpy(m_pingBuffer.data() + static_cast<std::size_t>(k) * kReplyPayloadSize,
                    reply + kReplyPayloadOffset, kReplyPayloadSize);
        if (k == 0) {
            std::memcpy(head.m_replyHeader.data(), reply, kReplyHeaderSize);
            head.ParseReturnHeader();
        }
        if (k == record.packets - 1) {
            std::memcpy(head.m_commandPacket.data(), pair, kCommandPacketSize);
            std::memcpy(m_replyBuffer.data(), reply, kReplyBlockSize);
        }
    }
}

void CTamsorDoc::TakeSentence(const std::optional<std::string_view>& sentence) {
    if (sentence) {
        m_navigationSentence.assign(sentence->data(), sentence->size());
    } else {
        m_navigationSentence.clear();
        m_navigation.ClearNavigation();
    }
    // The attitude of the last parsed sentence stays in force through records without one.
    if (m_navigationSentence.size() < 6) {
        m_navigationSentence.clear();
        m_navigation.ClearNavigation();
    } else {
        m_navigation.ParseNavigationSentence(m_navigationSentence, m_xyz.IsActive());
    }
}

// ---------------------------------------------------------------------------------------------
// The operator's controls

void CTamsorDoc::SetRecordedPace(bool on) {
    m_player.SetRecordedPace(on);
    if (m_ports.timers != nullptr && IsPlayback() && !m_hold) {
        m_ports.timers->Arm(kPlaybackTimer, m_player.NextStepDelayMs(System().sleepTimeMs));
    }
}

void CTamsorDoc::SetSleepTime(int sleepTimeMs) {
    EditSettings([sleepTimeMs](Settings& s) { s.system.sleepTimeMs = sleepTimeMs; });
    // A click sets the speed by "Sleep Time" again.
    m_player.SetRecordedPace(false);
    if (m_ports.timers != nullptr && IsPlayback()) {
        m_ports.timers->Arm(kPlaybackTimer, System().sleepTimeMs);
    }
}

void CTamsorDoc::ShowRecordAt(std::uint64_t offset) {
    m_player.SeekTo(offset);
    // A few steps at most: the end of the file loops to its start.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const StepResult result = PlaybackStep();
        if (result == StepResult::Ping || result == StepResult::Idle || result == StepResult::AtEnd) {
            break;
        }
    }
    m_player.RestartPace();
}

void CTamsorDoc::HoldPlayback() {
    if (!m_hold) {
        OnHold();
    }
    if (m_ports.timers != nullptr) {
        m_ports.timers->Stop(kPlaybackTimer);
    }
}

void CTamsorDoc::StepForward() {
    if (!CanControlPlayback()) {
        return;
    }
    HoldPlayback();
    ShowRecordAt(m_player.Position());
}

void CTamsorDoc::StepBack() {
    if (!CanControlPlayback()) {
        return;
    }
    HoldPlayback();
    if (const auto previous = m_player.PreviousRecordStart(m_player.ShownRecordStart())) {
        ShowRecordAt(*previous);
    } else {
        m_player.SeekTo(m_player.Position()); // the first record is shown: stay
    }
}

void CTamsorDoc::JumpToStart() {
    if (!CanControlPlayback()) {
        return;
    }
    m_player.BeginPass(true);
    if (m_hold) {
        ShowRecordAt(0);
        return;
    }
    m_player.SeekTo(0);
    m_player.RestartPace();
}

void CTamsorDoc::JumpToEnd() {
    if (!CanControlPlayback()) {
        return;
    }
    const auto last = m_player.PreviousRecordStart(m_player.FileLength());
    if (!last) {
        m_player.SeekTo(m_player.Position());
        return;
    }
    m_player.BeginPass(false);
    if (m_hold) {
        ShowRecordAt(*last);
        return;
    }
    m_player.SeekTo(*last);
    m_player.RestartPace();
}

bool CTamsorDoc::PlayRecordAt(std::uint64_t offset) {
    if (!CanControlPlayback() || offset >= m_player.FileLength()) {
        return false;
    }
    HoldPlayback();
    ShowRecordAt(offset);
    return m_player.ShownRecordStart() == offset;
}

void CTamsorDoc::OnSliderDragStart() {
    m_dragging = true;
}

void CTamsorDoc::OnSliderRelease(int position) {
    const int at = position >= 100 ? 0 : std::max(position, 0);
    if (IsPlayback()) {
        m_player.ResyncToRecord(m_player.BytesPerPercent() * static_cast<std::uint64_t>(at));
    }
    m_dragging = false;
    // A pass that starts here cannot tell whether the file holds a record.
    m_player.BeginPass(at == 0);
    m_player.RestartPace();
}

// ---------------------------------------------------------------------------------------------
// XYZ export

bool CTamsorDoc::StartXyzExport(const std::string& outputPath) {
    const std::string played = m_player.IsOpen() ? m_player.Path() : std::string();
    const std::string path = outputPath.empty() ? CompanionXyzPath(played) : outputPath;
    const bool started = m_xyz.StartToFile(path, played, m_navigation);
    if (!IsPlayback()) {
        return started;
    }
    // A conversion plays its file to the end: a held playback goes on.
    const bool wasHeld = m_hold;
    SetModeAndHold(DocMode::Conversion, false);
    if (ITimerPort* timers = m_ports.timers;
        wasHeld && timers != nullptr && !timers->IsArmed(kPlaybackTimer)) {
        timers->Arm(kPlaybackTimer, System().sleepTimeMs);
    }
    return started;
}

void CTamsorDoc::StartMapExport(IMapPointSink& sink) {
    m_xyz.StartToSink(sink, m_navigation);
    if (IsPlayback()) {
        SetMode(DocMode::Conversion);
    }
}

XyzExportResult CTamsorDoc::FinishXyzExport() {
    // An export to a sink ends with its owner, which closes the output and tells the result.
    const bool holds = !m_xyz.HasSink() && (m_xyz.IsActive() || m_xyz.IsWriting());
    const XyzExportResult result = m_xyz.Finish(m_navigation);
    if (!holds) {
        return result;
    }
    if (m_ports.timers != nullptr) {
        m_ports.timers->Stop(kPlaybackTimer);
    }
    if (!IsPlayback()) {
        return result;
    }
    // The timer handler re-arms after every step unless playback holds: stay on the last ping
    // instead of replaying the file without writing. "Real Time" releases this Hold.
    if (!m_hold) {
        m_holdAfterConversion = true;
    }
    SetModeAndHold(m_player.IsLooping() ? DocMode::Playback : m_mode, true);
    return result;
}

} // namespace vexar
