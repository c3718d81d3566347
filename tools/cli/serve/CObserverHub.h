#pragma once
// CObserverHub: the observers' WebSocket connections and the frames they are sent. Each observer
// gets the newest frame only: while its last frame is still leaving, a newer one waits in its
// place and replaces any that waited before it. A slow observer therefore skips frames, never
// delays the others, and never holds more than one frame in the server's memory.
//
// The connection is one way: an observer that sends a message is closed, as is one that stops
// answering the server's pings (it does not read) or whose writes stop moving.

#include <QByteArray>
#include <QElapsedTimer>
#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWebSocketServer>

#include <cstdint>
#include <list>
#include <vector>

class QTcpSocket;
class QWebSocket;

namespace vexar::cli {

struct HubLimits {
    int maxObservers = 16;
    int pingIntervalMs = 5000;    ///< the server pings every observer this often
    int silenceMs = 20000;        ///< an observer heard from neither pong nor progress is closed
    int handshakeMs = 5000;       ///< an upgrade not completed in time is dropped
    int sendBufferBytes = 262144; ///< of each observer's socket: at most a frame or two in flight
};

/// What the observers have been sent and why connections ended.
struct HubCounts {
    std::uint64_t accepted = 0;
    std::uint64_t framesSent = 0;
    std::uint64_t framesSkipped = 0; ///< replaced by a newer frame before they could leave
    std::uint64_t closedSilent = 0;  ///< did not answer pings or did not read
    std::uint64_t closedSpoke = 0;   ///< sent a message, or a frame the protocol refuses
};

class CObserverHub : public QObject {
public:
    explicit CObserverHub(HubLimits limits, QObject* parent = nullptr);
    ~CObserverHub() override;

    /// Observers connected and upgrades under way.
    int Count();
    bool HasRoom() { return Count() < m_limits.maxObservers; }
    int MaxObservers() const { return m_limits.maxObservers; }
    /// Takes a connection whose request (already received, not yet read) asks for the socket;
    /// its WebSocket handshake is answered from those bytes. The hub owns the socket from here.
    void Adopt(QTcpSocket* socket);
    /// The message every observer is sent first, before any frame.
    void SetGreeting(const QByteArray& greeting) { m_greeting = greeting; }
    /// Offers the frame to every observer: sent at once where the last one has left.
    void Broadcast(const QByteArray& frame);
    const HubCounts& Counts() const { return m_counts; }

private:
    struct Observer {
        QWebSocket* socket = nullptr;   ///< a child of the hub
        QPointer<QTcpSocket> transport; ///< its connection, which the WebSocket does not own
        QByteArray waiting;
        bool hasWaiting = false;
        QElapsedTimer heard;  ///< since the last pong or write progress
        QElapsedTimer closed; ///< since closing began
        bool closing = false;
    };

    void TakeUpgraded();
    /// The connection an upgraded WebSocket runs on, no longer counted as upgrading.
    QTcpSocket* TakeTransport(const QWebSocket& socket);
    void Send(Observer& observer, const QByteArray& frame);
    void SendWaiting(Observer& observer);
    void Close(Observer& observer, std::uint64_t& reason, bool gracefully);
    void Patrol();
    void Prune();
    void WatchObserver(Observer& observer);

    HubLimits m_limits;
    QByteArray m_greeting;
    QWebSocketServer m_upgrader;
    std::vector<QPointer<QTcpSocket>> m_upgrading;
    std::list<Observer> m_observers;
    QTimer m_patrol;
    QElapsedTimer m_sincePing;
    HubCounts m_counts;
};

} // namespace vexar::cli
