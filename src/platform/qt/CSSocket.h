#pragma once
// CSSocket: the TCP link to the sonar head on a QTcpSocket, used in blocking mode by the sonar
// link's thread.

#include "ports/Ports.h"

#include <cstdint>
#include <memory>

class QTcpSocket;

namespace vexar {

/// The link port on a QTcpSocket in blocking mode. The socket is created by StartConnect on
/// the thread that calls it and must be used and closed by that thread only (the sonar link's);
/// no event loop is needed there.
class CSSocket : public ITcpLink {
public:
    CSSocket();
    ~CSSocket() override;
    CSSocket(const CSSocket&) = delete;
    CSSocket& operator=(const CSSocket&) = delete;

    bool StartConnect(const std::string& host, std::uint16_t port) override;
    ConnectState WaitConnected(int timeoutMs) override;
    bool IsConnected() const override;
    int Send(std::span<const std::uint8_t> bytes) override;
    bool WaitReadable(int timeoutMs) override;
    bool WaitReadableUs(int timeoutUs) override;
    int Receive(std::span<std::uint8_t> buffer) override;
    void Close() override;

private:
    std::unique_ptr<QTcpSocket> m_socket;
};

} // namespace vexar
