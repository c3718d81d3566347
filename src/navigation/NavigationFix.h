#pragma once
// NavigationFix: one position and attitude report of a live navigation source, as values. Every
// field is optional: a source fills what it measures and leaves the rest empty, and the sentence
// composed from it leaves those fields empty too.

#include "common/UtcTime.h"

#include <cstdint>
#include <optional>

namespace vexar {

/// A position on WGS 84.
struct GeoPosition {
    double latitudeDeg = 0.0;  ///< south negative
    double longitudeDeg = 0.0; ///< west negative
};

/// One fix. Angles in degrees, heading and course clockwise from true north.
struct NavigationFix {
    std::optional<std::int64_t> utcMs; ///< time of the fix, milliseconds since 1970-01-01 UTC
    std::optional<GeoPosition> position;
    std::optional<double> depthM;    ///< of the vehicle below the surface
    std::optional<double> altitudeM; ///< of the vehicle above the seabed
    std::optional<double> headingDeg;
    /// The heading is the course over ground (the source measures no heading of its own).
    bool headingFromCourse = false;
    std::optional<double> pitchDeg;
    std::optional<double> rollDeg;
    std::optional<double> speedMps; ///< over ground
    std::optional<double> courseDeg;
};

/// The fields of a fix, as bits of a mask.
enum FixField : unsigned {
    kFixTime = 1u << 0,
    kFixPosition = 1u << 1,
    kFixDepth = 1u << 2,
    kFixAltitude = 1u << 3,
    kFixHeading = 1u << 4,
    kFixPitch = 1u << 5,
    kFixRoll = 1u << 6,
    kFixSpeed = 1u << 7,
    kFixCourse = 1u << 8,
};

/// The fields that hold a value no vehicle can have: not finite, or outside its range (latitude
/// beyond +-90, longitude beyond +-180, depth or altitude beyond 12 km, negative altitude,
/// heading or course beyond +-360, pitch beyond +-90, roll beyond +-180, speed beyond 100 m/s,
/// time outside the years 1990 to 2199). 0 when the fix is sound.
unsigned BadFields(const NavigationFix& fix);

/// Empties the fields of `mask`.
void DropFields(NavigationFix& fix, unsigned mask);

} // namespace vexar
