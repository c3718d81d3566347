// A ping's records turned into the observers' frame: within its size on the wire whatever the
// picture holds, echoes kept when samples must be reduced, and a ping's profile points carried
// with its beams.

#include "serve/CFrameComposer.h"

#include "files/RecordHeader.h"

#include <QtEndian>
#include <gtest/gtest.h>

#include <cstring>
#include <random>

namespace vexar::cli {
namespace {

using Bytes = std::vector<std::uint8_t>;
constexpr int kBeams = 1440;
constexpr int kSamples = 1000;

std::uint32_t U32(const QByteArray& frame, int at) {
    return qFromLittleEndian<std::uint32_t>(frame.constData() + at);
}

std::uint16_t U16(const QByteArray& frame, int at) {
    return qFromLittleEndian<std::uint16_t>(frame.constData() + at);
}

// A product record as the console builds it: header, zero block, data, sentence.
Bytes Product(RecordKind kind, const std::string& stamp, const Bytes& data,
              const std::string& sentence = {}) {
    RecordHeaderFields f;
    f.signature = RecordSignature(kind);
    f.timeStamp = stamp;
    f.beamCount = kBeams;
    f.samples = kSamples;
    f.rangeM = 10.0f;
    f.soundVelocity = 1500.0f;
    f.dataLength = static_cast<std::uint32_t>(data.size());
    f.sentenceLength = static_cast<std::uint32_t>(sentence.size());
    RecordHeaderBytes header{};
    WriteRecordHeader(f, header);
    Bytes record(kRecordDataOffset + data.size() + sentence.size(), 0);
    std::memcpy(record.data(), header.data(), header.size());
    std::memcpy(record.data() + kRecordDataOffset, data.data(), data.size());
    std::memcpy(record.data() + kRecordDataOffset + data.size(), sentence.data(), sentence.size());
    return record;
}

ScannedRecord Scan(const Bytes& bytes) {
    ScannedRecord record;
    std::string reason;
    EXPECT_TRUE(CheckRecordBytes(bytes, record, reason)) << reason;
    return record;
}

// The image block of a frame, inflated when it was deflated.
QByteArray Image(const QByteArray& frame) {
    const int at = U16(frame, 4);
    const QByteArray packed = frame.mid(at, static_cast<qsizetype>(U32(frame, 48)));
    if ((frame[6] & kFrameDeflated) == 0) {
        return packed;
    }
    const auto size = static_cast<std::uint32_t>(U16(frame, 24)) * U16(frame, 28);
    QByteArray prefixed(4, '\0');
    qToBigEndian(size, prefixed.data());
    return qUncompress(prefixed + packed);
}

TEST(ObserverFrame, StaysWithinBudgetAndKeepsEchoes) {
    std::mt19937 random(5);
    const struct {
        const char* name;
        int nonZeroPercent;
        bool reduced;
    } cases[] = {{"dark", 0, false}, {"sparse echoes", 2, false}, {"noise everywhere", 100, true}};
    for (const auto& c : cases) {
        Bytes image(static_cast<std::size_t>(kBeams) * kSamples, 0);
        for (auto& b : image) {
            if (static_cast<int>(random() % 100) < c.nonZeroPercent) {
                b = static_cast<std::uint8_t>(random() % 200);
            }
        }
        image[700u * kSamples + 333u] = 255; // one strong echo
        CFrameComposer composer(3);
        const Bytes record = Product(RecordKind::Beam, "09122026101112123", image);
        const QByteArray frame = composer.Take(Scan(record), record, 1.0e12);
        ASSERT_FALSE(frame.isEmpty()) << c.name;
        EXPECT_LE(static_cast<std::size_t>(frame.size()), kObserverFrameBudget) << c.name;
        const int k = U16(frame, 30);
        const int stored = U16(frame, 28);
        EXPECT_EQ(k > 1, c.reduced) << c.name;
        EXPECT_EQ(stored, (kSamples + k - 1) / k) << c.name;
        const QByteArray pixels = Image(frame);
        ASSERT_EQ(pixels.size(), static_cast<qsizetype>(kBeams) * stored) << c.name;
        // Every stored sample is the largest of the samples it stands for.
        for (int b : {0, 700, kBeams - 1}) {
            for (int j = 0; j < stored; ++j) {
                const auto* first =
                    &image[static_cast<std::size_t>(b) * kSamples + static_cast<std::size_t>(j * k)];
                const auto* last = first + std::min(k, kSamples - j * k);
                ASSERT_EQ(static_cast<std::uint8_t>(pixels[b * stored + j]), *std::max_element(first, last))
                    << c.name << " beam " << b << " sample " << j;
            }
        }
    }
}

TEST(ObserverFrame, CarriesAPingsPointsWithItsBeamsAndPointsAlone) {
    Bytes points(static_cast<std::size_t>(kBeams) * 8, 0);
    PutF32(points, 8 * 10, 4.5f);
    const std::string sentence = "$AULOG,2;29.9805646N,N,99;13.3141814E,W,,-35.4,,64.8,-0.0,-1.1,0.6,,,0.0,"
                                 "230,0,9913,0.00,10/14/1999,**6B";
    const Bytes beams(static_cast<std::size_t>(kBeams) * kSamples, 9);
    CFrameComposer composer(0);
    // A ping's point record waits for its beam record once beams are seen to come.
    const Bytes firstBeams = Product(RecordKind::Beam, "09122026101112000", beams);
    ASSERT_FALSE(composer.Take(Scan(firstBeams), firstBeams, 1000.0).isEmpty());
    const Bytes p = Product(RecordKind::Point, "09122026101112100", points, sentence);
    EXPECT_TRUE(composer.Take(Scan(p), p, 1100.0).isEmpty());
    const Bytes b = Product(RecordKind::Beam, "09122026101112100", beams, sentence);
    const QByteArray frame = composer.Take(Scan(b), b, 1110.0);
    ASSERT_FALSE(frame.isEmpty());
    EXPECT_EQ(frame[6] & (kFrameHasImage | kFrameHasProfile | kFrameHasSentence),
              kFrameHasImage | kFrameHasProfile | kFrameHasSentence);
    const int profileAt = U16(frame, 4) + static_cast<int>((U32(frame, 48) + 3) / 4 * 4);
    ASSERT_EQ(frame.size(), profileAt + kBeams * 4);
    float range = 0.0f;
    std::memcpy(&range, frame.constData() + profileAt + 10 * 4, sizeof range);
    EXPECT_EQ(range, 4.5f);
    EXPECT_TRUE(frame.contains("2;29.9805646N")) << "the latitude as the info panel shows it";
    EXPECT_TRUE(frame.contains("64.8 deg."));
    EXPECT_TRUE(frame.contains("(2.00 m / div)"));

    // Point records alone, long after the last beam record: a frame each, without an image.
    const Bytes later = Product(RecordKind::Point, "09122026101122000", points);
    const QByteArray alone = composer.Take(Scan(later), later, 11000.0);
    ASSERT_FALSE(alone.isEmpty());
    EXPECT_EQ(alone[6] & (kFrameHasImage | kFrameHasProfile), kFrameHasProfile);
    EXPECT_EQ(U32(alone, 16), 2u) << "frames are numbered";
}

} // namespace
} // namespace vexar::cli
