// Record header layout, record sizes, the previous-length chain and the record counter.

#include "files/CRecorder.h"
#include "files/RecordHeader.h"
#include "support/RecordingFixture.h"

#include <gtest/gtest.h>

#include <cstring>
#include <string_view>

namespace vexar::test {
namespace {

std::string Text(const Bytes& b, std::size_t at, std::size_t n) {
    return std::string(reinterpret_cast<const char*>(b.data() + at), n);
}

// The header of a record of `kind` with `dataLength` bytes of data for a ping of `settings`,
// stamped 07-12-2026 11:41:39.042, a quarter of a second after the one before it.
RecordHeaderBytes Header(RecordKind kind, std::uint32_t dataLength, const PingSettings& settings,
                         std::string_view sentence) {
    RecordHeaderBytes header{};
    WriteRecordHeader(CRecorder::HeaderFields(
                          kind, dataLength, RecordContext{&settings, "07122026114139042", 250.0f, sentence}),
                      header);
    return header;
}

struct HeaderCase {
    RecordKind kind;
    const char* signature;
};

class RecordHeaderKinds : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(RecordHeaderKinds, EveryFieldAtItsOffset) {
    PingSettings settings;
    settings.transducerUp = 1;
    settings.startGainDb = 0x1234; // low byte only
    for (int k = 0; k < kHeadCount; ++k) {
        settings.heads[static_cast<std::size_t>(k)].quadrantGainDb = 3 + k;
    }
    settings.average = 5;
    settings.pulseLength = 6;
    settings.soundVelocity = 1490.5f;
    settings.baseFrequencyKHz = 675;
    settings.displayGain = 50;
    settings.beams = 480;
    settings.samples = 1000;
    settings.rangeM = 20.0f;
    settings.pulseLengthMultiplier = 1.5f;

