#include "files/PingRecordLayout.h"

#include "common/Numeric.h"
#include "head/SampleBytes.h"

#include <algorithm>
#include <cstring>

namespace vexar {

std::span<const std::uint8_t> PingRecordLayout::SentenceFor(RecordKind kind, std::string_view sentence) {
    if (kind == RecordKind::Raw && sentence.size() <= kMinRawSentenceLength) {
        return {};
    }
    const std::size_t length = std::min(sentence.size(), static_cast<std::size_t>(kMaxSentenceLength));
    return {reinterpret_cast<const std::uint8_t*>(sentence.data()), length};
}

RecordHeaderFields PingRecordLayout::HeaderFields(RecordKind kind, std::uint32_t dataLength,
                                                  const RecordContext& ping) {
    const PingSettings& s = *ping.settings;
    RecordHeaderFields f;
    f.signature = RecordSignature(kind);
    f.dataLength = dataLength;
    f.sentenceLength = static_cast<std::uint32_t>(SentenceFor(kind, ping.sentence).size());
    f.timeStamp = std::string(ping.timeStamp);
    f.transducerUp = s.transducerUp != 0 ? 0x80 : 0;
    f.systemGainDb = LowByte(s.startGainDb);
    for (int k = 0; k < kHeadCount; ++k) {
        f.quadrantGainsDb[static_cast<std::size_t>(k)] = LowByte(s.Head(k).quadrantGainDb);
    }
    f.field329 = 20.0f / 100.0f;
    f.average = LowByte(s.average);
    f.pulseLengthUs = s.pulseLength * 10;
    f.soundVelocity = s.soundVelocity;
    f.frequencyHz = static_cast<float>(s.baseFrequencyKHz) * 1000.0f;
    f.pingPeriodS = ping.displayedPingPeriodMs / 1000.0f;
    f.displayGain = LowByte(s.displayGain);
    f.beamCount = static_cast<std::uint16_t>(s.beams * 3);
    f.samples = s.samples;
    f.beamSpacingDeg = s.beams != 0 ? s.sectorWidthDeg / static_cast<float>(s.beams) : 0.0f;
    f.rangeM = s.rangeM;
    f.metresPerSample = s.samples != 0 ? s.rangeM / static_cast<float>(s.samples) : 0.0f;
    f.pulseLengthMultiplier = s.pulseLengthMultiplier;
    return f;
}

RawRecordTemplate PingRecordLayout::RawTemplate(const RecordContext& ping) {
    RawRecordTemplate record;
    record.fields = HeaderFields(RecordKind::Raw, 0, ping);
    return record;
}

int PingRecordLayout::ProductBeams(const PingSettings& settings) {
    return std::clamp(TruncToInt(0.75 * settings.beams) * 4, 0, kCombinedBeams);
}

int PingRecordLayout::ProductSamples(const PingSettings& settings) {
    return std::clamp(settings.samples, 0, kMaxSamples);
}

std::uint32_t PingRecordLayout::ProductDataLength(RecordKind kind, const PingSettings& settings) {
    const auto beams = static_cast<std::uint32_t>(ProductBeams(settings));
    return kind == RecordKind::Point ? beams * 8
                                     : beams * static_cast<std::uint32_t>(ProductSamples(settings));
}

std::size_t PingRecordLayout::WriteProductData(RecordKind kind, const PingProducts& ping,
                                               std::span<std::uint8_t> record) {
    return kind == RecordKind::Point ? WritePointData(ping, record) : WriteBeamData(ping, record);
}

std::size_t PingRecordLayout::WriteSentence(RecordKind kind, const PingProducts& ping,
                                            std::span<std::uint8_t> record, std::size_t at) {
    const auto sentence = SentenceFor(kind, ping.context.sentence);
    std::copy(sentence.begin(), sentence.end(), record.begin() + static_cast<std::ptrdiff_t>(at));
    return at + sentence.size();
}

std::size_t PingRecordLayout::WritePointData(const PingProducts& ping, std::span<std::uint8_t> record) {
    const PingSettings& settings = *ping.context.settings;
    const int beams = ProductBeams(settings);
    const int samples = ProductSamples(settings);
    const float rangeM = settings.rangeM;
    std::size_t at = kRecordDataOffset;
    for (int b = 0; b < beams; ++b) {
        const float p = ping.combinedProfile[static_cast<std::size_t>(b)];
        const bool point = p > 0.0f && p < static_cast<float>(samples - 1);
        PutF32(record, at, point ? p * rangeM / static_cast<float>(samples) : 0.0f);
        PutF32(record, at + 4, 0.0f);
        at += 8;
    }
    return WriteSentence(RecordKind::Point, ping, record, at);
}

std::size_t PingRecordLayout::WriteBeamData(const PingProducts& ping, std::span<std::uint8_t> record) {
    const PingSettings& settings = *ping.context.settings;
    const int beams = ProductBeams(settings);
    const int samples = ProductSamples(settings);
    const std::size_t count = static_cast<std::size_t>(samples);
    const bool converted = samples > 0 && samples == ping.convertedSamples;
    std::uint8_t* data = record.data() + kRecordDataOffset;
    // Beam-major, samples from the transducer outwards; rows the ping's processing converted
    // already are copied.
    for (int b = 0; b < beams; ++b) {
        std::uint8_t* const out = data + static_cast<std::size_t>(b) * count;
        const std::uint8_t* bytes = converted && static_cast<std::size_t>(b) < ping.convertedRows.size()
                                        ? ping.convertedRows[static_cast<std::size_t>(b)]
                                        : nullptr;
        if (bytes != nullptr) {
            std::memcpy(out, bytes, count);
        } else {
            SampleBytes(ping.combinedImage + static_cast<std::size_t>(b) * kMaxSamples, out, count);
        }
    }
    return WriteSentence(RecordKind::Beam, ping, record,
                         kRecordDataOffset + static_cast<std::size_t>(beams) * count);
}

} // namespace vexar
