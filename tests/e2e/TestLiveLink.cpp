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
#include <QProcess>
#include <QTcpServer>
#include <QTcpSocket>
#include <QThread>
#include <QUdpSocket>

#include <gtest/gtest.h>

#include <algorithm>
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

/// The link adapter, refusing any address but loopback and counting what it reports.
class LoopbackSocket : public CSSocket {
public:
    bool Connect(const std::string& host, std::uint16_t port) override {
        ++m_connects;
        if (host != "127.0.0.1") {
            ADD_FAILURE() << "connect to " << host;
            return false;
        }
        return CSSocket::Connect(host, port);
    }
    int m_connects = 0;
};

/// The console's document wired to the Qt adapters; the timers are real unless a test hands in
/// fake ones (to skip the five-second watchdog waits).
class Console {
public:
    explicit Console(std::uint16_t port, ITimerPort* timers = nullptr, IClockPort* clock = nullptr)
        : m_timers([this](int id) {
              if (id == kWatchdogTimer) {
                  ++m_watchdogs;
              }
              m_doc->OnTimer(id);
          }),
          m_datagrams(QHostAddress(QHostAddress::LocalHost)) {
        DocumentPorts ports{timers != nullptr ? timers : &m_timers, clock != nullptr ? clock : &m_clock,
                            &m_link, &m_datagrams, &m_operator};
        m_doc = CTamsorDoc::Create(ports);
        m_link.SetHandlers(
            [this](int error) {
                ++m_connectReports;
                m_lastConnectError = error;
                m_doc->OnConnect(error);
            },
            [this](int error) {
                ++m_closeReports;
                m_doc->OnClose(error);
            });
        m_doc->m_sonarAddress = "127.0.0.1";
        m_doc->m_outputAddress = "127.0.0.1";
        m_doc->m_sonarPort = port;
        m_doc->Head(0).m_transducerUp = 0;
        m_doc->CopyHeadSettings();
    }
    ~Console() { m_doc->CloseSockets(); }
    Console(const Console&) = delete;
    Console& operator=(const Console&) = delete;

    CTamsorDoc& Doc() { return *m_doc; }
    int Pings() const { return m_doc->Head(0).m_pingCounter; }

    /// The heads hold the latest of the head's pings that reached the console, bit for bit;
    /// `started` is the number of pings the head has begun.
    void ExpectHeadsHoldLatest(const sim::Scene& scene, long long started) {
        const sim::PingGeometry g = sim::GeometryFromPacket(m_doc->Head(0).m_commandPacket, 1480.0f, 0);
        std::vector<std::uint16_t> expected(kElementCount * kMaxSamples);
        for (long long ping = started - 1; ping >= 0; --ping) {
            sim::SynthesiseHead(scene, g, 0, static_cast<std::uint64_t>(ping),
                                sim::HeadSamples(expected.data(), expected.size()));
            const auto count = static_cast<std::ptrdiff_t>(g.samples); // channel 0 is enough to tell
            if (std::equal(expected.begin(), expected.begin() + count, m_doc->Head(0).m_rawSamples.begin())) {
                ExpectHeadsHold(scene, ping);
                return;
            }
        }
        ADD_FAILURE() << "the heads hold none of the head's " << started << " pings";
    }

    /// The heads hold ping `ping` of the scene, bit for bit.
    void ExpectHeadsHold(const sim::Scene& scene, long long ping) {
        const sim::PingGeometry g = sim::GeometryFromPacket(m_doc->Head(0).m_commandPacket, 1480.0f, 0);
        std::vector<std::uint16_t> expected(kElementCount * kMaxSamples);
        for (int h = 0; h < kHeadCount; ++h) {
            sim::SynthesiseHead(scene, g, h, static_cast<std::uint64_t>(ping),
                                sim::HeadSamples(expected.data(), expected.size()));
            const auto& raw = m_doc->Head(h).m_rawSamples;
            for (int c = 0; c < kElementCount; ++c) {
                for (int j = 0; j < g.samples; ++j) {
                    const auto at = static_cast<std::size_t>(c * kMaxSamples + j);
                    ASSERT_EQ(raw[at], expected[at])
                        << "ping " << ping << " head " << h << " channel " << c << " sample " << j;
                }
            }
        }
    }

