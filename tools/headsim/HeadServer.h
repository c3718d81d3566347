#pragma once
// HeadServer: the simulated sonar head. It answers every command packet on its TCP port with one
// reply block of a synthesised ping, and can misbehave on purpose.

#include "head/ReplyData.h"
#include "sim/Scene.h"

#include <QHostAddress>
#include <QObject>

#include <atomic>
#include <cstdint>
#include <memory>
#include <vector>

class QTcpServer;
class QTcpSocket;

namespace vexar::headsim {

/// A fault at one block: of every ping (ping < 0) or of one ping (0-based, counted from start).
struct BlockFault {
    int block = 0;
    long long ping = -1;
    bool Matches(int blockIndex, long long pingNumber) const {
        return block == blockIndex && (ping < 0 || ping == pingNumber);
    }
};

struct HeadOptions {
    QHostAddress address = QHostAddress(QHostAddress::LocalHost);
    std::uint16_t port = 4040;
    sim::Scene scene = sim::DefaultScene();
    sim::ReplyHeaderFields header;
    float soundVelocity = 1480.0f;       ///< of the water, m/s
    int transducerUp = 0;                ///< the heads are mounted upside down
    int replyDelayMs = 0;                ///< every reply waits this long
    int splitWrites = 1;                 ///< every reply is written in this many pieces
    std::vector<BlockFault> silences;    ///< blocks that get no reply
    std::vector<BlockFault> wrongEchoes; ///< blocks whose reply names the next block
    std::vector<BlockFault> cutOffs;     ///< blocks whose reply stops halfway and the link closes
    int dropAfterPings = 0;              ///< a connection is closed after this many complete pings (0 never)
    int refuseConnections = 0;           ///< so many connections are closed at once (-1 all)
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

    std::atomic<long long> m_pingsStarted{0};  ///< block-0 requests seen
    std::atomic<long long> m_pingsFinished{0}; ///< last blocks answered
    std::atomic<int> m_connections{0};         ///< connections accepted and served
    std::atomic<int> m_refused{0};             ///< connections closed at once
    std::atomic<long long> m_packets{0};       ///< command packets received

private:
    struct Connection;
    void OnNewConnection();
    void OnReadable(Connection& connection);
    void Answer(Connection& connection, const std::uint8_t* packet);
    void Write(QTcpSocket* socket, const ReplyBlock& reply, int delayMs);
    void Drop(QTcpSocket* socket);

    HeadOptions m_options;
    QTcpServer* m_server = nullptr;
    std::atomic<std::uint16_t> m_port{0};
    std::unique_ptr<PingBuffer> m_ping;
    long long m_pingNumber = -1;
    std::vector<std::unique_ptr<Connection>> m_live;
};

} // namespace vexar::headsim
