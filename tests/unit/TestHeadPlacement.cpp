// The one placement: a vertical fan exactly where the XYZ export always put its points, a level
// fan by bearing, tilt, yaw and lever arm, the inverse that finds a position in the picture, and
// a fix carried to the ping's own time.

#include "navigation/HeadPlacement.h"

#include <gtest/gtest.h>

#include <cmath>
#include <numbers>

namespace vexar {
namespace {

PingFix FixAt(double east, double north, double down, float heading, float pitch = 0.0f, float roll = 0.0f) {
    PingFix fix;
    fix.position = {east, north, down};
    fix.headingDeg = heading;
    fix.pitchDeg = pitch;
    fix.rollDeg = roll;
    return fix;
}

// Stored settings files without a mounting keep their exports: bit for bit the export's own
// arithmetic (the track offset plus the point turned by the attitude, roll negated).
TEST(HeadPlacement, VerticalPlacesBitForBitAsTheExportAlways) {
    const HeadPose pose(FixAt(12.5, -3.25, 0.75, 231.0f, 12.5f, -7.25f), HeadMounting{});
    for (const double angle : {-1.5707963146269321, -0.3, 0.0, 1.1, 2.9}) {
        for (const double range : {0.01, 3.7, 19.99}) {
            const double c = 1485.0;
            const RotatedPoint turned =
                RotateByAttitude(range * std::cos(angle) * c / 1500.0,
                                 -(range * std::sin(angle) * c / 1500.0), 0.0, 12.5f, 231.0f, 7.25f);
            const PlacedPoint placed = pose.Place(angle, range, c);
            EXPECT_EQ(placed.east, 12.5 + turned.x);
            EXPECT_EQ(placed.north, -3.25 + turned.y);
            EXPECT_EQ(placed.down, 0.75 + turned.z);
        }
    }
}

// A level fan puts a sample at its horizontal distance (slant x cos tilt) on its true bearing
// (heading + yaw + bearing in the picture), slant x sin tilt below the head, and the head sits
// at the lever arm from the position reference, turned by the heading.
TEST(HeadPlacement, LevelPlacesByBearingTiltYawAndLeverArm) {
    struct Case {
        float heading;
        double tilt, yaw, forward, starboard, down;
        double bearing, slant;
        double east, north, depth;
    } const cases[] = {
        {0.0f, 0, 0, 0, 0, 0, 0, 10, 0, 10, 0},
        {90.0f, 0, 0, 0, 0, 0, 0, 10, 10, 0, 0},
        {0.0f, 0, 0, 0, 0, 0, 90, 10, 10, 0, 0},
        {0.0f, 0, 180, 0, 0, 0, 90, 10, -10, 0, 0},
        {200.0f, 30, 0, 0, 0, 0, 0, 10, 8.660254 * std::sin(200 * std::numbers::pi / 180),
         8.660254 * std::cos(200 * std::numbers::pi / 180), 5},
        {90.0f, 0, 0, 2, -1, 0.5, 0, 0, 2, 1, 0.5},
        {90.0f, 30, 180, 2, -1, 0.5, 45, 4, 2 - 2.449490, 1 + 2.449490, 2.5},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << "heading " << c.heading << " tilt " << c.tilt << " yaw " << c.yaw
                                        << " bearing " << c.bearing);
        const HeadMounting mounting{HeadPlane::Level, c.tilt, c.yaw, c.forward, c.starboard, c.down};
        const HeadPose pose(FixAt(0.0, 0.0, 0.0, c.heading), mounting);
        const PlacedPoint p = pose.PlaceInPicture(c.bearing, c.slant, 120, 1500.0);
        EXPECT_NEAR(p.east, c.east, 1e-5);
        EXPECT_NEAR(p.north, c.north, 1e-5);
        EXPECT_NEAR(p.down, c.depth, 1e-5);
    }
}

// What a ping places, the picture finds again where it drew it: bearing and slant back, on the
// fan, whatever the plane, mounting and attitude.
TEST(HeadPlacement, PictureOfUndoesPlace) {
    const HeadMounting mountings[] = {
        {},
        {HeadPlane::Vertical, 0, 35, 1, 2, 3},
        {HeadPlane::Level, 0, 0, 0, 0, 0},
        {HeadPlane::Level, 30, 180, 2, -1, 0.5},
        {HeadPlane::Level, 75, -20, -3, 0.4, 1},
    };
    for (const HeadMounting& mounting : mountings) {
        const HeadPose pose(FixAt(500000.0, 4800000.0, 2.0, 317.0f, 4.0f, -6.0f), mounting);
        for (const double bearing : {0.5, 44.0, 181.25, 300.0}) {
            SCOPED_TRACE(testing::Message() << "yaw " << mounting.yawDeg << " bearing " << bearing);
            const FanPoint seen = pose.PictureOf(pose.PlaceInPicture(bearing, 12.0, 480, 1470.0), 480);
            // A vertical fan's angles are in the export's own units, a hair off radians.
            EXPECT_NEAR(seen.bearingDeg, bearing, 1e-5);
            EXPECT_NEAR(seen.slantM, 12.0, 1e-6);
            EXPECT_NEAR(seen.offFanM, 0.0, 1e-6);
        }
    }
}

// A fix is carried along the heading by its speed from its own time to the ping's; the record's
// clock is local time, a whole number of quarter hours from UTC; a fix older than the greatest
// age (or a clock that disagrees by more) is taken as it stands.
TEST(HeadPlacement, FixIsCarriedToThePingsTime) {
    // 2026-12-09 10:00:00.000 UTC
    constexpr std::int64_t kFix = 1796810400000;
    struct Case {
        const char* stamp; // DDMMYYYYHHMMSSmmm, the ping's local time
        int maxAgeMs;
        std::optional<double> age;
    } const cases[] = {
        {"09122026100000500", 2000, 500.0},  // UTC
        {"09122026154500500", 2000, 500.0},  // UTC+05:45
        {"09122026063000900", 2000, 900.0},  // UTC-03:30
        {"09122026095959800", 2000, -200.0}, // the fix stamped a little after the ping
        {"09122026100003000", 2000, {}},     // older than the greatest age
        {"09122026100003000", 5000, 3000.0}, {"0912202610000", 2000, {}}, // no time stamp
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.stamp);
        EXPECT_EQ(FixAgeMs(c.stamp, kFix, c.maxAgeMs), c.age);
    }
    PingFix fix = FixAt(100.0, 200.0, 3.0, 30.0f);
    fix.speedMps = 2.0f;
    fix.ageMs = 500.0;
    const HeadPose carried(fix, HeadMounting{HeadPlane::Level, 0, 0, 1, 0, 0});
    EXPECT_NEAR(carried.Reference().east, 100.0 + 0.5, 1e-6);
    EXPECT_NEAR(carried.Reference().north, 200.0 + std::sqrt(0.75), 1e-6);
    EXPECT_NEAR(carried.Head().east, 100.0 + 1.0, 1e-6);
    EXPECT_NEAR(carried.Head().north, 200.0 + 2.0 * std::sqrt(0.75), 1e-6);
    fix.ageMs.reset();
    EXPECT_EQ(HeadPose(fix, HeadMounting{}).Reference().east, 100.0);
}

} // namespace
} // namespace vexar
