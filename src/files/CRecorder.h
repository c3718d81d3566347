#pragma once
// CRecorder: the recording side of the console. It owns the recording file and the recording
// switches, builds the point and beam records of each processed ping (their bytes laid out by
// PingRecordLayout) for the files, the product sink and the UDP output, takes the records of a
// played file that is being copied, and rolls a recording over at its size limit. It knows
// nothing of the document: a ping's products come to it as a const value, and what it decides (a
// recording stopped by an error, a new file) goes back through its events.

#include "files/CProductWriter.h"
#include "files/PingRecordLayout.h"
#include "files/RawRecording.h"
#include "files/RecordHeader.h"
#include "head/COndrel.h"
#include "ports/Ports.h"

#include <array>
#include <cstdint>
#include <functional>
#include <span>
#include <string>
#include <string_view>

namespace vexar {

/// The automatic name of a clock reading: "07DEC2026-114139".
std::string FormatAutoName(const LocalTime& time);
/// A record's time stamp of a clock reading: "07122026114139042".
std::string FormatTimeStamp(const LocalTime& time);
/// `folder` + `stem` + `extension`, or with "-2", "-3", ... before the extension when that
/// file exists: a roll-over never replaces a file this recording did not create.
std::string UnusedName(const std::string& folder, const std::string& stem, const std::string& extension);
/// A record file is named after the signature its records start with: ".R96", ".B96", ".P96".
std::string ExtensionOf(RecordKind kind);

/// Size limit in bytes of an "Enable AutoFileSize" value; 0 for no limit.
std::uint64_t SizeLimitBytes(int value);

/// The folder part of a path, up to and including its last separator; empty when none.
std::string FolderOf(const std::string& path);
/// The name part of a path.
std::string NameOf(const std::string& path);

/// What the recorder tells its owner.
class IRecorderEvents {
public:
    virtual ~IRecorderEvents() = default;
    /// Every recording switch went off at once (stopped, or ended by an error).
    virtual void OnRecordingStopped() {}
    /// A recording started, stopped or went on in a new file.
    virtual void OnRecordingChanged() {}
};

/// How a recording that reaches its size limit goes on: in a new file of the folder, named
/// after the stem the function gives at that moment.
struct RollOverRule {
    std::uint64_t limitBytes = 0; ///< 0: no limit
    std::string folder;
    std::function<std::string()> stem;
};

class CRecorder : public IRecordCopy {
public:
    CRecorder(IOperatorPort* op, IDatagramSender* datagrams, IRecorderEvents& events);
    CRecorder(const CRecorder&) = delete;
    CRecorder& operator=(const CRecorder&) = delete;

    // ---- State ----
    bool IsRecording(RecordKind kind) const { return m_switches[Slot(kind)]; }
    bool AnyRecording() const;
    /// The kind being recorded (raw before beam before point); meaningful while AnyRecording.
    RecordKind ActiveKind() const;
    bool FileIsOpen() const { return m_file.IsOpen(); }
    const std::string& FilePath() const { return m_file.Path(); }
    /// Bytes of the recording file, the records still being written included.
    std::uint64_t RecordFileBytes() const;
    /// Counter and previous length of every record, shared with the sonar link's raw records.
    RecordChain& Chain() { return m_chain; }
    std::uint64_t RecordCounter() const { return m_chain.Peek().counter; }
    std::uint32_t PreviousLength() const { return m_chain.Peek().previousLength; }

    // ---- Record header (the layout's, for the callers of the recorder) ----
    static RecordHeaderFields HeaderFields(RecordKind kind, std::uint32_t dataLength,
                                           const RecordContext& ping) {
        return PingRecordLayout::HeaderFields(kind, dataLength, ping);
    }
    static std::span<const std::uint8_t> SentenceFor(RecordKind kind, std::string_view sentence) {
        return PingRecordLayout::SentenceFor(kind, sentence);
    }
    static RawRecordTemplate RawTemplate(const RecordContext& ping) {
        return PingRecordLayout::RawTemplate(ping);
    }

