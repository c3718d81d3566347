// The sonar link on its own: the hand-off of complete pings, raw recording between pings, and the
// link on a real thread beside a document thread that takes pings more slowly than they come.

#include "acquisition/CSonarLink.h"
#include "files/RecordScanner.h"
#include "support/FakePorts.h"
#include "support/RecordingFixture.h"

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

namespace vexar {
namespace {

using test::Bytes;

/// A head that answers every packet at once; it counts the pings it has begun.
struct InstantHead {
    Bytes operator()(const Bytes& packet) {
        if (packet[kPacketBlockByte] == 0) {
            ++ping;
        }
        return test::MakeReply(packet, ping, 3);
    }
    int ping = -1;
};

LinkRequest Running(int blocks) {
    LinkRequest request;
    request.run = true;
    request.host = "127.0.0.1";
    request.packet[0] = 0xFE;
    request.blocksPerPing = blocks;
    request.record.fields.samples = 500;
    request.record.fields.rangeM = 10.0f;
    request.record.fields.soundVelocity = 1500.0f;
    return request;
}

/// Raw records of a file: their counters and previous lengths, or nothing when one is not whole.
struct FileRecords {
    std::vector<std::uint32_t> counters;
    bool whole = true;
};

FileRecords ReadRecords(const std::string& path) {
    const Bytes file = test::ReadFile(path);
    FileRecords out;
    std::size_t at = 0;
    std::uint32_t previous = 0;
    while (at < file.size()) {
        if (file.size() - at < kRecordHeaderSize || !HasRawSignature(std::span(file).subspan(at))) {
            out.whole = false;
            break;
        }
        const std::uint32_t length = GetU32(file, at + 4);
        if (length == 0 || at + length > file.size() || GetU32(file, at + 59) != previous ||
            !CheckRawPairs(std::span(file).subspan(at + kRecordDataOffset), 64)) {
            out.whole = false;
            break;
        }
        out.counters.push_back(GetU32(file, at + 377));
        previous = length;
        at += length;
    }
    return out;
}

class SonarLinkTest : public ::testing::Test {
protected:
    void SetUp() override {
        socket.m_responder = std::ref(head);
        link.SetRequest(Running(64));
    }
    /// Steps, moving the fake clock on to each due time, until `pings` more pings completed.
    void StepPings(std::uint64_t pings) {
        const std::uint64_t target = link.Stats().pings + pings;
        for (int steps = 0; steps < 1000 && link.Stats().pings < target; ++steps) {
            clock.Advance(static_cast<std::uint64_t>(std::max(link.Step(), 0)));
        }
        ASSERT_EQ(link.Stats().pings, target);
    }

