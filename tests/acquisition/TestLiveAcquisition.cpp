// The live cycle on its own, against a host that only listens and a scripted head on the fake
// link: the ping it hands over with the settings it was requested with, a ping taken in turns and
// the rest after it, the watchdog, the stale count and Hold.

#include "acquisition/CLiveAcquisition.h"
#include "head/COndrel.h"
#include "head/PingSettings.h"
#include "support/FakePorts.h"
#include "support/ScriptedHead.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <memory>
#include <string>
#include <vector>

namespace vexar::test {
namespace {

class ListeningHost : public ILiveHost, public IDocumentListener {
public:
    bool Playing() const override { return false; }
    bool Held() const override { return held; }
    LinkRequest NextLinkRequest() override {
        ++requests;
        LinkRequest request;
        request.run = true;
        request.host = "127.0.0.1";
        request.settings.rangeM = rangeM;
        ApplyPacketRules(request.settings);
        head->ResetCommandPacket(request.settings);
        head->BuildCommandPacket(request.settings);
        request.packet = head->m_commandPacket;
        request.packet[kPacketBlockByte] = 0;
        request.blocksPerPing = BlocksPerPingFor(request.settings.samples);
        return request;
    }
    void LinkDataLost() override {}
    void OnLinkStateChanged(LinkState state) override {
        calls.push_back(state == LinkState::Connected ? "connected" : "not connected");
    }
    void FollowLinkRecording(const RawRecordingState&) override {}
    void EnterLivePing(const PingInput& ping, bool inTurns) override {
        calls.push_back(inTurns ? "ping in turns" : "ping");
        pingRangeM = ping.settings.rangeM;
        hadRequestTime = ping.requestTime.has_value();
    }
    bool ProcessNextHead() override {
        calls.push_back("head");
        if (clock != nullptr) {
            clock->Advance(10);
        }
        return ++heads < 3;
    }
    void EndTurnedPing() override { calls.push_back("end"); }
    void RefreshWithoutPing() override { calls.push_back("refresh"); }
    void OnPictureStale(int seconds) override { calls.push_back("stale " + std::to_string(seconds)); }

    std::unique_ptr<COndrel> head = std::make_unique<COndrel>();
    bool held = false;
    float rangeM = 40.0f;
    int requests = 0;
    FakeClock* clock = nullptr;
    std::vector<std::string> calls;
    float pingRangeM = 0.0f;
    bool hadRequestTime = false;
    int heads = 0;
};

struct LiveAcquisition : ::testing::Test {
    void SetUp() override {
        world.link.m_clock = &world.clock;
        world.link.m_responder = std::ref(head);
        events.Subscribe(host);
    }
    /// Fires timers until the host's last call starts with `call` (at most `limit` timers).
    void FireUntil(CLiveAcquisition& live, const std::string& call, int limit = 20) {
        for (int i = 0; i < limit && !(!host.calls.empty() && host.calls.back().starts_with(call)); ++i) {
            world.timers.FireNext([&live](int id) { live.OnTimer(id); });
        }
        ASSERT_TRUE(host.calls.back().starts_with(call)) << "no " << call << " within " << limit << " timers";
    }

    FakeWorld world;
    ScriptedHead head;
    ListeningHost host;
    CDocumentEvents events;
    RecordChain chain;
};

TEST_F(LiveAcquisition, HandsOverEachPingWithTheSettingsItWasRequestedWith) {
    CLiveAcquisition live(host, world.Ports(), chain, events);
    host.rangeM = 40.0f;
    live.Start();
    EXPECT_EQ(host.calls.front(), "not connected"); // connecting
    // The operator chooses another range while the ping is on its way: it keeps its own, and
    // the next request takes the new one.
    host.rangeM = 80.0f;
    FireUntil(live, "ping");
    EXPECT_FLOAT_EQ(host.pingRangeM, 40.0f);
    EXPECT_EQ(host.requests, 2);
    EXPECT_TRUE(host.hadRequestTime);
    EXPECT_TRUE(live.Link().connected);
    EXPECT_TRUE(live.Link().pingedSinceConnect);
    EXPECT_EQ(world.timers.DelayOf(kWatchdogTimer), kWatchdogMs);
    live.Stop();
    EXPECT_FALSE(live.Link().connected);
    EXPECT_FALSE(world.runner.IsRunning());
}

// One head a turn, then the end of the routine; the document rests as long as the turns worked.
TEST_F(LiveAcquisition, APingTakenInTurnsProcessesOneHeadATurnAndRestsAfter) {
    CLiveAcquisition live(host, world.Ports(), chain, events);
    live.SetOptions(DocumentOptions{1.0, true});
    host.clock = &world.clock;
    live.Start();
    FireUntil(live, "ping");
    EXPECT_EQ(host.calls.back(), "ping in turns");
    EXPECT_EQ(world.timers.DelayOf(kFinishPingTimer), 0);
    live.FinishTurns();
    const std::vector<std::string> turns(host.calls.end() - 4, host.calls.end());
    EXPECT_EQ(turns, (std::vector<std::string>{"head", "head", "head", "end"}));
    EXPECT_EQ(world.timers.DelayOf(kTakePingTimer), 30);
    EXPECT_FALSE(world.timers.IsArmed(kFinishPingTimer));
}

TEST_F(LiveAcquisition, WithoutPingsTheWatchdogRefreshesAndThePictureGoesStaleUnlessHeld) {
    DocumentPorts ports = world.Ports();
    ports.link = nullptr; // no head: only the watchdog and the stale count run
    CLiveAcquisition live(host, ports, chain, events);
    live.Start();
    FireUntil(live, "stale 3");
    EXPECT_EQ(host.calls, (std::vector<std::string>{"not connected", "stale 2", "stale 3"}));
    FireUntil(live, "refresh", 3); // the watchdog at 5 s
    EXPECT_EQ(world.timers.DelayOf(kWatchdogTimer), kWatchdogMs);

    host.held = true;
    live.FollowHold(true);
    EXPECT_FALSE(world.timers.IsArmed(kWatchdogTimer));
    host.held = false;
    live.FollowHold(false);
    EXPECT_TRUE(world.timers.IsArmed(kWatchdogTimer));
}

} // namespace
} // namespace vexar::test
