#pragma once
// CPlayback: playing a raw recording into the document. It owns the player and the operator's
// controls of it (the pace, steps, jumps and the position slider), and it turns each record the
// player reads into a ping (PlayedPing): the ping's buffers, the head settings the record was
// made with laid over the operator's choice, its record's times and header values and its
// sentence. It runs its timer and plays a looping file from its start again at the end of a pass.
// The document it plays into keeps the mode and Hold, says what the end of a pass means to an
// export, leaves a file that fails and takes the pings in through its one ping entry
// (IPlaybackHost).

#include "acquisition/DocumentTypes.h"
#include "config/SettingsValues.h"
#include "files/CPlayer.h"
#include "head/COndrel.h"
#include "head/ReplyData.h"
#include "ports/Ports.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

namespace vexar {

/// The request of a packet pair, as the head was sent it.
using RequestPacket = std::array<std::uint8_t, kCommandPacketSize>;

/// A played record as a ping: what enters the document, and what of its header the document
/// shows beside it.
struct PlayedPing {
    PingInput input;
    FileHeaderValues fileValues;
    /// The ping period the record states; nothing when it is no number.
    std::optional<float> pingPeriodMs;
    /// The request of the record's last packet pair.
    const RequestPacket* lastRequest = nullptr;
};

/// What playback asks of the document it plays into.
class IPlaybackHost {
public:
    virtual ~IPlaybackHost() = default;
    /// A file is played (playback or conversion), not the head.
    virtual bool Playing() const = 0;
    virtual bool Held() const = 0;
    /// Puts Hold on: a step or a jump shows one record and waits there.
    virtual void HoldForPlayback() = 0;
    /// What the played records are read with: the operator's head settings (a record's header
    /// is laid over them), whether a file's sound velocity is used, the sleep time.
    virtual const Settings& PlaybackSettings() const = 0;
    /// A looping pass reached the end of the file: what the step ends with, or nothing to play
    /// on from its start.
    virtual std::optional<StepResult> PassEnded() = 0;
    /// The file cannot be played (not one record in a whole pass): `text` says why; playback
    /// ends.
    virtual void PlaybackFailed(const char* text) = 0;
    /// The title of the file played and its position, before each record is read.
    virtual void ShowPlaybackTitle(const std::string& title) = 0;
    /// Where the records read are copied while a copy is made; null: nowhere.
    virtual IRecordCopy* RecordCopy() = 0;
    /// A record was read whole: its ping.
    virtual void EnterPlayedPing(const PlayedPing& ping) = 0;
};

class CPlayback {
public:
    /// `timers` arms the playback timer (kPlaybackTimer; may be null: headless steps). `events`
    /// is told the position before each step.
    CPlayback(IPlaybackHost& host, IClockPort* clock, ITimerPort* timers, const CDocumentEvents& events);
    CPlayback(const CPlayback&) = delete;
    CPlayback& operator=(const CPlayback&) = delete;

    const CPlayer& Player() const { return m_player; }
    CPlayer& Player() { return m_player; }

    /// Opens a file for playing, at its start; `looping`: the end of the file starts it again.
    CPlayer::OpenResult Open(const std::string& path, bool looping);
    /// "Playback File: PATH" of the file played.
    std::string FileTitle() const { return "Playback File: " + m_player.Path(); }

    /// Plays the record at the current position (at the recorded pace when that is on).
    StepResult Step();
    /// Milliseconds until the next step is due at the speed chosen.
    int NextStepDelayMs() const;
    /// A timer fired; false when it is not playback's. Playback's plays a step and arms the next
    /// while the file plays unheld.
    bool OnTimer(int timerId);
    /// Arms the first step of a file just opened: one record is shown even while held.
    void Start();
    /// Arms the next step while a file plays unheld; Pause stops it.
    void Resume();
    void Pause();

    /// "1x": records play at the pace of their time stamps (or at "Sleep Time" when off).
    void SetRecordedPace(bool on);
    /// One ping forward or back; playback is held (it is held first when it runs).
    void StepForward();
    void StepBack();
    /// The first or the last record of the file; while held it is shown at once.
    void JumpToStart();
    void JumpToEnd();
    /// Shows the record that starts at `offset` of the played file and holds playback there (a
    /// contact's "Go to"). False when no file is played or no record could be shown there.
    bool PlayRecordAt(std::uint64_t offset);
    /// "File Pos" slider held / released at a position of 0..100.
    void OnSliderDragStart();
    void OnSliderRelease(int position);
    bool IsDragging() const { return m_dragging; }
    /// The speed as the playback bar shows it.
    std::string SpeedText() const;

private:
    bool CanControl() const { return m_host.Playing() && m_player.IsOpen(); }
    void Hold();
    void ShowRecordAt(std::uint64_t offset);
    std::string PositionTitle() const;
    void Emit(const PlayedRecord& record);
    void FeedPairs(const PlayedRecord& record);

    IPlaybackHost& m_host;
    const CDocumentEvents& m_events;
    ITimerPort* m_timers;
    CPlayer m_player;
    bool m_dragging = false;
    // The played ping's buffers: valid until the next record.
    PingBuffer m_pingBuffer{};
    ReplyBlock m_lastReply{};
    RequestPacket m_lastRequest{};
};

/// Asks the operator for a recording to play, starting in `folder`; nothing when cancelled or
/// nobody can be asked.
std::optional<std::string> AskPlaybackFile(IOperatorPort* op, const std::string& folder);

/// The head settings a played record was made with: its header's over `choice`; what the record
/// cannot have been made with (a damaged field) keeps the choice's value. `fileSoundVelocity`:
/// the header's sound velocity is used, not the choice's. `shown` takes what the header says
/// for display.
PingSettings SettingsOfRecord(const PlayedRecord& record, const PingSettings& choice, bool fileSoundVelocity,
                              FileHeaderValues& shown);

} // namespace vexar
