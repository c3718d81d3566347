#include "CUdpRecordReceiver.h"

#include <stdexcept>
#include <sys/socket.h>

namespace vexar::cli {

namespace {

// Privileged runs may pass the system's limit; others get up to it.
constexpr int kWantedReceiveBuffer = 64 * 1024 * 1024;
constexpr std::size_t kLargestDatagram = 65536;

int EnlargeReceiveBuffer(QUdpSocket& socket) {
    const int fd = static_cast<int>(socket.socketDescriptor());
    int size = kWantedReceiveBuffer;
    if (::setsockopt(fd, SOL_SOCKET, SO_RCVBUFFORCE, &size, sizeof size) != 0) {
        (void)::setsockopt(fd, SOL_SOCKET, SO_RCVBUF, &size, sizeof size);
    }
    int granted = 0;
    socklen_t length = sizeof granted;
    ::getsockopt(fd, SOL_SOCKET, SO_RCVBUF, &granted, &length);
    return granted;
}

} // namespace

CUdpRecordReceiver::CUdpRecordReceiver(CRecordAssembler::RecordHandler onRecord,
                                       CRecordAssembler::DamageHandler onDamage)
    : m_assembler(std::move(onRecord), std::move(onDamage)), m_datagram(kLargestDatagram) {
    QObject::connect(&m_socket, &QUdpSocket::readyRead, [this] { ReadPending(); });
}

void CUdpRecordReceiver::Bind(const QHostAddress& address, quint16 port) {
    if (!m_socket.bind(address, port)) {
        throw std::runtime_error("cannot listen on " + address.toString().toStdString() + ":" +
                                 std::to_string(port) + ": " + m_socket.errorString().toStdString());
    }
    m_receiveBuffer = EnlargeReceiveBuffer(m_socket);
}

void CUdpRecordReceiver::ReadPending() {
    while (m_socket.hasPendingDatagrams()) {
        const qint64 size = m_socket.readDatagram(m_datagram.data(), static_cast<qint64>(m_datagram.size()));
        if (size < 0) {
            break;
        }
        m_assembler.Take(std::span<const std::uint8_t>(
            reinterpret_cast<const std::uint8_t*>(m_datagram.data()), static_cast<std::size_t>(size)));
    }
}

} // namespace vexar::cli
