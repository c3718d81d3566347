#pragma once
// The record format shared by the raw (R96), beam (B96) and profile-point (P96) files and the
// UDP output: a 1024-byte little-endian header, a 1024-byte zero block, the data block, an
// extension block and the navigation sentence.

#include <array>
#include <cstdint>
#include <span>
#include <string>

namespace vexar {

inline constexpr int kRecordHeaderSize = 1024;
inline constexpr int kReservedBlockSize = 1024;
inline constexpr int kRecordDataOffset = kRecordHeaderSize + kReservedBlockSize;
inline constexpr int kPacketPairSize = 27 + 1034;
/// More packet pairs than a ping can have marks a record as damaged.
inline constexpr int kMaxPacketPairs = 128;
/// A longer sentence than any navigation sentence marks a record as damaged.
inline constexpr int kMaxSentenceLength = 1024;
/// Size of the datagrams and file writes of a beam record.
inline constexpr int kRecordChunkSize = 64000;
/// The record buffer shared by the beam and point builders.
inline constexpr int kRecordBufferSize = 65536;
inline constexpr int kTimeStampLength = 17;
/// A raw record holds the sentence only when it is longer than this.
inline constexpr std::size_t kMinRawSentenceLength = 6;

enum class RecordKind { Raw = 0, Beam = 1, Point = 2 };

/// "R96", "B96" or "P96".
const char* RecordSignature(RecordKind kind);

using RecordHeaderBytes = std::array<std::uint8_t, kRecordHeaderSize>;

/// Every field of the header, at the widths the file holds them.
struct RecordHeaderFields {
    std::string signature;                             ///< bytes 0..2
    std::uint32_t totalLength = 0;                     ///< 4: header included
    std::string timeStamp;                             ///< 10..26, DDMMYYYYHHMMSSmmm
    std::uint8_t labelByte = 0;                        ///< 29: first byte of the label text
    std::uint32_t previousLength = 0;                  ///< 59
    std::uint32_t headerLength = kRecordHeaderSize;    ///< 75
    std::uint32_t reservedOffset = kRecordHeaderSize;  ///< 79
    std::uint32_t reservedLength = kReservedBlockSize; ///< 83
    std::uint32_t dataOffset = kRecordDataOffset;      ///< 87
    std::uint32_t dataLength = 0;                      ///< 91
    std::uint32_t extensionOffset = 0;                 ///< 95
    std::uint32_t extensionLength = 0;                 ///< 99
    std::uint32_t sentenceOffset = 0;                  ///< 103
    std::uint32_t sentenceLength = 0;                  ///< 107
    std::uint8_t transducerUp = 0;                     ///< 319: 0x80 when mounted up
    std::uint8_t systemGainDb = 0;                     ///< 320
    std::array<std::uint8_t, 4> quadrantGainsDb{};     ///< 321..324
    float field325 = 0.0f;                             ///< 325
    float field329 = 0.2f;                             ///< 329
    std::uint8_t average = 0;                          ///< 333
    std::int32_t pulseLengthUs = 0;                    ///< 334
    float soundVelocity = 0.0f;                        ///< 338, m/s
    float frequencyHz = 0.0f;                          ///< 342
    float pingPeriodS = 0.0f;                          ///< 346
    std::uint8_t displayGain = 0;                      ///< 350
    std::uint16_t beamCount = 0;                       ///< 351
    std::int32_t samples = 0;                          ///< 353
    float sectorDeg = 360.0f;                          ///< 357
    float field361 = 0.0f;                             ///< 361
    float beamSpacingDeg = 0.0f;                       ///< 365
    float rangeM = 0.0f;                               ///< 369
    float metresPerSample = 0.0f;                      ///< 373
    std::uint32_t recordCounter = 0;                   ///< 377
    float pulseLengthMultiplier = 1.0f;                ///< 381
    std::uint8_t field385 = 8;                         ///< 385
};

/// Writes every field into a zeroed header. The block offsets and the total length are derived
/// from the three block lengths, and the flags from the extension and sentence lengths.
void WriteRecordHeader(const RecordHeaderFields& fields, RecordHeaderBytes& header);

/// Reads every field as stored; nothing is checked.
RecordHeaderFields ReadRecordHeader(std::span<const std::uint8_t, kRecordHeaderSize> header);

/// True when the bytes start with the signature of a raw record.
bool HasRawSignature(std::span<const std::uint8_t> bytes);

/// Why a raw record cannot be played; Whole means it can.
enum class RecordCheck { Whole, BadLayout, TooManyPackets, SentenceTooLong, BadValues };

/// Checks what the header of a raw record claims before anything is read on its strength:
/// the fixed block layout, at most 128 packet pairs, a sentence of at most 1024 bytes, and
/// playable values (range, sound velocity need not be). `packets` receives the pair count.
RecordCheck CheckRawHeader(const RecordHeaderFields& fields, int& packets);

/// What a header of any kind claims, checked: the fixed block layout, the block lengths adding
/// up to the total, a sentence of at most 1024 bytes, and a data block that fits the kind (raw:
/// 1..128 packet pairs and a playable range; beam: beam count x samples; point: beam count x 8).
/// `kind` and `packets` (raw only) receive what the header says.
RecordCheck CheckRecordHeader(const RecordHeaderFields& fields, RecordKind& kind, int& packets);

/// True when the bytes start with a signature and the fixed block layout of a header: what tells
/// a record from the same three letters inside sample data. `rawOnly` accepts "R96" only.
bool IsPlausibleHeader(std::span<const std::uint8_t> bytes, bool rawOnly);

/// Checks the packet pairs of a raw record: each command packet starts with 0xFE and each reply
/// echoes its pair's index. A ping abandoned while it was recorded fails here. `pairs` may start
/// at pair `firstPacket` of the record.
bool CheckRawPairs(std::span<const std::uint8_t> pairs, int packets, int firstPacket = 0);

/// Text of a check result for reports.
const char* RecordCheckText(RecordCheck check);

/// Packet pairs a raw record holds: ceil((total - sentence - extension - 2048) / 1061), 0 when
/// nothing is left for them.
std::int64_t RawPacketCount(const RecordHeaderFields& fields);

/// Little-endian stores and loads.
void PutU16(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t value);
void PutU32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value);
void PutF32(std::span<std::uint8_t> bytes, std::size_t at, float value);
std::uint16_t GetU16(std::span<const std::uint8_t> bytes, std::size_t at);
std::uint32_t GetU32(std::span<const std::uint8_t> bytes, std::size_t at);
float GetF32(std::span<const std::uint8_t> bytes, std::size_t at);

} // namespace vexar
