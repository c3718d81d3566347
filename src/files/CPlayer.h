#pragma once
// CPlayer: playback of raw recordings. One step reads one record, checks everything its header
// claims before reading on its strength, feeds the packet pairs through the ping buffers and
// runs the per-ping routine; damaged stretches are skipped by resynchronising at the next
// signature.

#include "files/RecordHeader.h"

#include <array>
#include <cstdint>
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
};

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
    /// Plays the record at the current position.
    StepResult PlaybackStep();
    /// Positions the file at the next record signature at or after the offset.
    void ResyncToRecord(std::uint64_t offset);

    /// "File Pos" slider held / released at a position of 0..100.
    void OnSliderDragStart();
    void OnSliderRelease(int position);

    /// Off: the end of the file ends playback steps (AtEnd) instead of looping (one-pass tools).
    void SetLooping(bool loop) { m_loop = loop; }
    /// Off: opening a file leaves the settings file alone (headless tools).
    void SetSaveHeadSettings(bool save) { m_saveHeadSettings = save; }

    std::uint64_t FileLength() const { return m_fileLength; }
    std::uint64_t Position() const { return m_position; }
    std::uint64_t RecordStart() const { return m_recordStart; }
    /// Slider position for the current position, 0..100.
    int PositionPercent() const;
    std::uint64_t DamagedRecords() const { return m_damaged; }

private:
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
    bool m_loop = true;
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
