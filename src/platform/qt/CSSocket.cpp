#include "platform/qt/CSSocket.h"

#include "acquisition/CTamsorDoc.h"

#include <QHostAddress>
#include <QTcpSocket>

namespace vexar {

namespace {
int ErrorCode(QAbstractSocket::SocketError error) {
    return static_cast<int>(error) + 1;
}
} // namespace

CSSocket::CSSocket(QObject* parent) : QObject(parent) {}

CSSocket::~CSSocket() {
    Close();
}

void CSSocket::Attach(CTamsorDoc& document) {
    SetHandlers([&document](int error) { document.OnConnect(error); },
                [&document](int error) { document.OnClose(error); });
}

void CSSocket::SetHandlers(Notify onConnect, Notify onClose) {
    m_onConnect = std::move(onConnect);
    m_onClose = std::move(onClose);
}

void CSSocket::Post(const Notify& handler, int errorCode) {
    const std::uint64_t generation = m_generation;
    // Queued, so that a notification raised inside a blocking wait is handled after the ping.
    QMetaObject::invokeMethod(
        this,
        [this, generation, &handler, errorCode] {
            if (generation == m_generation && handler) {
                handler(errorCode);
            }
        },
        Qt::QueuedConnection);
}

bool CSSocket::Create() {
    Close();
    m_socket = new QTcpSocket(this);
    m_socket->setSocketOption(QAbstractSocket::LowDelayOption, 1);
    ++m_generation;
    m_established = false;
    m_connectReported = false;
    QTcpSocket* socket = m_socket;
    connect(socket, &QTcpSocket::connected, this, [this, socket] {
        if (socket != m_socket) {
            return;
        }
        m_established = true;
        m_connectReported = true;
        Post(m_onConnect, 0);
    });
    connect(socket, &QTcpSocket::errorOccurred, this, [this, socket](QAbstractSocket::SocketError error) {
        if (socket != m_socket || m_established || m_connectReported) {
            return; // after the connect, a lost link is reported once, by disconnected()
        }
        m_connectReported = true;
        Post(m_onConnect, ErrorCode(error));
    });
    connect(socket, &QTcpSocket::disconnected, this, [this, socket] {
        if (socket != m_socket || !m_established) {
            return;
        }
        m_established = false;
        Post(m_onClose, 0);
    });
    return true;
}

bool CSSocket::Connect(const std::string& host, std::uint16_t port) {
    if (m_socket == nullptr) {
        return false;
    }
    m_socket->connectToHost(QString::fromStdString(host), port);
    return m_socket->state() != QAbstractSocket::UnconnectedState || m_connectReported;
}

int CSSocket::Send(std::span<const std::uint8_t> bytes) {
    if (m_socket == nullptr || m_socket->state() != QAbstractSocket::ConnectedState) {
        return -1;
    }
    const qint64 sent =
        m_socket->write(reinterpret_cast<const char*>(bytes.data()), static_cast<qint64>(bytes.size()));
    m_socket->flush();
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
    ++m_generation;
    QTcpSocket* socket = m_socket;
    m_socket = nullptr;
    m_established = false;
    socket->disconnect(this);
    socket->close();
    socket->deleteLater();
}

} // namespace vexar