    test::FakeClock clock;
    test::FakeTcpLink socket;
    InstantHead head;
    RecordChain chain;
    CSonarLink link{socket, clock, chain};
    test::RecordingFolder folder;
};

TEST_F(SonarLinkTest, TheHandOffHoldsTheNewestPingAndCountsTheSkipped) {
    StepPings(3);
    const LinkPing* ping = link.TakePing();
    ASSERT_NE(ping, nullptr);
    EXPECT_EQ(ping->number, 3u);
    EXPECT_EQ(ping->blocksPerPing, 64);
    EXPECT_EQ(link.TakePing(), nullptr);
    EXPECT_EQ(link.Stats().skipped, 2u);
    // The taken ping stays as it is while the link fills the next ones.
    StepPings(2);
    EXPECT_EQ(ping->number, 3u);
    EXPECT_EQ(link.TakePing()->number, 5u);
}

TEST_F(SonarLinkTest, RecordingStartsAndStopsBetweenPingsWithWholeRecordsOnly) {
    StepPings(1);
    const std::string path = folder / "live.R96";
    CDataFile file;
    ASSERT_TRUE(file.Open(path, CDataFile::Mode::CreateWrite));
    RawRecordingRequest request;
    request.path = path;
    link.StartRecording(std::move(file), request);
    StepPings(3);
    link.StopRecording();
    StepPings(2);
    const FileRecords records = ReadRecords(path);
    EXPECT_TRUE(records.whole);
    EXPECT_EQ(records.counters, (std::vector<std::uint32_t>{0, 1, 2}));
    EXPECT_EQ(link.Recording().records, 3u);
    EXPECT_FALSE(link.Recording().active);
}

TEST_F(SonarLinkTest, ARecordLimitEndsTheRecordingByItself) {
    const std::string path = folder / "five.R96";
    CDataFile file;
    ASSERT_TRUE(file.Open(path, CDataFile::Mode::CreateWrite));
    RawRecordingRequest request;
    request.path = path;
    request.maxRecords = 2;
    link.StartRecording(std::move(file), request);
    StepPings(4);
    const RawRecordingState state = link.Recording();
    EXPECT_TRUE(state.ended);
    EXPECT_TRUE(state.error.empty());
    EXPECT_EQ(ReadRecords(path).counters.size(), 2u);
}

/// A steady millisecond clock for the link's own thread.
class SteadyClock : public IClockPort {
public:
    std::uint64_t TickMs() override {
        return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::milliseconds>(
                                              std::chrono::steady_clock::now().time_since_epoch())
                                              .count()) +
               1;
    }
    LocalTime Now() override { return LocalTime{2026, 12, 8, 12, 0, 0, 0}; }
};

// The link on a thread of its own beside a document thread that is slower than the fake head: the
// link keeps one ping ahead of the document, so the document gets every ping, in order, and every
// ping is recorded; meanwhile a navigation source's thread posts fixes, and each ping carries one
// that had arrived by its request. (Run under ThreadSanitizer by scripts/test.)
TEST_F(SonarLinkTest, OnItsOwnThreadTheLinkKeepsOnePingAheadAndRecordsEveryPing) {
    SteadyClock steady;
    CFixStore fixes;
    fixes.Reset(NavSourceKind::Gpsd);
    std::atomic<bool> sourceRuns{true};
    std::thread source([&] {
        NavigationFix fix;
        fix.position = GeoPosition{43.5, 9.0};
        for (std::int64_t n = 0; sourceRuns.load(); ++n) {
            fix.utcMs = 1796643699000 + n;
            fixes.Post(fix, steady.TickMs());
            std::this_thread::sleep_for(std::chrono::microseconds(500));
        }
    });
    CSonarLink threaded(socket, steady, chain);
    LinkRequest request = Running(64);
    request.fixes = &fixes;
    threaded.SetRequest(request);
    const std::string path = folder / "threaded.R96";
    CDataFile file;
    ASSERT_TRUE(file.Open(path, CDataFile::Mode::CreateWrite));
    RawRecordingRequest recording;
    recording.path = path;
    threaded.StartRecording(std::move(file), recording);

    std::mutex mutex;
    std::condition_variable posted;
    std::vector<std::function<void()>> queue;
    CLinkThread runner([&](std::function<void()> news) {
        std::lock_guard<std::mutex> lock(mutex);
        queue.push_back(std::move(news));
        posted.notify_one();
    });
    std::vector<std::uint64_t> taken;
    std::size_t carried = 0;
    runner.Start(
        [&] {
            return LinkStepResult{threaded.Step(), threaded.TakeNews()};
        },
        [&] {
            if (const LinkPing* ping = threaded.TakePing()) {
                runner.Poke();
                taken.push_back(ping->number);
                carried += ping->hasFix && ping->fix.tickMs <= ping->requestTickMs ? 1 : 0;
                (void)threaded.Stats();
                (void)threaded.Recording();
                std::this_thread::sleep_for(std::chrono::milliseconds(2)); // a slow document
            }
        },
        [&] { threaded.Shutdown(); });
    // The document's thread: runs what the link posts until enough pings were taken.
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (taken.size() < 40 && std::chrono::steady_clock::now() < deadline) {
        std::vector<std::function<void()>> work;
        {
            std::unique_lock<std::mutex> lock(mutex);
            posted.wait_for(lock, std::chrono::milliseconds(100), [&] { return !queue.empty(); });
            work.swap(queue);
        }
        for (auto& news : work) {
            news();
        }
    }
    threaded.StopRecording();
    runner.Stop();
    sourceRuns.store(false);
    source.join();
    ASSERT_GE(taken.size(), 40u);
    EXPECT_EQ(carried, taken.size());
    for (std::size_t i = 0; i < taken.size(); ++i) {
        ASSERT_EQ(taken[i], i + 1);
    }
    const LinkStats stats = threaded.Stats();
    EXPECT_LE(stats.pings, taken.size() + 1);
    EXPECT_EQ(stats.skipped, 0u);
    // Every ping up to the last one taken was recorded, in order.
    const FileRecords records = ReadRecords(path);
    EXPECT_TRUE(records.whole);
    EXPECT_GE(records.counters.size(), taken.back());
    for (std::size_t i = 0; i < records.counters.size(); ++i) {
        ASSERT_EQ(records.counters[i], i);
    }
}

} // namespace
} // namespace vexar
