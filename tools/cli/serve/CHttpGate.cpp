#include "CHttpGate.h"

#include "CObserverHub.h"
#include "CPageServer.h"

#include <QTcpSocket>

#include <stdexcept>

namespace vexar::cli {

namespace {

// A refused client gets this long to read its answer before the connection is cut.
constexpr int kAnswerGraceMs = 2000;

const char* Reason(int status) {
    switch (status) {
    case 400:
        return "Bad Request";
    case 403:
        return "Forbidden";
    case 405:
        return "Method Not Allowed";
    case 408:
        return "Request Timeout";
    case 426:
        return "Upgrade Required";
    case 431:
        return "Request Header Fields Too Large";
    case 503:
        return "Service Unavailable";
    default:
        return "Error";
    }
}

const char* Explanation(int status) {
    switch (status) {
    case 403:
        return "This page needs the token printed by vexar-cli serve in its address (?token=...).\n";
    case 503:
        return "The most observers the server admits are connected; try again later.\n";
    case 426:
        return "This address carries the picture's WebSocket only.\n";
    default:
        return "";
    }
}

QByteArray Answer(int status) {
    const QByteArray body = QByteArray(Reason(status)) + "\n" + Explanation(status);
    return "HTTP/1.1 " + QByteArray::number(status) + " " + Reason(status) +
           "\r\nContent-Type: text/plain; charset=utf-8\r\nContent-Length: " +
           QByteArray::number(body.size()) + "\r\nConnection: close\r\nCache-Control: no-store\r\n\r\n" +
           body;
}

} // namespace

CHttpGate::CHttpGate(GateOptions options, CObserverHub& hub, CPageServer& pages, QObject* parent)
    : QObject(parent), m_options(std::move(options)), m_hub(hub), m_pages(pages) {
    connect(&m_server, &QTcpServer::newConnection, this, [this] { Accept(); });
}

CHttpGate::~CHttpGate() {
    for (const auto& [socket, c] : m_connections) {
        if (c->socket) {
            disconnect(c->socket, nullptr, this, nullptr);
        }
    }
}

void CHttpGate::Listen() {
    if (!m_server.listen(m_options.address, m_options.port)) {
        throw std::runtime_error("cannot serve on " + m_options.address.toString().toStdString() + ":" +
                                 std::to_string(m_options.port) + ": " +
                                 m_server.errorString().toStdString());
    }
}

void CHttpGate::Accept() {
    while (m_server.hasPendingConnections()) {
        QTcpSocket* socket = m_server.nextPendingConnection();
        ++m_counts.connections;
        if (static_cast<int>(m_connections.size()) >= m_options.maxConnections) {
            ++m_counts.busy;
            socket->abort();
            socket->deleteLater();
            continue;
        }
        // Never more than a request head's worth of a client's bytes in memory.
        socket->setReadBufferSize(static_cast<qint64>(m_options.limits.maxHeadBytes));
        auto c = std::make_shared<Connection>();
        c->socket = socket;
        c->timer.setSingleShot(true);
        connect(&c->timer, &QTimer::timeout, this, [this, socket] { TimedOut(socket); });
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] { Check(socket); });
        connect(socket, &QTcpSocket::bytesWritten, this, [this, socket] { Answered(socket); });
        connect(socket, &QTcpSocket::disconnected, this, [this, socket] { Forget(socket); });
        connect(socket, &QObject::destroyed, this, [this, socket] { Forget(socket); });
        c->timer.start(m_options.headTimeoutMs);
        m_connections.emplace(socket, std::move(c));
        if (socket->bytesAvailable() > 0) {
            Check(socket);
        }
    }
}

CHttpGate::Connection* CHttpGate::Find(QTcpSocket* socket) {
    const auto it = m_connections.find(socket);
    return it == m_connections.end() || it->second->socket.isNull() ? nullptr : it->second.get();
}

void CHttpGate::Check(QTcpSocket* socket) {
    Connection* c = Find(socket);
    if (c == nullptr) {
        return;
    }
    if (c->answered) {
        // Whatever else a refused client sends is dropped unread, by the page server too.
        socket->readAll();
        return;
    }
    if (c->withPages) {
        c->timer.start(m_options.idleMs);
    }
    const QByteArray bytes = socket->peek(static_cast<qint64>(m_options.limits.maxHeadBytes));
    HttpRequestHead head;
    const auto status = ReadRequestHead(
        std::span<const std::uint8_t>(reinterpret_cast<const std::uint8_t*>(bytes.constData()),
                                      static_cast<std::size_t>(bytes.size())),
        m_options.limits, head);
    switch (status) {
    case HttpHeadStatus::Incomplete:
        return;
    case HttpHeadStatus::TooLarge:
    case HttpHeadStatus::TooManyHeaders:
        Refuse(*c, 431, m_counts.tooLarge);
        return;
    case HttpHeadStatus::Malformed:
        Refuse(*c, 400, m_counts.malformed);
        return;
    case HttpHeadStatus::Complete:
        Route(*c, head);
        return;
    }
}

