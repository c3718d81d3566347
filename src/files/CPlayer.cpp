#include "files/CPlayer.h"

#include "files/RecordScanner.h"

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

CPlayer::CPlayer(IClockPort* clock) : m_clock(clock) {}

int CPlayer::PositionPercent() const {
    return m_fileLength == 0 ? 0 : static_cast<int>(m_position * 100 / m_fileLength);
}

// ---------------------------------------------------------------------------------------------
// Opening

CPlayer::OpenResult CPlayer::Open(const std::string& path) {
    if (!m_file.Open(path, CDataFile::Mode::Read)) {
        return OpenResult::CannotOpen;
    }
    m_fileLength = m_file.Length();
    if (m_fileLength < 100) {
        m_file.Close();
        return OpenResult::NoData;
    }
    m_file.Seek(0);
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
    m_bytesPerPercent = m_fileLength / 100;
    return OpenResult::Opened;
}

void CPlayer::Close() {
    m_file.Close();
}

void CPlayer::Rewind() {
    m_file.Seek(0);
    m_position = 0;
    m_passFromStart = true;
    m_pingsThisPass = 0;
    m_paceValid = false;
}

void CPlayer::BeginPass(bool fromStart) {
    m_passFromStart = fromStart;
    m_pingsThisPass = 0;
}

// ---------------------------------------------------------------------------------------------
// One step

bool CPlayer::ReadExact(std::uint8_t* to, std::size_t count) {
    return m_file.Read(std::span<std::uint8_t>(to, count)) == count;
}

StepResult CPlayer::Skip() {
    ++m_damaged;
    // Resynchronise after this record's signature: the next step scans on from there.
    m_position = m_recordStart + 4;
    return StepResult::Damaged;
}

StepResult CPlayer::ReadChecked(bool paced) {
    m_recordStart = m_position;
    if (!ReadExact(m_header.data(), 3) || !HasRawSignature(m_header)) {
        return StepResult::NoRecord;
    }
    if (!ReadExact(m_header.data() + 3, kRecordHeaderSize - 3)) {
        return Skip();
    }
    m_record.fields = ReadRecordHeader(m_header);
    int packets = 0;
    if (CheckRawHeader(m_record.fields, packets) != RecordCheck::Whole) {
        return Skip();
    }
    m_recordLength = m_record.fields.totalLength;
    // A record that runs past the end of the file was cut short: not whole.
    if (m_recordStart + m_recordLength > m_fileLength) {
        return Skip();
    }
    if (paced && !IsDue()) {
        return StepResult::Waiting;
    }
    const std::size_t pairBytes = static_cast<std::size_t>(packets) * kPacketPairSize;
    if (!ReadExact(m_reserved.data(), m_reserved.size()) || !ReadExact(m_pairs.data(), pairBytes)) {
        return Skip();
    }
    // A ping abandoned while it was recorded leaves a record shorter than its header says; the
    // bytes after it belong to the next record and must not be mixed into this ping.
    const std::span<const std::uint8_t> pairs(m_pairs.data(), pairBytes);
    if (!CheckRawPairs(pairs, packets)) {
        return Skip();
    }
    m_record.packets = packets;
    m_record.pairs = pairs;
    return StepResult::Ping;
}

StepResult CPlayer::ReadRecord(bool paced, IRecordCopy* copy) {
    if (!m_file.IsOpen()) {
        return StepResult::Idle;
    }
    m_waitMs = 0;
    // Always resynchronise, also at the start of a file that does not begin with a record.
    ResyncToRecord(m_position >= 3 ? m_position - 3 : 0);
    if (const StepResult read = ReadChecked(paced); read != StepResult::Ping) {
        return read;
    }
    const bool copying = copy != nullptr && copy->IsCopying();
    if (copying) {
        // A write error stops the copy (with its message); playback goes on.
        PutU32(m_header, 59, copy->CopyPreviousLength());
        CopyRecord(*copy);
    }
    if (!PassExtension(copying && copy->IsCopying() ? copy : nullptr)) {
        return Skip();
    }
    ReadSentence();
    if (copy != nullptr && copy->IsCopying()) {
        const std::size_t length = m_record.fields.sentenceLength;
        if (copy->WriteCopied(std::span<const std::uint8_t>(m_sentence.data(), length))) {
            copy->EndCopiedRecord(m_record.fields.totalLength);
        }
    }
    m_position = m_recordStart + m_recordLength;
    m_file.Seek(m_position);
    m_shownRecordStart = m_recordStart;
    ++m_pingsThisPass;
    NoteRecordedInterval();
    return StepResult::Ping;
}

