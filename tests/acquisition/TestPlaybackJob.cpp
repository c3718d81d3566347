// Playing a recording on its own, against a host that only listens: the ping each record becomes,
// what the host is asked at the end of a pass, and the steps and jumps that hold it.

#include "acquisition/CPlayback.h"
#include "files/RecordHeader.h"
#include "support/FakePorts.h"
#include "support/RecordingFixture.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <string>
#include <vector>

namespace vexar::test {
namespace {

class ListeningHost : public IPlaybackHost, public IDocumentListener {
public:
    bool Playing() const override { return true; }
    bool Held() const override { return held; }
    void HoldForPlayback() override {
        held = true;
        calls.push_back("hold");
    }
    const Settings& PlaybackSettings() const override { return settings; }
    void OnPlaybackMoved(int percent) override { calls.push_back("moved " + std::to_string(percent)); }
    std::optional<StepResult> PassEnded() override {
        calls.push_back("pass ended");
        return endOfPass;
    }
    void PlaybackFailed(const char* text) override { calls.push_back(std::string("failed: ") + text); }
    void ShowPlaybackTitle(const std::string& shownTitle) override { title = shownTitle; }
    IRecordCopy* RecordCopy() override { return nullptr; }
    void EnterPlayedPing(const PlayedPing& ping) override {
        calls.push_back("ping");
        pings.push_back(ping.input.recordTexts->timeStamp);
        lastReplyByte = (*ping.input.lastReply)[kReplyEchoByte];
        lastRequestBlock = (*ping.lastRequest)[kPacketBlockByte];
        shown = ping.fileValues;
        period = ping.pingPeriodMs;
    }

    Settings settings;
    bool held = false;
    std::optional<StepResult> endOfPass;
    std::vector<std::string> calls;
    std::vector<std::string> pings;
    std::string title;
    int lastReplyByte = -1;
    int lastRequestBlock = -1;
    FileHeaderValues shown;
    std::optional<float> period;
};

struct PlaybackJob : ::testing::Test {
    // Three records of 64 packets; their starts in `starts`.
    void SetUp() override {
        Bytes file;
        for (int ping = 0; ping < 3; ++ping) {
            starts.push_back(file.size());
            Append(file, MakeRawRecord(64, ping));
        }
        path = folder / "three.R96";
        WriteFile(path, file);
        events.Subscribe(host);
    }