    // ---- Products of a processed ping ----
    /// Whether the products of a ping include the record of the kind (point or beam).
    bool WantsRecord(RecordKind kind, const OutputTarget& output) const;
    /// The point record, then the beam record, each when its UDP output, its recording or the
    /// product sink asks for it.
    void BuildProducts(const PingProducts& ping);
    void SetProductSink(IProductSink* sink) { m_writer.SetSink(sink); }
    /// On: the records are written beside the document while it processes the next ping.
    void SetProductThread(bool threaded) { m_writer.SetThreaded(threaded); }
    /// Returns when every record built so far has been handed on, and reports a write error
    /// of the recording file that happened on the way.
    void FinishProducts();
    /// Beams B and samples S of the products for the settings.
    static int ProductBeams(const PingSettings& settings) { return PingRecordLayout::ProductBeams(settings); }
    static int ProductSamples(const PingSettings& settings) {
        return PingRecordLayout::ProductSamples(settings);
    }

    // ---- Recording ----
    /// Opens (creates) the recording file; on failure the operator is told and false returned.
    bool OpenFile(const std::string& path);
    /// Turns the recording of a kind on (the file is open) or off.
    void SetSwitch(RecordKind kind, bool on);
    /// Hands the open recording file over (to the sonar link, which writes live raw records).
    CDataFile TakeFile() { return std::move(m_file); }
    /// Stops one kind: the records in flight are written and the file closed.
    void StopKind(RecordKind kind);
    /// Stops everything: records in flight written, file closed, switches off, and the events
    /// told.
    void StopAll();
    /// As StopAll, without events: the owner closes everything and tells its listeners itself.
    void Close();
    /// The rule of the next roll-over.
    void SetRollOver(RollOverRule rule) { m_rollOver = std::move(rule); }
    /// Before each record: past the limit the recording goes on in a new file.
    void CheckFileSizeLimit();

    // ---- Copy of a played file ----
    bool IsCopying() const override { return IsRecording(RecordKind::Raw) && m_file.IsOpen(); }
    std::uint32_t CopyPreviousLength() const override { return PreviousLength(); }
    void BeginCopiedRecord() override;
    bool WriteCopied(std::span<const std::uint8_t> bytes) override;
    void EndCopiedRecord(std::uint32_t totalLength) override;

private:
    static std::size_t Slot(RecordKind kind) { return static_cast<std::size_t>(kind); }
    /// Writes record bytes; on failure the record is cut back and the recording stopped.
    bool WriteRecordBytes(std::span<const std::uint8_t> bytes);
    bool EndRecord();
    void FailWrite();
    void ClearSwitches();
    /// Where a record of the kind goes: the file, the sink, the UDP output.
    ProductRoute RouteOf(RecordKind kind, const OutputTarget& output) const;
    /// Applies the size limit and starts the record in a writer's buffer with its header and
    /// the zero block; returns the buffer.
    std::span<std::uint8_t> StartProduct(RecordKind kind, std::uint32_t dataLength,
                                         const RecordContext& ping);
    void SubmitProduct(RecordKind kind, std::size_t length, const ProductRoute& route);
    /// The point or beam record of the ping, to where its route says.
    void BuildRecord(RecordKind kind, const PingProducts& ping);
    /// A write error of the products' file: the recording stops with its messages.
    void FollowProductWrites();
    /// True while a B96 or P96 file takes records.
    bool RecordsProducts() const;
    void ShowWriteError(const std::string& path, const std::string& error) const;

    IOperatorPort* m_operator;
    IDatagramSender* m_datagrams;
    IRecorderEvents& m_events;
    CDataFile m_file;
    std::array<bool, 3> m_switches{}; ///< by RecordKind
    RecordChain m_chain;
    RollOverRule m_rollOver;
    std::uint64_t m_recordStart = 0;
    /// Length of the products' file once the records in flight are written.
    std::uint64_t m_productFileBytes = 0;
    RecordHeaderBytes m_header{};
    CProductWriter m_writer;
};

} // namespace vexar
