#include "files/CPlayer.h"

#include "acquisition/CTamsorDoc.h"
#include "common/Numeric.h"
#include "files/CRecorder.h"
#include "files/RecordScanner.h"
#include "navigation/XyzExport.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vexar {

namespace {
// At the recorded pace, a playback that fell this far behind (slow processing) starts counting
// afresh instead of rushing to catch up.
constexpr std::uint64_t kLargestPaceLagMs = 1000;
// The "x" of a speed readout.
constexpr const char* kTimesSign = "\xC3\x97";

// Days from 1970-01-01 to a civil date (proleptic Gregorian calendar).
std::int64_t DaysFromCivil(std::int64_t year, int month, int day) {
    year -= month <= 2 ? 1 : 0;
    const std::int64_t era = (year >= 0 ? year : year - 399) / 400;
    const std::int64_t yearOfEra = year - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146097 + dayOfEra - 719468;
}

// A part of the time stamp as the C string formatting of the stamp would show it.
std::string StampPart(const std::string& stamp, std::size_t at, std::size_t length) {
    std::string part = stamp.substr(at, length);
    if (const auto nul = part.find('\0'); nul != std::string::npos) {
        part.resize(nul);
    }
    return part;
}
} // namespace

std::optional<std::int64_t> TimeStampMs(const std::string& stamp) {
    if (stamp.size() < static_cast<std::size_t>(kTimeStampLength)) {
        return std::nullopt;
    }
    std::int64_t parts[7] = {};
    static constexpr int kWidths[7] = {2, 2, 4, 2, 2, 2, 3};
    std::size_t at = 0;
    for (int i = 0; i < 7; ++i) {
        for (int k = 0; k < kWidths[i]; ++k, ++at) {
            const char c = stamp[at];
            if (c < '0' || c > '9') {
                return std::nullopt;
            }
            parts[i] = parts[i] * 10 + (c - '0');
        }
    }
    const auto [day, month, year, hour, minute, second, millisecond] = parts;
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 60) {
        return std::nullopt;
    }
    const std::int64_t days = DaysFromCivil(year, static_cast<int>(month), static_cast<int>(day));
    return ((days * 24 + hour) * 60 + minute) * 60000 + second * 1000 + millisecond;
}

CPlayer::CPlayer(CTamsorDoc& doc) : m_doc(doc) {}

int CPlayer::PositionPercent() const {
    return m_fileLength == 0 ? 0 : static_cast<int>(m_position * 100 / m_fileLength);
}

// ---------------------------------------------------------------------------------------------
// Opening

