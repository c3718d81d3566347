#pragma once
// What the operator is told about the live navigation source: which source, whether it is
// there, how often fixes come and how old the newest is.

#include <cstdint>
#include <optional>
#include <string>

namespace vexar {

/// Where live fixes come from.
enum class NavSourceKind {
    None,   ///< no live navigation: pings carry no sentence
    Serial, ///< $AULOG sentences on a serial line
    Gpsd,   ///< reports of the GNSS daemon
};

/// The source's link to its device or daemon.
enum class NavLinkState {
    Absent,       ///< not opened yet: the device or daemon is not there (tried again and again)
    Connected,    ///< open and read
    Reconnecting, ///< it was open and went away (unplugged, stopped); tried again with back-off
};

/// The source as the status row shows it.
struct NavigationStatus {
    NavSourceKind kind = NavSourceKind::None;
    NavLinkState link = NavLinkState::Absent;
    std::string detail;                 ///< the device or address, and why it is not open
    double rateHz = 0.0;                ///< fixes per second over the last seconds; 0 when none came
    std::optional<std::uint64_t> ageMs; ///< of the newest fix; nothing before the first
    bool headingFromCourse = false;     ///< the newest fix's heading is its course over ground
    std::uint64_t fixes = 0;            ///< fixes taken
    std::uint64_t refused = 0;          ///< sentences and reports that gave no usable fix
};

/// How the status row draws the navigation field.
enum class NavStatusLevel {
    Hidden, ///< no source: no field
    Good,   ///< green
    Stale,  ///< amber
    NoFix,  ///< red
};

struct NavStatusText {
    std::string text;
    NavStatusLevel level = NavStatusLevel::Hidden;
};

/// The navigation field: "Nav: serial 10 Hz" / "Nav: gpsd 5 Hz" while the newest fix is at most
/// `maxAgeMs` old (", heading from course" added when the heading is the course over ground),
/// "Nav: stale 3 s" (whole seconds of age) when it is older, "Nav: no fix" before the first fix.
NavStatusText DescribeStatus(const NavigationStatus& status, std::uint64_t maxAgeMs);

} // namespace vexar
