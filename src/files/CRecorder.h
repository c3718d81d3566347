#pragma once
// CRecorder: the recording side of the document. It builds the record headers, writes raw
// records packet pair by packet pair as the ping cycle exchanges them, builds the beam and
// point records of each processed ping for the files and the UDP output, runs the record
// commands of the File menu and rolls recordings over at the size limit.

#include "acquisition/CSonarLink.h"
#include "common/Commands.h"
#include "files/CProductWriter.h"
#include "files/RecordHeader.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vexar {

class CTamsorDoc;
struct LocalTime;

/// The automatic name of a clock reading: "07DEC2026-114139".
std::string FormatAutoName(const LocalTime& time);
/// A record's time stamp of a clock reading: "07122026114139042".
std::string FormatTimeStamp(const LocalTime& time);
/// `folder` + `stem` + `extension`, or with "-2", "-3", ... before the extension when that
/// file exists: a roll-over never replaces a file this recording did not create.
std::string UnusedName(const std::string& folder, const std::string& stem, const std::string& extension);

/// Size limit in bytes of an "Enable AutoFileSize" value; 0 for no limit.
std::uint64_t SizeLimitBytes(int value);

/// The folder part of a path, up to and including its last separator; empty when none.
std::string FolderOf(const std::string& path);
/// The name part of a path.
std::string NameOf(const std::string& path);

class CRecorder {
public:
    explicit CRecorder(CTamsorDoc& doc);
    CRecorder(const CRecorder&) = delete;
    CRecorder& operator=(const CRecorder&) = delete;

    // ---- Record header ----
    /// The header fields of a record of the kind from the document's head 0 values, clock
    /// strings and held sentence; counter and previous length are left to the record chain.
    RecordHeaderFields HeaderFields(RecordKind kind, std::uint32_t dataLength) const;
    /// Fills the header of a record of the kind and claims its place in the record chain: the
    /// record's total length becomes the next record's previous length.
    const RecordHeaderBytes& BuildRecordHeader(RecordKind kind, std::uint32_t dataLength);
    /// The held sentence as a record of the kind carries it: raw records only a sentence of more
    /// than 6 characters; every kind at most 1024 bytes.
    std::span<const std::uint8_t> SentenceFor(RecordKind kind) const;
    std::uint64_t RecordCounter() const { return m_chain.Peek().counter; }
    std::uint32_t PreviousLength() const { return m_chain.Peek().previousLength; }
    /// Counter and previous length of every record, shared with the sonar link's raw records.
    RecordChain& Chain() { return m_chain; }

    // ---- Live raw records (written by the sonar link) ----
    /// What the link's raw records of the next pings carry besides the ping.
    RawRecordTemplate RawTemplate() const;
    /// Follows the link's raw recording: a recording that ended by itself (a write error, a
    /// roll-over file that did not open, or its record limit) is switched off with its messages.
    void FollowLinkRecording(const RawRecordingState& state);

    // ---- Products of a processed ping ----
    /// After the profile points are final: the point record, then the beam record, each when
    /// its UDP output, its recording or the product sink asks for it.
    void BuildProducts();
    /// Whether the products of a ping include the record of the kind (point or beam).
    bool WantsRecord(RecordKind kind) const;
    void SetProductSink(IProductSink* sink) { m_writer.SetSink(sink); }
    /// The point record: to the UDP output as one datagram and to the P96 file.
    void BuildPointRecord();
    /// The beam record: to the UDP output in datagrams of 64 000 bytes and to the B96 file.
    void BuildBeamRecord();
    /// On: the records are written beside the document while it processes the next ping.
    void SetProductThread(bool threaded) { m_writer.SetThreaded(threaded); }
    /// Returns when every record built so far has been handed on, and reports a write error
    /// of the recording file that happened on the way.
    void FinishProducts();
    /// Bytes of the recording file, the records still being written included.
    std::uint64_t RecordFileBytes() const;
    /// Beams B and samples S of the products for head 0's settings.
    int ProductBeams() const;
    int ProductSamples() const;

    // ---- Copy of a played file ----
    /// True while a raw recording takes the played records.
    bool IsCopying() const;
    /// Marks the start of a copied record, for the cut-back after a write error.
    void BeginCopiedRecord();
    /// Writes bytes of a copied record; false (and the recording stopped) on a write error.
    bool WriteCopied(std::span<const std::uint8_t> bytes);
    /// Ends a copied record of the given total length.
    void EndCopiedRecord(std::uint32_t totalLength);

    // ---- Size limit ----
    /// Before each record: past the limit the recording goes on in a new file.
    void CheckFileSizeLimit();

    // ---- Commands ----
    /// The three record commands: toggles, or asks for a file and starts the kind.
    void OnRecord(RecordKind kind);
    /// "&Stop Recording...".
    void OnStopRecording();
    void OnAutoFileName();
    void OnAutoFileSizeEnable();
    /// Size items: value 1..5.
    void OnAutoFileSize(int value);
    /// Runs a command of the recorder; false when the id is not one.
    bool OnCommand(int commandId);
    /// Menu state of a command of the recorder; nothing when the id is not one.
    std::optional<CommandState> StateOf(int commandId) const;
    /// Starts recording the kind into a path without asking (headless tools, tests); the
    /// refusals and titles are those of the command. A live raw recording may stop by itself
    /// after `maxRecords` records (0: no limit).
    bool StartRecording(RecordKind kind, const std::string& path, std::uint64_t maxRecords = 0);

    bool AnyRecording() const;
    /// Recording switch of a kind.
    bool IsRecording(RecordKind kind) const;

private:
    int& SwitchOf(RecordKind kind) const;
    std::string ProposedName(RecordKind kind) const;
    bool OpenRecordFile(const std::string& path);
    /// Writes record bytes; on failure the record is cut back and the recording stopped.
    bool WriteRecordBytes(std::span<const std::uint8_t> bytes);
    bool EndRecord();
    void FailWrite();
    void StopAll();
    /// Turns every recording switch off and gives the window back its live title.
    void ClearRecordingSwitches();
    /// True while the sonar link writes the raw recording.
    bool LinkRecords() const;
    /// Where a record of the kind goes: the file, the sink, the UDP output.
    ProductRoute RouteOf(RecordKind kind) const;
    /// Applies the size limit and starts the record in a writer's buffer with its header and
    /// the zero block; returns the buffer.
    std::span<std::uint8_t> StartProduct(RecordKind kind, std::uint32_t dataLength);
    void SubmitProduct(RecordKind kind, std::size_t length, const ProductRoute& route);
    /// A write error of the products' file: the recording stops with its messages.
    void FollowProductWrites();
    /// True while a B96 or P96 file takes records.
    bool RecordsProducts() const;

    CTamsorDoc& m_doc;
    RecordChain m_chain;
    std::uint64_t m_recordStart = 0;
    /// Length of the products' file once the records in flight are written.
    std::uint64_t m_productFileBytes = 0;
    RecordHeaderBytes m_header{};
    CProductWriter m_writer;
};

} // namespace vexar
