#pragma once
// UTC calendar time as milliseconds since 1970 and as date and time of day, for the time stamps
// of navigation fixes.

#include <cstdint>
#include <optional>

namespace vexar {

/// A calendar date and time of day in UTC.
struct UtcDateTime {
    int year = 1970;
    int month = 1; ///< 1..12
    int day = 1;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;
};

/// Milliseconds since 1970 as calendar date and time (proleptic Gregorian calendar).
UtcDateTime UtcFromMs(std::int64_t utcMs);
/// Calendar date and time as milliseconds since 1970; nothing when a field is out of its range.
std::optional<std::int64_t> MsFromUtc(const UtcDateTime& time);

} // namespace vexar
