#pragma once
// CPlayer: playback of raw recordings. One step reads one record, checks everything its header
// claims before reading on its strength, feeds the packet pairs through the ping buffers and
// runs the per-ping routine; damaged stretches are skipped by resynchronising at the next
// signature.

#include "common/Commands.h"
#include "files/RecordHeader.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace vexar {

class CTamsorDoc;

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

/// At the recorded pace a longer pause between two records (the recording was stopped and
/// started again) is shortened to this.
inline constexpr std::int64_t kLongestPaceGapMs = 5000;

class CPlayer {
public:
    explicit CPlayer(CTamsorDoc& doc);
    CPlayer(const CPlayer&) = delete;
    CPlayer& operator=(const CPlayer&) = delete;

    /// "&Playback...": asks for a file and starts playing it. Cancelling resumes what ran before.
    void OnOpenPlayback();
    /// "Convert .R96 File to .xyz...": the open command, then the XYZ export of the played file.
    void OnConvertToXyz();
    /// Opens a file and starts playback without asking (headless tools, tests, the command).
    /// False when the file was refused; real-time acquisition has then restarted.
    bool OpenPlayback(const std::string& path);
    /// Plays the record at the current position. In the console's looping playback, a whole
    /// pass over a file that plays no record tells the operator and returns to real time.
    StepResult PlaybackStep();
    /// Milliseconds until the next step is due: "Sleep Time", or at the recorded pace the wait
    /// for the next record.
    int NextStepDelayMs() const;
    /// The next record plays at once and the recorded pace counts on from it (after a jump, a
    /// pause or a change of speed).
    void RestartPace() { m_paceValid = false; }

    // ---- The operator's playback controls ----
    /// "1x": records play at the pace of their time stamps instead of "Sleep Time".
    void SetRecordedPace(bool on);
    /// The speed as a readout: "1x" at the recorded pace, "max" without a pause, else the speed
    /// relative to the recording ("4x") when its pace is known, or the pause ("250 ms").
    std::string SpeedText() const;
    /// One ping forward or back; playback is held (it is held first when it runs).
    void StepForward();
    void StepBack();
    /// The first or the last record of the file; while held it is shown at once.
    void JumpToStart();
    void JumpToEnd();
    /// Runs a playback control command; false when the id is not one.
    bool OnCommand(int commandId);
    /// Menu state of a playback control command; nothing when the id is not one.
    std::optional<CommandState> StateOf(int commandId) const;
    /// Positions the file at the next record signature at or after the offset.
    void ResyncToRecord(std::uint64_t offset);

    /// "File Pos" slider held / released at a position of 0..100.
    void OnSliderDragStart();
    void OnSliderRelease(int position);

    /// Off: the end of the file ends playback steps (AtEnd) instead of looping (one-pass tools).
    void SetLooping(bool loop) { m_loop = loop; }
    /// Off: opening a file leaves the settings file alone (headless tools). On, opening a file
    /// from real time saves every setting, so that "Real Time" brings back the live ones.
    void SetSaveHeadSettings(bool save) { m_saveHeadSettings = save; }

    std::uint64_t FileLength() const { return m_fileLength; }
    std::uint64_t Position() const { return m_position; }
    std::uint64_t RecordStart() const { return m_recordStart; }
    /// Slider position for the current position, 0..100.
    int PositionPercent() const;
    std::uint64_t DamagedRecords() const { return m_damaged; }

private:
    StepResult Step(bool paced);
    /// True when the record whose header was read is due at the recorded pace; otherwise the
    /// file is put back before it and m_waitMs says how long to wait.
    bool IsDue();
    /// Keeps the time between the record just played and the one before, for the readout.
    void NoteRecordedInterval();
    /// Ends a pass at the end of the file: false when the pass played nothing and playback
    /// ended with the operator told.
    bool EndPass();
    std::optional<std::uint64_t> PreviousRecordStart(std::uint64_t before);
    /// Plays the record at `offset` at once, Hold or not.
    void ShowRecordAt(std::uint64_t offset);
    void HoldPlayback();
    bool ReadExact(std::uint8_t* to, std::size_t count);
    StepResult Skip(RecordCheck why);
    void ApplyHeader();
    void FeedPairs(int packets);
    bool CopyRecord(int packets);
    bool PassExtension(bool copy);
    void TakeSentence();
    void ResumeAfterCancel(bool wasPlayback);
    void UpdateTitle();

    CTamsorDoc& m_doc;
    std::uint64_t m_fileLength = 0;
    std::uint64_t m_position = 0;
    std::uint64_t m_recordStart = 0;
    std::uint64_t m_recordLength = 0;
    std::uint64_t m_bytesPerPercent = 0;
    std::uint64_t m_damaged = 0;
    std::uint64_t m_shownRecordStart = 0; ///< the record whose ping was played last
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
    bool m_saveHeadSettings = true;
    std::string m_titlePrefix;
    RecordHeaderFields m_fields;
    RecordHeaderBytes m_header{};
    std::array<std::uint8_t, kReservedBlockSize> m_reserved{};
    std::array<std::uint8_t, static_cast<std::size_t>(kMaxPacketPairs) * kPacketPairSize> m_pairs{};
    std::array<std::uint8_t, kMaxSentenceLength> m_sentence{};
    std::array<std::uint8_t, 4096> m_scratch{};
};

} // namespace vexar
