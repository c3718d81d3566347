#pragma once
// SimClock: the simulated head's time, shared by the pings and the navigation it publishes:
// seconds since the head started, on the monotonic clock, and the UTC time they stand for.
// Read from any thread.

#include <QDateTime>
#include <QElapsedTimer>

#include <cmath>
#include <cstdint>

namespace vexar::headsim {

class SimClock {
public:
    SimClock() : m_startUtcMs(QDateTime::currentMSecsSinceEpoch()) { m_timer.start(); }
    /// Seconds since the start.
    double Seconds() const { return static_cast<double>(m_timer.nsecsElapsed()) * 1e-9; }
    /// The UTC time, in milliseconds since 1970, of `seconds` after the start.
    std::int64_t UtcMsAt(double seconds) const { return m_startUtcMs + std::llround(seconds * 1000.0); }

private:
    QElapsedTimer m_timer;
    std::int64_t m_startUtcMs;
};

} // namespace vexar::headsim
