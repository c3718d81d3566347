#include "acquisition/CPlayback.h"

#include "common/Numeric.h"

#include <algorithm>
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

// The record's time stamp as the texts of the ping's time.
ClockTexts RecordTexts(const std::string& stamp) {
    ClockTexts texts;
    texts.date = StampPart(stamp, 0, 2) + "-" + StampPart(stamp, 2, 2) + "-" + StampPart(stamp, 4, 4);
    texts.time = StampPart(stamp, 8, 2) + ":" + StampPart(stamp, 10, 2) + ":" + StampPart(stamp, 12, 2);
    texts.millisecond = StampPart(stamp, 14, 3);
    texts.timeStamp = StampPart(stamp, 0, kTimeStampLength);
    return texts;
}
} // namespace

PingSettings SettingsOfRecord(const PlayedRecord& record, const PingSettings& choice, bool fileSoundVelocity,
                              FileHeaderValues& shown) {
    const RecordHeaderFields& f = record.fields;
    PingSettings s = choice;
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
    shown.soundVelocity = velocity;
    if (fileSoundVelocity) {
        s.soundVelocity = velocity;
    }
    const double frequency = static_cast<double>(f.frequencyHz);
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

std::optional<std::string> AskPlaybackFile(IOperatorPort* op, const std::string& folder) {
    if (op == nullptr) {
        return std::nullopt;
    }
    FileDialogRequest request;
    request.title = "Open Data File:";
    request.folder = folder;
    request.filterText = "Sonar Data Files: (*.R96) ";
    request.filterPattern = "*.R96";
    std::optional<std::string> chosen = op->AskOpenFile(request);
    if (chosen && chosen->empty()) {
        return std::nullopt;
    }
    return chosen;
}

CPlayback::CPlayback(IPlaybackHost& host, IClockPort* clock, ITimerPort* timers,
                     const CDocumentEvents& events)
    : m_host(host), m_events(events), m_timers(timers), m_player(clock) {}

CPlayer::OpenResult CPlayback::Open(const std::string& path, bool looping) {
    const CPlayer::OpenResult result = m_player.Open(path);
    if (result == CPlayer::OpenResult::Opened) {
        m_player.SetLooping(looping);
    }
    return result;
}

int CPlayback::NextStepDelayMs() const {
    return m_player.NextStepDelayMs(m_host.PlaybackSettings().system.sleepTimeMs);
}

bool CPlayback::OnTimer(int timerId) {
    if (timerId != kPlaybackTimer) {
        return false;
    }
    Pause();
    if (m_host.Playing()) {
        Step();
        // The step may have ended playback (a file without data).
        Resume();
    }
    return true;
}

void CPlayback::Start() {
    if (m_timers != nullptr) {
        m_timers->Arm(kPlaybackTimer, NextStepDelayMs());
    }
}

void CPlayback::Resume() {
    if (m_timers != nullptr && m_host.Playing() && !m_host.Held()) {
        m_timers->Arm(kPlaybackTimer, NextStepDelayMs());
    }
}

void CPlayback::Pause() {
    if (m_timers != nullptr) {
        m_timers->Stop(kPlaybackTimer);
    }
}

std::string CPlayback::SpeedText() const {
    return m_player.SpeedText(m_host.PlaybackSettings().system.sleepTimeMs);
}

// ---------------------------------------------------------------------------------------------
// One step

std::string CPlayback::PositionTitle() const {
    char text[128];
    std::snprintf(text, sizeof text, "%.1f M ( %d%% of Total %.1f M Bytes)",
                  static_cast<double>(m_player.Position()) / 1048576.0, m_player.PositionPercent(),
                  static_cast<double>(m_player.FileLength()) / 1048576.0);
    return FileTitle() + "    ___" + text;
}

StepResult CPlayback::Step() {
    if (!m_player.IsOpen()) {
        return StepResult::Idle;
    }
    if (!m_dragging) {
        m_events.Notify(&IDocumentListener::OnPlaybackMoved, m_player.PositionPercent());
        if (m_player.AtEndOfFile()) {
            if (!m_player.IsLooping()) {
                return StepResult::AtEnd;
            }
            if (const std::optional<StepResult> ended = m_host.PassEnded()) {
                return *ended;
            }
            if (m_player.PassPlayedNothing()) {
                // Not one record in the whole file: nothing to show, and nothing will come.
                m_host.PlaybackFailed("File has no data!!!  ");
                return StepResult::Idle;
            }
            m_player.Rewind();
        }
        m_host.ShowPlaybackTitle(PositionTitle());
    }
    const StepResult result = m_player.ReadRecord(m_player.RecordedPace(), m_host.RecordCopy());
    if (result == StepResult::Ping) {
        Emit(m_player.Record());
    }
    return result;
}

void CPlayback::Emit(const PlayedRecord& record) {
    const Settings& settings = m_host.PlaybackSettings();
    PlayedPing ping;
    ping.input.settings =
        SettingsOfRecord(record, settings.sonar, settings.system.useFileSlc != 0, ping.fileValues);
    const RecordHeaderFields& f = record.fields;
    ping.input.recordTexts = RecordTexts(f.timeStamp);
    ping.fileValues.startGainDb = f.systemGainDb;
    for (std::size_t k = 0; k < f.quadrantGainsDb.size(); ++k) {
        ping.fileValues.quadrantGainsDb[k] = f.quadrantGainsDb[k];
    }
    ping.fileValues.displayGain = f.displayGain;
    if (std::isfinite(f.pingPeriodS)) {
        ping.pingPeriodMs = f.pingPeriodS * 1000.0f;
    }
    FeedPairs(record);
    ping.input.payloads = &m_pingBuffer;
    ping.input.lastReply = &m_lastReply;
    ping.input.sentence = record.sentence;
    ping.lastRequest = &m_lastRequest;
    m_host.EnterPlayedPing(ping);
}

// The payloads of the pairs' replies one after the other, as the link collects a live ping's.
void CPlayback::FeedPairs(const PlayedRecord& record) {
    for (int k = 0; k < record.packets; ++k) {
        const std::uint8_t* pair = record.pairs.data() + static_cast<std::size_t>(k) * kPacketPairSize;
        const std::uint8_t* reply = pair + kCommandPacketSize;
        std::memcpy(m_pingBuffer.data() + static_cast<std::size_t>(k) * kReplyPayloadSize,
                    reply + kReplyPayloadOffset, kReplyPayloadSize);
        if (k == record.packets - 1) {
            std::memcpy(m_lastRequest.data(), pair, kCommandPacketSize);
            std::memcpy(m_lastReply.data(), reply, kReplyBlockSize);
        }
    }
}

// ---------------------------------------------------------------------------------------------
// The operator's controls

void CPlayback::SetRecordedPace(bool on) {
    m_player.SetRecordedPace(on);
    Resume();
}

void CPlayback::ShowRecordAt(std::uint64_t offset) {
    m_player.SeekTo(offset);
    // A few steps at most: the end of the file loops to its start.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const StepResult result = Step();
        if (result == StepResult::Ping || result == StepResult::Idle || result == StepResult::AtEnd) {
            break;
        }
    }
    m_player.RestartPace();
}

