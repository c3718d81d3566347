#include "video/VideoTimeline.h"

#include "files/CPlayer.h"

#include <algorithm>
#include <cmath>
#include <string>

namespace vexar {

namespace {

constexpr std::int64_t kDayMs = 24LL * 3600 * 1000;
// Frame moments are sums of fractions of a millisecond: a ping standing this close counts as
// standing at the moment.
constexpr double kSameMomentMs = 1e-6;

// Whole decimal digits, at most nine of them; nothing when there are none or anything else.
std::optional<std::int64_t> Digits(std::string_view text) {
    if (text.empty() || text.size() > 9) {
        return std::nullopt;
    }
    std::int64_t value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return std::nullopt;
        }
        value = value * 10 + (c - '0');
    }
    return value;
}

// "S[.fff]" in milliseconds; digits after the third decimal are dropped.
std::optional<std::int64_t> SecondsMs(std::string_view text) {
    const auto dot = text.find('.');
    const auto whole = Digits(text.substr(0, dot));
    if (!whole) {
        return std::nullopt;
    }
    std::int64_t ms = *whole * 1000;
    if (dot != std::string_view::npos) {
        const std::string_view fraction = text.substr(dot + 1);
        const auto digits = Digits(fraction);
        if (!digits) {
            return std::nullopt;
        }
        std::string padded(fraction.substr(0, 3));
        padded.resize(3, '0');
        ms += *Digits(padded);
    }
    return ms;
}

// "[[H:]M:]S[.fff]" in milliseconds; every field after the first below 60. `fields` counts them.
std::optional<std::int64_t> ClockMs(std::string_view text, int& fields) {
    std::int64_t ms = 0;
    fields = 0;
    for (;;) {
        const auto colon = text.find(':');
        const std::string_view field = text.substr(0, colon);
        ++fields;
        const auto value = colon == std::string_view::npos ? SecondsMs(field) : Digits(field);
        const std::int64_t limit = colon == std::string_view::npos ? 60000 : 60;
        if (!value || fields > 3 || (fields > 1 && *value >= limit)) {
            return std::nullopt;
        }
        if (colon == std::string_view::npos) {
            return ms * 60000 + *value;
        }
        ms = ms * 60 + *value;
        text.remove_prefix(colon + 1);
    }
}

// Positions of the pings on the paced timeline, from 0, and how long the last one is shown.
struct Positions {
    std::vector<double> at;
    double tailMs = 0.0;
};

Positions PlacePings(std::span<const std::optional<std::int64_t>> stamps, const VideoPace& pace) {
    Positions positions;
    positions.at.reserve(stamps.size());
    const double frameMs = 1000.0 / pace.fps;
    double at = 0.0;
    double lastGap = 0.0;
    for (std::size_t i = 0; i < stamps.size(); ++i) {
        if (i > 0 && pace.speed <= 0.0) {
            at += frameMs;
        } else if (i > 0 && stamps[i] && stamps[i - 1]) {
            // A ping without a time plays at once, and so does the one after it.
            const std::int64_t gap = *stamps[i] - *stamps[i - 1];
            at += static_cast<double>(std::clamp<std::int64_t>(gap, 0, kLongestPaceGapMs));
            // A pause says nothing of how long a ping is shown.
            lastGap = gap > 0 && gap <= kLongestPaceGapMs ? static_cast<double>(gap) : lastGap;
        }
        positions.at.push_back(at);
    }
    const double oneFrame = pace.speed <= 0.0 ? frameMs : frameMs * pace.speed;
    positions.tailMs = pace.speed <= 0.0 || lastGap <= 0.0 ? oneFrame : lastGap;
    return positions;
}

// The paced position of a time stamp `stampMs`: that of the last ping stamped at or before it,
// plus the time since that ping, up to the next ping's position.
double PositionOfStamp(std::span<const std::optional<std::int64_t>> stamps, const Positions& positions,
                       std::int64_t stampMs) {
    std::optional<std::size_t> last;
    for (std::size_t i = 0; i < stamps.size(); ++i) {
        if (stamps[i] && *stamps[i] <= stampMs) {
            last = i;
        }
    }
    if (!last) {
        return 0.0;
    }
    const std::size_t i = *last;
    const double next =
        i + 1 < positions.at.size() ? positions.at[i + 1] - positions.at[i] : positions.tailMs;
    return positions.at[i] + std::min(static_cast<double>(stampMs - *stamps[i]), next);
}

double Resolve(const TimeBound& bound, double open, std::span<const std::optional<std::int64_t>> stamps,
               const Positions& positions) {
    const double end = positions.at.empty() ? 0.0 : positions.at.back() + positions.tailMs;
    double at = open;
    if (bound.kind == TimeBound::Kind::Offset) {
        at = static_cast<double>(bound.ms);
    } else if (bound.kind == TimeBound::Kind::ClockTime) {
        const auto first =
            std::find_if(stamps.begin(), stamps.end(), [](const auto& s) { return s.has_value(); });
        if (first == stamps.end()) {
            return open; // no ping says what time it is
        }
        const auto last =
            std::find_if(stamps.rbegin(), stamps.rend(), [](const auto& s) { return s.has_value(); });
        std::int64_t target = **first - **first % kDayMs + bound.ms;
        // A recording that runs past midnight: an earlier time of day is on the next day.
        if (target < **first && target + kDayMs <= **last) {
            target += kDayMs;
        }
        at = PositionOfStamp(stamps, positions, target);
    }
    return std::clamp(at, 0.0, end);
}

} // namespace

std::optional<TimeBound> ParseTimeBound(std::string_view text) {
    const bool offset = !text.empty() && text.front() == '+';
    if (offset) {
        text.remove_prefix(1);
    }
    int fields = 0;
    const auto ms = ClockMs(text, fields);
    if (!ms) {
        return std::nullopt;
    }
    if (offset || fields == 1) {
        return TimeBound{TimeBound::Kind::Offset, *ms};
    }
    // A time of day: H:M or H:M:S, before 24:00.
    const std::int64_t dayMs = fields == 2 ? *ms * 60 : *ms;
    if (dayMs >= kDayMs) {
        return std::nullopt;
    }
    return TimeBound{TimeBound::Kind::ClockTime, dayMs};
}

VideoPlan PlanVideo(std::span<const std::optional<std::int64_t>> stamps, const VideoPace& pace,
                    const TimeBound& from, const TimeBound& to) {
    VideoPlan plan;
    plan.framesOfPing.assign(stamps.size(), 0);
    if (stamps.empty() || pace.fps <= 0) {
        return plan;
    }
    const Positions positions = PlacePings(stamps, pace);
    const double end = positions.at.back() + positions.tailMs;
    const double start = Resolve(from, 0.0, stamps, positions);
    const double stop = Resolve(to, end, stamps, positions);
    if (stop <= start) {
        return plan;
    }
    const double step = pace.speed <= 0.0 ? 1000.0 / pace.fps : 1000.0 * pace.speed / pace.fps;
    plan.recordedMs = stop - start;
    plan.totalFrames = static_cast<std::uint64_t>(std::ceil(plan.recordedMs / step - kSameMomentMs));
    std::size_t shown = 0;
    for (std::uint64_t k = 0; k < plan.totalFrames; ++k) {
        const double moment = start + static_cast<double>(k) * step;
        while (shown + 1 < positions.at.size() && positions.at[shown + 1] <= moment + kSameMomentMs) {
            ++shown;
        }
        ++plan.framesOfPing[shown];
    }
    return plan;
}

} // namespace vexar
