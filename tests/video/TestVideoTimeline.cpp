// Which ping each frame shows, the bounds of the stretch a video covers, and the caption's texts.

#include "video/VideoCaption.h"
#include "video/VideoTimeline.h"

#include <gtest/gtest.h>

namespace vexar {
namespace {

using Stamps = std::vector<std::optional<std::int64_t>>;
using Frames = std::vector<std::uint32_t>;

constexpr TimeBound kOpen{};
constexpr TimeBound Offset(std::int64_t ms) {
    return {TimeBound::Kind::Offset, ms};
}
constexpr TimeBound Clock(std::int64_t ms) {
    return {TimeBound::Kind::ClockTime, ms};
}
// Midnight of some day, on the time stamps' count.
constexpr std::int64_t kDay = 20000LL * 86400000;

TEST(VideoPlan, FramesShowTheLastPingAtOrBeforeTheirMoment) {
    struct Case {
        const char* what;
        Stamps stamps;
        VideoPace pace;
        TimeBound from;
        TimeBound to;
        Frames frames;
    };
    const std::optional<std::int64_t> none;
    const Case cases[] = {
        {"10 pings/s at 25 fps; the last shown for the last interval",
         {0, 100, 200},
         {25, 1.0},
         kOpen,
         kOpen,
         {3, 2, 3}},
        {"twice as fast", {0, 100, 200, 300}, {25, 2.0}, kOpen, kOpen, {2, 1, 1, 1}},
        {"max: one frame a ping, whatever the time", {0, 100, 90000}, {25, 0.0}, kOpen, kOpen, {1, 1, 1}},
        {"a ping between two frames is not shown", {0, 10, 20, 100}, {25, 1.0}, kOpen, kOpen, {1, 0, 2, 2}},
        {"a pause is cut to 5 s, the last interval stays the pings' own",
         {0, 100, 60100},
         {10, 1.0},
         kOpen,
         kOpen,
         {1, 50, 1}},
        {"stamps going back count as no time", {1000, 500, 600}, {10, 1.0}, kOpen, kOpen, {0, 1, 1}},
        {"a ping without a time plays at once, and so does the next",
         {0, none, 300},
         {25, 1.0},
         kOpen,
         kOpen,
         {0, 0, 1}},
        {"from an offset between pings: the ping before it first",
         {0, 100, 200, 300},
         {10, 1.0},
         Offset(150),
         Offset(350),
         {0, 1, 1, 0}},
        {"from a time of day to the end",
         {kDay + 1000, kDay + 1100, kDay + 1200},
         {10, 1.0},
         Clock(1100),
         kOpen,
         {0, 1, 1}},
        {"a time of day past midnight",
         {kDay - 100, kDay, kDay + 100},
         {10, 1.0},
         Clock(50),
         kOpen,
         {0, 1, 1}},
        {"the end before the start", {0, 100, 200}, {25, 1.0}, Offset(200), Offset(100), {0, 0, 0}},
    };
    for (const Case& c : cases) {
        const VideoPlan plan = PlanVideo(c.stamps, c.pace, c.from, c.to);
        EXPECT_EQ(plan.framesOfPing, c.frames) << c.what;
        std::uint64_t total = 0;
        for (const std::uint32_t n : plan.framesOfPing) {
            total += n;
        }
        EXPECT_EQ(plan.totalFrames, total) << c.what;
    }
}

TEST(VideoPlan, TimeBoundsAreOffsetsOrTimesOfDay) {
    const std::pair<const char*, std::optional<TimeBound>> cases[] = {
        {"90", Offset(90000)},
        {"90.25", Offset(90250)},
        {"+1:30", Offset(90000)},
        {"+1:02:03.5", Offset(3723500)},
        {"11:41:39.042", Clock(42099042)},
        {"11:41", Clock(42060000)},
        {"24:00:00", std::nullopt},
        {"1:60", std::nullopt},
        {"1:2:3:4", std::nullopt},
        {"-5", std::nullopt},
        {"+", std::nullopt},
        {"", std::nullopt},
        {"1.", std::nullopt},
        {"ten", std::nullopt},
    };
    for (const auto& [text, expected] : cases) {
        const auto bound = ParseTimeBound(text);
        ASSERT_EQ(bound.has_value(), expected.has_value()) << text;
        if (bound) {
            EXPECT_EQ(bound->kind, expected->kind) << text;
            EXPECT_EQ(bound->ms, expected->ms) << text;
        }
    }
}

TEST(VideoCaptionTest, TimeNumberAndTheFixWhenThereIsOne) {
    VideoCaption caption;
    caption.date = "07-12-2026";
    caption.time = "11:41:39.042";
    caption.ping = 17;
    caption.recording = "quay.R96";
    EXPECT_EQ(CaptionLines(caption),
              (std::vector<std::string>{"07-12-2026  11:41:39.042", "Ping 17  quay.R96"}));
    caption.position = std::make_pair(-33.5, 151.999999999);
    caption.headingDeg = 64.75f;
    const std::vector<std::string> lines = CaptionLines(caption);
    ASSERT_EQ(lines.size(), 4u);
    EXPECT_EQ(lines[2], "33\xC2\xB0"
                        "30.0000' S  152\xC2\xB0"
                        "00.0000' E");
    EXPECT_EQ(lines[3], "Heading 64.8\xC2\xB0");
}

} // namespace
} // namespace vexar
