#pragma once
// CHttpGate: the observers' server's only listening socket. Every connection is held here until
// its request head has arrived and passed the checks Qt HttpServer 6.4 cannot make itself: size
// and number of header lines, a request line and fields as browsers send them, no body, the
// token when one is set, the number of connections and of observers. A request that passes goes
// on to the page server or, for the socket, to the observers' hub; one that fails is answered
// with its status and closed, and only that connection is affected. Connections that stay
// silent are closed; so are kept-alive page connections whose next request fails the checks.

#include "output/HttpRequestHead.h"

#include <QHostAddress>
#include <QObject>
#include <QPointer>
#include <QTcpServer>
#include <QTimer>

#include <cstdint>
#include <map>
#include <memory>
#include <string>

class QTcpSocket;

namespace vexar::cli {

class CObserverHub;
class CPageServer;

struct GateOptions {
    QHostAddress address = QHostAddress::LocalHost;
    quint16 port = 8080;
    std::string token; ///< empty: none asked for
    HttpHeadLimits limits;
    int headTimeoutMs = 10000; ///< for a whole request head to arrive
    int idleMs = 15000;        ///< a page connection with nothing going on
    int maxConnections = 64;   ///< page connections and requests being read, observers aside
};

/// Why requests were refused, by kind.
struct GateCounts {
    std::uint64_t connections = 0;
    std::uint64_t busy = 0;      ///< over the connection limit, closed at once
    std::uint64_t malformed = 0; ///< 400
    std::uint64_t tooLarge = 0;  ///< 431
    std::uint64_t refused = 0;   ///< 403: no token, a wrong one, or a foreign origin
    std::uint64_t full = 0;      ///< 503: no room for another observer
    std::uint64_t timedOut = 0;  ///< 408, or idle
    std::uint64_t other = 0;     ///< 405, 426
};

class CHttpGate : public QObject {
public:
    CHttpGate(GateOptions options, CObserverHub& hub, CPageServer& pages, QObject* parent = nullptr);
    ~CHttpGate() override;

    /// Starts listening; throws std::runtime_error when the address cannot be bound.
    void Listen();
    quint16 Port() const { return m_server.serverPort(); }
    const GateCounts& Counts() const { return m_counts; }

private:
    struct Connection {
        QPointer<QTcpSocket> socket;
        QTimer timer;
        bool withPages = false;   ///< handed to the page server
        bool answered = false;    ///< refused; closing
        bool lastRequest = false; ///< the client asked to close once answered
    };

    void Accept();
    Connection* Find(QTcpSocket* socket);
    void Check(QTcpSocket* socket);
    void Route(Connection& c, const HttpRequestHead& head);
    bool Admitted(Connection& c, const HttpRequestHead& head);
    void PassToHub(Connection& c, const HttpRequestHead& head);
    void Refuse(Connection& c, int status, std::uint64_t& count);
    /// Bytes of an answer left: the page connection is busy, or done when its client asked so.
    void Answered(QTcpSocket* socket);
    void TimedOut(QTcpSocket* socket);
    /// Drops the gate's hold on a connection; the socket is deleted unless another owner has it.
    void Forget(QTcpSocket* socket, bool deleteSocket = true);

    GateOptions m_options;
    CObserverHub& m_hub;
    CPageServer& m_pages;
    QTcpServer m_server;
    std::map<QTcpSocket*, std::shared_ptr<Connection>> m_connections;
    GateCounts m_counts;
};

} // namespace vexar::cli
