#pragma once
// CRecorder: the recording side of the document. It builds the record headers, writes raw
// records packet pair by packet pair as the ping cycle exchanges them, builds the beam and
// point records of each processed ping for the files and the UDP output, runs the record
// commands of the File menu and rolls recordings over at the size limit.

#include "common/Commands.h"
#include "files/RecordHeader.h"

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string>

namespace vexar {

class CTamsorDoc;
struct LocalTime;

/// A further taker of the products, besides the recording file and the UDP output (headless
/// conversion writes both products in one pass).
class IProductSink {
public:
    virtual ~IProductSink() = default;
    /// Whether records of the kind are wanted.
    virtual bool Wants(RecordKind kind) const = 0;
    /// The next bytes of a record of the kind; `recordEnd` with its last bytes.
    virtual void Take(RecordKind kind, std::span<const std::uint8_t> bytes, bool recordEnd) = 0;
};

/// The automatic name of a clock reading: "07DEC2026-114139".
std::string FormatAutoName(const LocalTime& time);

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
    /// Fills the header of a record of the kind from the document's head 0 values, clock strings
    /// and held sentence; the record's total length becomes the next record's previous length.
    const RecordHeaderBytes& BuildRecordHeader(RecordKind kind, std::uint32_t dataLength);
    /// The held sentence as a record of the kind carries it: raw records only a sentence of more
    /// than 6 characters; every kind at most 1024 bytes.
    std::span<const std::uint8_t> SentenceFor(RecordKind kind) const;
    std::uint64_t RecordCounter() const { return m_recordCounter; }
    /// Raw records completed by the ping cycle since program start.
    std::uint64_t RawRecordsWritten() const { return m_rawRecordsWritten; }
    std::uint32_t PreviousLength() const { return m_previousLength; }

    // ---- Raw records from the ping cycle ----
    /// Block 0 of a recorded ping: size limit, header and zero block; marks the ping recorded.
    void WriteRawRecordStart();
    /// One exchange of the ping: the command packet as sent, then the reply as received.
    void WriteRawPacketPair(std::span<const std::uint8_t> command, std::span<const std::uint8_t> reply);
    /// After the last block: the sentence; the ping is no longer recorded.
    void WriteRawRecordEnd();

    // ---- Products of a processed ping ----
    /// After the profile points are final: the point record, then the beam record, each when
    /// its UDP output, its recording or the product sink asks for it.
    void BuildProducts();
    void SetProductSink(IProductSink* sink) { m_sink = sink; }
    /// The point record: to the UDP output as one datagram and to the P96 file.
    void BuildPointRecord();
    /// The beam record, handed on in chunks of 64 000 bytes as its buffer fills.
    void BuildBeamRecord();
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
    /// refusals and titles are those of the command.
    bool StartRecording(RecordKind kind, const std::string& path);

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
    /// Hands a finished part of a product record on to the UDP output and the file.
    void HandOn(RecordKind kind, std::span<const std::uint8_t> bytes, bool recordEnd);
    void FillProductHeader(RecordKind kind, std::uint32_t dataLength);

    CTamsorDoc& m_doc;
    std::uint64_t m_recordCounter = 0;
    std::uint64_t m_rawRecordsWritten = 0;
    IProductSink* m_sink = nullptr;
    std::uint32_t m_previousLength = 0;
    std::uint64_t m_recordStart = 0;
    RecordHeaderBytes m_header{};
    std::array<std::uint8_t, kRecordBufferSize> m_buffer{};
};

} // namespace vexar
