#include "navigation/NavigationFix.h"

#include <chrono>
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

UtcDateTime UtcFromMs(std::int64_t utcMs) {
    using namespace std::chrono;
    const sys_time<milliseconds> at{milliseconds(utcMs)};
    const sys_days day = floor<days>(at);
    const year_month_day date{day};
    const hh_mm_ss<milliseconds> time{at - day};
    UtcDateTime out;
    out.year = static_cast<int>(date.year());
    out.month = static_cast<int>(static_cast<unsigned>(date.month()));
    out.day = static_cast<int>(static_cast<unsigned>(date.day()));
    out.hour = static_cast<int>(time.hours().count());
    out.minute = static_cast<int>(time.minutes().count());
    out.second = static_cast<int>(time.seconds().count());
    out.millisecond = static_cast<int>(time.subseconds().count());
    return out;
}

std::optional<std::int64_t> MsFromUtc(const UtcDateTime& t) {
    using namespace std::chrono;
    if (t.year < -30000 || t.year > 30000 || t.month < 1 || t.month > 12 || t.day < 1 || t.day > 31 ||
        t.hour < 0 || t.hour > 23 || t.minute < 0 || t.minute > 59 || t.second < 0 || t.second > 59 ||
        t.millisecond < 0 || t.millisecond > 999) {
        return std::nullopt;
    }
    const year_month_day date{year(t.year), month(static_cast<unsigned>(t.month)),
                              day(static_cast<unsigned>(t.day))};
    if (!date.ok()) {
        return std::nullopt;
    }
    const auto at =
        sys_days(date) + hours(t.hour) + minutes(t.minute) + seconds(t.second) + milliseconds(t.millisecond);
    return at.time_since_epoch().count();
}

} // namespace vexar
