// The real-time ping cycle against a scripted head, with the link's steps on the fake timers:
// block exchanges, partial and damaged replies asked for again, pings given up, silence and the
// watchdog, settings carried by each ping, Hold, the reconnection back-off and the timing values.

#include "acquisition/CTamsorDoc.h"
#include "acquisition/LinkStatus.h"
#include "acquisition/ReplyWait.h"
#include "display/CPictureModel.h"
#include "files/CRecorder.h"
#include "head/SampleBytes.h"
#include "sim/Scene.h"
#include "support/FakePorts.h"
#include "support/RecordingFixture.h"
#include "support/ScriptedHead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <set>
#include <vector>

namespace vexar {
namespace {

using test::FakeWorld;
using test::ScriptedHead;

class PingCycle : public ::testing::Test {
protected:
    void SetUp() override {
        world.link.m_clock = &world.clock;
        world.link.m_responder = std::ref(head);
        doc = std::make_unique<CTamsorDoc>(world.Ports());
        doc->EditSettings([](Settings& s) {
            s.system.sonarAddress = "127.0.0.1";
            s.sonar.transducerUp = 0;
        });
    }
    /// The live ping is processed in turns of the event loop, the picture is polar and the
    /// link pauses `pingDelayMs` between pings.
    static void InTurns(CTamsorDoc& document, int pingDelayMs) {
        document.SetOptions(DocumentOptions{1.0, true});
        document.EditSettings([pingDelayMs](Settings& s) {
            s.sonar.displayMode = kDisplayModePolar;
            s.system.pingDelayMs = pingDelayMs;
        });
    }
    void SetPingDelay(int delayMs) {
        doc->EditSettings([delayMs](Settings& s) { s.system.pingDelayMs = delayMs; });
    }

    /// Starts the link and lets it connect; the first ping is due half a second later.
    void Connect() {
        doc->StartAcquisition();
        EXPECT_EQ(Fire(), kPingTimer);
        EXPECT_TRUE(doc->Live().Link().connected);
    }

    /// Fires the next timer (a link step for kPingTimer) and returns its id; the ticks of the
    /// stale-picture count run on the way.
    int Fire() {
        for (;;) {
            const auto id = world.timers.FireNext([this](int timer) { doc->OnTimer(timer); });
            EXPECT_TRUE(id.has_value());
            if (id != kStaleTimer) {
                return id.value_or(0);
            }
        }
    }

    std::size_t SendsOf(const std::function<void()>& action) {
        const std::size_t before = world.link.m_sent.size();
        action();
        return world.link.m_sent.size() - before;
    }

    void ExpectHeadsHoldPing(long long ping, int samples) {
        sim::PingGeometry g;
        g.samples = samples;
        g.rangeM = doc->Shown().Settings().rangeM;
        g.pulseLength = 0;
        std::array<std::uint8_t, kCommandPacketSize> packet = doc->PingRoutine().Head(0).m_commandPacket;
        g = sim::GeometryFromPacket(packet, 1480.0f, 0);
        g.samples = samples;
        std::vector<std::uint16_t> expected(kElementCount * kMaxSamples);
        for (int h = 0; h < kHeadCount; ++h) {
            sim::SynthesiseHead(head.scene, g, h, static_cast<std::uint64_t>(ping),
                                sim::HeadSamples(expected.data(), expected.size()));
            const auto& raw = doc->PingRoutine().Head(h).m_rawSamples;
            for (int c = 0; c < kElementCount; ++c) {
                for (int j = 0; j < samples; ++j) {
                    const auto at = static_cast<std::size_t>(c * kMaxSamples + j);
                    ASSERT_EQ(raw[at], expected[at]) << "head " << h << " channel " << c << " sample " << j;
                }
            }
        }
    }

    LinkStats Stats() const { return doc->Live().SonarLink()->Stats(); }

    bool AnyNewData() const {
        for (int h = 0; h < kHeadCount; ++h) {
            if (doc->PingRoutine().Head(h).m_newData != 0) {
                return true;
            }
        }
        return false;
    }

