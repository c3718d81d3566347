#pragma once
// Qt adapters of the timer, clock and datagram ports.

#include "ports/Ports.h"

#include <QHostAddress>
#include <QObject>

#include <functional>
#include <map>

class QTimer;
class QUdpSocket;

namespace vexar {

/// One-shot timers on QTimer. Expiry goes to the delivery function on the thread that owns this
/// object; the document's OnTimer takes every id (the watchdog included).
class QtTimers : public QObject, public ITimerPort {
public:
    using Deliver = std::function<void(int timerId)>;
    explicit QtTimers(Deliver deliver, QObject* parent = nullptr);
    void Arm(int timerId, int delayMs) override;
    void Stop(int timerId) override;
    bool IsArmed(int timerId) const override;

private:
    Deliver m_deliver;
    std::map<int, QTimer*> m_timers;
};

/// Runs functions on the thread that owns this object, later: how the threads beside the
/// document (the sonar link's) get the document's attention. Post may be called from any thread;
/// what is posted after this object is gone is dropped.
class QtPoster : public QObject {
public:
    explicit QtPoster(QObject* parent = nullptr) : QObject(parent) {}
    void Post(std::function<void()> function);
};

/// Monotonic milliseconds since an arbitrary start (never 0) and the local time of day.
class QtClock : public IClockPort {
public:
    std::uint64_t TickMs() override;
    std::uint64_t TickUs() override;
    LocalTime Now() override;
};

/// The data output socket on QUdpSocket, bound to `bindAddress` (any address by default).
class QtDatagramSocket : public IDatagramSender {
public:
    explicit QtDatagramSocket(QHostAddress bindAddress = QHostAddress(QHostAddress::AnyIPv4));
    ~QtDatagramSocket() override;
    QtDatagramSocket(const QtDatagramSocket&) = delete;
    QtDatagramSocket& operator=(const QtDatagramSocket&) = delete;

    bool Open(std::uint16_t localPort) override;
    bool IsOpen() const override { return m_socket != nullptr; }
    int SendTo(const std::string& host, std::uint16_t port, std::span<const std::uint8_t> bytes) override;
    void Close() override;
    /// The local port actually bound, 0 when closed.
    std::uint16_t LocalPort() const;

private:
    QHostAddress m_bindAddress;
    QUdpSocket* m_socket = nullptr;
};

} // namespace vexar
