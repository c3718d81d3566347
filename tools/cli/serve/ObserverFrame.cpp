#include "ObserverFrame.h"

#include "display/CPictureModel.h"
#include "display/ColorTables.h"

#include <QtEndian>

#include <algorithm>
#include <cmath>
#include <cstring>

namespace vexar::cli {

namespace {

constexpr char kMagic[4] = {'V', 'X', 'O', '1'};
constexpr std::size_t kTextsOffset = 70;
// zlib's fastest level: a noisy beam image costs a few milliseconds instead of tens, and sparse
// ones shrink nearly as far as with the slower levels.
constexpr int kDeflateLevel = 1;
// qCompress puts the uncompressed length in front of the zlib stream; the page reads the stream.
constexpr qsizetype kLengthPrefix = 4;

template <typename T> void Put(QByteArray& out, std::size_t at, T value) {
    const T little = qToLittleEndian(value);
    std::memcpy(out.data() + at, &little, sizeof little);
}

void PutFloat(QByteArray& out, std::size_t at, float value) {
    std::uint32_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    Put(out, at, bits);
}

void PutDouble(QByteArray& out, std::size_t at, double value) {
    std::uint64_t bits = 0;
    std::memcpy(&bits, &value, sizeof bits);
    Put(out, at, bits);
}

void AppendText(QByteArray& out, const std::string& text) {
    const auto length = static_cast<std::uint16_t>(std::min<std::size_t>(text.size(), 0xFFFF));
    const auto at = static_cast<std::size_t>(out.size());
    out.resize(out.size() + 2);
    Put(out, at, length);
    out.append(text.data(), length);
}

void PadToFour(QByteArray& out) {
    while (out.size() % 4 != 0) {
        out.append('\0');
    }
}

std::uint16_t U16(int value) {
    return static_cast<std::uint16_t>(std::clamp(value, 0, 0xFFFF));
}

} // namespace

QByteArray ObserverGreeting() {
    const ColorTableSet tables = BuildColorTables();
    QByteArray out("VXP1", 4);
    out.resize(8);
    Put(out, 4, static_cast<std::uint16_t>(tables.size()));
    Put(out, 6, static_cast<std::uint16_t>(256));
    for (const ColorTable& table : tables) {
        for (const ColorEntry& entry : table) {
            out.append(static_cast<char>(entry.red));
            out.append(static_cast<char>(entry.green));
            out.append(static_cast<char>(entry.blue));
        }
    }
    constexpr int kTriples = 20;
    const auto at = static_cast<std::size_t>(out.size());
    out.resize(out.size() + 2);
    Put(out, at, static_cast<std::uint16_t>(kTriples));
    for (int i = 0; i < kTriples; ++i) {
        const WeightTriple w = CPictureModel::Weight(i);
        out.append(static_cast<char>(w.previous));
        out.append(static_cast<char>(w.same));
        out.append(static_cast<char>(w.next));
    }
    return out;
}

QByteArray CObserverFrameEncoder::Header(const FrameContent& c, int storedSamples, int k, std::uint8_t flags,
                                         std::size_t imageBytes) const {
    QByteArray out(static_cast<qsizetype>(kTextsOffset), '\0');
    std::memcpy(out.data(), kMagic, sizeof kMagic);
    out[6] = static_cast<char>(flags);
    out[7] = static_cast<char>(std::clamp(c.colorTable, 0, 8));
    PutDouble(out, 8, c.arrivalMs);
    Put(out, 16, c.frameNumber);
    Put(out, 20, c.recordCounter);
    Put(out, 24, U16(c.beams));
    Put(out, 26, U16(c.samples));
    Put(out, 28, U16(storedSamples));
    Put(out, 30, U16(k));
    Put(out, 32, U16(c.sweepBeams));
    Put(out, 34, U16(c.subSteps));
    PutFloat(out, 36, c.rangeM);
    PutFloat(out, 40, c.soundScale);
    PutFloat(out, 44, c.pingsPerSecond);
    Put(out, 48, static_cast<std::uint32_t>(imageBytes));
    std::memcpy(out.data() + 52, c.timeStamp.data(), std::min<std::size_t>(c.timeStamp.size(), 17));
    for (const std::string& text : c.texts) {
        AppendText(out, text);
    }
    PadToFour(out);
    Put(out, 4, U16(static_cast<int>(out.size())));
    return out;
}

std::span<const std::uint8_t> CObserverFrameEncoder::Reduce(const FrameContent& c, int k) {
    const auto samples = static_cast<std::size_t>(c.samples);
    if (k <= 1) {
        return c.image.first(static_cast<std::size_t>(c.beams) * samples);
    }
    const auto step = static_cast<std::size_t>(k);
    const std::size_t stored = (samples + step - 1) / step;
    m_reduced.resize(static_cast<std::size_t>(c.beams) * stored);
    for (std::size_t b = 0; b < static_cast<std::size_t>(c.beams); ++b) {
        const std::uint8_t* row = c.image.data() + b * samples;
        std::uint8_t* out = m_reduced.data() + b * stored;
        for (std::size_t j = 0; j < stored; ++j) {
            const std::size_t first = j * step;
            out[j] = *std::max_element(row + first, row + std::min(first + step, samples));
        }
    }
    return m_reduced;
}

QByteArray CObserverFrameEncoder::Encode(const FrameContent& c) {
    const bool hasImage =
        c.beams > 0 && c.samples > 0 &&
        c.image.size() >= static_cast<std::size_t>(c.beams) * static_cast<std::size_t>(c.samples);
    const bool hasProfile = c.beams > 0 && c.profileM.size() == static_cast<std::size_t>(c.beams);
    std::uint8_t flags = static_cast<std::uint8_t>((hasProfile ? kFrameHasProfile : 0) |
                                                   (c.texts[0].empty() ? 0 : kFrameHasSentence));
    const std::size_t fixed = static_cast<std::size_t>(Header(c, 0, 1, 0, 0).size()) +
                              (hasProfile ? c.profileM.size() * sizeof(float) : 0) + 3;
    const std::size_t room = m_budget > fixed ? m_budget - fixed : 0;
    QByteArray image;
    int k = 1;
    while (hasImage) {
        const std::span<const std::uint8_t> reduced = Reduce(c, k);
        QByteArray packed = qCompress(reduced.data(), static_cast<qsizetype>(reduced.size()), kDeflateLevel);
        packed.remove(0, kLengthPrefix);
        const auto packedSize = static_cast<std::size_t>(packed.size());
        if (packedSize < reduced.size() && packedSize <= room) {
            image = std::move(packed);
            flags |= kFrameDeflated | kFrameHasImage;
            break;
        }
        if (reduced.size() <= room) {
            image = QByteArray(reinterpret_cast<const char*>(reduced.data()),
                               static_cast<qsizetype>(reduced.size()));
            flags |= kFrameHasImage;
            break;
        }
        if (k >= c.samples) {
            break; // not even one sample a beam fits: the frame goes without its image
        }
        // Reduce by at least twice as much, and by as much as the size says is needed.
        const double over =
            static_cast<double>(std::min(packedSize, reduced.size())) / static_cast<double>(room);
        k = std::min(c.samples, std::max(2 * k, static_cast<int>(std::ceil(k * over))));
    }
    m_lastReduction = k;
    const int stored = hasImage ? (c.samples + k - 1) / k : 0;
    QByteArray frame = Header(c, stored, k, flags, static_cast<std::size_t>(image.size()));
    frame += image;
    PadToFour(frame);
    if (hasProfile) {
        const auto at = static_cast<std::size_t>(frame.size());
        frame.resize(frame.size() + static_cast<qsizetype>(c.profileM.size() * sizeof(float)));
        for (std::size_t i = 0; i < c.profileM.size(); ++i) {
            PutFloat(frame, at + i * sizeof(float), c.profileM[i]);
        }
    }
    return frame;
}

} // namespace vexar::cli
