#pragma once
// CPageServer: the observers' page, served by Qt HttpServer. The page and everything it needs
// (its script and style) are built into the program and composed into one document, so that a
// browser on a vessel without internet loads it in one request. Connections reach the HTTP
// server only through the gate (CHttpGate), which has checked their request first.

#include <QByteArray>
#include <QHttpServer>
#include <QTcpServer>

class QTcpSocket;

namespace vexar::cli {

class CPageServer {
public:
    CPageServer();
    ~CPageServer();
    CPageServer(const CPageServer&) = delete;
    CPageServer& operator=(const CPageServer&) = delete;

    /// Hands over a connection whose first request the gate has let through; the HTTP server
    /// answers it and any further request on it, and owns the socket from here.
    void Take(QTcpSocket* socket);
    /// Bytes of the composed page.
    qsizetype PageBytes() const { return m_page.size(); }

private:
    /// Passes connections to the HTTP server without listening anywhere itself.
    class CHandOff : public QTcpServer {
    public:
        void Pass(QTcpSocket* socket);
    };

    void ComposePage();

    QByteArray m_page;
    QByteArray m_policy; ///< the page's content security policy
    QHttpServer m_http;
    CHandOff* m_handOff; ///< owned by m_http
};

} // namespace vexar::cli
