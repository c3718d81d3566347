#include "navigation/CNavigation.h"
#include "navigation/NavigationMath.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>

namespace vexar {
namespace {

/// A full sentence at a position given in decimal degrees (north and east positive).
std::string FixSentence(double latitude, double longitude, double depth) {
    const auto field = [](double degrees) {
        const double magnitude = std::fabs(degrees);
        const int whole = static_cast<int>(magnitude);
        char text[64];
        std::snprintf(text, sizeof text, "%d;%.9f", whole, (magnitude - whole) * 60.0);
        return std::string(text);
    };
    char text[256];
    std::snprintf(text, sizeof text,
                  "$AULOG,%s,%c,%s,%c,,%.2f,,0.0,0.0,0.0,0.5,,,0.0,230,0,9913,0.00,10/14/1999,**6B",
                  field(latitude).c_str(), latitude < 0 ? 'S' : 'N', field(longitude).c_str(),
                  longitude < 0 ? 'W' : 'E', depth);
    return text;
}

/// Degrees of latitude and longitude for a move of `east`, `north` metres near (lat, lon).
void Offset(double lat, double east, double north, double& dLat, double& dLon) {
    constexpr double kMetresPerDegree = 110574.0;
    dLat = north / kMetresPerDegree;
    dLon = east / (111320.0 * std::cos(lat * 3.14159265358979 / 180.0));
}

class Track : public ::testing::Test {
protected:
    void Fix(double lat, double lon, double depth) {
        nav.ParseNavigationSentence(FixSentence(lat, lon, depth), true);
    }
    CNavigation nav;
};

TEST_F(Track, MovesBelowFiveMetresAreAddedJumpsAreNot) {
    const double lat = 2.0;
    const double lon = 3.0;
    Fix(lat, lon, -20.0);
    ASSERT_EQ(nav.m_firstFix, 0);
    const UtmPoint start = LatLonToUtm(nav.m_latitude, nav.m_longitude);

    double dLat = 0.0;
    double dLon = 0.0;
    Offset(lat, 3.0, 3.0, dLat, dLon);
    Fix(lat + dLat, lon + dLon, -20.0);
    const UtmPoint moved = LatLonToUtm(nav.m_latitude, nav.m_longitude);
    ASSERT_NEAR(moved.easting - start.easting, 3.0, 0.05);
    ASSERT_NEAR(moved.northing - start.northing, 3.0, 0.05);
    EXPECT_DOUBLE_EQ(nav.m_trackOffsetX, moved.easting - start.easting);
    EXPECT_DOUBLE_EQ(nav.m_trackOffsetY, moved.northing - start.northing);

    // 4 m east and 4 m north is 5.66 m: a jump, the offsets stay.
    const double keptX = nav.m_trackOffsetX;
    const double keptY = nav.m_trackOffsetY;
    Offset(lat, 4.0, 4.0, dLat, dLon);
    Fix(nav.m_latitude + dLat, nav.m_longitude + dLon, -20.0);
    EXPECT_DOUBLE_EQ(nav.m_trackOffsetX, keptX);
    EXPECT_DOUBLE_EQ(nav.m_trackOffsetY, keptY);

    // 5 m straight north is a jump too; 4.9 m is travel.
    Offset(lat, 0.0, 5.02, dLat, dLon);
    Fix(nav.m_latitude + dLat, nav.m_longitude, -20.0);
    EXPECT_DOUBLE_EQ(nav.m_trackOffsetY, keptY);
    Offset(lat, 0.0, 4.9, dLat, dLon);
    Fix(nav.m_latitude + dLat, nav.m_longitude, -20.0);
    EXPECT_NEAR(nav.m_trackOffsetY, keptY + 4.9, 0.05);
}

TEST_F(Track, FirstFixSetsTheReferenceDepth) {
    Fix(10.0, 20.0, -35.4);
    EXPECT_FLOAT_EQ(nav.m_referenceDepth, -35.4f);
    EXPECT_DOUBLE_EQ(nav.m_trackOffsetZ, 0.0);
    Fix(10.0, 20.0, -35.4);
    EXPECT_DOUBLE_EQ(nav.m_trackOffsetZ, 0.0);
    Fix(10.0, 20.0, -37.4);
    EXPECT_NEAR(nav.m_trackOffsetZ, -2.0, 1e-5);
    EXPECT_FLOAT_EQ(nav.m_referenceDepth, -35.4f);
}

TEST_F(Track, FirstFixOnTheEquatorDoesNotStartTheTrack) {
    // Latitude 0 projects to northing 0: not a usable fix.
    Fix(0.0, 20.0, -10.0);
    EXPECT_EQ(nav.m_firstFix, 1);
    EXPECT_EQ(nav.m_northing, 0.0);
    // The next usable fix starts the track with its own depth.
    Fix(0.00002, 20.0, -12.0);
    EXPECT_EQ(nav.m_firstFix, 0);
    EXPECT_FLOAT_EQ(nav.m_referenceDepth, -12.0f);
    EXPECT_DOUBLE_EQ(nav.m_trackOffsetX, 0.0);
    EXPECT_DOUBLE_EQ(nav.m_trackOffsetY, 0.0);
    Fix(0.00002, 20.0, -12.0);
    EXPECT_DOUBLE_EQ(nav.m_trackOffsetZ, 0.0);
}

TEST_F(Track, OnlyRunsWhileExportingAndWithAPosition) {
    nav.ParseNavigationSentence(FixSentence(10.0, 20.0, -1.0), false);
    EXPECT_EQ(nav.m_firstFix, 1);
    EXPECT_EQ(nav.m_easting, 0.0);
    // A sentence cut before the numbers stops the parse before the track moves.
    nav.ParseNavigationSentence("$AULOG,10;0.0,N,20;0.0,E", true);
    EXPECT_EQ(nav.m_firstFix, 1);
    Fix(10.0, 20.0, -1.0);
    EXPECT_EQ(nav.m_firstFix, 0);
    nav.StartTrack();
    EXPECT_EQ(nav.m_firstFix, 1);
    EXPECT_EQ(nav.m_easting, 0.0);
    EXPECT_EQ(nav.m_trackOffsetZ, 0.0);
}

TEST(Utm, ZonesAndExceptions) {
    EXPECT_EQ(UtmZone(60.0, 5.0), 32); // south-west Norway
    EXPECT_EQ(UtmZone(60.0, 2.9), 31);
    EXPECT_EQ(UtmZone(64.0, 5.0), 31);  // the exception ends below 64
    EXPECT_EQ(UtmZone(75.0, 10.0), 33); // Svalbard
    EXPECT_EQ(UtmZone(75.0, 8.9), 31);
    EXPECT_EQ(UtmZone(75.0, 21.0), 35);
    EXPECT_EQ(UtmZone(75.0, 41.9), 37);
    EXPECT_EQ(UtmZone(75.0, 42.0), 38);
    EXPECT_EQ(UtmZone(84.0, 10.0), 32);
    EXPECT_EQ(UtmZone(0.0, -180.0), 1);
    EXPECT_EQ(UtmZone(0.0, 180.0), 1);
    EXPECT_EQ(UtmZone(0.0, 179.999), 60);
    EXPECT_EQ(UtmZone(0.0, -99.2), 14);
    EXPECT_EQ(LatLonToUtm(60.0, 5.0).zone, 32);
    EXPECT_EQ(LatLonToUtm(75.0, 10.0).zone, 33);
}

TEST(Utm, LongitudeIsNormalised) {
    EXPECT_DOUBLE_EQ(NormaliseLongitude(190.0), -170.0);
    EXPECT_DOUBLE_EQ(NormaliseLongitude(540.0), -180.0);
    EXPECT_DOUBLE_EQ(NormaliseLongitude(-180.0), -180.0);
    // West of -180 as well, which plain truncation would leave outside the circle.
    EXPECT_DOUBLE_EQ(NormaliseLongitude(-200.0), 160.0);
    EXPECT_DOUBLE_EQ(NormaliseLongitude(-900.0), 180.0 - 360.0);
    const UtmPoint wrapped = LatLonToUtm(45.0, 370.0);
    const UtmPoint plain = LatLonToUtm(45.0, 10.0);
    EXPECT_EQ(wrapped.zone, plain.zone);
    EXPECT_NEAR(wrapped.easting, plain.easting, 1e-6);
}

TEST(Utm, CentralMeridianAndSouthernOffset) {
    // On the central meridian of a zone the easting is the false easting.
    const UtmPoint centre = LatLonToUtm(45.0, 9.0);
    EXPECT_EQ(centre.zone, 32);
    EXPECT_NEAR(centre.easting, 500000.0, 1e-6);
    // The meridian arc to 45 degrees on WGS-84 is 4984944.378 m; times 0.9996.
    EXPECT_NEAR(centre.northing, 4984944.378 * 0.9996, 0.01);

    const UtmPoint north = LatLonToUtm(10.0, 14.0);
    const UtmPoint south = LatLonToUtm(-10.0, 14.0);
    EXPECT_EQ(north.zone, south.zone);
    EXPECT_NEAR(south.easting, north.easting, 1e-6);
    EXPECT_NEAR(south.northing, 10000000.0 - north.northing, 1e-6);
    EXPECT_GT(south.northing, 8000000.0);
}

// The pointer's latitude and longitude come back from UTM: a round trip lands within a
// few millimetres, in both hemispheres and at a zone's widened edge.
TEST(Utm, BackToLatitudeAndLongitude) {
    const std::pair<double, double> positions[] = {{43.5, 9.0}, {43.5003, 8.9996}, {-33.9, 18.4},
                                                   {59.9, 5.3}, {0.01, -77.99},    {-54.8, -68.3},
                                                   {71.0, 25.5}};
    for (const auto& [latitude, longitude] : positions) {
        const UtmPoint map = LatLonToUtm(latitude, longitude);
        const LatLon back = UtmToLatLon(map, latitude < 0.0);
        EXPECT_NEAR((back.latitudeDeg - latitude) * 111320.0, 0.0, 0.005) << latitude << " " << longitude;
        EXPECT_NEAR((back.longitudeDeg - longitude) * 111320.0 *
                        std::cos(latitude * 3.14159265358979 / 180.0),
                    0.0, 0.005)
            << latitude << " " << longitude;
    }
}

TEST(Attitude, RotationOrderAndAxes) {
    // Level: x stays, y goes to the third axis, z to the second.
    RotatedPoint p = RotateByAttitude(1.0, 2.0, 3.0, 0.0f, 0.0f, 0.0f);
    EXPECT_DOUBLE_EQ(p.x, 1.0);
    EXPECT_DOUBLE_EQ(p.y, 3.0);
    EXPECT_DOUBLE_EQ(p.z, 2.0);
    // Heading 90 turns the first axis into the negative second one.
    p = RotateByAttitude(1.0, 0.0, 0.0, 0.0f, 90.0f, 0.0f);
    EXPECT_NEAR(p.x, 0.0, 1e-6);
    EXPECT_NEAR(p.y, -1.0, 1e-6);
    // Roll 90 lifts x into the third axis; pitch 90 then sends it to the second.
    p = RotateByAttitude(1.0, 0.0, 0.0, 0.0f, 0.0f, 90.0f);
    EXPECT_NEAR(p.z, 1.0, 1e-6);
    EXPECT_NEAR(p.x, 0.0, 1e-6);
    p = RotateByAttitude(1.0, 0.0, 0.0, 90.0f, 0.0f, 90.0f);
    EXPECT_NEAR(p.y, 1.0, 1e-6);
    EXPECT_NEAR(p.z, 0.0, 1e-6);
    // Any rotation keeps the length.
    p = RotateByAttitude(3.0, -4.0, 12.0, 12.5f, 231.0f, -7.25f);
    EXPECT_NEAR(std::sqrt(p.x * p.x + p.y * p.y + p.z * p.z), 13.0, 1e-9);
}

} // namespace
} // namespace vexar
