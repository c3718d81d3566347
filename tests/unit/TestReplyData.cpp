#include "acquisition/CTamsorDoc.h"
#include "head/ReplyData.h"
#include "support/FakePorts.h"

#include <gtest/gtest.h>

#include <memory>

namespace vexar {
namespace {

TEST(ReplyData, BlocksPerPingFollowTheSampleCount) {
    EXPECT_EQ(BlocksPerPingFor(500), 64);
    EXPECT_EQ(BlocksPerPingFor(1000), 128);
    // Never more blocks than the ping buffer holds.
    EXPECT_EQ(BlocksPerPingFor(5000), kMaxBlocksPerPing);
    EXPECT_EQ(BlocksPerPingFor(-3), 0);
}

TEST(ReplyData, PayloadGoesToItsBlockAndStrayIndicesAreIgnored) {
    ReplyBlock reply{};
    for (int i = 0; i < kReplyBlockSize; ++i) {
        reply[static_cast<std::size_t>(i)] = static_cast<std::uint8_t>(i * 7);
    }
    auto ping = std::make_unique<PingBuffer>();
    ping->fill(0xEE);
    StoreBlockPayload(reply, 5, *ping);
    EXPECT_EQ((*ping)[5000], reply[33]);
    EXPECT_EQ((*ping)[5999], reply[1032]);
    EXPECT_EQ((*ping)[4999], 0xEE);
    EXPECT_EQ((*ping)[6000], 0xEE);
    StoreBlockPayload(reply, 128, *ping);
    StoreBlockPayload(reply, -1, *ping);
    EXPECT_EQ((*ping)[127999], 0xEE);
}

TEST(ReplyData, DeinterleaveOffsets) {
    auto heads = std::make_unique<std::array<COndrel, kHeadCount>>();
    auto ping = std::make_unique<PingBuffer>();
    ping->fill(0);
    (*ping)[0] = 0x01;
    (*ping)[1] = 0x02; // head 0, channel 0, sample 0
    (*ping)[32] = 0xAB;
    (*ping)[33] = 0xCD; // head 1, channel 0, sample 0
    (*ping)[128] = 0x80;
    (*ping)[129] = 0x00; // head 0, channel 0, sample 1
    (*ping)[((999 * 4 + 3) * 16 + 15) * 2] = 0x12;
    (*ping)[((999 * 4 + 3) * 16 + 15) * 2 + 1] = 0x34; // head 3, channel 15, sample 999
    DeinterleavePing(*ping, 1000, *heads);
    EXPECT_EQ((*heads)[0].m_rawSamples[0], 0x0102);
    EXPECT_EQ((*heads)[1].m_rawSamples[0], 0xABCD);
    EXPECT_EQ((*heads)[0].m_rawSamples[1], 0x8000);
    EXPECT_EQ((*heads)[3].m_rawSamples[15 * 1000 + 999], 0x1234);
}

TEST(ReplyData, FiveHundredSamplesLeaveTheOtherColumnsAlone) {
    auto heads = std::make_unique<std::array<COndrel, kHeadCount>>();
    (*heads)[2].m_rawSamples[7 * 1000 + 500] = 4242;
    auto ping = std::make_unique<PingBuffer>();
    ping->fill(0x11);
    DeinterleavePing(*ping, 500, *heads);
    EXPECT_EQ((*heads)[2].m_rawSamples[7 * 1000 + 499], 0x1111);
    EXPECT_EQ((*heads)[2].m_rawSamples[7 * 1000 + 500], 4242);
}

TEST(ReplyData, HeaderFieldsAndScrambleFlag) {
    COndrel head;
    head.m_replyHeader = {};
    head.m_replyHeader[0] = 'A';
    head.m_replyHeader[1] = 'B';
    head.m_replyHeader[2] = 'C';
    head.m_replyHeader[3] = 0x21;
    head.m_replyHeader[4] = 0x05;
    head.m_replyHeader[8] = 4;
    head.m_replyHeader[9] = 9;
    head.ParseReturnHeader();
    EXPECT_EQ(head.m_headerText, "ABC");
    EXPECT_EQ(head.m_headId, 0x21);
    EXPECT_EQ(head.m_status, 5);
    EXPECT_EQ(head.m_transducerType, 4);
    EXPECT_EQ(head.m_headerByte9, 9);
    head.m_replyHeader[1] = 0;
    head.ParseReturnHeader();
    EXPECT_EQ(head.m_headerText, "A");

    std::array<std::uint8_t, kReplyHeaderSize> header{};
    header[6] = 0x41;
    EXPECT_TRUE(IsScrambled(header));
    header[6] = 0x14;
    EXPECT_FALSE(IsScrambled(header));
    header[6] = 0x80;
    EXPECT_FALSE(IsScrambled(header));
}

TEST(ReplyData, CompletePingMarksEveryHeadAndSplitsTheBuffer) {
    test::FakeWorld world;
    auto doc = std::make_unique<CTamsorDoc>(world.Ports());
    auto reply = std::make_unique<ReplyBlock>();
    reply->fill(0);
    (*reply)[0] = 'S';
    (*reply)[8] = 4;
    (*reply)[6] = 0x41; // scrambled pings are taken as they came
    auto payloads = std::make_unique<PingBuffer>();
    payloads->fill(0);
    (*payloads)[2] = 0x7F; // head 0, channel 1, sample 0
    (*payloads)[3] = 0xFF;
    PingInput ping;
    ping.payloads = payloads.get();
    ping.lastReply = reply.get();
    ping.settings = doc->Shown().Settings();
    ping.settings.samples = 500;
    doc->EnterPing(ping);
    for (int k = 0; k < kHeadCount; ++k) {
        EXPECT_EQ(doc->PingRoutine().Head(k).m_newData, 1);
        EXPECT_EQ(doc->PingRoutine().Head(k).m_pingCounter, 1);
        EXPECT_EQ(doc->PingRoutine().Head(k).m_headerText, "S");
        EXPECT_EQ(doc->PingRoutine().Head(k).m_transducerType, 4);
    }
    EXPECT_EQ(doc->PingRoutine().Head(0).m_rawSamples[1000], 0x7FFF);
}

} // namespace
} // namespace vexar
