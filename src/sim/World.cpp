#include "sim/World.h"

#include <array>
#include <cmath>

namespace vexar::sim {

namespace {

constexpr double kPi = 3.14159265358979323846;
constexpr double kDegToRad = kPi / 180.0;
/// Below this height over the seabed the vehicle is aground: no ring.
constexpr double kMinAltitudeM = 0.1;

struct Local {
    double along;  ///< m, towards the object's heading
    double across; ///< m, to its starboard
};

/// Walls between successive corners of an outline given in the object's own frame.
void AddOutline(World& world, const std::string& name, double eastM, double northM, double headingDeg,
                const std::vector<Local>& corners, float strength) {
    const double h = headingDeg * kDegToRad;
    const auto east = [&](const Local& c) { return eastM + c.along * std::sin(h) + c.across * std::cos(h); };
    const auto north = [&](const Local& c) {
        return northM + c.along * std::cos(h) - c.across * std::sin(h);
    };
    for (std::size_t i = 0; i < corners.size(); ++i) {
        const Local& a = corners[i];
        const Local& b = corners[(i + 1) % corners.size()];
        world.walls.push_back({name, east(a), north(a), east(b), north(b), strength});
    }
}

void AddQuayAndPiles(World& world) {
    for (int i = 0; i < 9; ++i) {
        const double west = -45.0 + 10.0 * i;
        world.walls.push_back({"quay " + std::to_string(i + 1), west, 6.0, west + 10.0, 6.0, 0.5f});
    }
    for (int i = 0; i < 9; ++i) {
        world.points.push_back({"pile " + std::to_string(i + 1), 26.5, -38.0 + 4.0 * i, 0.9f});
    }
}

/// Rocks along the foot of a breakwater south of the circle, each a little off the line: the
/// same rocks every run.
void AddBreakwater(World& world) {
    std::uint32_t state = 20261207u;
    const auto next = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<double>(state >> 8) / 16777216.0;
    };
    for (int i = 0; i < 26; ++i) {
        const double east = -25.0 + 2.0 * i + next() - 0.5;
        const double north = -48.5 + 1.6 * (next() - 0.5);
        world.points.push_back(
            {"rock " + std::to_string(i + 1), east, north, static_cast<float>(0.4 + 0.4 * next())});
    }
}

void AddBlocksAndWreck(World& world) {
    const std::vector<Local> block = {{1.0, -1.0}, {1.0, 1.0}, {-1.0, 1.0}, {-1.0, -1.0}};
    struct Placed {
        double east, north, heading;
    };
    const std::array<Placed, 3> blocks = {{{-8.0, -7.5, 15.0}, {12.0, -32.0, 40.0}, {-13.0, -31.0, 70.0}}};
    for (std::size_t i = 0; i < blocks.size(); ++i) {
        AddOutline(world, "block " + std::to_string(i + 1), blocks[i].east, blocks[i].north,
                   blocks[i].heading, block, 0.6f);
    }
    world.points.push_back({"tyre", 5.0, -4.0, 0.5f});
    world.points.push_back({"anchor", 17.0, -12.0, 0.7f});
    // A hull of 14 m by 4.2 m lying with its bow to 165 degrees, with its engine and a winch.
    const std::vector<Local> hull = {{7.0, 0.0},   {3.5, 2.1},   {-5.5, 2.1}, {-7.0, 1.6},
                                     {-7.0, -1.6}, {-5.5, -2.1}, {3.5, -2.1}};
    constexpr double kWreckEast = -28.5;
    constexpr double kWreckNorth = -22.0;
    constexpr double kWreckHeading = 165.0;
    AddOutline(world, "wreck", kWreckEast, kWreckNorth, kWreckHeading, hull, 0.6f);
    const double h = kWreckHeading * kDegToRad;
    world.points.push_back(
        {"wreck engine", kWreckEast - 2.0 * std::sin(h), kWreckNorth - 2.0 * std::cos(h), 1.0f});
    world.points.push_back(
        {"wreck winch", kWreckEast + 4.0 * std::sin(h), kWreckNorth + 4.0 * std::cos(h), 0.8f});
}

struct MapWay {
    double east;
    double north;
};

/// The horizontal part of a way in the vehicle's frame (forward, starboard, down) on the map: the
/// attitude turns it by the roll about the bow (positive: starboard up), the pitch about the
/// starboard axis (positive: bow up), then the heading.
MapWay OntoMap(double forward, double starboard, double down, const VehiclePose& pose) {
    const double r = pose.rollDeg * kDegToRad;
    const double p = pose.pitchDeg * kDegToRad;
    const double h = pose.headingDeg * kDegToRad;
    const double across = starboard * std::cos(r) + down * std::sin(r);
    const double ahead = forward * std::cos(p) + (down * std::cos(r) - starboard * std::sin(r)) * std::sin(p);
    return {ahead * std::sin(h) + across * std::cos(h), ahead * std::cos(h) - across * std::sin(h)};
}

/// Where a map point shows in the picture of a head at `pose` mounted as `mount`: its bearing in
/// the fan (degrees clockwise from the picture's top) and the slant range at which the fan's
/// cone, turned by the vehicle's attitude, meets the point's vertical. The bearing is found by
/// turning it until the beam's way over the ground points at the point.
PointTarget Seen(const VehiclePose& pose, const HeadMount& mount, double eastM, double northM,
                 float strength) {
    const double dx = eastM - pose.eastM;
    const double dy = northM - pose.northM;
    const double want = std::atan2(dx, dy);
    const double tilt = mount.tiltDeg * kDegToRad;
    double bearing = want / kDegToRad - pose.headingDeg - mount.yawDeg;
    double across = std::cos(tilt);
    for (int i = 0; i < 5; ++i) {
        const double a = (bearing + mount.yawDeg) * kDegToRad;
        const MapWay way =
            OntoMap(std::cos(tilt) * std::cos(a), std::cos(tilt) * std::sin(a), std::sin(tilt), pose);
        across = std::hypot(way.east, way.north);
        bearing += std::remainder(want - std::atan2(way.east, way.north), 2.0 * kPi) / kDegToRad;
    }
    return {static_cast<float>(bearing), static_cast<float>(std::hypot(dx, dy) / across), strength};
}

/// A map point at `bearingDeg` (clockwise from the bow) and `rangeM` from `pose`.
std::array<double, 2> Placed(const VehiclePose& pose, float bearingDeg, float rangeM) {
    const double b = (static_cast<double>(bearingDeg) + pose.headingDeg) * kDegToRad;
    const double r = static_cast<double>(rangeM);
    return {pose.eastM + r * std::sin(b), pose.northM + r * std::cos(b)};
}

} // namespace

