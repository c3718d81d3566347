// The simulated head's moving vehicle: its track, and its world as each ping sees it.

#include "navigation/NavigationMath.h"
#include "sim/World.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vexar::sim {
namespace {

TEST(VehicleWorld, TheHarbourTrackIsACircleRunClockwise) {
    const VehicleTrack track = HarbourTrack();
    const double radius = track.speedMps / (track.turnRateDegPerS * 3.14159265358979 / 180.0);
    const double lap = 360.0 / track.turnRateDegPerS;
    const VehiclePose quarter = PoseAt(track, lap / 4.0);
    EXPECT_NEAR(quarter.eastM, radius, 1e-6) << "heading east and turning to starboard";
    EXPECT_NEAR(quarter.northM, -radius, 1e-6);
    EXPECT_NEAR(quarter.headingDeg, 180.0, 1e-9);
    const VehiclePose around = PoseAt(track, lap);
    EXPECT_NEAR(around.eastM, 0.0, 1e-6);
    EXPECT_NEAR(around.northM, 0.0, 1e-6);
    // The position follows the local metres: the console's projection of it moves as far.
    const UtmPoint start = LatLonToUtm(PoseAt(track, 0.0).position.latitudeDeg, track.startLongitudeDeg);
    const UtmPoint there = LatLonToUtm(quarter.position.latitudeDeg, quarter.position.longitudeDeg);
    EXPECT_NEAR(there.easting - start.easting, radius * 0.9996, 0.005);
    EXPECT_NEAR(there.northing - start.northing, -radius * 0.9996, 0.005);
}

TEST(VehicleWorld, ObjectsFixedOnTheMapMoveAndTurnInThePicture) {
    World world;
    world.points.push_back({"north of the start", 0.0, 10.0, 1.0f});
    VehicleTrack track; // heading east, holding still, level (the fan rolls with the vehicle)
    track.rollAmplitudeDeg = 0.0;
    track.pitchAmplitudeDeg = 0.0;
    const Scene atStart = SceneAt(world, PoseAt(track, 0.0));
    ASSERT_EQ(atStart.points.size(), 1u);
    EXPECT_NEAR(std::remainder(atStart.points[0].bearingDeg, 360.0f), -90.0f, 1e-4f)
        << "to port of a bow east";
    EXPECT_NEAR(atStart.points[0].rangeM, 10.0f, 1e-5f);
    track.speedMps = 1.0;
    const Scene later = SceneAt(world, PoseAt(track, 10.0));
    EXPECT_NEAR(std::remainder(later.points[0].bearingDeg, 360.0f), -135.0f, 1e-3f) << "now behind to port";
    EXPECT_NEAR(later.points[0].rangeM, static_cast<float>(std::sqrt(200.0)), 1e-4f);

    // A scene given around the head keeps its reflectors where they were on the map.
    Scene given;
    given.points.push_back({30.0f, 5.0f, 1.0f});
    given.walls.push_back({100.0f, 4.0f, 150.0f, 6.0f, 0.5f});
    const Scene again = SceneAt(WorldFromScene(given, PoseAt(track, 3.0)), PoseAt(track, 3.0));
    EXPECT_NEAR(again.points[0].bearingDeg, 30.0f, 1e-4f);
    EXPECT_NEAR(again.walls[0].range2M, 6.0f, 1e-5f);
}

TEST(VehicleWorld, ASlopingSeabedIsMetNearerWhereItRises) {
    World world;
    world.seabed = WorldSeabed{10.0, 0.0, 0.1, 45.0f, 0.25f, 0.5f}; // deepens to the north
    VehicleTrack track;
    track.depthM = 2.0;
    track.startHeadingDeg = 0.0;
    const Scene scene = SceneAt(world, PoseAt(track, 0.0));
    ASSERT_EQ(scene.rings.size(), 1u);
    const SeabedRing& ring = scene.rings[0];
    EXPECT_NEAR(ring.rangeM, 8.0f / std::sin(0.785398f), 1e-4f);
    EXPECT_NEAR(ring.slopeAhead, 0.1f, 1e-6f) << "the bow points down the slope";
    EXPECT_NEAR(ring.slopeRight, 0.0f, 1e-6f);
    track.depthM = 10.5; // below the seabed: aground, nothing seen
    EXPECT_TRUE(SceneAt(world, PoseAt(track, 0.0)).rings.empty());
}

} // namespace
} // namespace vexar::sim
