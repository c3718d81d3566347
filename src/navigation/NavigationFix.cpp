#include "navigation/NavigationFix.h"

#include <cmath>

namespace vexar {

namespace {

constexpr double kMaxDepthM = 12000.0;
constexpr double kMaxSpeedMps = 100.0;
// 1990-01-01 and 2200-01-01: a receiver's clock outside them is broken, not early or late.
constexpr std::int64_t kEarliestUtcMs = 631152000000;
constexpr std::int64_t kLatestUtcMs = 7258118400000;

bool Within(const std::optional<double>& value, double low, double high) {
    return !value || (std::isfinite(*value) && *value >= low && *value <= high);
}

} // namespace

unsigned BadFields(const NavigationFix& fix) {
    unsigned bad = 0;
    if (fix.utcMs && (*fix.utcMs < kEarliestUtcMs || *fix.utcMs >= kLatestUtcMs)) {
        bad |= kFixTime;
    }
    if (fix.position) {
        const GeoPosition& p = *fix.position;
        if (!Within(p.latitudeDeg, -90.0, 90.0) || !Within(p.longitudeDeg, -180.0, 180.0)) {
            bad |= kFixPosition;
        }
    }
    struct Range {
        const std::optional<double>* value;
        double low;
        double high;
        unsigned field;
    };
    const Range ranges[] = {
        {&fix.depthM, -kMaxDepthM, kMaxDepthM, kFixDepth},
        {&fix.altitudeM, 0.0, kMaxDepthM, kFixAltitude},
        {&fix.headingDeg, -360.0, 360.0, kFixHeading},
        {&fix.pitchDeg, -90.0, 90.0, kFixPitch},
        {&fix.rollDeg, -180.0, 180.0, kFixRoll},
        {&fix.speedMps, -kMaxSpeedMps, kMaxSpeedMps, kFixSpeed},
        {&fix.courseDeg, -360.0, 360.0, kFixCourse},
    };
    for (const Range& range : ranges) {
        if (!Within(*range.value, range.low, range.high)) {
            bad |= range.field;
        }
    }
    return bad;
}

void DropFields(NavigationFix& fix, unsigned mask) {
    const auto drop = [mask](unsigned field, auto& value) {
        if ((mask & field) != 0) {
            value.reset();
        }
    };
    drop(kFixTime, fix.utcMs);
    drop(kFixPosition, fix.position);
    drop(kFixDepth, fix.depthM);
    drop(kFixAltitude, fix.altitudeM);
    drop(kFixHeading, fix.headingDeg);
    drop(kFixPitch, fix.pitchDeg);
    drop(kFixRoll, fix.rollDeg);
    drop(kFixSpeed, fix.speedMps);
    drop(kFixCourse, fix.courseDeg);
    if ((mask & kFixHeading) != 0) {
        fix.headingFromCourse = false;
    }
}

} // namespace vexar