World HarbourWorld() {
    World world;
    AddQuayAndPiles(world);
    AddBreakwater(world);
    AddBlocksAndWreck(world);
    world.seabed = WorldSeabed{9.2, 0.02, 0.08, 50.0f, 0.6f, 0.3f};
    return world;
}

VehicleTrack HarbourTrack() {
    VehicleTrack track;
    track.speedMps = 0.75;
    track.turnRateDegPerS = 2.0;
    return track;
}

World WorldFromScene(const Scene& scene, const VehiclePose& start) {
    World world;
    world.around = scene;
    world.around.points.clear();
    world.around.walls.clear();
    for (std::size_t i = 0; i < scene.points.size(); ++i) {
        const PointTarget& p = scene.points[i];
        const auto at = Placed(start, p.bearingDeg, p.rangeM);
        world.points.push_back({"target " + std::to_string(i + 1), at[0], at[1], p.strength});
    }
    for (std::size_t i = 0; i < scene.walls.size(); ++i) {
        const Wall& w = scene.walls[i];
        const auto a = Placed(start, w.bearing1Deg, w.range1M);
        const auto b = Placed(start, w.bearing2Deg, w.range2M);
        world.walls.push_back({"wall " + std::to_string(i + 1), a[0], a[1], b[0], b[1], w.strength});
    }
    return world;
}

std::optional<double> SeabedDepthAt(const World& world, double eastM, double northM) {
    if (!world.seabed) {
        return std::nullopt;
    }
    const WorldSeabed& s = *world.seabed;
    return s.depthM + s.slopeEast * eastM + s.slopeNorth * northM;
}

Scene SceneAt(const World& world, const VehiclePose& pose, const HeadMount& mount) {
    Scene scene = world.around;
    for (const WorldPoint& p : world.points) {
        scene.points.push_back(Seen(pose, mount, p.eastM, p.northM, p.strength));
    }
    for (const WorldWall& w : world.walls) {
        const PointTarget a = Seen(pose, mount, w.east1M, w.north1M, w.strength);
        const PointTarget b = Seen(pose, mount, w.east2M, w.north2M, w.strength);
        scene.walls.push_back({a.bearingDeg, a.rangeM, b.bearingDeg, b.rangeM, w.strength});
    }
    const std::optional<double> depth = SeabedDepthAt(world, pose.eastM, pose.northM);
    if (!depth || !(*depth - pose.depthM > kMinAltitudeM)) {
        return scene;
    }
    const WorldSeabed& s = *world.seabed;
    const double tilt = (mount.tiltDeg > 0.0 ? mount.tiltDeg : static_cast<double>(s.tiltDeg)) * kDegToRad;
    const double h = (pose.headingDeg + mount.yawDeg) * kDegToRad;
    // The seabed's gradient along the bow and to starboard, over the beams' own slope.
    const double ahead = (s.slopeEast * std::sin(h) + s.slopeNorth * std::cos(h)) / std::tan(tilt);
    const double right = (s.slopeEast * std::cos(h) - s.slopeNorth * std::sin(h)) / std::tan(tilt);
    const double range = (*depth - pose.depthM) / std::sin(tilt);
    scene.rings.push_back({static_cast<float>(range), s.strength, s.thicknessM, static_cast<float>(ahead),
                           static_cast<float>(right)});
    return scene;
}

} // namespace vexar::sim