void CHttpGate::Route(Connection& c, const HttpRequestHead& head) {
    if (!Admitted(c, head)) {
        return;
    }
    if (head.path == "/ws") {
        PassToHub(c, head);
        return;
    }
    // The page server keeps every connection open; one whose client asked otherwise is closed
    // here once its answer has left.
    c.lastRequest = head.FieldHasToken("connection", "close") ||
                    (head.minorVersion == 0 && !head.FieldHasToken("connection", "keep-alive"));
    if (!c.withPages) {
        c.withPages = true;
        c.timer.start(m_options.idleMs);
        m_pages.Take(c.socket);
    }
}

void CHttpGate::Answered(QTcpSocket* socket) {
    Connection* c = Find(socket);
    if (c == nullptr || !c->withPages) {
        return;
    }
    c->timer.start(m_options.idleMs);
    if (c->lastRequest && !c->answered && socket->bytesToWrite() == 0) {
        c->answered = true;
        socket->disconnectFromHost();
    }
}

bool CHttpGate::Admitted(Connection& c, const HttpRequestHead& head) {
    if (head.method != "GET" && head.method != "HEAD") {
        Refuse(c, 405, m_counts.other);
        return false;
    }
    if (head.HasBody()) {
        Refuse(c, 400, m_counts.malformed);
        return false;
    }
    // The browser's icon request carries no token and gets nothing.
    const bool open = head.path == "/favicon.ico";
    if (!open && !m_options.token.empty() &&
        !SecretsEqual(QueryValue(head.query, "token"), m_options.token)) {
        Refuse(c, 403, m_counts.refused);
        return false;
    }
    if (m_options.token.empty() && !IsLoopbackHost(head.Field("host"))) {
        Refuse(c, 403, m_counts.refused);
        return false;
    }
    return true;
}

void CHttpGate::PassToHub(Connection& c, const HttpRequestHead& head) {
    if (c.withPages || !head.FieldHasToken("upgrade", "websocket") ||
        !head.FieldHasToken("connection", "upgrade")) {
        Refuse(c, 426, m_counts.other);
        return;
    }
    // A page from elsewhere must not read the picture through a browser on board.
    const std::string_view origin = head.Field("origin");
    if (!origin.empty() && OriginAuthority(origin) != HostAuthority(head.Field("host"))) {
        Refuse(c, 403, m_counts.refused);
        return;
    }
    if (!m_hub.HasRoom()) {
        Refuse(c, 503, m_counts.full);
        return;
    }
    QTcpSocket* socket = c.socket;
    disconnect(socket, nullptr, this, nullptr);
    Forget(socket, false);
    m_hub.Adopt(socket);
}

void CHttpGate::Refuse(Connection& c, int status, std::uint64_t& count) {
    ++count;
    c.answered = true;
    if (c.withPages) {
        // The page server would read this request after us: it is dropped, and the connection
        // closes once the answers to the requests before it have left.
        c.socket->readAll();
    } else {
        c.socket->write(Answer(status));
    }
    c.socket->disconnectFromHost();
    c.timer.start(kAnswerGraceMs);
}

void CHttpGate::TimedOut(QTcpSocket* socket) {
    Connection* c = Find(socket);
    if (c == nullptr) {
        return;
    }
    if (c->answered || c->withPages) {
        if (!c->answered) {
            ++m_counts.timedOut;
        }
        socket->abort();
        return;
    }
    Refuse(*c, 408, m_counts.timedOut);
}

void CHttpGate::Forget(QTcpSocket* socket, bool deleteSocket) {
    const auto it = m_connections.find(socket);
    if (it == m_connections.end()) {
        return;
    }
    // Callers may still hold the entry (a refusal that cut the connection): it goes later.
    std::shared_ptr<Connection> c = std::move(it->second);
    m_connections.erase(it);
    if (deleteSocket && c->socket && !c->withPages && c->socket->parent() == &m_server) {
        c->socket->deleteLater();
    }
    c->timer.stop();
    QTimer::singleShot(0, this, [c] {});
}

} // namespace vexar::cli
