// The console document on the Qt adapters against the simulated head, over real loopback
// sockets. The head runs in its own thread (or as its own program): a blocking wait in the
// thread that also serves would always time out.

#include "HeadServer.h"
#include "acquisition/CTamsorDoc.h"
#include "platform/qt/CSSocket.h"
#include "platform/qt/QtPorts.h"
#include "sim/Scene.h"
#include "support/FakePorts.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <functional>
#include <memory>

namespace vexar {
namespace {

using headsim::HeadOptions;
using headsim::HeadServer;

/// Runs the event loop until the condition holds; false when the safety limit runs out first.
bool RunUntil(const std::function<bool()>& condition, int limitMs = 30000) {
    const QDeadlineTimer deadline(limitMs);
    while (!condition()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

/// The simulated head on a free loopback port in a thread of its own.
class HeadThread {
public:
    explicit HeadThread(HeadOptions options) {
        options.address = QHostAddress(QHostAddress::LocalHost);
        options.port = 0;
        m_server = new HeadServer(std::move(options));
        m_server->moveToThread(&m_thread);
        QObject::connect(&m_thread, &QThread::finished, m_server, &QObject::deleteLater);
        m_thread.start();
        bool started = false;
        QMetaObject::invokeMethod(
            m_server, [this, &started] { started = m_server->Start(); }, Qt::BlockingQueuedConnection);
        EXPECT_TRUE(started);
    }
    ~HeadThread() {
        m_thread.quit();
        m_thread.wait();
    }
    HeadThread(const HeadThread&) = delete;
    HeadThread& operator=(const HeadThread&) = delete;
    HeadServer& Server() { return *m_server; }

private:
    QThread m_thread;
    HeadServer* m_server = nullptr;
};

/// The link adapter, refusing any address but loopback and counting the attempts.
class LoopbackSocket : public CSSocket {
public:
    bool StartConnect(const std::string& host, std::uint16_t port) override {
        ++m_connects;
        if (host != "127.0.0.1") {
            ADD_FAILURE() << "connect to " << host;
            return false;
        }
        return CSSocket::StartConnect(host, port);
    }
    std::atomic<int> m_connects{0};
};

/// Counts the pings the document processed and when, and the link's drops.
struct PingWatch : IDocumentListener {
    explicit PingWatch(CTamsorDoc& doc) : m_doc(doc) {}
    void OnPingProcessed() override {
        if (m_doc.PingRoutine().Head(0).m_newData != 0) {
            m_times.push_back(m_clock.elapsed());
        }
    }
    void OnLinkStateChanged(LinkState state) override { m_drops += state == LinkState::Disconnected ? 1 : 0; }
    /// The longest time between two processed pings.
    qint64 LongestGap() const {
        qint64 longest = 0;
        for (std::size_t i = 1; i < m_times.size(); ++i) {
            longest = std::max(longest, m_times[i] - m_times[i - 1]);
        }
        return longest;
    }
    CTamsorDoc& m_doc;
    QElapsedTimer m_clock = [] {
        QElapsedTimer started;
        started.start();
        return started;
    }();
    std::vector<qint64> m_times;
    int m_drops = 0;
};

/// The console's document wired to the Qt adapters, with the sonar link on its own thread.
class Console {
public:
    explicit Console(std::uint16_t port)
        : m_timers([this](int id) {
              if (id == kWatchdogTimer) {
                  ++m_watchdogs;
              }
              m_doc->OnTimer(id);
          }),
          m_runner([this](std::function<void()> news) { m_poster.Post(std::move(news)); }),
          m_datagrams(QHostAddress(QHostAddress::LocalHost)) {
        DocumentPorts ports;
        ports.timers = &m_timers;
        ports.clock = &m_clock;
        ports.link = &m_link;
        ports.datagrams = &m_datagrams;
        ports.operatorPort = &m_operator;
        ports.linkRunner = &m_runner;
        m_doc = std::make_unique<CTamsorDoc>(ports);
        m_watch = std::make_unique<PingWatch>(*m_doc);
        m_doc->Subscribe(*m_watch);
        m_doc->EditSettings([port](Settings& s) {
            s.system.sonarAddress = "127.0.0.1";
            s.system.outputAddress = "127.0.0.1";
            s.system.sonarPort = port;
            s.sonar.transducerUp = 0;
        });
    }
    ~Console() { m_doc->CloseSockets(); }
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    CTamsorDoc& Doc() { return *m_doc; }
    int Pings() const { return m_doc->PingRoutine().Head(0).m_pingCounter; }

    /// The heads hold the latest of the head's pings that reached the console, bit for bit;
    /// `started` is the number of pings the head has begun.
    void ExpectHeadsHoldLatest(const sim::Scene& scene, long long started) {
        const sim::PingGeometry g =
            sim::GeometryFromPacket(m_doc->PingRoutine().Head(0).m_commandPacket, 1480.0f, 0);
        std::vector<std::uint16_t> expected(kElementCount * kMaxSamples);
        for (long long ping = started - 1; ping >= 0; --ping) {
            sim::SynthesiseHead(scene, g, 0, static_cast<std::uint64_t>(ping),
                                sim::HeadSamples(expected.data(), expected.size()));
            const auto count = static_cast<std::ptrdiff_t>(g.samples); // channel 0 is enough to tell
            if (std::equal(expected.begin(), expected.begin() + count,
                           m_doc->PingRoutine().Head(0).m_rawSamples.begin())) {
                ExpectHeadsHold(scene, ping);
                return;
            }
        }
        ADD_FAILURE() << "the heads hold none of the head's " << started << " pings";
    }

    /// The heads hold ping `ping` of the scene, bit for bit.
    void ExpectHeadsHold(const sim::Scene& scene, long long ping) {
        const sim::PingGeometry g =
            sim::GeometryFromPacket(m_doc->PingRoutine().Head(0).m_commandPacket, 1480.0f, 0);
        std::vector<std::uint16_t> expected(kElementCount * kMaxSamples);
        for (int h = 0; h < kHeadCount; ++h) {
            sim::SynthesiseHead(scene, g, h, static_cast<std::uint64_t>(ping),
                                sim::HeadSamples(expected.data(), expected.size()));
            const auto& raw = m_doc->PingRoutine().Head(h).m_rawSamples;
            for (int c = 0; c < kElementCount; ++c) {
                for (int j = 0; j < g.samples; ++j) {
                    const auto at = static_cast<std::size_t>(c * kMaxSamples + j);
                    ASSERT_EQ(raw[at], expected[at])
                        << "ping " << ping << " head " << h << " channel " << c << " sample " << j;
                }
            }
        }
    }

    LinkStats Stats() const { return m_doc->Live().SonarLink()->Stats(); }

    QtTimers m_timers;
    QtClock m_clock;
    QtPoster m_poster;
    LoopbackSocket m_link;
    CLinkThread m_runner;
    QtDatagramSocket m_datagrams;
    test::FakeOperator m_operator;
    std::unique_ptr<CTamsorDoc> m_doc;
    std::unique_ptr<PingWatch> m_watch;
    int m_watchdogs = 0;
};

TEST(LiveLink, CompletePingsReachEveryHeadBitForBit) {
    for (int samples : {1000, 500}) {
        HeadOptions options;
        options.scene.noise = 0.002f;
        HeadThread head(options);
        Console console(head.Server().Port());
        console.Doc().EditSettings([samples](Settings& s) {
            s.sonar.samples = samples;
            s.system.pingDelayMs = 30;
        });
        console.Doc().StartAcquisition();
        ASSERT_TRUE(RunUntil([&] { return console.Pings() >= 4; }));
        EXPECT_TRUE(console.Doc().Live().Link().connected);
        console.ExpectHeadsHoldLatest(options.scene, head.Server().m_pingsStarted.load());
        EXPECT_EQ(console.Doc().PingRoutine().Head(0).m_headerText, "SIM");
        EXPECT_EQ(console.Doc().PingRoutine().Head(0).m_transducerType, 4);
        EXPECT_GE(console.Doc().Shown().Timings().acquisitionTimeMs,
                  console.Doc().Shown().Timings().sonarTimeMs);
        EXPECT_TRUE(console.m_operator.m_messages.empty());
    }
}

TEST(LiveLink, RepliesInPiecesAndLateRepliesStillMakeWholePings) {
    HeadOptions options;
    options.splitWrites = 5;
    options.replyDelayMs = 1;
    HeadThread head(options);
    Console console(head.Server().Port());
    console.Doc().StartAcquisition();
    ASSERT_TRUE(RunUntil([&] { return console.Pings() >= 2; }));
    console.ExpectHeadsHoldLatest(options.scene, head.Server().m_pingsStarted.load());
}

TEST(LiveLink, OutOfStepBlockEndsThePingAndTheNextStartsWithoutTheWatchdog) {
    HeadOptions options;
    options.faults.wrongEchoes = {{10, 1}};
    HeadThread head(options);
    Console console(head.Server().Port());
    console.Doc().StartAcquisition();
    ASSERT_TRUE(RunUntil([&] { return console.Pings() >= 3; }));
    // Pings 0, 2 and 3 of the head completed; ping 1 ended at block 10 and was requested again.
    EXPECT_EQ(console.Stats().retries, 1u);
    EXPECT_EQ(console.m_watchdogs, 0);
}

TEST(LiveLink, ASilentHeadCostsHalfASecondNotTheWatchdog) {
    HeadOptions options;
    options.faults.silences = {{6, 1}};
    HeadThread head(options);
    Console console(head.Server().Port());
    console.Doc().StartAcquisition();
    ASSERT_TRUE(RunUntil([&] { return console.Pings() >= 3; }));
    EXPECT_EQ(console.Stats().retries, 1u);
    EXPECT_EQ(console.m_watchdogs, 0);
    // Well inside the watchdog's five seconds (about a second here; the bound leaves room for a busy
    // machine).
    EXPECT_LT(console.m_watch->LongestGap(), 3000)
        << "longest gap " << console.m_watch->LongestGap() << " ms";
}

TEST(LiveLink, DroppedConnectionIsReconnectedWithinASecond) {
    HeadOptions options;
    options.dropAfterPings = 2;
    HeadThread head(options);
    Console console(head.Server().Port());
    console.Doc().EditSettings([](Settings& s) { s.system.pingDelayMs = 20; });
    console.Doc().StartAcquisition();
    ASSERT_TRUE(RunUntil([&] { return console.Pings() >= 5; }));
    EXPECT_GE(head.Server().m_connections.load(), 3);
    EXPECT_GE(console.m_watch->m_drops, 2);
    EXPECT_EQ(console.m_watchdogs, 0);
    EXPECT_TRUE(console.m_operator.m_messages.empty());
}

// A peer that closes in the middle of a reply: the ping ends, the link reconnects and the picture
// moves again within about a second.
TEST(LiveLink, APeerThatClosesMidBlockEndsThePingAndIsReconnected) {
    HeadOptions options;
    options.faults.cutOffs = {{20, 1}};
    HeadThread head(options);
    Console console(head.Server().Port());
    console.Doc().StartAcquisition();
    ASSERT_TRUE(RunUntil([&] { return console.Pings() >= 3; }));
    EXPECT_EQ(console.m_watch->m_drops, 1);
    EXPECT_EQ(head.Server().m_connections.load(), 2);
    // Well inside the watchdog's five seconds (about a second here; the bound leaves room for a busy
    // machine).
    EXPECT_LT(console.m_watch->LongestGap(), 3000)
        << "longest gap " << console.m_watch->LongestGap() << " ms";
    console.ExpectHeadsHoldLatest(options.scene, head.Server().m_pingsStarted.load());
    EXPECT_TRUE(console.m_operator.m_messages.empty());
}

TEST(LiveLink, ARefusingHeadIsNotStormed) {
    HeadOptions options;
    options.refuseConnections = -1;
    HeadThread head(options);
    Console console(head.Server().Port());
    console.Doc().StartAcquisition();
    RunUntil([] { return false; }, 3500);
    // Attempts at 0, 1 and 3 s.
    EXPECT_LE(head.Server().m_refused.load(), 3);
    EXPECT_GE(head.Server().m_refused.load(), 2);
    EXPECT_EQ(console.Pings(), 0);
    EXPECT_TRUE(console.m_operator.m_messages.empty());
}

TEST(LiveLink, ARefusedConnectionIsRetried) {
    HeadOptions options;
    options.refuseConnections = 2;
    HeadThread head(options);
    Console console(head.Server().Port());
    console.Doc().StartAcquisition();
    ASSERT_TRUE(RunUntil([&] { return console.Pings() >= 1; }));
    EXPECT_EQ(head.Server().m_refused.load(), 2);
    EXPECT_TRUE(console.m_operator.m_messages.empty());
}

TEST(QtAdapters, OutputSocketFallsBackToAFreePortWhenItsPortIsTaken) {
    QUdpSocket receiver;
    ASSERT_TRUE(receiver.bind(QHostAddress(QHostAddress::LocalHost), 0));
    const std::uint16_t taken = receiver.localPort();
    QtDatagramSocket output(QHostAddress(QHostAddress::LocalHost));
    ASSERT_TRUE(output.Open(taken));
    EXPECT_NE(output.LocalPort(), taken);
    EXPECT_NE(output.LocalPort(), 0);
    const std::array<std::uint8_t, 3> bytes{1, 2, 3};
    EXPECT_EQ(output.SendTo("127.0.0.1", taken, bytes), 3);
    ASSERT_TRUE(RunUntil([&] { return receiver.hasPendingDatagrams(); }, 10000));
    QByteArray got(static_cast<qsizetype>(receiver.pendingDatagramSize()), 0);
    QHostAddress from;
    quint16 fromPort = 0;
    receiver.readDatagram(got.data(), got.size(), &from, &fromPort);
    EXPECT_EQ(got, QByteArray("\x01\x02\x03", 3));
    EXPECT_EQ(fromPort, output.LocalPort());
    output.Close();
    EXPECT_FALSE(output.IsOpen());
    EXPECT_EQ(output.SendTo("127.0.0.1", taken, bytes), -1);
}

TEST(QtAdapters, TimersAreOneShotAndStopDisarms) {
    std::vector<int> fired;
    QtTimers timers([&fired](int id) { fired.push_back(id); });
    timers.Arm(kPingTimer, 0);
    timers.Arm(kWatchdogTimer, 0);
    timers.Stop(kWatchdogTimer);
    EXPECT_TRUE(timers.IsArmed(kPingTimer));
    EXPECT_FALSE(timers.IsArmed(kWatchdogTimer));
    ASSERT_TRUE(RunUntil([&] { return !fired.empty(); }, 10000));
    QCoreApplication::processEvents();
    EXPECT_EQ(fired, std::vector<int>{kPingTimer});
    EXPECT_FALSE(timers.IsArmed(kPingTimer));
    QtClock clock;
    EXPECT_NE(clock.TickMs(), 0u);
    EXPECT_GE(clock.Now().year, 2000);
}

TEST(HeadsimServer, SkipsBytesThatAreNotAPacketAndAnswersTheNextOne) {
    HeadThread head(HeadOptions{});
    QTcpSocket socket;
    socket.connectToHost(QHostAddress(QHostAddress::LocalHost), head.Server().Port());
    ASSERT_TRUE(socket.waitForConnected(10000));
    COndrel request;
    PingSettings settings;
    ResetPulseLength(settings);
    request.ResetCommandPacket(settings);
    ApplyPacketRules(settings);
    request.BuildCommandPacket(settings);
    request.m_commandPacket[kPacketBlockByte] = 5;
    QByteArray bytes("\x01\x02\xFE\x00garbage", 11);
    bytes.append(reinterpret_cast<const char*>(request.m_commandPacket.data()), kCommandPacketSize);
    socket.write(bytes);
    QByteArray reply;
    while (reply.size() < kReplyBlockSize && socket.waitForReadyRead(5000)) {
        reply.append(socket.readAll());
    }
    ASSERT_EQ(reply.size(), kReplyBlockSize);
    EXPECT_EQ(reply.left(3), QByteArray("SIM"));
    EXPECT_EQ(reply[kReplyEchoByte], 5);
    EXPECT_EQ(static_cast<std::uint8_t>(reply[8]), 4);
    EXPECT_EQ(head.Server().m_packets.load(), 1);
}

// The real program, started as the operator would start it, on a free loopback port.
TEST(HeadsimProgram, ServesTheConsoleEndToEnd) {
    QProcess program;
    program.start(QStringLiteral(VEXAR_HEADSIM), {"--listen", "127.0.0.1:0", "--scene", "plain", "--noise",
                                                  "0.001", "--seed", "7", "--split", "3"});
    ASSERT_TRUE(program.waitForStarted(10000));
    ASSERT_TRUE(RunUntil([&] { return program.canReadLine(); }, 10000));
    const QString line = QString::fromUtf8(program.readLine()).trimmed();
    ASSERT_TRUE(line.startsWith("vexar-headsim listening on 127.0.0.1:")) << line.toStdString();
    const auto port = static_cast<std::uint16_t>(line.section(':', -1).toUInt());
    {
        Console console(port);
        console.Doc().StartAcquisition();
        ASSERT_TRUE(RunUntil([&] { return console.Pings() >= 3; }));
        sim::Scene scene = sim::PlainScene();
        scene.noise = 0.001f;
        scene.seed = 7;
        // The program's count of transmissions is not visible from here. Each ping given up, and
        // each first block asked again, is one more than the console's pings (a machine busy with
        // other tests makes dozens in its first seconds), so the last few hundred are tried.
        console.ExpectHeadsHoldLatest(scene, console.Pings() + 512);
    }
    program.terminate();
    program.waitForFinished(10000);
}

} // namespace
} // namespace vexar

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
