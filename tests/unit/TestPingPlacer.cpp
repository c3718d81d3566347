#include "navigation/CNavigation.h"
#include "navigation/MapTrack.h"
#include "navigation/PingPlacer.h"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

namespace vexar {
namespace {

/// A sentence at a position in decimal degrees with the given depth and attitude.
std::string Sentence(double lat, double lon, double depth = 0.0, double heading = 0.0, double pitch = 0.0,
                     double roll = 0.0) {
    const auto field = [](double degrees) {
        const double magnitude = std::fabs(degrees);
        const int whole = static_cast<int>(magnitude);
        char text[64];
        std::snprintf(text, sizeof text, "%d;%.9f", whole, (magnitude - whole) * 60.0);
        return std::string(text);
    };
    char text[256];
    std::snprintf(text, sizeof text,
                  "$AULOG,%s,%c,%s,%c,,%.2f,,%.2f,%.2f,%.2f,0.5,,,0.0,230,0,9913,0.00,10/14/1999,**6B",
                  field(lat).c_str(), lat < 0 ? 'S' : 'N', field(lon).c_str(), lon < 0 ? 'W' : 'E', depth,
                  heading, pitch, roll);
    return text;
}

/// The header of a beam record: 360 beams (beam setting 120) of 500 samples over 10 m.
RecordHeaderFields BeamHeader(float soundVelocity = 1500.0f) {
    RecordHeaderFields fields;
    fields.signature = "B96";
    fields.beamCount = 360;
    fields.samples = 500;
    fields.rangeM = 10.0f;
    fields.soundVelocity = soundVelocity;
    return fields;
}

HeadMounting Level(double tiltDeg, double yawDeg, double forwardM = 0.0, double starboardM = 0.0,
                   double downM = 0.0) {
    return HeadMounting{HeadPlane::Level, tiltDeg, yawDeg, forwardM, starboardM, downM};
}

// One case a row. Vertical is the export's geometry: beam 90 of 360 lies across (x), beam 0
// straight down; heading turns the across axis clockwise from east; the sound velocity scales
// every offset. Level: beam 90 points to starboard, a tilt takes the slant range down, a yaw
// turns the picture's top from the bow, and a lever arm moves where every beam starts.
TEST(PingPlacer, PlacesBeamsAsTheHeadSits) {
    struct Case {
        HeadMounting mounting;
        int beam;
        double heading;
        float soundVelocity;
        double east, north, depth;  // per metre of slant range
        double headEast, headNorth; // where the beams start, from the fix
    } const cases[] = {
        {{}, 90, 0.0, 1500.0f, 1.0, 0.0, 0.0, 0.0, 0.0},
        {{}, 0, 0.0, 1500.0f, 0.0, 0.0, 1.0, 0.0, 0.0},
        {{}, 90, 90.0, 1500.0f, 0.0, -1.0, 0.0, 0.0, 0.0},
        {{}, 90, 30.0, 1500.0f, 0.8660254, -0.5, 0.0, 0.0, 0.0},
        {{}, 270, 0.0, 1500.0f, -1.0, 0.0, 0.0, 0.0, 0.0},
        {{}, 90, 0.0, 1485.0f, 0.99, 0.0, 0.0, 0.0, 0.0},
        {Level(0, 0), 0, 0.0, 1500.0f, 0.0, 1.0, 0.0, 0.0, 0.0},
        {Level(0, 0), 90, 0.0, 1500.0f, 1.0, 0.0, 0.0, 0.0, 0.0},
        {Level(0, 0), 90, 90.0, 1500.0f, 0.0, -1.0, 0.0, 0.0, 0.0},
        {Level(30, 0), 0, 90.0, 1500.0f, 0.8660254, 0.0, 0.5, 0.0, 0.0},
        {Level(0, 180), 0, 0.0, 1500.0f, 0.0, -1.0, 0.0, 0.0, 0.0},
        {Level(0, 180), 90, 0.0, 1485.0f, -0.99, 0.0, 0.0, 0.0, 0.0},
        {Level(0, 0, 2.0, -1.0, 0.5), 45, 90.0, 1500.0f, 0.7071068, -0.7071068, 0.0, 2.0, 1.0},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message()
                     << (c.mounting.plane == HeadPlane::Level ? "level" : "vertical") << " beam " << c.beam
                     << " heading " << c.heading << " c " << c.soundVelocity);
        PingPlacer placer({}, c.mounting);
        PlacedPing ping;
        ASSERT_EQ(placer.Place(BeamHeader(c.soundVelocity), Sentence(2.5, -99.2, 0.0, c.heading), ping),
                  Placement::Placed);
        const UtmPoint fix = LatLonToUtm(2.5, -99.2);
        EXPECT_NEAR(ping.east, fix.easting + c.headEast, 1e-6);
        EXPECT_NEAR(ping.north, fix.northing + c.headNorth, 1e-6);
        const auto b = static_cast<std::size_t>(c.beam);
        EXPECT_NEAR(ping.dEast[b], c.east, 1e-6);
        EXPECT_NEAR(ping.dNorth[b], c.north, 1e-6);
        EXPECT_NEAR(ping.dDepth[b], c.depth, 1e-6);
        EXPECT_EQ(placer.Projection().Epsg(), 32614);
    }
}

// Pings are placed from the first usable fix on, and only when their record carries a position.
TEST(PingPlacer, PingsWithoutAFixAreNotPlaced) {
    PingPlacer placer;
    PlacedPing ping;
    EXPECT_EQ(placer.Place(BeamHeader(), "", ping), Placement::NoFix);
    // On the equator the northing is 0: not a usable first fix.
    EXPECT_EQ(placer.Place(BeamHeader(), Sentence(0.0, 3.0), ping), Placement::NoFix);
    EXPECT_EQ(placer.Place(BeamHeader(), Sentence(2.0, 3.0), ping), Placement::Placed);
    EXPECT_EQ(placer.Place(BeamHeader(), "", ping), Placement::NoFix);
    RecordHeaderFields noBeams = BeamHeader();
    noBeams.beamCount = 0;
    EXPECT_EQ(placer.Place(noBeams, Sentence(2.0, 3.0), ping), Placement::BadRecord);
}

// Within one zone the map track is the export's track, jumps and depth changes included.
TEST(MapTrack, FollowsTheExportTrack) {
    const double fixes[][3] = {{2.0, 3.0, -20.0},
                               {2.00002, 3.00002, -20.5},
                               {2.0001, 3.0001, -21.0},
                               {2.00012, 3.0001, -21.0},
                               {2.00013, 3.00011, -19.0}};
    CNavigation nav;
    MapTrack track;
    for (const auto& fix : fixes) {
        nav.ParseNavigationSentence(Sentence(fix[0], fix[1], fix[2]), true);
        track.Update(nav.m_latitude, nav.m_longitude, nav.m_depth);
        EXPECT_DOUBLE_EQ(track.Easting(), nav.m_originEasting + nav.m_trackOffsetX);
        EXPECT_DOUBLE_EQ(track.Northing(), nav.m_originNorthing + nav.m_trackOffsetY);
        EXPECT_DOUBLE_EQ(track.DepthChange(), nav.m_trackOffsetZ);
    }
}

// A map keeps its zone: a track that crosses into the next zone goes on in the first one, and a
// southern map numbers a fix north of the equator as its southern neighbours.
TEST(MapTrack, StaysInTheMapsZone) {
    MapTrack track;
    track.Update(2.0, -96.00002, 0.0); // zone 14, a metre west of zone 15
    ASSERT_EQ(track.Projection().zone, 14);
    const double start = track.Easting();
    track.Update(2.0, -95.99998, 0.0); // zone 15
    EXPECT_NEAR(track.Easting() - start, 4.45, 0.05);

    MapTrack south(MapProjection{33, true});
    south.Update(0.00001, 15.0, 0.0);
    EXPECT_NEAR(south.Northing(), 10000000.0 + 1.1, 0.05);
    const UtmPoint point = ProjectInto(MapProjection{33, false}, -0.00001, 15.0);
    EXPECT_NEAR(point.northing, -1.1, 0.05);
}

} // namespace
} // namespace vexar
