#include "files/RecordHeader.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstring>

namespace vexar {

namespace {
constexpr std::size_t kSignatureAt = 0;
constexpr std::size_t kTotalLengthAt = 4;
constexpr std::size_t kTimeStampAt = 10;
constexpr std::size_t kLabelAt = 29;
constexpr std::size_t kPreviousLengthAt = 59;
constexpr std::size_t kFlagsAt = 63;
constexpr std::size_t kHeaderLengthAt = 75;
constexpr std::size_t kReservedOffsetAt = 79;
constexpr std::size_t kReservedLengthAt = 83;
constexpr std::size_t kDataOffsetAt = 87;
constexpr std::size_t kDataLengthAt = 91;
constexpr std::size_t kExtensionOffsetAt = 95;
constexpr std::size_t kExtensionLengthAt = 99;
constexpr std::size_t kSentenceOffsetAt = 103;
constexpr std::size_t kSentenceLengthAt = 107;
constexpr std::uint8_t kExtensionFlag = 0x01;
constexpr std::uint8_t kSentenceFlag = 0x02;
} // namespace

const char* RecordSignature(RecordKind kind) {
    switch (kind) {
    case RecordKind::Raw:
        return "R96";
    case RecordKind::Beam:
        return "B96";
    case RecordKind::Point:
        return "P96";
    }
    return "R96";
}

void PutU16(std::span<std::uint8_t> bytes, std::size_t at, std::uint16_t value) {
    bytes[at] = static_cast<std::uint8_t>(value & 0xFFu);
    bytes[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

void PutU32(std::span<std::uint8_t> bytes, std::size_t at, std::uint32_t value) {
    for (std::size_t i = 0; i < 4; ++i) {
        bytes[at + i] = static_cast<std::uint8_t>((value >> (8 * i)) & 0xFFu);
    }
}

void PutF32(std::span<std::uint8_t> bytes, std::size_t at, float value) {
    PutU32(bytes, at, std::bit_cast<std::uint32_t>(value));
}

std::uint16_t GetU16(std::span<const std::uint8_t> bytes, std::size_t at) {
    return static_cast<std::uint16_t>(bytes[at] | (bytes[at + 1] << 8));
}

std::uint32_t GetU32(std::span<const std::uint8_t> bytes, std::size_t at) {
    std::uint32_t value = 0;
    for (std::size_t i = 0; i < 4; ++i) {
        value |= static_cast<std::uint32_t>(bytes[at + i]) << (8 * i);
    }
    return value;
}

float GetF32(std::span<const std::uint8_t> bytes, std::size_t at) {
    return std::bit_cast<float>(GetU32(bytes, at));
}

void WriteRecordHeader(const RecordHeaderFields& f, RecordHeaderBytes& header) {
    header.fill(0);
    const std::span<std::uint8_t> h(header);
    std::memcpy(h.data() + kSignatureAt, f.signature.data(), std::min<std::size_t>(f.signature.size(), 3));
    const std::uint32_t extensionOffset = kRecordDataOffset + f.dataLength;
    const std::uint32_t sentenceOffset = extensionOffset + f.extensionLength;
    PutU32(h, kTotalLengthAt, sentenceOffset + f.sentenceLength);
    std::memcpy(h.data() + kTimeStampAt, f.timeStamp.data(),
                std::min<std::size_t>(f.timeStamp.size(), kTimeStampLength));
    h[kLabelAt] = f.labelByte;
    PutU32(h, kPreviousLengthAt, f.previousLength);
    h[kFlagsAt] = static_cast<std::uint8_t>((f.extensionLength > 0 ? kExtensionFlag : 0) |
                                            (f.sentenceLength > 0 ? kSentenceFlag : 0));
    PutU32(h, kHeaderLengthAt, kRecordHeaderSize);
    PutU32(h, kReservedOffsetAt, kRecordHeaderSize);
    PutU32(h, kReservedLengthAt, kReservedBlockSize);
    PutU32(h, kDataOffsetAt, kRecordDataOffset);
    PutU32(h, kDataLengthAt, f.dataLength);
    PutU32(h, kExtensionOffsetAt, extensionOffset);
    PutU32(h, kExtensionLengthAt, f.extensionLength);
    PutU32(h, kSentenceOffsetAt, sentenceOffset);
    PutU32(h, kSentenceLengthAt, f.sentenceLength);
    h[319] = f.transducerUp;
    h[320] = f.systemGainDb;
    std::copy(f.quadrantGainsDb.begin(), f.quadrantGainsDb.end(), h.begin() + 321);
    PutF32(h, 325, f.field325);
    PutF32(h, 329, f.field329);
    h[333] = f.average;
    PutU32(h, 334, static_cast<std::uint32_t>(f.pulseLengthUs));
    PutF32(h, 338, f.soundVelocity);
    PutF32(h, 342, f.frequencyHz);
    PutF32(h, 346, f.pingPeriodS);
    h[350] = f.displayGain;
    PutU16(h, 351, f.beamCount);
    PutU32(h, 353, static_cast<std::uint32_t>(f.samples));
    PutF32(h, 357, f.sectorDeg);
    PutF32(h, 361, f.field361);
    PutF32(h, 365, f.beamSpacingDeg);
    PutF32(h, 369, f.rangeM);
    PutF32(h, 373, f.metresPerSample);
    PutU32(h, 377, f.recordCounter);
    PutF32(h, 381, f.pulseLengthMultiplier);
    h[385] = f.field385;
}

RecordHeaderFields ReadRecordHeader(std::span<const std::uint8_t, kRecordHeaderSize> header) {
    const std::span<const std::uint8_t> h(header);
    RecordHeaderFields f;
    f.signature.assign(reinterpret_cast<const char*>(h.data()), 3);
    f.totalLength = GetU32(h, kTotalLengthAt);
    f.timeStamp.assign(reinterpret_cast<const char*>(h.data() + kTimeStampAt), kTimeStampLength);
    f.labelByte = h[kLabelAt];
    f.previousLength = GetU32(h, kPreviousLengthAt);
    // Byte 63's flags say no more than the extension and sentence lengths, which are read.
    f.headerLength = GetU32(h, kHeaderLengthAt);
    f.reservedOffset = GetU32(h, kReservedOffsetAt);
    f.reservedLength = GetU32(h, kReservedLengthAt);
    f.dataOffset = GetU32(h, kDataOffsetAt);
    f.dataLength = GetU32(h, kDataLengthAt);
    f.extensionOffset = GetU32(h, kExtensionOffsetAt);
    f.extensionLength = GetU32(h, kExtensionLengthAt);
    f.sentenceOffset = GetU32(h, kSentenceOffsetAt);
    f.sentenceLength = GetU32(h, kSentenceLengthAt);
    f.transducerUp = h[319];
    f.systemGainDb = h[320];
    std::copy_n(h.begin() + 321, 4, f.quadrantGainsDb.begin());
    f.field325 = GetF32(h, 325);
    f.field329 = GetF32(h, 329);
    f.average = h[333];
    f.pulseLengthUs = static_cast<std::int32_t>(GetU32(h, 334));
    f.soundVelocity = GetF32(h, 338);
    f.frequencyHz = GetF32(h, 342);
    f.pingPeriodS = GetF32(h, 346);
    f.displayGain = h[350];
    f.beamCount = GetU16(h, 351);
    f.samples = static_cast<std::int32_t>(GetU32(h, 353));
    f.sectorDeg = GetF32(h, 357);
    f.field361 = GetF32(h, 361);
    f.beamSpacingDeg = GetF32(h, 365);
    f.rangeM = GetF32(h, 369);
    f.metresPerSample = GetF32(h, 373);
    f.recordCounter = GetU32(h, 377);
    f.pulseLengthMultiplier = GetF32(h, 381);
    f.field385 = h[385];
    return f;
}

bool HasRawSignature(std::span<const std::uint8_t> bytes) {
    return bytes.size() >= 3 && bytes[0] == 'R' && bytes[1] == '9' && bytes[2] == '6';
}

std::int64_t RawPacketCount(const RecordHeaderFields& f) {
    const std::int64_t left =
        static_cast<std::int64_t>(f.totalLength) - f.sentenceLength - f.extensionLength - kRecordDataOffset;
    return left > 0 ? (left - 1) / kPacketPairSize + 1 : 0;
}

RecordCheck CheckRawHeader(const RecordHeaderFields& f, int& packets) {
    packets = 0;
    if (f.signature != "R96" || f.headerLength != kRecordHeaderSize ||
        f.reservedOffset != kRecordHeaderSize || f.reservedLength != kReservedBlockSize ||
        f.dataOffset != kRecordDataOffset) {
        return RecordCheck::BadLayout;
    }
    if (f.sentenceLength > static_cast<std::uint32_t>(kMaxSentenceLength)) {
        return RecordCheck::SentenceTooLong;
    }
    // The three block lengths must add up to the total; 64-bit so that no sum wraps.
    const std::uint64_t sum =
        std::uint64_t{kRecordDataOffset} + f.dataLength + f.extensionLength + f.sentenceLength;
    if (sum != f.totalLength || f.dataLength % kPacketPairSize != 0) {
        return RecordCheck::BadLayout;
    }
    const std::int64_t count = RawPacketCount(f);
    if (count > kMaxPacketPairs) {
        return RecordCheck::TooManyPackets;
    }
    if (count < 1) {
        return RecordCheck::BadLayout;
    }
    if (!std::isfinite(f.rangeM) || !(f.rangeM > 0.0f) || f.rangeM > 500.0f) {
        return RecordCheck::BadValues;
    }
    packets = static_cast<int>(count);
    return RecordCheck::Whole;
}

RecordCheck CheckRecordHeader(const RecordHeaderFields& f, RecordKind& kind, int& packets) {
    packets = 0;
    if (f.signature == "R96") {
        kind = RecordKind::Raw;
        return CheckRawHeader(f, packets);
    }
    if (f.signature == "B96") {
        kind = RecordKind::Beam;
    } else if (f.signature == "P96") {
        kind = RecordKind::Point;
    } else {
        return RecordCheck::BadLayout;
    }
    if (f.headerLength != kRecordHeaderSize || f.reservedOffset != kRecordHeaderSize ||
        f.reservedLength != kReservedBlockSize || f.dataOffset != kRecordDataOffset) {
        return RecordCheck::BadLayout;
    }
    if (f.sentenceLength > static_cast<std::uint32_t>(kMaxSentenceLength)) {
        return RecordCheck::SentenceTooLong;
    }
    const std::uint64_t sum =
        std::uint64_t{kRecordDataOffset} + f.dataLength + f.extensionLength + f.sentenceLength;
    if (sum != f.totalLength) {
        return RecordCheck::BadLayout;
    }
    const bool beamsOk = f.beamCount == 360 || f.beamCount == 720 || f.beamCount == 1440;
    const std::uint64_t perBeam = kind == RecordKind::Beam ? static_cast<std::uint64_t>(f.samples) : 8u;
    if (!beamsOk || (kind == RecordKind::Beam && f.samples != 500 && f.samples != 1000) ||
        f.dataLength != f.beamCount * perBeam) {
        return RecordCheck::BadValues;
    }
    return RecordCheck::Whole;
}

bool IsPlausibleHeader(std::span<const std::uint8_t> bytes, bool rawOnly) {
    if (bytes.size() < static_cast<std::size_t>(kRecordHeaderSize) || bytes[1] != '9' || bytes[2] != '6') {
        return false;
    }
    const std::uint8_t first = bytes[0];
    if (first != 'R' && (rawOnly || (first != 'B' && first != 'P'))) {
        return false;
    }
    return GetU32(bytes, kHeaderLengthAt) == kRecordHeaderSize &&
           GetU32(bytes, kReservedOffsetAt) == kRecordHeaderSize &&
           GetU32(bytes, kReservedLengthAt) == kReservedBlockSize &&
           GetU32(bytes, kDataOffsetAt) == kRecordDataOffset;
}

bool CheckRawPairs(std::span<const std::uint8_t> pairs, int packets, int firstPacket) {
    constexpr std::size_t kEchoAt = 27 + 5;
    if (packets < 0 || pairs.size() < static_cast<std::size_t>(packets) * kPacketPairSize) {
        return false;
    }
    for (int k = 0; k < packets; ++k) {
        const std::size_t at = static_cast<std::size_t>(k) * kPacketPairSize;
        if (pairs[at] != 0xFE || pairs[at + kEchoAt] != static_cast<std::uint8_t>(firstPacket + k)) {
            return false;
        }
    }
    return true;
}

const char* RecordCheckText(RecordCheck check) {
    switch (check) {
    case RecordCheck::Whole:
        return "whole";
    case RecordCheck::BadLayout:
        return "block lengths do not fit";
    case RecordCheck::TooManyPackets:
        return "more than 128 packet pairs";
    case RecordCheck::SentenceTooLong:
        return "sentence longer than 1024 bytes";
    case RecordCheck::BadValues:
        return "values no head produces";
    }
    return "damaged";
}

} // namespace vexar
