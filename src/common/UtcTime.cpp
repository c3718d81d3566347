#include "common/UtcTime.h"

#include <chrono>

namespace vexar {

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
