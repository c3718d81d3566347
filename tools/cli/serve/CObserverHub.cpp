#include "CObserverHub.h"

#include <QTcpSocket>
#include <QWebSocket>

#include <algorithm>

namespace vexar::cli {

namespace {
// Observers send nothing; a browser's control frames are far below this.
constexpr quint64 kLargestIncoming = 1024;
constexpr int kPatrolMs = 1000;
// A misbehaving observer's close frame gets this long to leave before the socket goes.
constexpr int kCloseGraceMs = 1000;
} // namespace

CObserverHub::CObserverHub(HubLimits limits, QObject* parent)
    : QObject(parent), m_limits(limits),
      m_upgrader(QStringLiteral("vexar-cli serve"), QWebSocketServer::NonSecureMode) {
    connect(&m_upgrader, &QWebSocketServer::newConnection, this, [this] { TakeUpgraded(); });
    connect(&m_patrol, &QTimer::timeout, this, [this] { Patrol(); });
    m_patrol.start(kPatrolMs);
    m_sincePing.start();
}

CObserverHub::~CObserverHub() {
    // A WebSocket uses its connection while it closes: it goes first.
    for (Observer& o : m_observers) {
        disconnect(o.socket, nullptr, this, nullptr);
        delete o.socket;
    }
}

int CObserverHub::Count() {
    // A failed upgrade is on its way out (its socket is dropped when it disconnects), or gone.
    std::erase_if(m_upgrading, [](const QPointer<QTcpSocket>& s) { return s.isNull(); });
    const auto upgrading =
        std::count_if(m_upgrading.begin(), m_upgrading.end(), [](const QPointer<QTcpSocket>& s) {
            return s->state() == QAbstractSocket::ConnectedState;
        });
    const auto open =
        std::count_if(m_observers.begin(), m_observers.end(), [](const Observer& o) { return !o.closing; });
    return static_cast<int>(upgrading + open);
}

void CObserverHub::Adopt(QTcpSocket* socket) {
    socket->setParent(this);
    // A small send buffer keeps a slow observer's backlog at a frame or two, so that what it is
    // sent is never far behind.
    socket->setSocketOption(QAbstractSocket::SendBufferSizeSocketOption, m_limits.sendBufferBytes);
    const QPointer<QTcpSocket> guard(socket);
    m_upgrading.push_back(guard);
    // Until the upgrade is done the socket is the hub's to drop.
    const auto drop = [this, guard] {
        const auto it = std::find(m_upgrading.begin(), m_upgrading.end(), guard);
        if (guard && it != m_upgrading.end()) {
            m_upgrading.erase(it);
            guard->abort();
            guard->deleteLater();
        }
    };
    connect(socket, &QTcpSocket::disconnected, this, drop);
    QTimer::singleShot(m_limits.handshakeMs, this, drop);
    m_upgrader.handleConnection(socket);
}

void CObserverHub::TakeUpgraded() {
    while (m_upgrader.hasPendingConnections()) {
        QWebSocket* socket = m_upgrader.nextPendingConnection();
        if (socket == nullptr) {
            break;
        }
        socket->setParent(this);
        socket->setMaxAllowedIncomingFrameSize(kLargestIncoming);
        socket->setMaxAllowedIncomingMessageSize(kLargestIncoming);
        Observer& o = m_observers.emplace_back();
        o.socket = socket;
        o.transport = TakeTransport(*socket);
        o.heard.start();
        WatchObserver(o);
        ++m_counts.accepted;
        if (!m_greeting.isEmpty()) {
            socket->sendBinaryMessage(m_greeting);
        }
    }
}

QTcpSocket* CObserverHub::TakeTransport(const QWebSocket& socket) {
    for (auto it = m_upgrading.begin(); it != m_upgrading.end(); ++it) {
        if (*it && (*it)->peerPort() == socket.peerPort() && (*it)->peerAddress() == socket.peerAddress()) {
            QTcpSocket* transport = *it;
            m_upgrading.erase(it);
            return transport;
        }
    }
    return nullptr;
}

void CObserverHub::WatchObserver(Observer& o) {
    Observer* const observer = &o;
    const auto spoke = [this, observer] { Close(*observer, m_counts.closedSpoke, true); };
    connect(o.socket, &QWebSocket::textMessageReceived, this, spoke);
    connect(o.socket, &QWebSocket::binaryMessageReceived, this, spoke);
    connect(o.socket, &QWebSocket::pong, this, [observer] { observer->heard.restart(); });
    connect(o.socket, &QWebSocket::bytesWritten, this, [this, observer] {
        observer->heard.restart();
        SendWaiting(*observer);
    });
    connect(o.socket, &QWebSocket::disconnected, this, [this, observer] {
        if (!observer->closing) {
            observer->closing = true;
            observer->closed.start();
        }
        QTimer::singleShot(0, this, [this] { Prune(); });
    });
}

void CObserverHub::Broadcast(const QByteArray& frame) {
    for (Observer& o : m_observers) {
        if (o.closing) {
            continue;
        }
        if (o.socket->bytesToWrite() > 0) {
            if (o.hasWaiting) {
                ++m_counts.framesSkipped;
            }
            o.waiting = frame; // shared, not copied
            o.hasWaiting = true;
        } else {
            Send(o, frame);
        }
    }
}

void CObserverHub::Send(Observer& o, const QByteArray& frame) {
    o.socket->sendBinaryMessage(frame);
    ++m_counts.framesSent;
}

void CObserverHub::SendWaiting(Observer& o) {
    if (o.closing || !o.hasWaiting || o.socket->bytesToWrite() > 0) {
        return;
    }
    const QByteArray frame = std::move(o.waiting);
    o.waiting = QByteArray();
    o.hasWaiting = false;
    Send(o, frame);
}

void CObserverHub::Close(Observer& o, std::uint64_t& reason, bool gracefully) {
    if (o.closing) {
        return;
    }
    ++reason;
    o.closing = true;
    o.closed.start();
    o.waiting = QByteArray();
    o.hasWaiting = false;
    if (gracefully) {
        o.socket->close(QWebSocketProtocol::CloseCodePolicyViolated,
                        QStringLiteral("observers send nothing"));
        QTimer::singleShot(kCloseGraceMs, this, [this] { Prune(); });
    } else {
        o.socket->abort();
        QTimer::singleShot(0, this, [this] { Prune(); });
    }
}

void CObserverHub::Patrol() {
    const bool ping = m_sincePing.elapsed() >= m_limits.pingIntervalMs;
    if (ping) {
        m_sincePing.restart();
    }
    for (Observer& o : m_observers) {
        if (o.closing) {
            continue;
        }
        if (o.heard.elapsed() > m_limits.silenceMs) {
            Close(o, m_counts.closedSilent, false);
        } else if (ping) {
            o.socket->ping();
        }
    }
    Prune();
}

void CObserverHub::Prune() {
    for (auto it = m_observers.begin(); it != m_observers.end();) {
        const bool gone = it->socket->state() == QAbstractSocket::UnconnectedState;
        if (it->closing && (gone || it->closed.elapsed() >= kCloseGraceMs)) {
            disconnect(it->socket, nullptr, this, nullptr);
            it->socket->abort();
            // Deleted in this order: the WebSocket still uses its connection as it goes.
            it->socket->deleteLater();
            if (it->transport) {
                it->transport->deleteLater();
            }
            it = m_observers.erase(it);
        } else {
            ++it;
        }
    }
}

} // namespace vexar::cli