    QtTimers m_timers;
    QtClock m_clock;
    LoopbackSocket m_link;
    QtDatagramSocket m_datagrams;
    test::FakeOperator m_operator;
    std::unique_ptr<CTamsorDoc> m_doc;
    int m_watchdogs = 0;
    int m_connectReports = 0;
    int m_closeReports = 0;
    int m_lastConnectError = 0;
};

std::uint16_t UnusedPort() {
    QTcpServer probe;
    EXPECT_TRUE(probe.listen(QHostAddress(QHostAddress::LocalHost), 0));
    const std::uint16_t port = probe.serverPort();
    probe.close();
    return port;
}

TEST(LiveLink, CompletePingsReachEveryHeadBitForBit) {
    for (int samples : {1000, 500}) {
        HeadOptions options;
        options.scene.noise = 0.002f;
        HeadThread head(options);
        Console console(head.Server().Port());
        console.Doc().Head(0).m_samples = samples;
        console.Doc().m_blocksPerPing = BlocksPerPingFor(samples);
        console.Doc().m_pingDelayMs = 30;
        console.Doc().StartAcquisition();
        ASSERT_TRUE(RunUntil([&] { return console.Pings() >= 4; }));
        EXPECT_EQ(console.Doc().m_connected, 1);
        EXPECT_EQ(console.Doc().m_blocksReceived, BlocksPerPingFor(samples));
        console.ExpectHeadsHoldLatest(options.scene, head.Server().m_pingsStarted.load());
        EXPECT_EQ(console.Doc().Head(0).m_headerText, "SIM");
        EXPECT_EQ(console.Doc().Head(0).m_transducerType, 4);
        EXPECT_GE(console.Doc().m_acquisitionTimeMs, console.Doc().m_sonarTimeMs);
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
    options.wrongEchoes = {{10, 1}};
    HeadThread head(options);
    Console console(head.Server().Port());
    console.Doc().StartAcquisition();
    ASSERT_TRUE(RunUntil([&] { return console.Pings() >= 3; }));
    // Pings 0, 2 and 3 of the head completed; ping 1 ended at block 10.
    EXPECT_EQ(head.Server().m_pingsStarted.load(), console.Pings() + 1);
    console.ExpectHeadsHold(options.scene, console.Pings());
    EXPECT_EQ(console.m_watchdogs, 0);
}

TEST(LiveLink, DroppedConnectionIsReconnectedAtOnce) {
    HeadOptions options;
    options.dropAfterPings = 2;
    HeadThread head(options);
    Console console(head.Server().Port());
    console.Doc().m_pingDelayMs = 20;
    console.Doc().StartAcquisition();
    ASSERT_TRUE(RunUntil([&] { return console.Pings() >= 5; }));
    EXPECT_GE(head.Server().m_connections.load(), 3);
    EXPECT_GE(console.m_closeReports, 2);
    EXPECT_EQ(console.Doc().m_connected, 1);
    EXPECT_EQ(console.m_watchdogs, 0);
    EXPECT_TRUE(console.m_operator.m_messages.empty());
}

TEST(LiveLink, APeerThatClosesMidBlockEndsThePingAndIsReconnected) {
    HeadOptions options;
    options.cutOffs = {{20, 1}};
    HeadThread head(options);
    Console console(head.Server().Port());
    console.Doc().StartAcquisition();
    ASSERT_TRUE(RunUntil([&] { return console.Pings() >= 3; }));
    EXPECT_EQ(console.m_closeReports, 1);
    EXPECT_EQ(head.Server().m_connections.load(), 2);
    console.ExpectHeadsHoldLatest(options.scene, head.Server().m_pingsStarted.load());
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

// The watchdog's five seconds run on fake timers; sockets and waits stay real.
TEST(LiveLinkFakeTime, SilenceEndsThePingAndTheWatchdogRestartsTheCycle) {
    HeadOptions options;
    options.silences = {{6, 0}};
    HeadThread head(options);
    test::FakeClock clock;
    test::FakeTimers timers(clock);
    Console console(head.Server().Port(), &timers, &clock);
    auto fire = [&] { return timers.FireNext([&](int id) { console.Doc().OnTimer(id); }).value_or(0); };
    console.Doc().StartAcquisition();
    ASSERT_TRUE(RunUntil([&] { return console.Doc().m_connected == 1; }));
    EXPECT_EQ(timers.DelayOf(kPingTimer), 500);
    EXPECT_EQ(fire(), kPingTimer);
    EXPECT_EQ(console.Doc().m_blocksReceived, 6);
    EXPECT_EQ(console.Pings(), 0);
    EXPECT_FALSE(timers.IsArmed(kPingTimer));
    EXPECT_EQ(timers.DelayOf(kWatchdogTimer), 5000);
    EXPECT_EQ(fire(), kWatchdogTimer);
    EXPECT_EQ(timers.DelayOf(kPingTimer), 500);
    EXPECT_EQ(fire(), kPingTimer);
    EXPECT_EQ(console.Doc().m_blocksReceived, 128);
    console.ExpectHeadsHold(options.scene, 1);
    EXPECT_TRUE(console.m_operator.m_messages.empty());
}

TEST(LiveLinkFakeTime, AnUnreachableHeadIsRetriedEveryFiveSecondsWithoutAMessage) {
    test::FakeClock clock;
    test::FakeTimers timers(clock);
    Console console(UnusedPort(), &timers, &clock);
    console.Doc().StartAcquisition();
    for (int attempt = 1; attempt <= 3; ++attempt) {
        ASSERT_TRUE(RunUntil([&] { return console.m_connectReports == attempt; }));
        EXPECT_NE(console.m_lastConnectError, 0);
        EXPECT_EQ(console.Doc().m_connected, 0);
        EXPECT_EQ(timers.DelayOf(kWatchdogTimer), 5000);
        EXPECT_FALSE(timers.IsArmed(kPingTimer));
        const std::uint64_t before = clock.TickMs();
        EXPECT_EQ(timers.FireNext([&](int id) { console.Doc().OnTimer(id); }), kWatchdogTimer);
        EXPECT_EQ(clock.TickMs() - before, 5000u);
        EXPECT_EQ(console.m_link.m_connects, attempt + 1);
    }
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
    request.ResetCommandPacket();
    request.BuildCommandPacket();
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
    program.start(QStringLiteral(VEXAR_HEADSIM),
                  {"--listen", "127.0.0.1:0", "--noise", "0.001", "--seed", "7", "--split", "3"});
    ASSERT_TRUE(program.waitForStarted(10000));
    ASSERT_TRUE(RunUntil([&] { return program.canReadLine(); }, 10000));
    const QString line = QString::fromUtf8(program.readLine()).trimmed();
    ASSERT_TRUE(line.startsWith("vexar-headsim listening on 127.0.0.1:")) << line.toStdString();
    const auto port = static_cast<std::uint16_t>(line.section(':', -1).toUInt());
    {
        Console console(port);
        console.Doc().StartAcquisition();
        ASSERT_TRUE(RunUntil([&] { return console.Pings() >= 3; }));
        sim::Scene scene = sim::DefaultScene();
        scene.noise = 0.001f;
        scene.seed = 7;
        // The program's ping count is not visible from here; a ping that failed on the way
        // would only shift the number, so the latest few are tried.
        console.ExpectHeadsHoldLatest(scene, console.Pings() + 3);
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
