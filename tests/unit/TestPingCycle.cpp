// The real-time ping cycle against a scripted head: block exchanges, partial and damaged
// replies, out-of-step blocks, silence, Hold, reconnection and the timing values.

#include "acquisition/CTamsorDoc.h"
#include "sim/Scene.h"
#include "support/FakePorts.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <vector>

namespace vexar {
namespace {

using test::FakeWorld;
constexpr int kRefused = 1; // any non-zero platform code

/// A head on the fake link built from the simulated head's scene and reply codec.
struct ScriptedHead {
    sim::Scene scene = sim::DefaultScene();
    std::unique_ptr<PingBuffer> ping = std::make_unique<PingBuffer>();
    long long pingNumber = -1;
    /// Called for every packet before the reply is built; may change the reply or clear it.
    std::function<void(int block, long long ping, std::vector<std::uint8_t>& reply)> fault;

    std::vector<std::uint8_t> operator()(const std::vector<std::uint8_t>& packet) {
        std::array<std::uint8_t, kCommandPacketSize> bytes{};
        std::copy_n(packet.begin(), std::min<std::size_t>(packet.size(), bytes.size()), bytes.begin());
        const sim::PingGeometry g = sim::GeometryFromPacket(bytes, 1480.0f, 0);
        const int block = bytes[kPacketBlockByte];
        if (block == 0 || pingNumber < 0) {
            ++pingNumber;
            sim::SynthesisePing(scene, g, static_cast<std::uint64_t>(pingNumber), *ping);
        }
        ReplyBlock reply{};
        sim::BuildReply(*ping, block, static_cast<std::uint8_t>(block), sim::ReplyHeaderFields{}, reply);
        std::vector<std::uint8_t> out(reply.begin(), reply.end());
        if (fault) {
            fault(block, pingNumber, out);
        }
        return out;
    }
};

class PingCycle : public ::testing::Test {
protected:
    void SetUp() override {
        world.link.m_clock = &world.clock;
        world.link.m_responder = std::ref(head);
        doc = CTamsorDoc::Create(world.Ports());
        doc->m_sonarAddress = "127.0.0.1";
        doc->Head(0).m_transducerUp = 0;
        doc->CopyHeadSettings();
    }

    void Connect() {
        doc->StartAcquisition();
        doc->OnConnect(0);
    }

    /// Fires the next timer; returns its id.
    int Fire() {
        const auto id = world.timers.FireNext([this](int timer) { doc->OnTimer(timer); });
        EXPECT_TRUE(id.has_value());
        return id.value_or(0);
    }

    std::size_t SendsOf(const std::function<void()>& action) {
        const std::size_t before = world.link.m_sent.size();
        action();
        return world.link.m_sent.size() - before;
    }

    void ExpectHeadsHoldPing(long long ping, int samples) {
        sim::PingGeometry g;
        g.samples = samples;
        g.rangeM = doc->Head(0).m_rangeM;
        g.pulseLength = 0;
        std::array<std::uint8_t, kCommandPacketSize> packet = doc->Head(0).m_commandPacket;
        g = sim::GeometryFromPacket(packet, 1480.0f, 0);
        g.samples = samples;
        std::vector<std::uint16_t> expected(kElementCount * kMaxSamples);
        for (int h = 0; h < kHeadCount; ++h) {
            sim::SynthesiseHead(head.scene, g, h, static_cast<std::uint64_t>(ping),
                                sim::HeadSamples(expected.data(), expected.size()));
            const auto& raw = doc->Head(h).m_rawSamples;
            for (int c = 0; c < kElementCount; ++c) {
                for (int j = 0; j < samples; ++j) {
                    const auto at = static_cast<std::size_t>(c * kMaxSamples + j);
                    ASSERT_EQ(raw[at], expected[at]) << "head " << h << " channel " << c << " sample " << j;
                }
            }
        }
    }

    bool AnyNewData() const {
        for (int h = 0; h < kHeadCount; ++h) {
            if (doc->Head(h).m_newData != 0) {
                return true;
            }
        }
        return false;
    }

