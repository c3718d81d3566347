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

// The packet of the settings as a request builds it: the rules first, then the bytes.
void Build(COndrel& head, PingSettings& settings) {
    ApplyPacketRules(settings);
    head.BuildCommandPacket(settings);
}

TEST(CommandPacket, DefaultPacketAfterResetAndBuild) {
    COndrel head;
    PingSettings settings;
    settings.rangeM = 10.0f;
    settings.samples = 1000;
    settings.externalTriggerLevel = 0;
    ResetPulseLength(settings);
    head.ResetCommandPacket(settings);
    Build(head, settings);
    const std::vector<int> expected = {0xFE, 0x44, 0x10, 0x0A, 0, 0,    0, 0, 0, 0,    0, 0,    0,   0,
                                       0x06, 0,    0,    0,    0, 0x03, 0, 0, 0, 0x24, 0, 0xA9, 0xFD};
    EXPECT_EQ(Bytes(head), expected);
    EXPECT_EQ(settings.pulseLength, 6);
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
    EXPECT_EQ(PulseLengthFor(1.25f, 1.0f), 1);
    EXPECT_EQ(PulseLengthFor(2.5f, 1.0f), 2);
    EXPECT_EQ(PulseLengthFor(5.0f, 1.0f), 3);
    EXPECT_EQ(PulseLengthFor(10.0f, 1.0f), 6);
    EXPECT_EQ(PulseLengthFor(20.0f, 1.0f), 12);
    EXPECT_EQ(PulseLengthFor(20.0f, 2.0f), 24);
    EXPECT_EQ(PulseLengthFor(2.5f, 2.0f), 4);
}

TEST(CommandPacket, PulseAbove255WrapsInTheByteButNotInTheField) {
    COndrel head;
    PingSettings settings;
    settings.rangeM = 500.0f;
    settings.pulseLengthMultiplier = 1.0f;
    Build(head, settings);
    EXPECT_EQ(settings.pulseLength, 300);
    EXPECT_EQ(head.m_commandPacket[14], 300 & 0xFF);
    EXPECT_EQ(head.m_commandPacket[15], 0);
    EXPECT_EQ(head.m_commandPacket[3], 0xCC);
}

TEST(CommandPacket, FiveHundredSamplesRaisesMultiplier) {
    COndrel head;
    PingSettings settings;
    settings.samples = 500;
    settings.pulseLengthMultiplier = 0.5f;
    Build(head, settings);
    EXPECT_FLOAT_EQ(settings.pulseLengthMultiplier, 1.0f);
    EXPECT_EQ(head.m_commandPacket[19], 2);
    settings.samples = 1000;
    settings.pulseLengthMultiplier = 0.5f;
    Build(head, settings);
    EXPECT_FLOAT_EQ(settings.pulseLengthMultiplier, 0.5f);
    EXPECT_EQ(head.m_commandPacket[19], 3);
}

TEST(CommandPacket, DelayTriggerAndFrequencyBytes) {
    COndrel head;
    PingSettings settings;
    settings.externalTransmitDelay = 0x1234;
    settings.externalTriggerEnable = 1;
    settings.externalTriggerLevel = 3;
    settings.frequencyStep = -100;
    Build(head, settings);
    EXPECT_EQ(head.m_commandPacket[17], 0x12);
    EXPECT_EQ(head.m_commandPacket[18], 0x34);
    EXPECT_EQ(head.m_commandPacket[16], 0x03);
    EXPECT_EQ(head.m_commandPacket[25], 167); // (665 - 330) / 5 + 100.5
    settings.externalTriggerEnable = 0;
    settings.externalTriggerLevel = 2;
    Build(head, settings);
    EXPECT_EQ(head.m_commandPacket[16], 0x00);
}

TEST(CommandPacket, BuildLeavesFixedBytesAlone) {
    COndrel head;
    head.m_commandPacket[13] = 77;
    head.m_commandPacket[2] = 0x12;
    PingSettings settings;
    Build(head, settings);
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
    auto doc = std::make_unique<CTamsorDoc>(world.Ports());
    const auto azimuth = [&](int k) { return doc->Shown().Settings().Head(k).azimuth; };
    doc->EditSettings([](Settings& s) { s.sonar.transducerUp = 1; });
    EXPECT_EQ(azimuth(0), 0);
    EXPECT_EQ(azimuth(1), 900);
    EXPECT_EQ(azimuth(2), 1800);
    EXPECT_EQ(azimuth(3), 2700);
    doc->EditSettings([](Settings& s) { s.sonar.transducerUp = 0; });
    EXPECT_EQ(azimuth(1), 2700);
    EXPECT_EQ(azimuth(3), 900);
    doc->EditSettings([](Settings& s) { s.sonar.azimuthOffsetDeg = 12.34f; });
    EXPECT_EQ(azimuth(0), -123);
    EXPECT_EQ(azimuth(2), -123 + 1800);
}

TEST(DocumentConstruction, HeadsGetTheirAddressAndTransducerUp) {
    test::FakeWorld world;
    auto doc = std::make_unique<CTamsorDoc>(world.Ports());
    for (int k = 0; k < 4; ++k) {
        EXPECT_EQ(doc->PingRoutine().Head(k).m_headIndex, k);
        EXPECT_EQ(doc->PingRoutine().Head(k).m_commandPacket[2], 0x10 + k);
    }
    EXPECT_EQ(doc->Shown().Settings().transducerUp, 1);
    EXPECT_EQ(doc->Shown().Settings().Head(1).azimuth, 900);
    // The next reset, when real time starts, sets the address back to 0x10 everywhere.
    COndrel head = doc->PingRoutine().Head(3);
    head.ResetCommandPacket(doc->Shown().Settings());
    EXPECT_EQ(head.m_commandPacket[2], 0x10);
}

} // namespace
} // namespace vexar
