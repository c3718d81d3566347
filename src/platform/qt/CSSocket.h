#pragma once
// CSSocket: the TCP link to the sonar head on a QTcpSocket.

#include "platform/Ports.h"

#include <QObject>

#include <cstdint>
#include <functional>

class QTcpSocket;

namespace vexar {

class CTamsorDoc;

/// The link port on a QTcpSocket. Connect is asynchronous; its completion and a close by the
/// peer reach the handlers from the event loop of the thread that owns this object, never from
/// inside a send, wait or receive, so a ping exchange is never interrupted by them. Notifications
/// of a socket that has since been closed locally are dropped. Error codes are 0 for success and
/// the QAbstractSocket::SocketError value + 1 otherwise.
class CSSocket : public QObject, public ITcpLink {
public:
    using Notify = std::function<void(int errorCode)>;

    explicit CSSocket(QObject* parent = nullptr);
    ~CSSocket() override;
    CSSocket(const CSSocket&) = delete;
    CSSocket& operator=(const CSSocket&) = delete;

    /// Sends connect completion and peer close to the document's OnConnect and OnClose.
    void Attach(CTamsorDoc& document);
    void SetHandlers(Notify onConnect, Notify onClose);

    bool Create() override;
    bool IsOpen() const override { return m_socket != nullptr; }
    bool Connect(const std::string& host, std::uint16_t port) override;
    int Send(std::span<const std::uint8_t> bytes) override;
    bool WaitReadable(int timeoutMs) override;
    int Receive(std::span<std::uint8_t> buffer) override;
    void Close() override;

private:
    void Post(const Notify& handler, int errorCode);

    QTcpSocket* m_socket = nullptr;
    std::uint64_t m_generation = 0; ///< changes whenever the socket is replaced or closed
    bool m_established = false;     ///< connect completed on the current socket
    bool m_connectReported = false; ///< its outcome was reported
    Notify m_onConnect;
    Notify m_onClose;
};

} // namespace vexar
