#include "platform/gpsd/CGpsdFixBuilder.h"

#include <cmath>

namespace vexar {

namespace {
std::optional<double> Finite(double value) {
    return std::isfinite(value) ? std::optional<double>(value) : std::nullopt;
}
} // namespace

void CGpsdFixBuilder::AddAttitude(NavigationFix& fix) const {
    fix.headingDeg = m_heading;
    fix.headingFromCourse = false;
    fix.pitchDeg = m_pitch;
    fix.rollDeg = m_roll;
    if (!fix.headingDeg && fix.courseDeg) {
        fix.headingDeg = fix.courseDeg;
        fix.headingFromCourse = true;
    }
}

std::optional<NavigationFix> CGpsdFixBuilder::TakeAttitude(const attitude_t& attitude, std::uint64_t tickMs) {
    m_heading = Finite(attitude.heading);
    m_pitch = Finite(attitude.pitch);
    m_roll = Finite(attitude.roll);
    m_attitudeTick = tickMs;
    std::optional<NavigationFix> again;
    if (m_lastFix && m_lastFix->utcMs && tickMs >= m_lastFixTick && tickMs - m_lastFixTick <= kSameCycleMs) {
        again = m_lastFix;
        AddAttitude(*again);
    }
    m_lastFix.reset();
    return again;
}

std::optional<NavigationFix> CGpsdFixBuilder::TakePosition(const gps_data_t& data, std::uint64_t tickMs) {
    const gps_fix_t& tpv = data.fix;
    if ((data.set & LATLON_SET) == 0 || tpv.mode < MODE_2D || !std::isfinite(tpv.latitude) ||
        !std::isfinite(tpv.longitude)) {
        return std::nullopt;
    }
    NavigationFix fix;
    fix.position = GeoPosition{tpv.latitude, tpv.longitude};
    if ((data.set & TIME_SET) != 0 && tpv.time.tv_sec > 0) {
        fix.utcMs = static_cast<std::int64_t>(tpv.time.tv_sec) * 1000 + tpv.time.tv_nsec / 1000000;
    }
    if ((data.set & SPEED_SET) != 0) {
        fix.speedMps = Finite(tpv.speed);
    }
    if ((data.set & TRACK_SET) != 0) {
        fix.courseDeg = Finite(tpv.track);
    }
    m_lastFix = fix;
    m_lastFixTick = tickMs;
    if (m_attitudeTick && tickMs >= *m_attitudeTick && tickMs - *m_attitudeTick <= kAttitudeMaxAgeMs) {
        AddAttitude(fix);
    } else if (fix.courseDeg) {
        fix.headingDeg = fix.courseDeg;
        fix.headingFromCourse = true;
    }
    return fix;
}

std::optional<NavigationFix> CGpsdFixBuilder::Take(const gps_data_t& data, std::uint64_t tickMs) {
    if ((data.set & ATTITUDE_SET) != 0) {
        return TakeAttitude(data.attitude, tickMs);
    }
    return TakePosition(data, tickMs);
}

} // namespace vexar
