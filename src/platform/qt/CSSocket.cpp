#include "platform/qt/CSSocket.h"

#include <QHostAddress>
#include <QTcpSocket>

#include <poll.h>

#include <algorithm>
#include <ctime>

namespace vexar {

CSSocket::CSSocket() = default;

CSSocket::~CSSocket() {
    Close();
}

bool CSSocket::StartConnect(const std::string& host, std::uint16_t port) {
    Close();
    m_socket = std::make_unique<QTcpSocket>();
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    m_socket->connectToHost(QString::fromStdString(host), port);
    return m_socket->state() != QAbstractSocket::UnconnectedState;
}

ITcpLink::ConnectState CSSocket::WaitConnected(int timeoutMs) {
    if (m_socket == nullptr) {
        return ConnectState::Failed;
    }
    if (m_socket->state() == QAbstractSocket::ConnectedState || m_socket->waitForConnected(timeoutMs)) {
        m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
        return ConnectState::Connected;
    }
    const QAbstractSocket::SocketState state = m_socket->state();
    return state == QAbstractSocket::HostLookupState || state == QAbstractSocket::ConnectingState
               ? ConnectState::Pending
               : ConnectState::Failed;
}

bool CSSocket::IsConnected() const {
    return m_socket != nullptr && m_socket->state() == QAbstractSocket::ConnectedState;
}

int CSSocket::Send(std::span<const std::uint8_t> bytes) {
    if (!IsConnected()) {
        return -1;
    }
    const qint64 sent =
        m_socket->write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    // Without an event loop the bytes leave only when written out here.
    while (m_socket->bytesToWrite() > 0) {
        if (!m_socket->waitForBytesWritten(1000)) {
            return -1;
        }
    }
    return static_cast<int>(sent);
}

bool CSSocket::WaitReadable(int timeoutMs) {
    if (m_socket == nullptr) {
        return false;
    }
    if (m_socket->bytesAvailable() > 0) {
        return true;
    }
    if (m_socket->state() != QAbstractSocket::ConnectedState) {
        return false;
    }
    return m_socket->waitForReadyRead(timeoutMs);
}

// The socket's own wait counts whole milliseconds. A shorter one waits on its descriptor, and
// the socket reads what came in without waiting.
bool CSSocket::WaitReadableUs(int timeoutUs) {
    if (timeoutUs >= 1000 || m_socket == nullptr || m_socket->bytesAvailable() > 0 ||
        m_socket->state() != QAbstractSocket::ConnectedState) {
        return ITcpLink::WaitReadableUs(timeoutUs);
    }
    pollfd descriptor{};
    descriptor.fd = static_cast<int>(m_socket->socketDescriptor());
    descriptor.events = POLLIN;
    const timespec wait{0, static_cast<long>(std::max(timeoutUs, 0)) * 1000L};
    if (descriptor.fd < 0 || ppoll(&descriptor, 1, &wait, nullptr) <= 0) {
        return false;
    }
    return m_socket->waitForReadyRead(0);
}

int CSSocket::Receive(std::span<std::uint8_t> buffer) {
    if (m_socket == nullptr) {
        return -1;
    }
    const qint64 got =
        m_socket->read(reinterpret_cast<char*>(buffer.data()), static_cast<qint64>(buffer.size()));
    return static_cast<int>(got);
}

void CSSocket::Close() {
    if (m_socket == nullptr) {
        return;
    }
    m_socket->close();
    m_socket.reset();
}

} // namespace vexar