void CPlayback::Hold() {
    if (!m_host.Held()) {
        m_host.HoldForPlayback();
    }
    Pause();
}

void CPlayback::StepForward() {
    if (!CanControl()) {
        return;
    }
    Hold();
    ShowRecordAt(m_player.Position());
}

void CPlayback::StepBack() {
    if (!CanControl()) {
        return;
    }
    Hold();
    if (const auto previous = m_player.PreviousRecordStart(m_player.ShownRecordStart())) {
        ShowRecordAt(*previous);
    } else {
        m_player.SeekTo(m_player.Position()); // the first record is shown: stay
    }
}

void CPlayback::JumpToStart() {
    if (!CanControl()) {
        return;
    }
    m_player.BeginPass(true);
    if (m_host.Held()) {
        ShowRecordAt(0);
        return;
    }
    m_player.SeekTo(0);
    m_player.RestartPace();
}

void CPlayback::JumpToEnd() {
    if (!CanControl()) {
        return;
    }
    const auto last = m_player.PreviousRecordStart(m_player.FileLength());
    if (!last) {
        m_player.SeekTo(m_player.Position());
        return;
    }
    m_player.BeginPass(false);
    if (m_host.Held()) {
        ShowRecordAt(*last);
        return;
    }
    m_player.SeekTo(*last);
    m_player.RestartPace();
}

bool CPlayback::PlayRecordAt(std::uint64_t offset) {
    if (!CanControl() || offset >= m_player.FileLength()) {
        return false;
    }
    Hold();
    ShowRecordAt(offset);
    return m_player.ShownRecordStart() == offset;
}

void CPlayback::OnSliderDragStart() {
    m_dragging = true;
}

void CPlayback::OnSliderRelease(int position) {
    const int at = position >= 100 ? 0 : std::max(position, 0);
    if (m_host.Playing()) {
        m_player.ResyncToRecord(m_player.BytesPerPercent() * static_cast<std::uint64_t>(at));
    }
    m_dragging = false;
    // A pass that starts here cannot tell whether the file holds a record.
    m_player.BeginPass(at == 0);
    m_player.RestartPace();
}

} // namespace vexar
