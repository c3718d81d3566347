#pragma once
// CGpsdFixBuilder: gpsd's reports turned into fixes. A TPV report with a position (2-D fix or
// better) gives a fix of its time, position, speed and course; the heading, pitch and roll come
// from the newest ATT report when one came within the last 1.5 s (a compass or an inertial
// system on the daemon), and otherwise the heading is the course over ground, marked so. Values
// the daemon leaves out (NaN) are left out of the fix.
//
// The daemon reports a cycle's position before its attitude (TPV at the cycle's RMC, ATT at its
// HDT). An ATT report that follows a TPV within 50 ms therefore belongs to that fix: the fix is
// given again with it, with the same time, and replaces the first in the store.

#include "navigation/NavigationFix.h"

#include <gps.h>

#include <cstdint>
#include <optional>

namespace vexar {

class CGpsdFixBuilder {
public:
    /// An attitude older than this gives no heading any more.
    static constexpr std::uint64_t kAttitudeMaxAgeMs = 1500;
    /// An attitude this soon after a fix is of the same cycle.
    static constexpr std::uint64_t kSameCycleMs = 50;

    /// Takes the report libgps has just read into `data` (whose `set` holds only that report's
    /// bits), arrived at `tickMs`; the fix to post, after a TPV report with a position or the ATT
    /// report of its cycle.
    std::optional<NavigationFix> Take(const gps_data_t& data, std::uint64_t tickMs);

private:
    std::optional<NavigationFix> TakeAttitude(const attitude_t& attitude, std::uint64_t tickMs);
    std::optional<NavigationFix> TakePosition(const gps_data_t& data, std::uint64_t tickMs);
    void AddAttitude(NavigationFix& fix) const;

    std::optional<double> m_heading;
    std::optional<double> m_pitch;
    std::optional<double> m_roll;
    std::optional<std::uint64_t> m_attitudeTick; ///< when the newest ATT report came
    std::optional<NavigationFix> m_lastFix;      ///< the newest fix, while no attitude followed it
    std::uint64_t m_lastFixTick = 0;
};

} // namespace vexar
