#pragma once
// CRecording: the operator's recordings. It owns the recorder (raw, beam and profile-point files,
// the UDP output, the copy of a played file) and the record commands: which file a recording goes
// to, the refusals, the title while it runs, the roll-over into a new file, and who writes the
// records (the sonar link writes live raw records where it exchanges them; the recorder everything
// else). The document it records for keeps the mode, the settings and the clock (IRecordingHost).

#include "acquisition/CSonarLink.h"
#include "acquisition/DocumentTypes.h"
#include "config/SettingsValues.h"
#include "files/CRecorder.h"
#include "ports/Ports.h"
#include "processing/CCombinedImage.h"

#include <cstdint>
#include <string>

namespace vexar {

/// The local port the UDP output sends from.
inline constexpr std::uint16_t kOutputLocalPort = 2;

/// What recording asks of the document it records for.
class IRecordingHost {
public:
    virtual ~IRecordingHost() = default;
    /// A file is played (playback or conversion), not the head.
    virtual bool Playing() const = 0;
    /// The folders, the automatic naming and the size limit of recordings.
    virtual const SystemSettings& RecordingSettings() const = 0;
    /// A recording went to another folder: the next proposes it.
    virtual void ChangeWriteFolder(const std::string& folder) = 0;
    /// The automatic name of a file started now (without its extension).
    virtual std::string FreshAutoName() = 0;
    /// The automatic name of a file the roll-over starts: the current ping's in real time.
    virtual std::string RollOverName() const = 0;
    /// The name of the file played; empty in real time.
    virtual std::string PlayedFileName() const = 0;
    /// The live link, where live raw records are written; null without a head.
    virtual CSonarLink* RecordingLink() = 0;
    virtual const std::string& Title() const = 0;
    virtual void SetTitle(const std::string& title) = 0;
};

class CRecording : private IRecorderEvents {
public:
    /// `events` is told whenever a recording starts, stops or goes on in a new file.
    CRecording(IRecordingHost& host, const DocumentPorts& ports, const CDocumentEvents& events);
    CRecording(const CRecording&) = delete;
    CRecording& operator=(const CRecording&) = delete;

    const CRecorder& Recorder() const { return m_recorder; }
    CRecorder& Recorder() { return m_recorder; }
    /// The three record commands: toggles, or asks for a file and starts the kind.
    void OnRecord(RecordKind kind);
    /// "&Stop Recording...".
    void Stop();
    /// Starts recording the kind into a path without asking; the refusals and titles are those of
    /// the command. A live raw recording may stop by itself after `maxRecords` records (0: none).
    bool Start(RecordKind kind, const std::string& path, std::uint64_t maxRecords = 0);
    /// The file being recorded (a live raw recording is the link's) and its size now.
    RecordingStatus Current() const;
    /// The title while a file is recorded: the file and its size; empty while none is.
    std::string Title() const;
    /// True when the ping about to be processed goes into beam records or datagrams: its rows
    /// are turned into record bytes as they are processed.
    bool WantsBeamRows() const;
    /// The records and datagrams of a processed ping.
    void WriteProducts(CCombinedImage& combined, const RecordContext& context);
    /// The settings changed: the size limit and folder of the roll-over follow.
    void FollowSettings();
    /// The raw recording the link writes may have ended by itself (its record limit, an error).
    void FollowLinkRecording(const RawRecordingState& state);
    /// Closes every recording: what is in flight is written first.
    void CloseAll();
    /// Opens the UDP output's socket (where the datagrams are sent from) unless it is open, or
    /// closes it.
    void OpenOutput();
    void CloseOutput();

private:
    void OnRecordingStopped() override;
    void OnRecordingChanged() override;
    void Changed();
    bool LinkRecords() const;
    std::string ProposedName(RecordKind kind);

    IRecordingHost& m_host;
    const CDocumentEvents& m_events;
    IOperatorPort* m_operator;
    IDatagramSender* m_datagrams;
    CRecorder m_recorder;
};

} // namespace vexar
