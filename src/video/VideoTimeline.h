#pragma once
// The timeline of a video of recordings: which ping each frame shows. The pings stand on the
// recording's own timeline as the 1x playback paces them (the time between their time stamps,
// a long pause shortened), the video runs over a stretch of it at a chosen speed, and a frame
// shows the last ping that stands at or before its moment.

#include <cstdint>
#include <optional>
#include <span>
#include <string_view>
#include <vector>

namespace vexar {

/// One end of the stretch of the recordings that a video covers.
struct TimeBound {
    enum class Kind {
        Open,      ///< the first or the last ping
        Offset,    ///< `ms` after the first ping, on the paced timeline
        ClockTime, ///< the ping time stamps' time of day `ms` (the time the picture shows)
    };
    Kind kind = Kind::Open;
    std::int64_t ms = 0;
};

/// "SECONDS" or "+[[H:]M:]S[.fff]" (an offset from the first ping), or "H:M:S[.fff]" (a time of
/// day of the recording). Nothing when the text is none of these.
std::optional<TimeBound> ParseTimeBound(std::string_view text);

/// How fast the video runs over the recording.
struct VideoPace {
    int fps = 25;
    double speed = 1.0; ///< recorded seconds per video second; 0 ("max"): every ping one frame
};

struct VideoPlan {
    /// Frames that show each ping, in playing order; a ping with none is played but not drawn.
    std::vector<std::uint32_t> framesOfPing;
    std::uint64_t totalFrames = 0;
    double recordedMs = 0.0; ///< length of the paced timeline the video covers
};

/// Plans the frames of pings whose time stamps (TimeStampMs, in playing order; nothing where a
/// ping has no valid stamp) are `stamps`. The last ping is shown for the last interval between
/// two pings. No frames when the stretch between `from` and `to` holds no time.
VideoPlan PlanVideo(std::span<const std::optional<std::int64_t>> stamps, const VideoPace& pace,
                    const TimeBound& from, const TimeBound& to);

} // namespace vexar
