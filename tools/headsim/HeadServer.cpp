#include "HeadServer.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <cstring>

namespace vexar::headsim {

namespace {
constexpr std::uint8_t kPacketStart = 0xFE;
constexpr std::uint8_t kPacketEnd = 0xFD;
constexpr int kSplitGapMs = 2;
} // namespace

struct HeadServer::Connection {
    QTcpSocket* socket = nullptr;
    QByteArray pending;
    int pingsFinished = 0;
    bool closing = false;
};

HeadServer::HeadServer(HeadOptions options, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_ping(std::make_unique<PingBuffer>()) {}

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
        connect(socket, &QTcpSocket::disconnected, this, [this, raw] {
            raw->socket->deleteLater();
            std::erase_if(m_live, [raw](const auto& c) { return c.get() == raw; });
        });
    }
}

void HeadServer::OnReadable(Connection& connection) {
    connection.pending.append(connection.socket->readAll());
    while (!connection.closing) {
        // Resynchronise on the start byte; anything before it is not a packet.
        const qsizetype start = connection.pending.indexOf(static_cast<char>(kPacketStart));
        if (start < 0) {
            connection.pending.clear();
            return;
        }
        connection.pending.remove(0, start);
        if (connection.pending.size() < kCommandPacketSize) {
            return;
        }
        std::array<std::uint8_t, kCommandPacketSize> copy{};
        std::memcpy(copy.data(), connection.pending.constData(), copy.size());
        if (copy.back() != kPacketEnd) {
            connection.pending.remove(0, 1);
            continue;
        }
        connection.pending.remove(0, kCommandPacketSize);
        Answer(connection, copy.data());
    }
}

void HeadServer::Answer(Connection& connection, const std::uint8_t* packet) {
    ++m_packets;
    const std::span<const std::uint8_t, kCommandPacketSize> bytes(packet, kCommandPacketSize);
    const sim::PingGeometry geometry =
        sim::GeometryFromPacket(bytes, m_options.soundVelocity, m_options.transducerUp);
    const int block = packet[kPacketBlockByte];
    // Every request sequence that starts at block 0 is a new transmission.
    if (block == 0 || m_pingNumber < 0) {
        ++m_pingNumber;
        ++m_pingsStarted;
        sim::SynthesisePing(m_options.scene, geometry, static_cast<std::uint64_t>(m_pingNumber), *m_ping);
    }
    const bool silent = std::any_of(m_options.silences.begin(), m_options.silences.end(),
                                    [&](const BlockFault& f) { return f.Matches(block, m_pingNumber); });
    if (silent) {
        if (m_options.verbose) {
            std::fprintf(stderr, "headsim: ping %lld block %d left unanswered\n", m_pingNumber, block);
        }
        return;
    }
    const bool cutOff = std::any_of(m_options.cutOffs.begin(), m_options.cutOffs.end(),
                                    [&](const BlockFault& f) { return f.Matches(block, m_pingNumber); });
    const bool wrong = std::any_of(m_options.wrongEchoes.begin(), m_options.wrongEchoes.end(),
                                   [&](const BlockFault& f) { return f.Matches(block, m_pingNumber); });
    ReplyBlock reply{};
    sim::BuildReply(*m_ping, block, static_cast<std::uint8_t>(wrong ? block + 1 : block), m_options.header,
                    reply);
    if (cutOff) {
        if (m_options.verbose) {
            std::fprintf(stderr, "headsim: ping %lld block %d cut off\n", m_pingNumber, block);
        }
        connection.closing = true;
        connection.socket->write(reinterpret_cast<const char*>(reply.data()), kReplyBlockSize / 2);
        connection.socket->flush();
        connection.socket->disconnectFromHost();
        return;
    }
    Write(connection.socket, reply, m_options.replyDelayMs);

    if (block == BlocksPerPingFor(geometry.samples) - 1) {
        ++m_pingsFinished;
        ++connection.pingsFinished;
        if (m_options.dropAfterPings > 0 && connection.pingsFinished >= m_options.dropAfterPings) {
            connection.closing = true;
            QTimer::singleShot(m_options.replyDelayMs + m_options.splitWrites * kSplitGapMs + 1,
                               connection.socket, [this, socket = connection.socket] { Drop(socket); });
        }
    }
}

void HeadServer::Write(QTcpSocket* socket, const ReplyBlock& reply, int delayMs) {
    const int pieces = std::clamp(m_options.splitWrites, 1, kReplyBlockSize);
    const int size = kReplyBlockSize / pieces;
    for (int p = 0; p < pieces; ++p) {
        const int from = p * size;
        const int length = p == pieces - 1 ? kReplyBlockSize - from : size;
        QByteArray piece(reinterpret_cast<const char*>(reply.data()) + from, length);
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
