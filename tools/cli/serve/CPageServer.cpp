#include "CPageServer.h"

#include <QCryptographicHash>
#include <QFile>
#include <QHttpServerResponse>
#include <QTcpSocket>

#include <stdexcept>

namespace vexar::cli {

namespace {

QByteArray Resource(const char* path) {
    QFile file(QString::fromLatin1(path));
    if (!file.open(QIODevice::ReadOnly)) {
        throw std::runtime_error(std::string("the program lacks its page file ") + path);
    }
    return file.readAll();
}

// Puts `content` between `open` and `close` in place of `placeholder`.
void Inline(QByteArray& page, const QByteArray& placeholder, const QByteArray& open,
            const QByteArray& content, const QByteArray& close) {
    const qsizetype at = page.indexOf(placeholder);
    if (at < 0) {
        throw std::runtime_error("the page has no place for " + placeholder.toStdString());
    }
    page.replace(at, placeholder.size(), open + content + close);
}

QByteArray Sha256(const QByteArray& content) {
    return "'sha256-" + QCryptographicHash::hash(content, QCryptographicHash::Sha256).toBase64() + "'";
}

// The HTTP server warns when it is bound to, and takes connections from, a server that does not
// listen; the hand-off server never does, on purpose: it is no way in besides the gate.
QtMessageHandler g_previousHandler = nullptr;
void QuietAboutHandOff(QtMsgType type, const QMessageLogContext& context, const QString& message) {
    if (type == QtWarningMsg && (message.contains(QStringLiteral("is not listening")) ||
                                 message.contains(QStringLiteral("called while not listening")))) {
        return;
    }
    if (g_previousHandler != nullptr) {
        g_previousHandler(type, context, message);
    }
}

} // namespace

void CPageServer::CHandOff::Pass(QTcpSocket* socket) {
    addPendingConnection(socket);
    emit newConnection();
}

CPageServer::CPageServer() : m_handOff(new CHandOff) {
    ComposePage();
    const auto page = [this] {
        QHttpServerResponse response(QByteArrayLiteral("text/html; charset=utf-8"), m_page);
        response.setHeader(QByteArrayLiteral("Content-Security-Policy"), m_policy);
        return response;
    };
    m_http.route(QStringLiteral("/"), page);
    m_http.route(QStringLiteral("/index.html"), page);
    m_http.route(QStringLiteral("/favicon.ico"),
                 [] { return QHttpServerResponse(QHttpServerResponse::StatusCode::NoContent); });
    m_http.afterRequest([](QHttpServerResponse&& response) {
        // The token travels in the page's address: it must not leave in a referrer, nor the page
        // stay in a cache.
        response.setHeader(QByteArrayLiteral("Cache-Control"), QByteArrayLiteral("no-store"));
        response.setHeader(QByteArrayLiteral("Referrer-Policy"), QByteArrayLiteral("no-referrer"));
        response.setHeader(QByteArrayLiteral("X-Content-Type-Options"), QByteArrayLiteral("nosniff"));
        return std::move(response);
    });
    g_previousHandler = qInstallMessageHandler(QuietAboutHandOff);
    m_http.bind(m_handOff);
}

CPageServer::~CPageServer() {
    qInstallMessageHandler(g_previousHandler);
}

void CPageServer::ComposePage() {
    m_page = Resource(":/web/index.html");
    const QByteArray style = Resource(":/web/observer.css");
    Inline(m_page, QByteArrayLiteral("<link rel=\"stylesheet\" href=\"observer.css\">"), "<style>", style,
           "</style>");
    // Every script the page names, in its order.
    QByteArray scriptHashes;
    const QByteArray open = QByteArrayLiteral("<script src=\"");
    for (qsizetype at = m_page.indexOf(open); at >= 0; at = m_page.indexOf(open, at)) {
        const qsizetype nameEnd = m_page.indexOf('"', at + open.size());
        const QByteArray name = m_page.mid(at + open.size(), nameEnd - at - open.size());
        const QByteArray script = Resource((":/web/" + name).constData());
        Inline(m_page, open + name + "\"></script>", "<script>", script, "</script>");
        scriptHashes += " " + Sha256(script);
        at += script.size();
    }
    // Only the page's own scripts and style run; it talks to its own server alone.
    m_policy = "default-src 'none'; script-src" + scriptHashes + "; style-src " + Sha256(style) +
               "; connect-src 'self' ws: wss:; img-src 'self' data:; base-uri 'none'; form-action 'none'; "
               "frame-ancestors 'none'";
}

void CPageServer::Take(QTcpSocket* socket) {
    m_handOff->Pass(socket);
    // Bytes of the request arrived before the HTTP server was listening to this socket.
    QMetaObject::invokeMethod(socket, &QIODevice::readyRead, Qt::QueuedConnection);
}

} // namespace vexar::cli
