#pragma once
// CPlayer: reads raw recordings for playback. One step reads one record, checks everything its
// header claims before reading on its strength, and hands the record over (the packet pairs, the
// header fields, the sentence); damaged stretches are skipped by resynchronising at the next
// signature. It paces records at the speed they were recorded when asked, keeps the position of
// a pass over the file, and copies the records it reads to a copy target. It needs no document:
// the document plays the records it hands over.

#include "files/CDataFile.h"
#include "files/RawRecording.h"
#include "files/RecordHeader.h"
#include "ports/Ports.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

namespace vexar {

/// What one playback step did.
enum class StepResult {
    Idle,     ///< no file is being played
    Ping,     ///< a whole record was played through the per-ping routine
    NoRecord, ///< no signature where a record was expected (end of data)
    Damaged,  ///< a record failed its checks and was skipped
    AtEnd,    ///< end of file reached with looping off
    Waiting,  ///< the next record is not due yet at the recorded pace; nothing was played
};

/// A record's time stamp ("DDMMYYYYHHMMSSmmm") in milliseconds on a continuous count, or
/// nothing when it is not a valid date and time.
std::optional<std::int64_t> TimeStampMs(const std::string& stamp);

/// The record the last step read; valid until the next step.
struct PlayedRecord {
    RecordHeaderFields fields;
    int packets = 0;
    std::span<const std::uint8_t> pairs; ///< packets packet pairs of kPacketPairSize bytes
    /// The navigation sentence as stored; nothing when the record has none or it could not be read.
    std::optional<std::string_view> sentence;
};

/// At the recorded pace a longer pause between two records (the recording was stopped and
/// started again) is shortened to this.
inline constexpr std::int64_t kLongestPaceGapMs = 5000;

class CPlayer {
public:
    /// Why a file cannot be played.
    enum class OpenResult { Opened, CannotOpen, NoData };

    /// `clock` paces records at their recorded speed (may be null: records then play at once).
    explicit CPlayer(IClockPort* clock);
    CPlayer(const CPlayer&) = delete;
    CPlayer& operator=(const CPlayer&) = delete;

    /// Opens a file and positions it at its start for a first pass.
    OpenResult Open(const std::string& path);
    void Close();
    bool IsOpen() const { return m_file.IsOpen(); }
    const std::string& Path() const { return m_file.Path(); }
    std::string FileName() const { return m_file.FileName(); }

    /// Reads and checks the record at the current position (after resynchronising to the next
    /// signature). `paced`: a record not yet due at the recorded pace is left for later.
    /// `copy`: takes every record read, byte for byte, while it is copying.
    StepResult ReadRecord(bool paced, IRecordCopy* copy);
    /// The record of the last step that returned Ping.
    const PlayedRecord& Record() const { return m_record; }

    // ---- Passes over the file ----
    /// True when the current position is the end of the file.
    bool AtEndOfFile() const { return m_position + 3 >= m_fileLength; }
    /// True when the pass that began at the file's start has played no record.
    bool PassPlayedNothing() const { return m_passFromStart && m_pingsThisPass == 0; }
    /// Starts a new pass at the file's start.
    void Rewind();
    /// Starts counting a pass from here; `fromStart` when it begins at the file's start.
    void BeginPass(bool fromStart);
    /// Off: the end of the file ends playback steps (AtEnd) instead of looping (one-pass tools).
    void SetLooping(bool loop) { m_loop = loop; }
    bool IsLooping() const { return m_loop; }

    // ---- Pace ----
    /// "1x": records play at the pace of their time stamps instead of "Sleep Time".
    void SetRecordedPace(bool on);
    bool RecordedPace() const { return m_recordedPace; }
    /// Milliseconds until the next step is due: `sleepTimeMs`, or at the recorded pace the wait
    /// for the next record.
    int NextStepDelayMs(int sleepTimeMs) const { return m_recordedPace ? m_waitMs : sleepTimeMs; }
    /// The next record plays at once and the recorded pace counts on from it (after a jump, a
    /// pause or a change of speed).
    void RestartPace() { m_paceValid = false; }
    /// The speed as a readout: "1x" at the recorded pace, "max" without a pause, else the speed
    /// relative to the recording ("4x") when its pace is known, or the pause ("250 ms").
    std::string SpeedText(int sleepTimeMs) const;

    // ---- Position ----
    /// Moves to `offset` (the next step reads from there).
    void SeekTo(std::uint64_t offset);
    /// Positions the file at the next record signature at or after the offset.
    void ResyncToRecord(std::uint64_t offset);
    /// Start of the last record before `before`, if any.
    std::optional<std::uint64_t> PreviousRecordStart(std::uint64_t before);
    std::uint64_t FileLength() const { return m_fileLength; }
    std::uint64_t Position() const { return m_position; }
    std::uint64_t RecordStart() const { return m_recordStart; }
    /// The record whose ping was played last.
    std::uint64_t ShownRecordStart() const { return m_shownRecordStart; }
    std::uint64_t BytesPerPercent() const { return m_bytesPerPercent; }
    /// Slider position for the current position, 0..100.
    int PositionPercent() const;
    std::uint64_t DamagedRecords() const { return m_damaged; }

private:
    /// True when the record whose header was read is due at the recorded pace; otherwise the
    /// file is put back before it and m_waitMs says how long to wait.
    bool IsDue();
    /// Keeps the time between the record just played and the one before, for the readout.
    void NoteRecordedInterval();
    bool ReadExact(std::uint8_t* to, std::size_t count);
    StepResult Skip();
    /// Reads header, reserved block and pairs; Ping when they are whole.
    StepResult ReadChecked(bool paced);
    bool CopyRecord(IRecordCopy& copy);
    bool PassExtension(IRecordCopy* copy);
    void ReadSentence();

    IClockPort* m_clock;
    CDataFile m_file;
    std::uint64_t m_fileLength = 0;
    std::uint64_t m_position = 0;
    std::uint64_t m_recordStart = 0;
    std::uint64_t m_recordLength = 0;
    std::uint64_t m_bytesPerPercent = 0;
    std::uint64_t m_damaged = 0;
    std::uint64_t m_shownRecordStart = 0;
    std::uint64_t m_pingsThisPass = 0;
    bool m_passFromStart = true; ///< the pass began at the start of the file
    bool m_loop = true;
    // Recorded pace.
    bool m_recordedPace = false;
    bool m_paceValid = false;
    std::uint64_t m_paceDueTick = 0;       ///< when the last played record was due
    std::int64_t m_paceStampMs = 0;        ///< its time stamp
    int m_waitMs = 0;                      ///< before the next step, at the recorded pace
    std::int64_t m_recordedIntervalMs = 0; ///< between the last two played records, 0 unknown
    std::optional<std::int64_t> m_lastPlayedStampMs;
    PlayedRecord m_record;
    RecordHeaderBytes m_header{};
    std::array<std::uint8_t, kReservedBlockSize> m_reserved{};
    std::array<std::uint8_t, static_cast<std::size_t>(kMaxPacketPairs) * kPacketPairSize> m_pairs{};
    std::array<std::uint8_t, kMaxSentenceLength> m_sentence{};
    std::array<std::uint8_t, 4096> m_scratch{};
};

} // namespace vexar
