#pragma once
// HeadServer: the simulated sonar head. It answers every command packet on its TCP port with one
// reply block of a synthesised ping, and can misbehave on purpose.

#include "SimClock.h"
#include "TruthWriter.h"

#include "sim/CHeadProtocol.h"
#include "sim/World.h"

#include <QHostAddress>
#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>
#include <optional>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace vexar::headsim {

struct HeadOptions {
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    std::uint16_t port = 4040;
    sim::Scene scene = sim::PlainScene();
    /// A vehicle moving through this world along `track`: every ping shows the world as seen from
    /// the vehicle's pose when the ping begins. Without a world, `scene` is shown around a head
    /// that holds still at the track's start.
    std::optional<sim::World> world;
    sim::VehicleTrack track;
    sim::HeadMount mount;         ///< how the head sits on the vehicle
    TruthWriter* truth = nullptr; ///< gets the vehicle's and the head's pose at every ping, when given
    sim::ReplyHeaderFields header;
    float soundVelocity = 1480.0f; ///< of the water, m/s
    int transducerUp = 0;          ///< the heads are mounted upside down
    int replyDelayMs = 0;          ///< every reply waits this long
    int splitWrites = 1;           ///< every reply is written in this many pieces
    sim::HeadFaults faults;        ///< silences, wrong echoes, cut-offs, garbage
    int dropAfterPings = 0;        ///< a connection is closed after this many complete pings (0 never)
    int refuseConnections = 0;     ///< so many connections are closed at once (-1 all)
    bool verbose = false;
};

/// Runs on the event loop of the thread it lives in; the counters may be read from anywhere.
class HeadServer : public QObject {
public:
    explicit HeadServer(HeadOptions options, QObject* parent = nullptr);
    ~HeadServer() override;
    HeadServer(const HeadServer&) = delete;
    HeadServer& operator=(const HeadServer&) = delete;

    /// Starts listening; false (with the reason) when the address cannot be bound.
    bool Start(QString* error = nullptr);
    std::uint16_t Port() const { return m_port.load(); }
    /// The head's time, which its navigation shares.
    const SimClock& Clock() const { return m_clock; }

    std::atomic<long long> m_pingsStarted{0};  ///< block-0 requests seen
    std::atomic<long long> m_pingsFinished{0}; ///< last blocks answered
    std::atomic<int> m_connections{0};         ///< connections accepted and served
    std::atomic<int> m_refused{0};             ///< connections closed at once
    std::atomic<long long> m_packets{0};       ///< command packets received

private:
    struct Connection;
    void OnNewConnection();
    void OnReadable(Connection& connection);
    void Answer(Connection& connection, const std::array<std::uint8_t, kCommandPacketSize>& packet);
    void Write(QTcpSocket* socket, const std::vector<std::uint8_t>& bytes, int delayMs);
    void Drop(QTcpSocket* socket);
    sim::Scene SceneOfPing(long long ping);

    HeadOptions m_options;
    SimClock m_clock;
    QTcpServer* m_server = nullptr;
    std::atomic<std::uint16_t> m_port{0};
    sim::CHeadProtocol m_protocol;
    std::vector<std::unique_ptr<Connection>> m_live;
};

} // namespace vexar::headsim