void CPlayer::ReadSentence() {
    const std::size_t length = m_record.fields.sentenceLength;
    if (length > 0 && ReadExact(m_sentence.data(), length)) {
        m_record.sentence = std::string_view(reinterpret_cast<const char*>(m_sentence.data()), length);
    } else {
        m_record.sentence.reset();
    }
}

bool CPlayer::IsDue() {
    const std::optional<std::int64_t> stamp = TimeStampMs(m_record.fields.timeStamp);
    if (!stamp || m_clock == nullptr) {
        m_paceValid = false;
        return true; // a record without a usable time plays at once
    }
    const std::uint64_t now = m_clock->TickMs();
    std::uint64_t due = now;
    if (m_paceValid) {
        const std::int64_t gap = std::clamp<std::int64_t>(*stamp - m_paceStampMs, 0, kLongestPaceGapMs);
        due = m_paceDueTick + static_cast<std::uint64_t>(gap);
        if (due > now) {
            // Read again when it is due; nothing of it has been used yet.
            m_waitMs = static_cast<int>(due - now);
            m_position = m_recordStart;
            m_file.Seek(m_position);
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
    const std::optional<std::int64_t> stamp = TimeStampMs(m_record.fields.timeStamp);
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

std::string CPlayer::SpeedText(int sleepTimeMs) const {
    if (m_recordedPace) {
        return std::string("1") + kTimesSign;
    }
    const int sleep = sleepTimeMs;
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

bool CPlayer::CopyRecord(IRecordCopy& copy) {
    copy.BeginCopiedRecord();
    return copy.WriteCopied(m_header) && copy.WriteCopied(m_reserved) && copy.WriteCopied(m_record.pairs);
}

bool CPlayer::PassExtension(IRecordCopy* copy) {
    std::uint64_t left = m_record.fields.extensionLength;
    if (copy == nullptr) {
        return left == 0 || m_file.Seek(m_file.Position() + left);
    }
    // The copy carries the extension block too, so that it matches the header it copies.
    while (left > 0) {
        const std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(left, m_scratch.size()));
        if (!ReadExact(m_scratch.data(), n)) {
            return false;
        }
        copy->WriteCopied(std::span<const std::uint8_t>(m_scratch.data(), n));
        left -= n;
    }
    return true;
}

// ---------------------------------------------------------------------------------------------
// Position

void CPlayer::SeekTo(std::uint64_t offset) {
    m_position = offset;
    m_file.Seek(m_position);
}

void CPlayer::ResyncToRecord(std::uint64_t offset) {
    if (!m_file.IsOpen()) {
        return;
    }
    m_position = FindNextHeader(m_file, offset, m_fileLength, m_scratch, m_header, true);
    m_file.Seek(m_position);
}

std::optional<std::uint64_t> CPlayer::PreviousRecordStart(std::uint64_t before) {
    // A raw record is at most this long, so the one before `before` starts within two of them.
    constexpr std::uint64_t kLongestRecord = static_cast<std::uint64_t>(kRecordDataOffset) +
                                             static_cast<std::uint64_t>(kMaxPacketPairs) * kPacketPairSize +
                                             kMaxSentenceLength;
    std::uint64_t from = before > 2 * kLongestRecord ? before - 2 * kLongestRecord : 0;
    std::optional<std::uint64_t> found;
    while (from < before) {
        const std::uint64_t at = FindNextHeader(m_file, from, m_fileLength, m_scratch, m_header, true);
        if (at >= before) {
            break;
        }
        found = at;
        from = at + 1;
    }
    return found;
}

} // namespace vexar