    FakeWorld world;
    ScriptedHead head;
    std::unique_ptr<CTamsorDoc> doc;
};

TEST_F(PingCycle, ConnectArmsThePingTimerAndACompletePingFillsEveryHead) {
    Connect();
    EXPECT_EQ(doc->m_connected, 1);
    EXPECT_EQ(world.timers.DelayOf(kPingTimer), 500);
    EXPECT_FALSE(world.timers.IsArmed(kWatchdogTimer));
    doc->m_pingDelayMs = 40;
    EXPECT_EQ(SendsOf([&] { EXPECT_EQ(Fire(), kPingTimer); }), 128u);
    EXPECT_EQ(doc->m_blocksReceived, 128);
    for (int f = 0; f < 128; ++f) {
        EXPECT_EQ(world.link.m_sent[static_cast<std::size_t>(f)][kPacketBlockByte], f);
    }
    ExpectHeadsHoldPing(0, 1000);
    for (int h = 0; h < kHeadCount; ++h) {
        EXPECT_EQ(doc->Head(h).m_newData, 1);
        EXPECT_EQ(doc->Head(h).m_headerText, "SIM");
        EXPECT_EQ(doc->Head(h).m_transducerType, 4);
        EXPECT_EQ(doc->Head(h).m_pingCounter, 1);
    }
    EXPECT_EQ(world.timers.DelayOf(kPingTimer), 40);
    EXPECT_FALSE(world.timers.IsArmed(kWatchdogTimer));
    EXPECT_EQ(Fire(), kPingTimer);
    ExpectHeadsHoldPing(1, 1000);
    EXPECT_TRUE(world.op.m_messages.empty());
}

TEST_F(PingCycle, RepliesArrivingInPiecesAreCollected) {
    for (std::size_t chunk : {1u, 100u, 517u, 1033u}) {
        world.link.m_chunk = chunk;
        Connect();
        Fire();
        EXPECT_EQ(doc->m_blocksReceived, 128) << "chunk " << chunk;
        ExpectHeadsHoldPing(head.pingNumber, 1000);
    }
}

TEST_F(PingCycle, WrongEchoAtBlockTenEndsThePingAndANewOneStartsAtOnce) {
    head.fault = [](int block, long long ping, std::vector<std::uint8_t>& reply) {
        if (ping == 0 && block == 10) {
            reply[kReplyEchoByte] = 11;
        }
    };
    Connect();
    Fire();
    EXPECT_EQ(world.link.m_sent.size(), 11u);
    EXPECT_EQ(doc->m_blocksReceived, 10);
    EXPECT_FALSE(AnyNewData());
    EXPECT_EQ(world.timers.DelayOf(kPingTimer), 0);
    EXPECT_EQ(world.timers.DelayOf(kWatchdogTimer), 5000);
    // The next ping starts from block 0 and completes.
    EXPECT_EQ(SendsOf([&] { EXPECT_EQ(Fire(), kPingTimer); }), 128u);
    EXPECT_EQ(world.link.m_sent[11][kPacketBlockByte], 0);
    EXPECT_EQ(doc->m_blocksReceived, 128);
    ExpectHeadsHoldPing(1, 1000);
}

TEST_F(PingCycle, WrongEchoAtTheLastBlockLeavesThePingIncomplete) {
    head.fault = [](int block, long long, std::vector<std::uint8_t>& reply) {
        if (block == 127) {
            reply[kReplyEchoByte] = 0;
        }
    };
    Connect();
    Fire();
    EXPECT_EQ(world.link.m_sent.size(), 128u);
    EXPECT_EQ(doc->m_blocksReceived, 127);
    EXPECT_FALSE(AnyNewData());
    EXPECT_EQ(doc->Head(0).m_pingCounter, 0);
    EXPECT_EQ(world.timers.DelayOf(kPingTimer), 0);
}

TEST_F(PingCycle, SilenceEndsThePingAndTheWatchdogRestartsTheCycle) {
    head.fault = [](int block, long long ping, std::vector<std::uint8_t>& reply) {
        if (ping == 0 && block == 3) {
            reply.clear();
        }
    };
    Connect();
    Fire();
    EXPECT_EQ(world.link.m_sent.size(), 4u);
    EXPECT_FALSE(AnyNewData());
    EXPECT_FALSE(world.timers.IsArmed(kPingTimer));
    EXPECT_EQ(world.timers.DelayOf(kWatchdogTimer), 5000);
    EXPECT_EQ(Fire(), kWatchdogTimer);
    EXPECT_EQ(doc->m_connected, 1);
    EXPECT_EQ(world.timers.DelayOf(kPingTimer), 500);
    EXPECT_EQ(doc->Head(0).m_commandPacket[kPacketBlockByte], 0);
    EXPECT_EQ(Fire(), kPingTimer);
    EXPECT_EQ(doc->m_blocksReceived, 128);
    ExpectHeadsHoldPing(1, 1000);
    EXPECT_TRUE(world.op.m_messages.empty());
}

TEST_F(PingCycle, AReplyThatComesLateDoesNotKeepTheLinkOutOfStep) {
    // Block 3's reply misses its wait and is still in the socket when the next ping starts.
    std::vector<std::uint8_t> late;
    head.fault = [&late](int block, long long ping, std::vector<std::uint8_t>& reply) {
        if (ping == 0 && block == 3) {
            late = reply;
            reply.clear();
        } else if (ping == 1 && block == 0 && !late.empty()) {
            reply.insert(reply.begin(), late.begin(), late.end());
            late.clear();
        }
    };
    Connect();
    Fire();
    EXPECT_EQ(doc->m_blocksReceived, 3);
    EXPECT_EQ(Fire(), kWatchdogTimer);
    EXPECT_EQ(Fire(), kPingTimer);
    EXPECT_EQ(doc->m_blocksReceived, 0); // block 0 got block 3's reply
    EXPECT_EQ(world.timers.DelayOf(kPingTimer), 0);
    // Block 0's reply of that ping is still waiting; it must not shift the next ping.
    EXPECT_EQ(Fire(), kPingTimer);
    EXPECT_EQ(doc->m_blocksReceived, 128);
    ExpectHeadsHoldPing(2, 1000);
}

TEST_F(PingCycle, DamagedRepliesNeverCompleteAPingNorTouchTheLastGoodOne) {
    Connect();
    Fire();
    ASSERT_EQ(doc->m_blocksReceived, 128);
    const auto rawBefore = doc->Head(2).m_rawSamples;
    const auto headerBefore = doc->Head(2).m_replyHeader;
    std::uint32_t state = 12345;
    auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return state >> 8;
    };
    head.fault = [&](int, long long, std::vector<std::uint8_t>& reply) {
        switch (next() % 5) {
        case 0:
            reply.resize(next() % kReplyBlockSize);
            break; // short
        case 1:
            reply.insert(reply.end(), next() % 3000, 0xEE);
            break; // over-long
        case 2:
            for (auto& b : reply) {
                b = static_cast<std::uint8_t>(next());
            }
            break; // garbage
        case 3:
            reply.clear();
            break; // nothing
        default:
            reply[kReplyEchoByte] = static_cast<std::uint8_t>(reply[kReplyEchoByte] + 1 + next() % 200);
            break;
        }
    };
    for (int attempt = 0; attempt < 25; ++attempt) {
        Fire();
        ASSERT_LT(doc->m_blocksReceived, 128);
        ASSERT_FALSE(AnyNewData());
        ASSERT_EQ(doc->m_connected, 1);
    }
    EXPECT_EQ(doc->Head(2).m_rawSamples, rawBefore);
    EXPECT_EQ(doc->Head(2).m_replyHeader, headerBefore);
    EXPECT_EQ(doc->Head(0).m_pingCounter, 1);
    // A good head again: the cycle recovers by itself.
    head.fault = nullptr;
    for (int i = 0; i < 3 && doc->m_blocksReceived != 128; ++i) {
        Fire();
    }
    EXPECT_EQ(doc->m_blocksReceived, 128);
    ExpectHeadsHoldPing(head.pingNumber, 1000);
}

TEST_F(PingCycle, SampleCountChangeTakesEffectOnePingLater) {
    doc->Head(0).m_samples = 500;
    doc->CopyHeadSettings();
    Connect(); // ResetPingCycle builds the packets; blocks per ping follow after a ping
    Fire();
    Fire();
    ASSERT_EQ(doc->m_blocksPerPing, 64);
    EXPECT_EQ(SendsOf([&] { Fire(); }), 64u);
    EXPECT_EQ(world.link.m_sent.back()[19], 2);
    ExpectHeadsHoldPing(head.pingNumber, 500);
    EXPECT_EQ(doc->Head(0).m_newData, 1);

    doc->Head(0).m_samples = 1000; // the operator's command between two pings
    const long long before = head.pingNumber;
    EXPECT_EQ(SendsOf([&] { Fire(); }), 64u);
    EXPECT_EQ(world.link.m_sent.back()[19], 2);
    // That ping carried 500 samples; drawn as 1000 it would show every echo at half its range.
    EXPECT_FALSE(AnyNewData());
    EXPECT_EQ(world.timers.DelayOf(kPingTimer), 0);
    EXPECT_EQ(SendsOf([&] { Fire(); }), 128u);
    EXPECT_EQ(world.link.m_sent.back()[19], 3);
    ExpectHeadsHoldPing(before + 2, 1000);
    EXPECT_EQ(doc->Head(0).m_newData, 1);
}

TEST_F(PingCycle, HoldDuringAPingLetsItFinishAndArmsNothing) {
    head.fault = [this](int block, long long ping, std::vector<std::uint8_t>&) {
        if (ping == 0 && block == 5) {
            doc->OnHold();
        }
    };
    Connect();
    Fire();
    EXPECT_EQ(doc->m_hold, 1);
    EXPECT_EQ(doc->m_blocksReceived, 128);
    EXPECT_EQ(doc->Head(0).m_newData, 1);
    EXPECT_FALSE(world.timers.IsArmed(kPingTimer));
    EXPECT_FALSE(world.timers.IsArmed(kWatchdogTimer));
    EXPECT_FALSE(world.timers.IsArmed(kPlaybackTimer));
    doc->OnHold();
    EXPECT_EQ(world.timers.DelayOf(kWatchdogTimer), 5000);
    EXPECT_FALSE(world.timers.IsArmed(kPingTimer));
    EXPECT_EQ(Fire(), kWatchdogTimer);
    EXPECT_EQ(world.timers.DelayOf(kPingTimer), 500);
    EXPECT_EQ(Fire(), kPingTimer);
    ExpectHeadsHoldPing(1, 1000);
}

TEST_F(PingCycle, AnUnreachableHeadIsRetriedEveryFiveSecondsWithoutAMessage) {
    doc->StartAcquisition();
    doc->OnConnect(kRefused);
    for (int attempt = 0; attempt < 5; ++attempt) {
        EXPECT_EQ(doc->m_connected, 0);
        EXPECT_EQ(world.timers.DelayOf(kWatchdogTimer), 5000);
        EXPECT_FALSE(world.timers.IsArmed(kPingTimer));
        const std::uint64_t before = world.clock.TickMs();
        EXPECT_EQ(Fire(), kWatchdogTimer);
        EXPECT_EQ(world.clock.TickMs() - before, 5000u);
        EXPECT_EQ(world.link.m_connects.size(), static_cast<std::size_t>(attempt + 2));
        EXPECT_EQ(world.link.m_connects.back().first, "127.0.0.1");
        EXPECT_EQ(world.link.m_connects.back().second, 4040);
        doc->OnConnect(kRefused);
    }
    EXPECT_TRUE(world.op.m_messages.empty());
}

TEST_F(PingCycle, PeerCloseClearsTheHeadsAndReconnectsAtOnce) {
    Connect();
    Fire();
    ASSERT_EQ(doc->Head(1).m_newData, 1);
    const std::size_t connects = world.link.m_connects.size();
    doc->OnClose(0);
    EXPECT_EQ(doc->m_connected, 0);
    EXPECT_FALSE(AnyNewData());
    EXPECT_EQ(world.link.m_connects.size(), connects + 1);
    EXPECT_EQ(world.timers.DelayOf(kWatchdogTimer), 5000);
    doc->OnConnect(0);
    EXPECT_EQ(Fire(), kPingTimer);
    EXPECT_EQ(doc->m_blocksReceived, 128);
}

TEST_F(PingCycle, LinkClosedDuringAPingEndsItAndTheWatchdogTakesOver) {
    head.fault = [this](int block, long long ping, std::vector<std::uint8_t>&) {
        if (ping == 0 && block == 7) {
            world.link.Close();
        }
    };
    Connect();
    Fire();
    EXPECT_LT(doc->m_blocksReceived, 128);
    EXPECT_FALSE(AnyNewData());
    EXPECT_EQ(world.timers.DelayOf(kWatchdogTimer), 5000);
}

TEST_F(PingCycle, TimingValuesAreMeasuredFromThePingStart) {
    head.fault = [this](int, long long, std::vector<std::uint8_t>&) { world.clock.Advance(3); };
    doc->m_pingDelayMs = 100;
    Connect();
    Fire();
    EXPECT_FLOAT_EQ(doc->m_sonarTimeMs, 3.0f);
    EXPECT_FLOAT_EQ(doc->m_acquisitionTimeMs, 3.0f * 128);
    Fire();
    // From the end of one status refresh to the end of the next: ping delay + one ping.
    EXPECT_FLOAT_EQ(doc->m_loopTimeMs, 100.0f + 3.0f * 128);
    EXPECT_FLOAT_EQ(doc->m_displayedPingPeriodMs, doc->m_loopTimeMs);
    // An incomplete ping measures the sonar time but keeps the last acquisition time.
    head.fault = [this](int block, long long, std::vector<std::uint8_t>& reply) {
        world.clock.Advance(5);
        if (block == 2) {
            reply.clear();
        }
    };
    Fire();
    EXPECT_FLOAT_EQ(doc->m_sonarTimeMs, 5.0f);
    EXPECT_FLOAT_EQ(doc->m_acquisitionTimeMs, 3.0f * 128);
}

} // namespace
} // namespace vexar
