#include "HeadServer.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>

namespace vexar::headsim {

namespace {
constexpr int kSplitGapMs = 2;
} // namespace

struct HeadServer::Connection {
    QTcpSocket* socket = nullptr;
    std::vector<std::uint8_t> pending;
    int pingsFinished = 0;
    bool closing = false;
};

HeadServer::HeadServer(HeadOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)),
      m_protocol(m_options.scene, m_options.header, m_options.soundVelocity, m_options.transducerUp,
                 m_options.faults) {
    if (m_options.world || m_options.truth != nullptr) {
        m_protocol.SetSceneOfPing([this](long long ping) { return SceneOfPing(ping); });
    }
}

sim::Scene HeadServer::SceneOfPing(long long ping) {
    const double seconds = m_clock.Seconds();
    const sim::VehiclePose vehicle = sim::PoseAt(m_options.track, seconds);
    const sim::VehiclePose head = sim::HeadPoseOf(m_options.track, vehicle, m_options.mount);
    if (m_options.truth != nullptr) {
        const auto altitude = [this](const sim::VehiclePose& pose) {
            if (!m_options.world) {
                return std::nan("");
            }
            return sim::SeabedDepthAt(*m_options.world, pose.eastM, pose.northM).value_or(std::nan("")) -
                   pose.depthM;
        };
        const std::int64_t utcMs = m_clock.UtcMsAt(seconds);
        m_options.truth->WritePose("ping", ping, utcMs, vehicle, altitude(vehicle));
        m_options.truth->WritePose("head", ping, utcMs, head, altitude(head));
    }
    return m_options.world ? sim::SceneAt(*m_options.world, head, m_options.mount) : m_options.scene;
}

HeadServer::~HeadServer() = default;

bool HeadServer::Start(QString* error) {
    m_server = new QTcpServer(this);
    if (!m_server->listen(m_options.address, m_options.port)) {
        if (error != nullptr) {
            *error = m_server->errorString();
        }
        return false;
    }
    m_port = m_server->serverPort();
    connect(m_server, &QTcpServer::newConnection, this, [this] { OnNewConnection(); });
    return true;
}

void HeadServer::OnNewConnection() {
    while (QTcpSocket* socket = m_server->nextPendingConnection()) {
        if (m_options.refuseConnections < 0 || m_refused.load() < m_options.refuseConnections) {
            ++m_refused;
            if (m_options.verbose) {
                std::fprintf(stderr, "headsim: connection refused\n");
            }
            socket->abort();
            socket->deleteLater();
            continue;
        }
        ++m_connections;
        if (m_options.verbose) {
            std::fprintf(stderr, "headsim: connection from %s\n",
                         qPrintable(socket->peerAddress().toString()));
        }
        socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        auto connection = std::make_unique<Connection>();
        connection->socket = socket;
        Connection* raw = connection.get();
        m_live.push_back(std::move(connection));
        connect(socket, &QTcpSocket::readyRead, this, [this, raw] { OnReadable(*raw); });
        // A close the head makes itself (a cut-off reply) reports the disconnection from within
        // the handler that is still reading the connection: it is forgotten only afterwards.
        connect(socket, &QTcpSocket::disconnected, this, [this, raw] {
            raw->socket->deleteLater();
            QMetaObject::invokeMethod(
                this, [this, raw] { std::erase_if(m_live, [raw](const auto& c) { return c.get() == raw; }); },
                Qt::QueuedConnection);
        });
    }
}

void HeadServer::OnReadable(Connection& connection) {
    const QByteArray bytes = connection.socket->readAll();
    connection.pending.insert(connection.pending.end(), bytes.begin(), bytes.end());
    std::array<std::uint8_t, kCommandPacketSize> packet{};
    std::size_t at = 0;
    while (!connection.closing && sim::TakeCommandPacket(connection.pending, at, packet)) {
        Answer(connection, packet);
    }
    connection.pending.erase(connection.pending.begin(),
                             connection.pending.begin() + static_cast<std::ptrdiff_t>(at));
}

void HeadServer::Answer(Connection& connection, const std::array<std::uint8_t, kCommandPacketSize>& packet) {
    ++m_packets;
    const sim::HeadAnswer answer = m_protocol.Answer(packet);
    m_pingsStarted += answer.newPing ? 1 : 0;
    switch (answer.kind) {
    case sim::HeadAnswer::Kind::Silence:
        if (m_options.verbose) {
            std::fprintf(stderr, "headsim: ping %lld block %d left unanswered\n", answer.ping, answer.block);
        }
        return;
    case sim::HeadAnswer::Kind::Garbage:
        if (m_options.verbose) {
            std::fprintf(stderr, "headsim: ping %lld block %d answered with %zu bytes of garbage\n",
                         answer.ping, answer.block, answer.bytes.size());
        }
        Write(connection.socket, answer.bytes, m_options.replyDelayMs);
        return;
    case sim::HeadAnswer::Kind::CutOff:
        if (m_options.verbose) {
            std::fprintf(stderr, "headsim: ping %lld block %d cut off\n", answer.ping, answer.block);
        }
        connection.closing = true;
        connection.socket->write(reinterpret_cast<const char*>(answer.bytes.data()),
                                 static_cast<qint64>(answer.bytes.size()));
        connection.socket->flush();
        connection.socket->disconnectFromHost();
        return;
    case sim::HeadAnswer::Kind::Reply:
        break;
    }
    Write(connection.socket, answer.bytes, m_options.replyDelayMs);

    if (answer.lastBlock) {
        ++m_pingsFinished;
        ++connection.pingsFinished;
        if (m_options.dropAfterPings > 0 && connection.pingsFinished >= m_options.dropAfterPings) {
            connection.closing = true;
            QTimer::singleShot(m_options.replyDelayMs + m_options.splitWrites * kSplitGapMs + 1,
                               connection.socket, [this, socket = connection.socket] { Drop(socket); });
        }
    }
}

void HeadServer::Write(QTcpSocket* socket, const std::vector<std::uint8_t>& bytes, int delayMs) {
    if (bytes.empty()) {
        return;
    }
    const int total = static_cast<int>(bytes.size());
    const int pieces = std::clamp(m_options.splitWrites, 1, total);
    const int size = total / pieces;
    for (int p = 0; p < pieces; ++p) {
        const int from = p * size;
        const int length = p == pieces - 1 ? total - from : size;
        QByteArray piece(reinterpret_cast<const char*>(bytes.data()) + from, length);
        const int when = delayMs + p * kSplitGapMs;
        if (when == 0) {
            socket->write(piece);
            socket->flush();
        } else {
            QTimer::singleShot(when, socket, [socket, piece] {
                socket->write(piece);
                socket->flush();
            });
        }
    }
}

void HeadServer::Drop(QTcpSocket* socket) {
    if (m_options.verbose) {
        std::fprintf(stderr, "headsim: dropping the connection\n");
    }
    socket->flush();
    socket->disconnectFromHost();
}

} // namespace vexar::headsim
