#include "platform/qt/CSerialNavigationSource.h"

#include "navigation/CFixStore.h"
#include "navigation/CLineSplitter.h"
#include "navigation/NavigationSentence.h"

#include <QSerialPort>
#include <QThread>
#include <QTimer>

#include <algorithm>

namespace vexar {

namespace {
constexpr int kFirstRetryMs = 250;
constexpr int kLongestRetryMs = 5000;
} // namespace

/// Lives on the source's thread: the port, its retry timer and the line splitter.
class CSerialNavigationSource::Reader : public QObject {
public:
    Reader(const CSerialNavigationSource& source)
        : m_device(source.m_device), m_baud(source.m_baud), m_store(source.m_store), m_clock(source.m_clock) {
    }

    /// Called on the source's thread once it runs.
    void Begin() {
        m_port = new QSerialPort(this);
        m_retry = new QTimer(this);
        m_retry->setSingleShot(true);
        connect(m_retry, &QTimer::timeout, this, [this] { Open(); });
        connect(m_port, &QSerialPort::readyRead, this, [this] { Read(); });
        connect(m_port, &QSerialPort::errorOccurred, this, [this](QSerialPort::SerialPortError error) {
            if (error != QSerialPort::NoError && error != QSerialPort::TimeoutError) {
                Lost();
            }
        });
        Open();
    }

private:
    void Open() {
        m_port->setPortName(QString::fromStdString(m_device));
        m_port->setBaudRate(m_baud);
        m_port->setDataBits(QSerialPort::Data8);
        m_port->setParity(QSerialPort::NoParity);
        m_port->setStopBits(QSerialPort::OneStop);
        m_port->setFlowControl(QSerialPort::NoFlowControl);
        if (!m_port->open(QIODevice::ReadOnly)) {
            Retry(m_port->errorString());
            return;
        }
        // What waited in the driver while nobody read is old: it would pass for fresh fixes.
        m_port->clear(QSerialPort::Input);
        m_splitter.Reset();
        m_opened = true;
        m_retryMs = kFirstRetryMs;
        m_store.SetLinkState(NavLinkState::Connected, m_device);
    }

    void Lost() {
        if (!m_port->isOpen()) {
            return; // a failed open reports itself
        }
        const QString reason = m_port->errorString();
        m_port->close();
        Retry(reason);
    }

    void Retry(const QString& reason) {
        m_store.SetLinkState(m_opened ? NavLinkState::Reconnecting : NavLinkState::Absent,
                             m_device + ": " + reason.toStdString());
        m_port->clearError();
        m_retry->start(m_retryMs);
        m_retryMs = std::min(m_retryMs * 2, kLongestRetryMs);
    }

    void Read() {
        const QByteArray bytes = m_port->readAll();
        const std::uint64_t tick = m_clock.TickMs();
        const auto* data = reinterpret_cast<const std::uint8_t*>(bytes.constData());
        m_splitter.Feed(std::span<const std::uint8_t>(data, static_cast<std::size_t>(bytes.size())),
                        [&](std::string_view line) {
                            if (const std::optional<NavigationFix> fix = ReadSentence(line)) {
                                m_store.PostReceived(*fix, line, tick);
                            } else {
                                m_store.CountRefused();
                            }
                        });
    }

    std::string m_device;
    int m_baud;
    CFixStore& m_store;
    IClockPort& m_clock;
    QSerialPort* m_port = nullptr;
    QTimer* m_retry = nullptr;
    CLineSplitter m_splitter;
    bool m_opened = false;
    int m_retryMs = kFirstRetryMs;
};

CSerialNavigationSource::CSerialNavigationSource(std::string device, int baud, CFixStore& store,
                                                 IClockPort& clock)
    : m_device(std::move(device)), m_baud(baud), m_store(store), m_clock(clock) {}

CSerialNavigationSource::~CSerialNavigationSource() {
    Stop();
}

void CSerialNavigationSource::Start() {
    if (m_thread) {
        return;
    }
    m_thread = std::make_unique<QThread>();
    auto* reader = new Reader(*this);
    reader->moveToThread(m_thread.get());
    // The reader, its port and its timer end on their own thread, when it finishes.
    QObject::connect(m_thread.get(), &QThread::finished, reader, &QObject::deleteLater);
    // Begins on the thread as it starts: everything the reader was given is set before then, and
    // ThreadSanitizer sees that order (the thread's creation). A queued call would hand the reader
    // over through Qt's event queue, whose lock it cannot see, and report the reader's first
    // posts into the fix store as a race with the threads that read the store.
    QObject::connect(
        m_thread.get(), &QThread::started, reader, [reader] { reader->Begin(); }, Qt::DirectConnection);
    m_thread->start();
}

void CSerialNavigationSource::Stop() {
    if (!m_thread) {
        return;
    }
    m_thread->quit();
    m_thread->wait();
    m_thread.reset();
}

} // namespace vexar
