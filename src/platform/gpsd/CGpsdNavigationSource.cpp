#include "platform/gpsd/CGpsdNavigationSource.h"

#include "navigation/CFixStore.h"
#include "platform/gpsd/CGpsdFixBuilder.h"

#include <gps.h>

#include <algorithm>
#include <cerrno>
#include <chrono>

namespace vexar {

namespace {
constexpr int kFirstRetryMs = 250;
constexpr int kLongestRetryMs = 5000;
/// How long a wait for a report lasts before the source looks whether it is to stop.
constexpr int kWaitUs = 200000;
} // namespace

CGpsdNavigationSource::CGpsdNavigationSource(std::string host, std::uint16_t port, CFixStore& store,
                                             IClockPort& clock)
    : m_host(std::move(host)), m_port(port), m_store(store), m_clock(clock) {}

CGpsdNavigationSource::~CGpsdNavigationSource() {
    Stop();
}

void CGpsdNavigationSource::Start() {
    if (m_thread.joinable()) {
        return;
    }
    {
        std::lock_guard lock(m_mutex);
        m_stop = false;
    }
    m_thread = std::thread([this] { Run(); });
}

void CGpsdNavigationSource::Stop() {
    {
        std::lock_guard lock(m_mutex);
        m_stop = true;
    }
    m_wake.notify_all();
    if (m_thread.joinable()) {
        m_thread.join();
    }
}

bool CGpsdNavigationSource::Stopping() {
    std::lock_guard lock(m_mutex);
    return m_stop;
}

bool CGpsdNavigationSource::Pause(int ms) {
    std::unique_lock lock(m_mutex);
    return !m_wake.wait_for(lock, std::chrono::milliseconds(ms), [this] { return m_stop; });
}

std::string CGpsdNavigationSource::Address() const {
    return m_host + ":" + std::to_string(m_port);
}

void CGpsdNavigationSource::Run() {
    const std::string port = std::to_string(m_port);
    bool connected = false;
    int retryMs = kFirstRetryMs;
    while (!Stopping()) {
        gps_data_t data{};
        if (gps_open(m_host.c_str(), port.c_str(), &data) != 0) {
            m_store.SetLinkState(connected ? NavLinkState::Reconnecting : NavLinkState::Absent,
                                 Address() + ": " + gps_errstr(errno));
        } else {
            gps_stream(&data, WATCH_ENABLE | WATCH_JSON, nullptr);
            m_store.SetLinkState(NavLinkState::Connected, Address());
            connected = true;
            retryMs = kFirstRetryMs;
            ReadReports(data);
            gps_close(&data);
            m_store.SetLinkState(NavLinkState::Reconnecting,
                                 Address() + ": the daemon closed the connection");
        }
        if (!Pause(retryMs)) {
            break;
        }
        retryMs = std::min(retryMs * 2, kLongestRetryMs);
    }
}

void CGpsdNavigationSource::ReadReports(gps_data_t& data) {
    CGpsdFixBuilder builder;
    while (!Stopping()) {
        if (!gps_waiting(&data, kWaitUs)) {
            continue;
        }
        // Only this report's bits: the library adds to them and never takes any away.
        data.set = 0;
        const int read = gps_read(&data, nullptr, 0);
        if (read < 0) {
            return;
        }
        const std::uint64_t tick = m_clock.TickMs();
        if (const std::optional<NavigationFix> fix = builder.Take(data, tick)) {
            m_store.Post(*fix, tick);
        }
    }
}

} // namespace vexar