    FakeWorld world;
    ScriptedHead head;
    std::unique_ptr<CTamsorDoc> doc;
};

TEST_F(PingCycle, ConnectWaitsHalfASecondAndACompletePingFillsEveryHead) {
    SetPingDelay(40);
    Connect();
    EXPECT_EQ(world.timers.DelayOf(kPingTimer), 500);
    EXPECT_EQ(world.link.m_connects.back(), (std::pair<std::string, std::uint16_t>{"127.0.0.1", 4040}));
    EXPECT_EQ(SendsOf([&] { EXPECT_EQ(Fire(), kPingTimer); }), 128u);
    for (int f = 0; f < 128; ++f) {
        EXPECT_EQ(world.link.m_sent[static_cast<std::size_t>(f)][kPacketBlockByte], f);
    }
    ExpectHeadsHoldPing(0, 1000);
    for (int h = 0; h < kHeadCount; ++h) {
        EXPECT_EQ(doc->PingRoutine().Head(h).m_newData, 1);
        EXPECT_EQ(doc->PingRoutine().Head(h).m_headerText, "SIM");
        EXPECT_EQ(doc->PingRoutine().Head(h).m_transducerType, 4);
        EXPECT_EQ(doc->PingRoutine().Head(h).m_pingCounter, 1);
    }
    // The next request follows after the ping delay; the watchdog only refreshes the status.
    EXPECT_EQ(world.timers.DelayOf(kPingTimer), 40);
    EXPECT_EQ(world.timers.DelayOf(kWatchdogTimer), 5000);
    EXPECT_EQ(Fire(), kPingTimer);
    ExpectHeadsHoldPing(1, 1000);
    EXPECT_TRUE(world.op.m_messages.empty());
}

TEST_F(PingCycle, RepliesArrivingInPiecesAreCollected) {
    for (std::size_t chunk : {1u, 100u, 517u, 1033u}) {
        world.link.m_chunk = chunk;
        Connect();
        Fire();
        ExpectHeadsHoldPing(head.pingNumber, 1000);
        EXPECT_EQ(doc->PingRoutine().Head(0).m_newData, 1) << "chunk " << chunk;
    }
}

// A block whose replies fail their checks every time it is asked gives its ping up; the next is
// requested after the ping delay, so a lost ping costs its block's waits and one more ping, not
// the watchdog's five seconds.
TEST_F(PingCycle, AGivenUpPingIsRequestedAgainAfterThePingDelay) {
    head.fault = [](int block, long long ping, std::vector<std::uint8_t>& reply) {
        if (ping == 0 && block == 10) {
            reply[kReplyEchoByte] = 11;
        } else if (ping == 1 && block == 3) {
            reply.clear();
        }
    };
    SetPingDelay(20);
    Connect();
    Fire();
    EXPECT_EQ(world.link.m_sent.size(), 11u + kBlockRetries);
    EXPECT_FALSE(AnyNewData());
    EXPECT_EQ(world.timers.DelayOf(kPingTimer), 20);
    const std::uint64_t lost = world.clock.TickUs();
    Fire();
    EXPECT_EQ(world.link.m_sent[11 + kBlockRetries][kPacketBlockByte], 0); // a new ping starts at block 0
    // The delay, then block 3's waits in microseconds, each twice the last from the shortest.
    EXPECT_EQ(world.clock.TickUs() - lost, 20'000u + 250u + 500u + 1000u + 2000u + 4000u + 8000u);
    EXPECT_EQ(world.timers.DelayOf(kPingTimer), 20);
    const std::uint64_t lostAgain = world.clock.TickMs();
    EXPECT_EQ(Fire(), kPingTimer);
    ExpectHeadsHoldPing(2, 1000);
    EXPECT_EQ(world.clock.TickMs() - lostAgain, 20u);
    EXPECT_EQ(Stats().retries, 2u);
    EXPECT_EQ(Stats().blockRetries, 2u * kBlockRetries);
}

// A reply that fails its checks is asked for again, once, and the ping completes: at no cost but
// the request when the reply was there to be checked, at the cost of the learnt wait (here the
// shortest, a quarter of a millisecond) when it was not.
TEST_F(PingCycle, AReplyThatFailsItsChecksIsAskedForAgainAndThePingCompletes) {
    using Damage = std::function<void(std::vector<std::uint8_t>&)>;
    const struct {
        const char* what;
        Damage damage;
        int askedAgain;     ///< the block requested twice
        std::uint64_t cost; ///< microseconds the ping takes longer than a clean one
    } cases[] = {
        {"names another block", [](auto& r) { r[kReplyEchoByte] = 11; }, 10, 0},
        {"garbage of a reply's length", [](auto& r) { std::fill(r.begin(), r.end(), 0xA5); }, 10, 0},
        {"another head's reply", [](auto& r) { r[0] = 'X'; }, 10, 0},
        // Its first bytes show it is not the head's: no wait for the rest.
        {"garbage shorter than a reply", [](auto& r) { r.assign(40, 0xA5); }, 10, 0},
        {"cut short", [](auto& r) { r.resize(600); }, 10, kMinReplyWaitUs},
        {"nothing", [](auto& r) { r.clear(); }, 10, kMinReplyWaitUs},
        // The reply is whole; the bytes after it are taken for the next block's.
        {"too long", [](auto& r) { r.insert(r.end(), 300, 0xEE); }, 11, 0},
    };
    Damage pending;
    head.fault = [&](int block, long long, std::vector<std::uint8_t>& reply) {
        if (block == 10 && pending) {
            pending(reply);
            pending = nullptr;
        }
    };
    SetPingDelay(0);
    Connect();
    Fire(); // the head's replies are timed: the shortest waits from here on
    for (const auto& c : cases) {
        pending = c.damage;
        const std::size_t sent = world.link.m_sent.size();
        const std::uint64_t retriesBefore = Stats().blockRetries;
        const std::uint64_t start = world.clock.TickUs();
        ASSERT_EQ(Fire(), kPingTimer) << c.what;
        EXPECT_EQ(world.clock.TickUs() - start, c.cost) << c.what;
        ASSERT_EQ(world.link.m_sent.size() - sent, 129u) << c.what;
        EXPECT_EQ(world.link.m_sent[sent + static_cast<std::size_t>(c.askedAgain) + 1][kPacketBlockByte],
                  c.askedAgain)
            << c.what;
        EXPECT_EQ(Stats().blockRetries - retriesBefore, 1u) << c.what;
        ExpectHeadsHoldPing(head.pingNumber, 1000);
    }
    EXPECT_EQ(Stats().retries, 0u);
}

// A ping asks again for half its blocks at the most: past that the head gives more garbage than
// pings, and the ping is given up.
TEST_F(PingCycle, APingThatAsksAgainForHalfItsBlocksIsGivenUp) {
    bool garbling = false;
    std::set<int> garbled;
    head.fault = [&](int block, long long, std::vector<std::uint8_t>& reply) {
        if (garbling && garbled.insert(block).second) {
            reply[kReplyEchoByte] = static_cast<std::uint8_t>(block + 1);
        }
    };
    Connect();
    Fire();
    const std::size_t sent = world.link.m_sent.size();
    garbling = true;
    Fire();
    garbling = false;
    EXPECT_EQ(doc->PingRoutine().Head(0).m_pingCounter, 1); // no ping came
    // Blocks 0 to 63 twice each, then block 64 once: its garbled reply is one too many.
    EXPECT_EQ(world.link.m_sent.size() - sent, 2u * 64u + 1u);
    EXPECT_EQ(Stats().blockRetries, 64u);
    EXPECT_EQ(Stats().retries, 1u);
    Fire();
    ExpectHeadsHoldPing(head.pingNumber, 1000);
}

// A head that does not answer at all: a silence past the longest wait gives the ping up at once,
// three pings are requested again, then the watchdog takes over.
TEST_F(PingCycle, AfterThreeRetriesTheWatchdogTakesOver) {
    head.fault = [](int block, long long ping, std::vector<std::uint8_t>& reply) {
        if (ping < 4 && block == 0) {
            reply.clear();
        }
    };
    Connect();
    for (int attempt = 0; attempt < 4; ++attempt) {
        EXPECT_EQ(Fire(), kPingTimer);
        EXPECT_FALSE(AnyNewData());
    }
    EXPECT_EQ(world.timers.DelayOf(kPingTimer), 5000);
    EXPECT_EQ(Stats().retries, 3u);
    EXPECT_EQ(Stats().blockRetries, 0u);
    EXPECT_EQ(Fire(), kWatchdogTimer); // the status refresh comes first
    EXPECT_EQ(Fire(), kPingTimer);
    ExpectHeadsHoldPing(4, 1000);
    EXPECT_TRUE(doc->Live().Link().connected);
    EXPECT_TRUE(world.op.m_messages.empty());
}

// A head that answered and falls silent: its first block is asked again with ever longer waits,
// then pings are given up at the longest wait until the watchdog takes over.
TEST_F(PingCycle, SilenceAfterPingsStillBringsTheWatchdog) {
    bool silent = false;
    head.fault = [&silent](int, long long, std::vector<std::uint8_t>& reply) {
        if (silent) {
            reply.clear();
        }
    };
    SetPingDelay(0);
    Connect();
    Fire();
    silent = true;
    std::vector<std::uint64_t> took;
    for (int attempt = 0; attempt < 4; ++attempt) {
        const std::uint64_t start = world.clock.TickMs();
        EXPECT_EQ(Fire(), kPingTimer);
        took.push_back(world.clock.TickMs() - start);
    }
    // From the first block's learnt 20 ms each wait doubles up to the longest; then the pings
    // are given up with it at once.
    EXPECT_EQ(took, (std::vector<std::uint64_t>{20 + 40 + 80 + 160 + 320 + 500, 500, 500, 500}));
    EXPECT_EQ(world.timers.DelayOf(kPingTimer), 5000);
    EXPECT_EQ(Stats().blockRetries, static_cast<std::uint64_t>(kBlockRetries));
    EXPECT_EQ(Stats().retries, 3u);
    silent = false;
    EXPECT_EQ(Fire(), kWatchdogTimer);
    EXPECT_EQ(Fire(), kPingTimer);
    ExpectHeadsHoldPing(head.pingNumber, 1000);
}

TEST_F(PingCycle, AReplyThatComesLateDoesNotKeepTheLinkOutOfStep) {
    // Block 3's reply misses its waits and is still in the socket when the next ping starts.
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
    EXPECT_FALSE(AnyNewData());
    // Block 0 gets block 3's reply first: it is asked for again, and the reply of that first
    // request, still waiting, must not shift this ping.
    Fire();
    ExpectHeadsHoldPing(2, 1000);
}

// The head transmits anew with every request of the first block. When the first reply misses its
// wait and turns up after the block was asked again, the ping is that of the last request: the
// first block is taken from its reply, which comes after the late one, not from the late one.
TEST_F(PingCycle, AFirstBlockAskedAgainIsTakenFromTheLastTransmission) {
    std::vector<std::uint8_t> late;
    head.fault = [&late](int block, long long ping, std::vector<std::uint8_t>& reply) {
        if (ping == 1 && block == 0) {
            late = reply;
            reply.clear();
        } else if (ping == 2 && block == 0) {
            reply.insert(reply.begin(), late.begin(), late.end());
        }
    };
    SetPingDelay(0);
    Connect();
    Fire();
    EXPECT_EQ(Fire(), kPingTimer);
    EXPECT_EQ(head.pingNumber, 2);
    ExpectHeadsHoldPing(2, 1000);
    EXPECT_EQ(Stats().blockRetries, 1u);
}

TEST_F(PingCycle, DamagedRepliesNeverCompleteAPingNorTouchTheLastGoodOne) {
    Connect();
    Fire();
    ASSERT_EQ(doc->PingRoutine().Head(0).m_pingCounter, 1);
    const auto rawBefore = doc->PingRoutine().Head(2).m_rawSamples;
    const auto headerBefore = doc->PingRoutine().Head(2).m_replyHeader;
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
        ASSERT_EQ(doc->PingRoutine().Head(0).m_pingCounter, 1);
        ASSERT_TRUE(doc->Live().Link().connected);
    }
    EXPECT_EQ(doc->PingRoutine().Head(2).m_rawSamples, rawBefore);
    EXPECT_EQ(doc->PingRoutine().Head(2).m_replyHeader, headerBefore);
    EXPECT_EQ(doc->PingRoutine().Head(0).m_pingCounter, 1);
    // A good head again: the cycle recovers by itself.
    head.fault = nullptr;
    for (int i = 0; i < 6 && doc->PingRoutine().Head(0).m_pingCounter == 1; ++i) {
        Fire();
    }
    ExpectHeadsHoldPing(head.pingNumber, 1000);
}

TEST_F(PingCycle, SampleCountChangeTakesEffectWithTheNextRequest) {
    doc->EditSettings([](Settings& s) { s.sonar.samples = 500; });
    Connect();
    EXPECT_EQ(SendsOf([&] { Fire(); }), 64u);
    EXPECT_EQ(world.link.m_sent.back()[19], 2);
    ExpectHeadsHoldPing(head.pingNumber, 500);

    // The operator's command between two pings; the next was requested before it.
    doc->EditSettings([](Settings& s) { s.sonar.samples = 1000; });
    EXPECT_EQ(SendsOf([&] { Fire(); }), 64u);
    // That ping carries its 500 samples and is drawn with them.
    ExpectHeadsHoldPing(head.pingNumber, 500);
    EXPECT_EQ(doc->Shown().Settings().samples, 500);
    EXPECT_EQ(doc->GetSettings().sonar.samples, 1000);
    EXPECT_EQ(SendsOf([&] { Fire(); }), 128u);
    EXPECT_EQ(world.link.m_sent.back()[19], 3);
    ExpectHeadsHoldPing(head.pingNumber, 1000);
    EXPECT_EQ(doc->Shown().Settings().samples, 1000);
}

// The operator chooses another range while a ping is on its way: that ping is processed, drawn
// and written with the range it was requested with, the next with the new one, and the choice
// stays the operator's.
TEST_F(PingCycle, APingKeepsTheRangeItWasRequestedWith) {
    doc->EditSettings([](Settings& s) {
        s.sonar.rangeIndex = 3;
        s.sonar.rangeM = 10.0f;
        s.system.udpOutputPoint = 1;
        s.system.outputAddress = "127.0.0.1";
    });
    test::RecordingFolder folder;
    const std::string path = folder / "range.R96";
    Connect();
    ASSERT_TRUE(doc->Recording().Start(RecordKind::Raw, path));
    bool changed = false;
    head.fault = [&](int block, long long, std::vector<std::uint8_t>&) {
        if (block == 64 && !changed) {
            changed = true;
            doc->EditSettings([](Settings& s) {
                s.sonar.rangeIndex = 4;
                s.sonar.rangeM = 20.0f;
            });
        }
    };
    std::vector<std::uint8_t> requested;
    std::vector<float> drawn;
    std::vector<float> sent;
    for (int ping = 0; ping < 2; ++ping) {
        world.datagrams.m_sent.clear();
        const std::size_t first = world.link.m_sent.size();
        EXPECT_EQ(Fire(), kPingTimer);
        requested.push_back(world.link.m_sent[first][3]);
        drawn.push_back(PictureInputOf(*doc).settings->rangeM);
        std::vector<std::uint8_t> record;
        for (const auto& datagram : world.datagrams.m_sent) {
            record.insert(record.end(), datagram.bytes.begin(), datagram.bytes.end());
        }
        ASSERT_GE(record.size(), static_cast<std::size_t>(kRecordHeaderSize));
        sent.push_back(ReadRecordHeader(std::span(record).first<kRecordHeaderSize>()).rangeM);
    }
    doc->Recording().Stop();
    EXPECT_EQ(requested, (std::vector<std::uint8_t>{10, 20}));
    EXPECT_EQ(drawn, (std::vector<float>{10.0f, 20.0f}));
    EXPECT_EQ(sent, (std::vector<float>{10.0f, 20.0f}));
    EXPECT_EQ(doc->GetSettings().sonar.rangeM, 20.0f);
    const std::vector<std::uint8_t> file = test::ReadFile(path);
    std::vector<float> recorded;
    for (std::size_t at = 0; at + kRecordHeaderSize <= file.size();) {
        const RecordHeaderFields fields =
            ReadRecordHeader(std::span(file).subspan(at).first<kRecordHeaderSize>());
        recorded.push_back(fields.rangeM);
        at += std::max<std::size_t>(fields.totalLength, 1);
    }
    EXPECT_EQ(recorded, (std::vector<float>{10.0f, 20.0f}));
}

TEST_F(PingCycle, HoldStopsTheRequestsAndReleaseResumesThem) {
    Connect();
    Fire();
    doc->OnHold();
    const std::size_t sent = world.link.m_sent.size();
    EXPECT_EQ(Fire(), kPingTimer); // the link takes the request and idles
    EXPECT_FALSE(world.timers.IsArmed(kPingTimer));
    EXPECT_FALSE(world.timers.IsArmed(kWatchdogTimer));
    EXPECT_EQ(world.link.m_sent.size(), sent);
    doc->OnHold();
    EXPECT_EQ(Fire(), kPingTimer);
    EXPECT_EQ(world.timers.DelayOf(kPingTimer), 500);
    EXPECT_EQ(Fire(), kPingTimer);
    ExpectHeadsHoldPing(1, 1000);
}

// A head that refuses or drops connections is tried at most once a second, doubling to the
// watchdog's five seconds, and never with a message.
TEST_F(PingCycle, ConnectionAttemptsBackOff) {
    world.link.m_refuse = -1;
    doc->StartAcquisition();
    std::vector<std::uint64_t> attempts;
    while (attempts.size() < 6) {
        if (Fire() == kPingTimer) { // the watchdog's status refreshes come between
            attempts.push_back(world.clock.TickMs());
        }
        EXPECT_FALSE(doc->Live().Link().connected);
    }
    std::vector<std::uint64_t> gaps;
    for (std::size_t i = 1; i < attempts.size(); ++i) {
        gaps.push_back(attempts[i] - attempts[i - 1]);
    }
    EXPECT_EQ(gaps, (std::vector<std::uint64_t>{1000, 2000, 4000, 5000, 5000}));
    EXPECT_EQ(Stats().reconnects, 5u);
    EXPECT_TRUE(world.op.m_messages.empty());
}

TEST_F(PingCycle, ACompletePingResetsTheBackOffAndADroppedLinkReconnects) {
    world.link.m_refuse = 2;
    doc->StartAcquisition();
    Fire();
    Fire();
    Fire(); // connected at the third attempt, 3 s after the first
    ASSERT_TRUE(doc->Live().Link().connected);
    const std::uint64_t connected = world.clock.TickMs();
    Fire();
    ASSERT_EQ(doc->PingRoutine().Head(0).m_newData, 1);
    world.link.Drop();
    Fire(); // the next request finds the link gone
    EXPECT_FALSE(doc->Live().Link().connected);
    EXPECT_FALSE(AnyNewData());
    EXPECT_EQ(Fire(), kPingTimer); // a second after the last attempt, not four
    EXPECT_EQ(world.clock.TickMs() - connected, 1000u);
    EXPECT_TRUE(doc->Live().Link().connected);
}

// What the status bar says of the link, and the whole seconds a live picture has not changed.
TEST_F(PingCycle, StatusAndStalePictureFollowTheHead) {
    struct StaleListener : IDocumentListener {
        StaleListener(const CTamsorDoc& d, IClockPort& c) : doc(d), clock(c) {}
        void OnPictureStale(int s) override { seconds.push_back(s); }
        void OnPingProcessed() override {
            if (doc.PingRoutine().Head(0).m_pingCounter != pings) {
                pings = doc.PingRoutine().Head(0).m_pingCounter;
                lastPingTick = clock.TickMs();
            }
        }
        const CTamsorDoc& doc;
        IClockPort& clock;
        std::vector<int> seconds;
        int pings = 0;
        std::uint64_t lastPingTick = 0; ///< when the last live ping was taken
    } listener(*doc, world.clock);
    doc->Subscribe(listener);
    const auto runUntil = [this](const std::function<bool()>& done) {
        for (int fired = 0; fired < 1000 && !done(); ++fired) {
            world.timers.FireNext([this](int timer) { doc->OnTimer(timer); });
        }
    };
    doc->StartAcquisition();
    EXPECT_EQ(DescribeLink(*doc).text, "Sonar: not connected");
    EXPECT_EQ(IdleMessage(*doc), "No sonar link");
    EXPECT_EQ(Fire(), kPingTimer);
    EXPECT_EQ(DescribeLink(*doc).text, "Sonar: connected, no pings");
    SetPingDelay(100);
    runUntil([this] { return doc->PingRoutine().Head(0).m_pingCounter >= 3; });
    EXPECT_EQ(DescribeLink(*doc).indicator, LinkIndicator::Pinging);
    EXPECT_GT(ShownPingRate(*doc), 0.0f);
    EXPECT_EQ(IdleMessage(*doc), "Ready");

    // The head goes quiet: from 2 s on, the count goes up a second at a time.
    head.fault = [](int, long long, std::vector<std::uint8_t>& reply) { reply.clear(); };
    const std::uint64_t last = listener.lastPingTick;
    runUntil([this] { return doc->Live().Link().staleSeconds >= 3; });
    EXPECT_EQ(listener.seconds, (std::vector<int>{2, 3}));
    // Here the link's steps run among the timers, and the waits for a silent first block hold
    // them for up to a second and a half; the count still comes before the watchdog's turn.
    EXPECT_GE(world.clock.TickMs(), last + 3000);
    EXPECT_LT(world.clock.TickMs(), last + 5000);
    EXPECT_EQ(DescribeLink(*doc).text, "Sonar: connected, no pings");
    EXPECT_EQ(ShownPingRate(*doc), 0.0f);
    EXPECT_EQ(IdleMessage(*doc), "No pings from sonar");
    // The next ping ends it.
    head.fault = nullptr;
    runUntil([this] { return doc->Live().Link().staleSeconds == 0; });
    EXPECT_EQ(listener.seconds.back(), 0);
    EXPECT_EQ(DescribeLink(*doc).indicator, LinkIndicator::Pinging);

    // A held picture is frozen on purpose: no count.
    doc->OnHold();
    world.clock.Advance(6000);
    runUntil([] { return false; });
    EXPECT_EQ(doc->Live().Link().staleSeconds, 0);
    EXPECT_EQ(DescribeLink(*doc).text, "Sonar: connected, held");
    doc->Unsubscribe(listener);
}

// The console processes a live ping in turns of its event loop, one head a turn and the rest of the
// routine in a last turn, so that input is served between them: the picture is that of a ping
// processed at once, and a ping processed between the turns (a changed setting) finishes the
// pending one first.
TEST_F(PingCycle, APingInTurnsGivesThePictureOfAPingAtOnce) {
    struct Pings : IDocumentListener {
        int processed = 0;
        void OnPingProcessed() override { ++processed; }
    } pings;
    doc->Subscribe(pings);
    InTurns(*doc, 100); // polar: the heads are processed and assembled
    Connect();
    EXPECT_EQ(Fire(), kPingTimer);
    const auto blank = [this](int h) {
        const auto& image = doc->PingRoutine().Head(h).m_headImage;
        return std::all_of(image.begin(), image.end(), [](float v) { return v == 0.0f; });
    };
    EXPECT_FALSE(blank(0));
    EXPECT_TRUE(blank(1) && blank(2) && blank(3));
    for (int k = 1; k < kHeadCount; ++k) {
        EXPECT_EQ(world.timers.DelayOf(kFinishPingTimer), 0);
        EXPECT_EQ(Fire(), kFinishPingTimer);
        EXPECT_FALSE(blank(k));
    }
    // The rest of the routine takes a turn of its own.
    EXPECT_EQ(pings.processed, 0);
    EXPECT_EQ(Fire(), kFinishPingTimer);
    EXPECT_EQ(pings.processed, 1);

    FakeWorld otherWorld;
    ScriptedHead otherHead;
    otherWorld.link.m_clock = &otherWorld.clock;
    otherWorld.link.m_responder = std::ref(otherHead);
    auto atOnce = std::make_unique<CTamsorDoc>(otherWorld.Ports());
    atOnce->EditSettings([](Settings& s) {
        s.system.sonarAddress = "127.0.0.1";
        s.sonar.transducerUp = 0;
        s.sonar.displayMode = kDisplayModePolar;
    });
    atOnce->StartAcquisition();
    otherWorld.timers.FireNext([&](int timer) { atOnce->OnTimer(timer); });
    otherWorld.timers.FireNext([&](int timer) { atOnce->OnTimer(timer); });
    ASSERT_EQ(atOnce->PingRoutine().Head(3).m_pingCounter, 1);
    EXPECT_TRUE(
        std::ranges::equal(doc->PingRoutine().Combined().Image(), atOnce->PingRoutine().Combined().Image()));

    while (Fire() != kPingTimer) {
    }
    ASSERT_TRUE(world.timers.IsArmed(kFinishPingTimer));
    doc->ProcessPing();
    EXPECT_FALSE(world.timers.IsArmed(kFinishPingTimer));
    EXPECT_FALSE(blank(3));
    EXPECT_EQ(pings.processed, 3);
    doc->Unsubscribe(pings);
}

// The beam record's bytes are converted by the threads that process the heads, in every turn of
// a ping: they are those of the picture the ping leaves.
TEST_F(PingCycle, TheBeamRecordOfAPingHoldsItsPicture) {
    InTurns(*doc, 100);
    doc->EditSettings([](Settings& s) { s.system.udpOutputBeam = 1; });
    Connect();
    world.datagrams.m_sent.clear();
    EXPECT_EQ(Fire(), kPingTimer);
    for (int turn = 1; turn <= kHeadCount; ++turn) {
        EXPECT_EQ(Fire(), kFinishPingTimer);
    }
    std::vector<std::uint8_t> record;
    for (const auto& datagram : world.datagrams.m_sent) {
        record.insert(record.end(), datagram.bytes.begin(), datagram.bytes.end());
    }
    const int beams = CRecorder::ProductBeams(doc->Shown().Settings());
    const int samples = CRecorder::ProductSamples(doc->Shown().Settings());
    ASSERT_GE(record.size(), kRecordDataOffset + static_cast<std::size_t>(beams * samples));
    int differing = 0;
    for (int b = 0; b < beams; ++b) {
        for (int s = 0; s < samples; ++s) {
            const std::size_t at = kRecordDataOffset + static_cast<std::size_t>(b * samples + s);
            differing += record[at] != SampleByte(doc->PingRoutine().Combined().At(b, s)) ? 1 : 0;
        }
    }
    EXPECT_EQ(differing, 0);
    EXPECT_GT(std::count_if(record.begin() + kRecordDataOffset, record.end(), [](auto v) { return v != 0; }),
              beams);
}

TEST_F(PingCycle, TimingValuesAreMeasuredFromThePingStart) {
    head.fault = [this](int, long long, std::vector<std::uint8_t>&) { world.clock.Advance(3); };
    SetPingDelay(100);
    Connect();
    Fire();
    EXPECT_FLOAT_EQ(doc->Shown().Timings().sonarTimeMs, 3.0f);
    EXPECT_FLOAT_EQ(doc->Shown().Timings().acquisitionTimeMs, 3.0f * 128);
    Fire();
    // From the end of one status refresh to the end of the next: ping delay + one ping.
    EXPECT_FLOAT_EQ(doc->Shown().Timings().loopTimeMs, 100.0f + 3.0f * 128);
    EXPECT_FLOAT_EQ(doc->Shown().Timings().displayedPingPeriodMs, doc->Shown().Timings().loopTimeMs);
}

} // namespace
} // namespace vexar
