#pragma once
// CUdpRecordReceiver: the receiving end of the console's UDP data output on the event loop of
// the thread that owns it. Datagrams are joined into whole, checked records (CRecordAssembler);
// what arrives damaged is reported apart.

#include "output/CRecordAssembler.h"

#include <QHostAddress>
#include <QUdpSocket>

#include <string>
#include <vector>

namespace vexar::cli {

class CUdpRecordReceiver {
public:
    CUdpRecordReceiver(CRecordAssembler::RecordHandler onRecord, CRecordAssembler::DamageHandler onDamage);
    CUdpRecordReceiver(const CUdpRecordReceiver&) = delete;
    CUdpRecordReceiver& operator=(const CUdpRecordReceiver&) = delete;

    /// Binds to `address`:`port` (0: a free port) with a receive buffer as large as the system
    /// allows: a beam record arrives as a burst of 64 000-byte datagrams. Throws
    /// std::runtime_error with the reason when the port cannot be bound.
    void Bind(const QHostAddress& address, quint16 port);
    quint16 Port() const { return m_socket.localPort(); }
    /// The receive buffer the system granted, bytes.
    int ReceiveBuffer() const { return m_receiveBuffer; }
    /// Reports a record still being joined as incomplete (end of reception).
    void Finish() { m_assembler.Finish(); }

private:
    void ReadPending();

    CRecordAssembler m_assembler;
    QUdpSocket m_socket;
    std::vector<char> m_datagram;
    int m_receiveBuffer = 0;
};

} // namespace vexar::cli