void CPlayer::OnOpenPlayback() {
    ITimerPort* timers = m_doc.Ports().timers;
    const bool wasPlayback = m_doc.m_playback != 0 && m_doc.m_playbackFile.IsOpen();
    if (timers != nullptr) {
        timers->Stop(kWatchdogTimer);
        timers->Stop(kPingTimer);
        // No step runs under the dialog; it resumes if the dialog is cancelled.
        timers->Stop(kPlaybackTimer);
    }
    IOperatorPort* op = m_doc.Ports().operatorPort;
    std::optional<std::string> chosen;
    if (op != nullptr) {
        FileDialogRequest request;
        request.title = "Open Data File:";
        request.folder = m_doc.m_readFolder;
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

void CPlayer::OnConvertToXyz() {
    OnOpenPlayback();
    if (m_doc.m_playback != 0 && m_doc.m_playbackFile.IsOpen()) {
        StartXyzExport(m_doc, m_doc.m_playbackFile.Path());
    }
}

void CPlayer::ResumeAfterCancel(bool wasPlayback) {
    ITimerPort* timers = m_doc.Ports().timers;
    if (timers == nullptr || m_doc.m_hold != 0) {
        return;
    }
    if (wasPlayback) {
        timers->Arm(kPlaybackTimer, NextStepDelayMs());
    } else if (m_doc.m_connected == 1) {
        timers->Arm(kPingTimer, m_doc.m_pingDelayMs);
    } else {
        timers->Arm(kWatchdogTimer, kWatchdogMs);
    }
}

bool CPlayer::OpenPlayback(const std::string& path) {
    const bool wasPlayback = m_doc.m_playback != 0;
    IOperatorPort* op = m_doc.Ports().operatorPort;
    ITimerPort* timers = m_doc.Ports().timers;
    if (timers != nullptr) {
        timers->Stop(kWatchdogTimer);
        timers->Stop(kPingTimer);
    }
    m_doc.CloseAllFiles();
    if (!wasPlayback && m_saveHeadSettings) {
        // "Real Time" reloads the settings file: with every live setting in it, the operator
        // gets back exactly what was in force when the file was opened.
        m_doc.SaveHeadSettings();
        m_doc.SaveOtherSettings();
    }
    const auto refuse = [&](const char* text) {
        if (op != nullptr) {
            op->ShowMessage(text, MessageIcon::Error);
        }
        m_doc.m_playbackFile.Close();
        if (wasPlayback) {
            m_doc.OnRealTime();
        } else {
            m_doc.StartAcquisition();
        }
        return false;
    };
    CDataFile& file = m_doc.m_playbackFile;
    if (!file.Open(path, CDataFile::Mode::Read)) {
        return refuse("Error opening file !   ");
    }
    m_fileLength = file.Length();
    if (m_fileLength < 100) {
        return refuse("File has no data!!!  ");
    }
    file.Seek(0);
    m_position = 0;
    m_recordStart = 0;
    m_recordLength = 0;
    m_damaged = 0;
    m_shownRecordStart = 0;
    m_pingsThisPass = 0;
    m_passFromStart = true;
    m_paceValid = false;
    m_waitMs = 0;
    m_recordedIntervalMs = 0;
    m_lastPlayedStampMs.reset();

    if (const std::string folder = FolderOf(path); !folder.empty()) {
        m_doc.m_readFolder = folder;
    }
    m_doc.m_playback = 1;
    // Played pings are not timed: the times of the last live ping would describe nothing shown.
    m_doc.m_sonarTimeMs = 0.0f;
    m_doc.m_acquisitionTimeMs = 0.0f;
    m_doc.m_imageReset = 1;
    m_doc.m_soundVelocityChanged = 0;
    m_doc.CloseSockets();
    // The last live picture is not part of the file: it goes before the first played ping.
    for (COndrel& head : m_doc.m_heads) {
        head.m_newData = 0;
    }
    m_doc.ClearCombinedImage();
    m_doc.m_clearImage = 1;

    m_titlePrefix = "Playback File: " + path;
    m_doc.SetTitle(m_titlePrefix);

    m_bytesPerPercent = m_fileLength / 100;
    m_doc.Notify(&IDocumentListener::OnPlaybackOpened, m_fileLength);
    if (timers != nullptr) {
        timers->Stop(kWatchdogTimer);
        timers->Stop(kPingTimer);
    }
    m_doc.OpenOutputSocket();
    m_doc.RefreshStatus();
    if (timers != nullptr) {
        timers->Arm(kPlaybackTimer, NextStepDelayMs());
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// One step

void CPlayer::UpdateTitle() {
    char text[128];
    std::snprintf(text, sizeof text, "%.1f M ( %d%% of Total %.1f M Bytes)",
                  static_cast<double>(m_position) / 1048576.0, PositionPercent(),
                  static_cast<double>(m_fileLength) / 1048576.0);
    m_doc.SetTitle(m_titlePrefix + "    ___" + text);
}

bool CPlayer::ReadExact(std::uint8_t* to, std::size_t count) {
    return m_doc.m_playbackFile.Read(std::span<std::uint8_t>(to, count)) == count;
}

StepResult CPlayer::Skip(RecordCheck why) {
    (void)why;
    ++m_damaged;
    // Resynchronise after this record's signature: the next step scans on from there.
    m_position = m_recordStart + 4;
    return StepResult::Damaged;
}

int CPlayer::NextStepDelayMs() const {
    return m_recordedPace ? m_waitMs : m_doc.m_sleepTimeMs;
}

bool CPlayer::EndPass() {
    if (m_passFromStart && m_pingsThisPass == 0) {
        // Not one record in the whole file: nothing to show, and nothing will come.
        if (IOperatorPort* op = m_doc.Ports().operatorPort; op != nullptr) {
            op->ShowMessage("File has no data!!!  ", MessageIcon::Error);
        }
        m_doc.OnRealTime();
        return false;
    }
    m_doc.m_playbackFile.Seek(0);
    m_position = 0;
    m_passFromStart = true;
    m_pingsThisPass = 0;
    m_paceValid = false;
    return true;
}

StepResult CPlayer::PlaybackStep() {
    return Step(m_recordedPace);
}

StepResult CPlayer::Step(bool paced) {
    CDataFile& file = m_doc.m_playbackFile;
    if (!file.IsOpen()) {
        return StepResult::Idle;
    }
    m_waitMs = 0;
    if (m_doc.m_dragging == 0) {
        m_doc.Notify(&IDocumentListener::OnPlaybackMoved, PositionPercent());
        if (m_position + 3 >= m_fileLength) {
            if (!m_loop) {
                return StepResult::AtEnd;
            }
            const bool nothingPlayed = m_passFromStart && m_pingsThisPass == 0;
            if (m_doc.m_xyzConversion != 0 && !nothingPlayed) {
                // The export ends with the file: playback holds on its last ping.
                FinishXyzExport(m_doc);
                return StepResult::AtEnd;
            }
            if (!EndPass()) {
                return StepResult::Idle;
            }
        }
        if (!m_doc.Recorder().AnyRecording()) {
            UpdateTitle();
        }
    }
    // Always resynchronise, also at the start of a file that does not begin with a record.
    ResyncToRecord(m_position >= 3 ? m_position - 3 : 0);
    m_recordStart = m_position;
    if (!ReadExact(m_header.data(), 3) || !HasRawSignature(m_header)) {
        return StepResult::NoRecord;
    }
    if (!ReadExact(m_header.data() + 3, kRecordHeaderSize - 3)) {
        return Skip(RecordCheck::BadLayout);
    }
    m_fields = ReadRecordHeader(m_header);
    int packets = 0;
    if (const RecordCheck check = CheckRawHeader(m_fields, packets); check != RecordCheck::Whole) {
        return Skip(check);
    }
    m_recordLength = m_fields.totalLength;
    // A record that runs past the end of the file was cut short: not whole.
    if (m_recordStart + m_recordLength > m_fileLength) {
        return Skip(RecordCheck::BadLayout);
    }
    if (paced && !IsDue()) {
        return StepResult::Waiting;
    }
    const std::size_t pairBytes = static_cast<std::size_t>(packets) * kPacketPairSize;
    if (!ReadExact(m_reserved.data(), m_reserved.size()) || !ReadExact(m_pairs.data(), pairBytes)) {
        return Skip(RecordCheck::BadLayout);
    }
    // A ping abandoned while it was recorded leaves a record shorter than its header says; the
    // bytes after it belong to the next record and must not be mixed into this ping.
    if (!CheckRawPairs(std::span<const std::uint8_t>(m_pairs.data(), pairBytes), packets)) {
        return Skip(RecordCheck::BadLayout);
    }

    PutU32(m_header, 59, m_doc.Recorder().PreviousLength());
    const bool copying = m_doc.Recorder().IsCopying();
    if (copying) {
        // A write error stops the copy (with its message); playback goes on.
        CopyRecord(packets);
    }
    if (!PassExtension(copying && m_doc.Recorder().IsCopying())) {
        return Skip(RecordCheck::BadLayout);
    }
    ApplyHeader();
    FeedPairs(packets);
    TakeSentence();
    if (m_doc.Recorder().IsCopying()) {
        const std::size_t length = m_fields.sentenceLength;
        if (m_doc.Recorder().WriteCopied(std::span<const std::uint8_t>(m_sentence.data(), length))) {
            m_doc.Recorder().EndCopiedRecord(m_fields.totalLength);
        }
    }
    m_doc.Head(0).m_samples = packets > 65 ? 1000 : 500;
    m_position = m_recordStart + m_recordLength;
    file.Seek(m_position);

    m_shownRecordStart = m_recordStart;
    ++m_pingsThisPass;
    NoteRecordedInterval();

    m_doc.CompletePing(m_doc.m_pingBuffer, m_doc.m_replyBuffer);
    m_doc.CopyHeadSettings();
    m_doc.ProcessPing();
    return StepResult::Ping;
}

bool CPlayer::IsDue() {
    const std::optional<std::int64_t> stamp = TimeStampMs(m_fields.timeStamp);
    IClockPort* clock = m_doc.Ports().clock;
    if (!stamp || clock == nullptr) {
        m_paceValid = false;
        return true; // a record without a usable time plays at once
    }
    const std::uint64_t now = clock->TickMs();
    std::uint64_t due = now;
    if (m_paceValid) {
        const std::int64_t gap = std::clamp<std::int64_t>(*stamp - m_paceStampMs, 0, kLongestPaceGapMs);
        due = m_paceDueTick + static_cast<std::uint64_t>(gap);
        if (due > now) {
            // Read again when it is due; nothing of it has been used yet.
            m_waitMs = static_cast<int>(due - now);
            m_position = m_recordStart;
            m_doc.m_playbackFile.Seek(m_position);
            return false;
        }
        if (now - due > kLargestPaceLagMs) {
            due = now;
        }
    }
    m_paceValid = true;
    m_paceDueTick = due;
    m_paceStampMs = *stamp;
    return true;
}

void CPlayer::NoteRecordedInterval() {
    const std::optional<std::int64_t> stamp = TimeStampMs(m_fields.timeStamp);
    if (stamp && m_lastPlayedStampMs) {
        const std::int64_t interval = *stamp - *m_lastPlayedStampMs;
        if (interval > 0 && interval <= kLongestPaceGapMs) {
            m_recordedIntervalMs = interval;
        }
    }
    m_lastPlayedStampMs = stamp;
}

void CPlayer::SetRecordedPace(bool on) {
    m_recordedPace = on;
    m_paceValid = false;
    m_waitMs = 0;
}

std::string CPlayer::SpeedText() const {
    if (m_recordedPace) {
        return std::string("1") + kTimesSign;
    }
    const int sleep = m_doc.m_sleepTimeMs;
    if (sleep <= 0) {
        return "max";
    }
    char text[32];
    if (m_recordedIntervalMs <= 0) {
        std::snprintf(text, sizeof text, "%d ms", sleep);
        return text;
    }
    const double speed = static_cast<double>(m_recordedIntervalMs) / sleep;
    const bool whole = speed >= 9.95 || std::abs(speed - std::round(speed)) < 0.05;
    std::snprintf(text, sizeof text, whole ? "%.0f%s" : "%.1f%s", speed, kTimesSign);
    return text;
}

bool CPlayer::CopyRecord(int packets) {
    CRecorder& recorder = m_doc.Recorder();
    recorder.BeginCopiedRecord();
    return recorder.WriteCopied(m_header) && recorder.WriteCopied(m_reserved) &&
           recorder.WriteCopied(std::span<const std::uint8_t>(
               m_pairs.data(), static_cast<std::size_t>(packets) * kPacketPairSize));
}

bool CPlayer::PassExtension(bool copy) {
    std::uint64_t left = m_fields.extensionLength;
    if (!copy) {
        return left == 0 || m_doc.m_playbackFile.Seek(m_doc.m_playbackFile.Position() + left);
    }
    // The copy carries the extension block too, so that it matches the header it copies.
    while (left > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, m_scratch.size()));
        if (!ReadExact(m_scratch.data(), n)) {
            return false;
        }
        m_doc.Recorder().WriteCopied(std::span<const std::uint8_t>(m_scratch.data(), n));
        left -= n;
    }
    return true;
}

void CPlayer::ApplyHeader() {
    const RecordHeaderFields& f = m_fields;
    COndrel& head = m_doc.Head(0);

    const std::string& stamp = f.timeStamp;
    m_doc.m_dateText = StampPart(stamp, 0, 2) + "-" + StampPart(stamp, 2, 2) + "-" + StampPart(stamp, 4, 4);
    m_doc.m_timeText = StampPart(stamp, 8, 2) + ":" + StampPart(stamp, 10, 2) + ":" + StampPart(stamp, 12, 2);
    m_doc.m_millisecondText = StampPart(stamp, 14, 3);
    m_doc.m_timeStamp = StampPart(stamp, 0, kTimeStampLength);

    const int up = f.transducerUp == 0x80 ? 1 : 0;
    if (up != head.m_transducerUp) {
        head.m_transducerUp = up;
        m_doc.CopyHeadSettings();
        m_doc.UpdateHeadAzimuths();
        m_doc.m_imageReset = 1;
    }
    m_doc.m_fileStartGain = f.systemGainDb;
    for (std::size_t k = 0; k < f.quadrantGainsDb.size(); ++k) {
        m_doc.m_fileQuadrantGains[k] = f.quadrantGainsDb[k];
    }
    m_doc.m_fileDisplayGain = f.displayGain;

    // The recorder stores microseconds and seconds; reading inverts exactly that, whatever the
    // label byte says, so a recording plays back with the values it was recorded with.
    head.m_pulseLength = f.pulseLengthUs / 10;
    if (std::isfinite(f.pingPeriodS)) {
        m_doc.m_displayedPingPeriodMs = f.pingPeriodS * 1000.0f;
    }

    switch (f.beamCount) {
    case 1440:
        head.m_beams = 480;
        head.m_beamsIndex = 0;
        break;
    case 720:
        head.m_beams = 240;
        head.m_beamsIndex = 1;
        break;
    case 360:
        head.m_beams = 120;
        head.m_beamsIndex = 2;
        break;
    default:
        break; // not a beam setting of the head: keep the current one
    }

    float velocity = f.soundVelocity;
    if (!(velocity >= 1400.0f && velocity <= 1600.0f)) {
        velocity = 1500.0f;
    }
    m_doc.m_fileSoundVelocity = velocity;
    if (m_doc.m_useFileSlc != 0 && velocity != m_doc.m_soundVelocity) {
        m_doc.m_soundVelocity = velocity;
        m_doc.m_soundVelocityChanged = 1;
    }

    const double frequency = f.frequencyHz;
    if (std::isfinite(frequency) && frequency >= 100000.0 && frequency <= 2000000.0) {
        const int base = TruncToInt(frequency / 1000.0);
        head.m_baseFrequencyKHz = base;
        head.m_frequencyStep = TruncToInt((frequency - base * 1000.0) / 50.0);
    }
    head.m_rangeM = f.rangeM;
}

void CPlayer::FeedPairs(int packets) {
    COndrel& head = m_doc.Head(0);
    for (int k = 0; k < packets; ++k) {
        const std::uint8_t* pair = m_pairs.data() + static_cast<std::size_t>(k) * kPacketPairSize;
        const std::uint8_t* reply = pair + kCommandPacketSize;
        std::memcpy(m_doc.m_pingBuffer.data() + static_cast<std::size_t>(k) * kReplyPayloadSize,
                    reply + kReplyPayloadOffset, kReplyPayloadSize);
        if (k == 0) {
            std::memcpy(head.m_replyHeader.data(), reply, kReplyHeaderSize);
            head.ParseReturnHeader();
            head.m_rangeIndex = RangeIndexFromMetres(head.m_rangeM);
        }
        if (k == packets - 1) {
            std::memcpy(head.m_commandPacket.data(), pair, kCommandPacketSize);
            std::memcpy(m_doc.m_replyBuffer.data(), reply, kReplyBlockSize);
        }
    }
}

void CPlayer::TakeSentence() {
    const std::size_t length = m_fields.sentenceLength;
    if (length > 0 && ReadExact(m_sentence.data(), length)) {
        m_doc.m_navigationSentence.assign(reinterpret_cast<const char*>(m_sentence.data()), length);
    } else {
        ClearNavigation(m_doc);
    }
    // The attitude of the last parsed sentence stays in force through records without one.
    if (m_doc.m_navigationSentence.size() < 6) {
        ClearNavigation(m_doc);
    } else {
        ParseNavigationSentence(m_doc);
    }
}

// ---------------------------------------------------------------------------------------------
// Position

void CPlayer::ResyncToRecord(std::uint64_t offset) {
    if (m_doc.m_playback == 0) {
        return;
    }
    m_position = FindNextHeader(m_doc.m_playbackFile, offset, m_fileLength, m_scratch, m_header, true);
    m_doc.m_playbackFile.Seek(m_position);
}

void CPlayer::OnSliderDragStart() {
    m_doc.m_dragging = 1;
}

void CPlayer::OnSliderRelease(int position) {
    const int at = position >= 100 ? 0 : std::max(position, 0);
    ResyncToRecord(m_bytesPerPercent * static_cast<std::uint64_t>(at));
    m_doc.m_dragging = 0;
    // A pass that starts here cannot tell whether the file holds a record.
    m_passFromStart = at == 0;
    m_pingsThisPass = 0;
    m_paceValid = false;
}

// ---------------------------------------------------------------------------------------------
// The operator's controls

std::optional<std::uint64_t> CPlayer::PreviousRecordStart(std::uint64_t before) {
    // A raw record is at most this long, so the one before `before` starts within two of them.
    constexpr std::uint64_t kLongestRecord = static_cast<std::uint64_t>(kRecordDataOffset) +
                                             static_cast<std::uint64_t>(kMaxPacketPairs) * kPacketPairSize +
                                             kMaxSentenceLength;
    std::uint64_t from = before > 2 * kLongestRecord ? before - 2 * kLongestRecord : 0;
    std::optional<std::uint64_t> found;
    while (from < before) {
        const std::uint64_t at =
            FindNextHeader(m_doc.m_playbackFile, from, m_fileLength, m_scratch, m_header, true);
        if (at >= before) {
            break;
        }
        found = at;
        from = at + 1;
    }
    return found;
}

void CPlayer::ShowRecordAt(std::uint64_t offset) {
    m_position = offset;
    m_doc.m_playbackFile.Seek(m_position);
    // A few steps at most: the end of the file loops to its start.
    for (int attempt = 0; attempt < 4; ++attempt) {
        const StepResult result = Step(false);
        if (result == StepResult::Ping || result == StepResult::Idle || result == StepResult::AtEnd) {
            break;
        }
    }
    m_paceValid = false;
}

void CPlayer::HoldPlayback() {
    if (m_doc.m_hold == 0) {
        m_doc.OnHold();
    }
    if (ITimerPort* timers = m_doc.Ports().timers; timers != nullptr) {
        timers->Stop(kPlaybackTimer);
    }
}

void CPlayer::StepForward() {
    if (m_doc.m_playback == 0 || !m_doc.m_playbackFile.IsOpen()) {
        return;
    }
    HoldPlayback();
    ShowRecordAt(m_position);
}

void CPlayer::StepBack() {
    if (m_doc.m_playback == 0 || !m_doc.m_playbackFile.IsOpen()) {
        return;
    }
    HoldPlayback();
    if (const auto previous = PreviousRecordStart(m_shownRecordStart)) {
        ShowRecordAt(*previous);
    } else {
        m_doc.m_playbackFile.Seek(m_position); // the first record is shown: stay
    }
}

void CPlayer::JumpToStart() {
    if (m_doc.m_playback == 0 || !m_doc.m_playbackFile.IsOpen()) {
        return;
    }
    m_passFromStart = true;
    m_pingsThisPass = 0;
    if (m_doc.m_hold != 0) {
        ShowRecordAt(0);
        return;
    }
    m_position = 0;
    m_doc.m_playbackFile.Seek(0);
    m_paceValid = false;
}

void CPlayer::JumpToEnd() {
    if (m_doc.m_playback == 0 || !m_doc.m_playbackFile.IsOpen()) {
        return;
    }
    const auto last = PreviousRecordStart(m_fileLength);
    if (!last) {
        m_doc.m_playbackFile.Seek(m_position);
        return;
    }
    m_passFromStart = false;
    if (m_doc.m_hold != 0) {
        ShowRecordAt(*last);
        return;
    }
    m_position = *last;
    m_doc.m_playbackFile.Seek(m_position);
    m_paceValid = false;
}

bool CPlayer::OnCommand(int id) {
    switch (id) {
    case kCmdRecordedPace:
        SetRecordedPace(!m_recordedPace);
        if (ITimerPort* timers = m_doc.Ports().timers;
            timers != nullptr && m_doc.m_playback != 0 && m_doc.m_hold == 0) {
            timers->Arm(kPlaybackTimer, NextStepDelayMs());
        }
        return true;
    case kCmdStepForward:
        StepForward();
        return true;
    case kCmdStepBack:
        StepBack();
        return true;
    case kCmdJumpToStart:
        JumpToStart();
        return true;
    case kCmdJumpToEnd:
        JumpToEnd();
        return true;
    default:
        return false;
    }
}

std::optional<CommandState> CPlayer::StateOf(int id) const {
    const bool playing = m_doc.m_playback != 0;
    switch (id) {
    case kCmdRecordedPace:
        return CommandState{playing, m_recordedPace};
    case kCmdStepForward:
    case kCmdStepBack:
    case kCmdJumpToStart:
    case kCmdJumpToEnd:
        return CommandState{playing, false};
    default:
        return std::nullopt;
    }
}

} // namespace vexar
