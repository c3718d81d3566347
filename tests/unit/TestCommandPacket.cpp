#include "acquisition/CTamsorDoc.h"
#include "head/COndrel.h"
#include "support/FakePorts.h"

#include <gtest/gtest.h>

#include <vector>

namespace vexar {
namespace {

std::vector<int> Bytes(const COndrel& head) {
    return {head.m_commandPacket.begin(), head.m_commandPacket.end()};
}

TEST(CommandPacket, DefaultPacketAfterResetAndBuild) {
    COndrel head;
    head.m_rangeM = 10.0f;
    head.m_samples = 1000;
    head.m_externalTriggerLevel = 0;
    head.ResetCommandPacket();
    head.BuildCommandPacket();
    const std::vector<int> expected = {0xFE, 0x44, 0x10, 0x0A, 0, 0,    0, 0, 0, 0,    0, 0,    0,   0,
                                       0x06, 0,    0,    0,    0, 0x03, 0, 0, 0, 0x24, 0, 0xA9, 0xFD};
    EXPECT_EQ(Bytes(head), expected);
    EXPECT_EQ(head.m_pulseLength, 6);
}

TEST(CommandPacket, RangeCodes) {
    EXPECT_EQ(COndrel::RangeCode(1.25f), 1);
    EXPECT_EQ(COndrel::RangeCode(2.5f), 2);
    EXPECT_EQ(COndrel::RangeCode(5.0f), 5);
    EXPECT_EQ(COndrel::RangeCode(20.0f), 20);
    EXPECT_EQ(COndrel::RangeCode(200.0f), 200);
    EXPECT_EQ(COndrel::RangeCode(250.0f), 0xC9);
    EXPECT_EQ(COndrel::RangeCode(300.0f), 0xCA);
    EXPECT_EQ(COndrel::RangeCode(400.0f), 0xCB);
    EXPECT_EQ(COndrel::RangeCode(500.0f), 0xCC);
    // A damaged file may carry anything; the code never becomes undefined.
    EXPECT_EQ(COndrel::RangeCode(std::numeric_limits<float>::quiet_NaN()), 0);
}

TEST(CommandPacket, PulseLengthsFollowRangeAndMultiplier) {
    EXPECT_EQ(COndrel::PulseLengthFor(1.25f, 1.0f), 1);
    EXPECT_EQ(COndrel::PulseLengthFor(2.5f, 1.0f), 2);
    EXPECT_EQ(COndrel::PulseLengthFor(5.0f, 1.0f), 3);
    EXPECT_EQ(COndrel::PulseLengthFor(10.0f, 1.0f), 6);
    EXPECT_EQ(COndrel::PulseLengthFor(20.0f, 1.0f), 12);
    EXPECT_EQ(COndrel::PulseLengthFor(20.0f, 2.0f), 24);
    EXPECT_EQ(COndrel::PulseLengthFor(2.5f, 2.0f), 4);
}

TEST(CommandPacket, PulseAbove255WrapsInTheByteButNotInTheField) {
    COndrel head;
    head.m_rangeM = 500.0f;
    head.m_pulseLengthMultiplier = 1.0f;
    head.BuildCommandPacket();
    EXPECT_EQ(head.m_pulseLength, 300);
    EXPECT_EQ(head.m_commandPacket[14], 300 & 0xFF);
    EXPECT_EQ(head.m_commandPacket[15], 0);
    EXPECT_EQ(head.m_commandPacket[3], 0xCC);
}

TEST(CommandPacket, FiveHundredSamplesRaisesMultiplier) {
    COndrel head;
    head.m_samples = 500;
    head.m_pulseLengthMultiplier = 0.5f;
    head.BuildCommandPacket();
    EXPECT_FLOAT_EQ(head.m_pulseLengthMultiplier, 1.0f);
    EXPECT_EQ(head.m_commandPacket[19], 2);
    head.m_samples = 1000;
    head.m_pulseLengthMultiplier = 0.5f;
    head.BuildCommandPacket();
    EXPECT_FLOAT_EQ(head.m_pulseLengthMultiplier, 0.5f);
    EXPECT_EQ(head.m_commandPacket[19], 3);
}

TEST(CommandPacket, DelayTriggerAndFrequencyBytes) {
    COndrel head;
    head.m_externalTransmitDelay = 0x1234;
    head.m_externalTriggerEnable = 1;
    head.m_externalTriggerLevel = 3;
    head.m_frequencyStep = -100;
    head.BuildCommandPacket();
    EXPECT_EQ(head.m_commandPacket[17], 0x12);
    EXPECT_EQ(head.m_commandPacket[18], 0x34);
    EXPECT_EQ(head.m_commandPacket[16], 0x03);
    EXPECT_EQ(head.m_commandPacket[25], 167); // (665 - 330) / 5 + 100.5
    head.m_externalTriggerEnable = 0;
    head.m_externalTriggerLevel = 2;
    head.BuildCommandPacket();
    EXPECT_EQ(head.m_commandPacket[16], 0x00);
}

TEST(CommandPacket, BuildLeavesFixedBytesAlone) {
    COndrel head;
    head.m_commandPacket[13] = 77;
    head.m_commandPacket[2] = 0x12;
    head.BuildCommandPacket();
    EXPECT_EQ(head.m_commandPacket[13], 77);
    EXPECT_EQ(head.m_commandPacket[2], 0x12);
    EXPECT_EQ(head.m_commandPacket[26], 0xFD);
}

TEST(RangeTable, RangeToIndex) {
    EXPECT_EQ(RangeToIndex(2.5f), 1);
    EXPECT_EQ(RangeToIndex(5.0f), 2);
    EXPECT_EQ(RangeToIndex(10.0f), 3);
    EXPECT_EQ(RangeToIndex(20.0f), 4);
    EXPECT_EQ(RangeToIndex(60.0f), 8);
    EXPECT_EQ(RangeToIndex(500.0f), 16);
    EXPECT_EQ(RangeToIndex(50.0f), 7);
    EXPECT_EQ(RangeToIndex(1.25f), 7);
    EXPECT_EQ(RangeIndexFromMetres(1.25f), 0);
    EXPECT_EQ(RangeToIndex(10.7f), 3);
}

TEST(HeadAzimuths, TransducerUpSwapsHeadsOneAndThree) {
    test::FakeWorld world;
    auto doc = CTamsorDoc::Create(world.Ports());
    for (int k = 0; k < 4; ++k) {
        doc->Head(k).m_transducerUp = 1;
    }
    doc->UpdateHeadAzimuths();
    EXPECT_EQ(doc->Head(0).m_azimuth, 0);
    EXPECT_EQ(doc->Head(1).m_azimuth, 900);
    EXPECT_EQ(doc->Head(2).m_azimuth, 1800);
    EXPECT_EQ(doc->Head(3).m_azimuth, 2700);
    for (int k = 0; k < 4; ++k) {
        doc->Head(k).m_transducerUp = 0;
    }
    doc->UpdateHeadAzimuths();
    EXPECT_EQ(doc->Head(1).m_azimuth, 2700);
    EXPECT_EQ(doc->Head(3).m_azimuth, 900);
    doc->m_azimuthOffsetDeg = 12.34f;
    doc->UpdateHeadAzimuths();
    EXPECT_EQ(doc->Head(0).m_azimuth, -123);
    EXPECT_EQ(doc->Head(2).m_azimuth, -123 + 1800);
}

TEST(DocumentConstruction, HeadsGetTheirAddressAndTransducerUp) {
    test::FakeWorld world;
    auto doc = CTamsorDoc::Create(world.Ports());
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(doc->Head(k).m_headIndex, k);
        EXPECT_EQ(doc->Head(k).m_commandPacket[2], 0x10 + k);
        EXPECT_EQ(doc->Head(k).m_transducerUp, 1);
    }
    EXPECT_EQ(doc->Head(1).m_azimuth, 900);
    // The next reset, when real time starts, sets the address back to 0x10 everywhere.
    doc->Head(3).ResetCommandPacket();
    EXPECT_EQ(doc->Head(3).m_commandPacket[2], 0x10);
}

} // namespace
} // namespace vexar