    const RecordHeaderBytes h = Header(GetParam().kind, 1234, settings, "$AULOG,abc");
    const Bytes b(h.begin(), h.end());
    const std::span<const std::uint8_t> s(b);
    EXPECT_EQ(Text(b, 0, 3), GetParam().signature);
    EXPECT_EQ(b[3], 0);
    EXPECT_EQ(GetU32(s, 4), 2048u + 1234u + 10u);
    EXPECT_EQ(GetU16(s, 8), 0);
    EXPECT_EQ(Text(b, 10, 17), "07122026114139042");
    EXPECT_EQ(GetU16(s, 27), 0);
    EXPECT_EQ(b[29], 0); // empty label
    EXPECT_EQ(GetU32(s, 59), 0u);
    EXPECT_EQ(b[63], 0x02);
    EXPECT_EQ(GetU32(s, 75), 1024u);
    EXPECT_EQ(GetU32(s, 79), 1024u);
    EXPECT_EQ(GetU32(s, 83), 1024u);
    EXPECT_EQ(GetU32(s, 87), 2048u);
    EXPECT_EQ(GetU32(s, 91), 1234u);
    EXPECT_EQ(GetU32(s, 95), 2048u + 1234u);
    EXPECT_EQ(GetU32(s, 99), 0u);
    EXPECT_EQ(GetU32(s, 103), 2048u + 1234u);
    EXPECT_EQ(GetU32(s, 107), 10u);
    EXPECT_EQ(b[319], 0x80);
    EXPECT_EQ(b[320], 0x34);
    EXPECT_EQ(b[321], 3);
    EXPECT_EQ(b[324], 6);
    EXPECT_EQ(GetF32(s, 325), 0.0f);
    EXPECT_EQ(GetF32(s, 329), 0.2f);
    EXPECT_EQ(b[333], 5);
    EXPECT_EQ(GetU32(s, 334), 60u);
    EXPECT_EQ(GetF32(s, 338), 1490.5f);
    EXPECT_EQ(GetF32(s, 342), 675000.0f);
    EXPECT_EQ(GetF32(s, 346), 0.25f);
    EXPECT_EQ(b[350], 50);
    EXPECT_EQ(GetU16(s, 351), 1440);
    EXPECT_EQ(GetU32(s, 353), 1000u);
    EXPECT_EQ(GetF32(s, 357), 360.0f);
    EXPECT_EQ(GetF32(s, 361), 0.0f);
    EXPECT_EQ(GetF32(s, 365), 0.25f);
    EXPECT_EQ(GetF32(s, 369), 20.0f);
    EXPECT_EQ(GetF32(s, 373), 0.02f);
    EXPECT_EQ(GetU32(s, 377), 0u);
    EXPECT_EQ(GetF32(s, 381), 1.5f);
    EXPECT_EQ(b[385], 8);
    // Everything not listed is zero.
    for (std::size_t i : {28u, 64u, 74u, 111u, 200u, 318u, 386u, 1023u}) {
        EXPECT_EQ(b[i], 0) << "byte " << i;
    }
    // The reader gives back what was written.
    const RecordHeaderFields back = ReadRecordHeader(h);
    EXPECT_EQ(back.totalLength, GetU32(s, 4));
    EXPECT_EQ(back.rangeM, 20.0f);
    EXPECT_EQ(back.pulseLengthUs, 60);
}

INSTANTIATE_TEST_SUITE_P(AllKinds, RecordHeaderKinds,
                         ::testing::Values(HeaderCase{RecordKind::Raw, "R96"},
                                           HeaderCase{RecordKind::Beam, "B96"},
                                           HeaderCase{RecordKind::Point, "P96"}));

TEST(RecordHeader, RawRecordsCarryOnlySentencesLongerThanSix) {
    const PingSettings settings;
    const RecordHeaderBytes raw = Header(RecordKind::Raw, 100, settings, "$AULOG");
    EXPECT_EQ(GetU32(raw, 107), 0u);
    EXPECT_EQ(raw[63], 0);
    RecordHeaderBytes point = Header(RecordKind::Point, 100, settings, "$AULOG");
    EXPECT_EQ(GetU32(point, 107), 6u);
    point = Header(RecordKind::Point, 100, settings, {});
    EXPECT_EQ(GetU32(point, 4), 2148u);
    EXPECT_EQ(point[63], 0);
}

TEST(RecordHeader, PreviousLengthChainsAcrossKindsAndCounterCounts) {
    ProductFixture f;
    const std::uint64_t before = f.recorder.RecordCounter();
    f.Send(true, false);
    f.Send(false, true);
    f.Send(true, false);
    ASSERT_EQ(f.recorder.RecordCounter(), before + 3);
    const auto& sent = f.world.datagrams.m_sent;
    ASSERT_EQ(sent.size(), 1u + 23u + 1u);
    const std::span<const std::uint8_t> p1(sent[0].bytes), b1(sent[1].bytes), p2(sent[24].bytes);
    EXPECT_EQ(GetU32(p1, 59), 0u);
    EXPECT_EQ(GetU32(b1, 59), GetU32(p1, 4));
    EXPECT_EQ(GetU32(p2, 59), GetU32(b1, 4));
    EXPECT_EQ(GetU32(p1, 377), static_cast<std::uint32_t>(before));
    EXPECT_EQ(GetU32(b1, 377), static_cast<std::uint32_t>(before + 1));
    EXPECT_EQ(GetU32(p2, 377), static_cast<std::uint32_t>(before + 2));
}

struct SizeCase {
    int beams;
    int samples;
    std::size_t beamData;
    std::size_t pointData;
    std::size_t chunks;
};

class ProductSizes : public ::testing::TestWithParam<SizeCase> {};

TEST_P(ProductSizes, DataLengthsTotalsAndChunks) {
    const SizeCase c = GetParam();
    ProductFixture f;
    SetBeams(f.settings, c.beams);
    f.settings.samples = c.samples;
    f.sentence = "$AULOG,12345";
    const auto& sent = f.SendPointAndBeamRecords();
    ASSERT_EQ(sent.size(), 1 + c.chunks);
    EXPECT_EQ(GetU32(sent[0].bytes, 91), c.pointData);
    EXPECT_EQ(sent[0].bytes.size(), 2048 + c.pointData + 12);
    EXPECT_EQ(GetU32(sent[1].bytes, 91), c.beamData);
    std::size_t total = 0;
    for (std::size_t i = 1; i < sent.size(); ++i) {
        if (i + 1 < sent.size()) {
            EXPECT_EQ(sent[i].bytes.size(), 64000u);
        }
        total += sent[i].bytes.size();
    }
    EXPECT_EQ(total, 2048 + c.beamData + 12);
    EXPECT_EQ(GetU32(sent[1].bytes, 4), total);
}

INSTANTIATE_TEST_SUITE_P(Settings, ProductSizes,
                         ::testing::Values(SizeCase{480, 1000, 1440000, 11520, 23},
                                           SizeCase{120, 500, 180000, 2880, 3},
                                           SizeCase{240, 1000, 720000, 5760, 12}));

TEST(RecordHeader, LargestBeamRecordEndsInAChunkOf34048PlusSentence) {
    ProductFixture f;
    f.sentence = "$AULOG,1";
    const auto& sent = f.Send(false, true);
    ASSERT_EQ(sent.size(), 23u);
    EXPECT_EQ(sent.back().bytes.size(), 34048u + 8u);
    EXPECT_EQ(Text(sent.back().bytes, 34048, 8), "$AULOG,1");
}

TEST(RecordHeader, PointRecordWithoutSentenceIs4928Bytes) {
    ProductFixture f;
    SetBeams(f.settings, 120);
    f.settings.samples = 500;
    f.Send(true, false);
    ASSERT_EQ(f.world.datagrams.m_sent.size(), 1u);
    EXPECT_EQ(f.world.datagrams.m_sent[0].bytes.size(), 4928u);
}

TEST(RecordHeader, BeamBytesAndPointRangesFromTheCombinedImage) {
    ProductFixture f;
    SetBeams(f.settings, 120);
    f.settings.samples = 500;
    f.settings.rangeM = 10.0f;
    f.ImageAt(0, 0) = 256.7f;
    f.ImageAt(0, 1) = 255.9f;
    f.ImageAt(0, 2) = -1.5f;                                   // -1: low byte 255
    f.ImageAt(0, 3) = 511.0f;                                  // low byte 255
    f.ImageAt(0, 4) = std::numeric_limits<float>::quiet_NaN(); // no int holds these: 0
    f.ImageAt(0, 5) = 3.0e9f;
    f.ImageAt(0, 6) = -3.0e9f;
    f.ImageAt(1, 0) = 17.2f;
    f.ImageAt(359, 499) = 99.0f;
    f.profile[0] = 250.0f;
    f.profile[1] = 499.0f; // S - 1: no point
    f.profile[2] = 0.0f;
    const auto& sent = f.SendPointAndBeamRecords();
    const Bytes& point = sent[0].bytes;
    EXPECT_EQ(GetF32(point, 2048), 5.0f);
    EXPECT_EQ(GetF32(point, 2052), 0.0f);
    EXPECT_EQ(GetF32(point, 2056), 0.0f);
    Bytes beam;
    for (std::size_t i = 1; i < sent.size(); ++i) {
        Append(beam, sent[i].bytes);
    }
    EXPECT_EQ(beam[2048], 0);
    EXPECT_EQ(beam[2049], 255);
    EXPECT_EQ(beam[2050], 255);
    EXPECT_EQ(beam[2051], 255);
    EXPECT_EQ(beam[2052], 0);
    EXPECT_EQ(beam[2053], 0);
    EXPECT_EQ(beam[2054], 0);
    EXPECT_EQ(beam[2048 + 500], 17);
    EXPECT_EQ(beam[2048 + 359 * 500 + 499], 99);
}

TEST(RecordHeader, CheckRejectsWhatNoRecordCanHold) {
    const Bytes good = MakeRawRecord(64, 0);
    RecordHeaderBytes h{};
    std::copy_n(good.begin(), h.size(), h.begin());
    int packets = 0;
    EXPECT_EQ(CheckRawHeader(ReadRecordHeader(h), packets), RecordCheck::Whole);
    EXPECT_EQ(packets, 64);

    RecordHeaderFields f = ReadRecordHeader(h);
    f.dataLength = 129 * kPacketPairSize;
    f.totalLength = 2048 + f.dataLength;
    EXPECT_EQ(CheckRawHeader(f, packets), RecordCheck::TooManyPackets);
    f = ReadRecordHeader(h);
    f.sentenceLength = 1025;
    f.totalLength += 1025;
    EXPECT_EQ(CheckRawHeader(f, packets), RecordCheck::SentenceTooLong);
    f = ReadRecordHeader(h);
    f.totalLength = 0xFFFFFFFFu;
    EXPECT_NE(CheckRawHeader(f, packets), RecordCheck::Whole);
    f = ReadRecordHeader(h);
    f.rangeM = std::numeric_limits<float>::quiet_NaN();
    EXPECT_EQ(CheckRawHeader(f, packets), RecordCheck::BadValues);
}

} // namespace
} // namespace vexar::test