    RecordingFolder folder;
    std::string path;
    std::vector<std::uint64_t> starts;
    FakeClock clock;
    FakeTimers timers{clock};
    ListeningHost host;
    CDocumentEvents events;
    CPlayback playback{host, &clock, &timers, events};
};

TEST_F(PlaybackJob, EachRecordBecomesAPingWithItsTimesHeaderAndLastPair) {
    ASSERT_EQ(playback.Open(path, false), CPlayer::OpenResult::Opened);
    EXPECT_EQ(playback.FileTitle(), "Playback File: " + path);
    ASSERT_EQ(playback.Step(), StepResult::Ping);
    EXPECT_EQ(host.calls, (std::vector<std::string>{"moved 0", "ping"}));
    EXPECT_EQ(host.title.rfind("Playback File: " + path + "    ___0.0 M ( 0% of Total", 0), 0u) << host.title;
    EXPECT_EQ(host.pings, std::vector<std::string>{"07122026114139042"});
    EXPECT_EQ(host.lastReplyByte, 63);    // the reply to block 63 closes the ping
    EXPECT_EQ(host.lastRequestBlock, 63); // and the request it answered
    EXPECT_EQ(host.shown.soundVelocity, 1480.0f);

    // A one-pass file ends at its end; a looping one asks the host what the end means.
    ASSERT_EQ(playback.Step(), StepResult::Ping);
    ASSERT_EQ(playback.Step(), StepResult::Ping);
    EXPECT_EQ(playback.Step(), StepResult::AtEnd);
    EXPECT_EQ(std::count(host.calls.begin(), host.calls.end(), "pass ended"), 0);
    ASSERT_EQ(playback.Open(path, true), CPlayer::OpenResult::Opened);
    playback.Player().SeekTo(playback.Player().FileLength());
    host.endOfPass = StepResult::Idle;
    EXPECT_EQ(playback.Step(), StepResult::Idle);
    EXPECT_EQ(host.calls.back(), "pass ended");
    // A pass that found no record fails the file.
    host.endOfPass.reset();
    EXPECT_EQ(playback.Step(), StepResult::Idle);
    EXPECT_EQ(host.calls.back(), "failed: File has no data!!!  ");
}

TEST_F(PlaybackJob, StepsAndJumpsHoldAndShowOneRecord) {
    ASSERT_EQ(playback.Open(path, true), CPlayer::OpenResult::Opened);
    playback.StepForward();
    EXPECT_TRUE(host.held);
    EXPECT_FALSE(timers.IsArmed(kPlaybackTimer));
    playback.StepForward();
    EXPECT_EQ(playback.Player().ShownRecordStart(), starts[1]);
    playback.StepBack();
    EXPECT_EQ(playback.Player().ShownRecordStart(), starts[0]);
    playback.JumpToEnd();
    EXPECT_EQ(playback.Player().ShownRecordStart(), starts[2]);
    EXPECT_EQ(host.pings.size(), 4u);
    EXPECT_FALSE(playback.PlayRecordAt(starts[1] + 1)); // not where a record starts
    EXPECT_TRUE(playback.PlayRecordAt(starts[1]));
    // While the slider is held, steps do not move it.
    playback.OnSliderDragStart();
    host.calls.clear();
    ASSERT_EQ(playback.Step(), StepResult::Ping);
    EXPECT_EQ(host.calls, std::vector<std::string>{"ping"});
    playback.OnSliderRelease(0);
    EXPECT_FALSE(playback.IsDragging());
    EXPECT_EQ(playback.Player().Position(), 0u);
}

TEST_F(PlaybackJob, ItsTimerPlaysAStepAndArmsTheNextOnlyWhileUnheld) {
    ASSERT_EQ(playback.Open(path, true), CPlayer::OpenResult::Opened);
    EXPECT_FALSE(playback.OnTimer(kWatchdogTimer)); // not playback's
    playback.Start();
    ASSERT_TRUE(timers.IsArmed(kPlaybackTimer));
    EXPECT_TRUE(playback.OnTimer(kPlaybackTimer));
    EXPECT_EQ(host.pings.size(), 1u);
    EXPECT_TRUE(timers.IsArmed(kPlaybackTimer));
    host.held = true;
    EXPECT_TRUE(playback.OnTimer(kPlaybackTimer));
    EXPECT_EQ(host.pings.size(), 2u);
    EXPECT_FALSE(timers.IsArmed(kPlaybackTimer));
    playback.Resume(); // still held
    EXPECT_FALSE(timers.IsArmed(kPlaybackTimer));
    host.held = false;
    playback.Resume();
    EXPECT_TRUE(timers.IsArmed(kPlaybackTimer));
}

TEST(PlayedSettings, HeaderOverTheChoiceAndDamagedFieldsKeepIt) {
    struct Case {
        std::uint16_t beamCount;
        float soundVelocity;
        bool fileSoundVelocity;
        float frequencyHz;
        int packets;
        int beams;           ///< per head
        float velocityUsed;  ///< in the settings
        float velocityShown; ///< among the header values
        int baseFrequencyKHz;
        int samples;
    };
    const Case cases[] = {
        {1440, 1480.0f, true, 675050.0f, 128, 480, 1480.0f, 1480.0f, 675, 1000},
        {720, 1480.0f, false, 675000.0f, 64, 240, 1500.0f, 1480.0f, 675, 500},
        {1000, 1700.0f, true, 1.0f, 64, 120, 1500.0f, 1500.0f, 700, 500}, // damaged: the choice stays
    };
    for (const Case& c : cases) {
        PingSettings choice;
        SetBeams(choice, 120);
        choice.soundVelocity = 1500.0f;
        choice.baseFrequencyKHz = 700;
        PlayedRecord record;
        record.fields.beamCount = c.beamCount;
        record.fields.soundVelocity = c.soundVelocity;
        record.fields.frequencyHz = c.frequencyHz;
        record.fields.rangeM = 20.0f;
        record.packets = c.packets;
        FileHeaderValues shown;
        const PingSettings s = SettingsOfRecord(record, choice, c.fileSoundVelocity, shown);
        EXPECT_EQ(s.beams, c.beams) << c.beamCount;
        EXPECT_EQ(s.soundVelocity, c.velocityUsed) << c.beamCount;
        EXPECT_EQ(shown.soundVelocity, c.velocityShown) << c.beamCount;
        EXPECT_EQ(s.baseFrequencyKHz, c.baseFrequencyKHz) << c.beamCount;
        EXPECT_EQ(s.samples, c.samples) << c.beamCount;
        EXPECT_EQ(s.rangeIndex, RangeIndexFromMetres(20.0f)) << c.beamCount;
    }
}

} // namespace
} // namespace vexar::test
