#include "platform/qt/QtPorts.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QHostInfo>
#include <QTimer>
#include <QUdpSocket>

#include <algorithm>
#include <chrono>

namespace vexar {

QtTimers::QtTimers(Deliver deliver, QObject* parent) : QObject(parent), m_deliver(std::move(deliver)) {}

void QtTimers::Arm(int timerId, int delayMs) {
    QTimer*& timer = m_timers[timerId];
    if (timer == nullptr) {
        timer = new QTimer(this);
        timer->setSingleShot(true);
        timer->setTimerType(Qt::PreciseTimer);
        connect(timer, &QTimer::timeout, this, [this, timerId] {
            if (m_deliver) {
                m_deliver(timerId);
            }
        });
    }
    timer->start(std::max(delayMs, 0));
}

void QtTimers::Stop(int timerId) {
    if (auto it = m_timers.find(timerId); it != m_timers.end()) {
        it->second->stop();
    }
}

bool QtTimers::IsArmed(int timerId) const {
    const auto it = m_timers.find(timerId);
    return it != m_timers.end() && it->second->isActive();
}

void QtPoster::Post(std::function<void()> function) {
    QMetaObject::invokeMethod(this, std::move(function), Qt::QueuedConnection);
}

std::uint64_t QtClock::TickMs() {
    QElapsedTimer timer;
    timer.start();
    return static_cast<std::uint64_t>(timer.msecsSinceReference()) + 1;
}

// The monotonic clock the milliseconds count too.
std::uint64_t QtClock::TickUs() {
    const auto since = std::chrono::steady_clock::now().time_since_epoch();
    return static_cast<std::uint64_t>(std::chrono::duration_cast<std::chrono::microseconds>(since).count()) +
           1000;
}

LocalTime QtClock::Now() {
    const QDateTime now = QDateTime::currentDateTime();
    const QDate date = now.date();
    const QTime time = now.time();
    return LocalTime{date.year(),   date.month(),  date.day(), time.hour(),
                     time.minute(), time.second(), time.msec()};
}

QtDatagramSocket::QtDatagramSocket(QHostAddress bindAddress) : m_bindAddress(std::move(bindAddress)) {}

QtDatagramSocket::~QtDatagramSocket() {
    Close();
}

bool QtDatagramSocket::Open(std::uint16_t localPort) {
    Close();
    m_socket = new QUdpSocket();
    // Low ports need privileges; receivers do not depend on the source port, so any free port
    // will do when the wanted one is refused.
    if (!m_socket->bind(m_bindAddress, localPort) && !m_socket->bind(m_bindAddress, 0)) {
        delete m_socket;
        m_socket = nullptr;
        return false;
    }
    return true;
}

int QtDatagramSocket::SendTo(const std::string& host, std::uint16_t port,
                             std::span<const std::uint8_t> bytes) {
    if (m_socket == nullptr) {
        return -1;
    }
    QHostAddress address(QString::fromStdString(host));
    if (address.isNull()) {
        const QHostInfo info = QHostInfo::fromName(QString::fromStdString(host));
        for (const QHostAddress& candidate : info.addresses()) {
            if (candidate.protocol() == QAbstractSocket::IPv4Protocol) {
                address = candidate;
                break;
            }
        }
        if (address.isNull()) {
            return -1;
        }
    }
    const qint64 sent = m_socket->writeDatagram(reinterpret_cast<const char*>(bytes.data()),
                                                static_cast<qint64>(bytes.size()), address, port);
    return static_cast<int>(sent);
}

void QtDatagramSocket::Close() {
    if (m_socket != nullptr) {
        m_socket->close();
        delete m_socket;
        m_socket = nullptr;
    }
}

std::uint16_t QtDatagramSocket::LocalPort() const {
    return m_socket != nullptr ? m_socket->localPort() : 0;
}

} // namespace vexar
