#pragma once
// The world the simulated vehicle moves through: reflectors fixed on the map, in metres east and
// north of the vehicle's start, and a seabed that slopes. Seen from the vehicle's pose it becomes
// the Scene of one ping, in the picture's frame (bearings clockwise from the bow, which is the
// top of the picture): objects move and turn in the picture as the vehicle moves and turns.

#include "sim/Scene.h"
#include "sim/VehicleTrack.h"

#include <optional>
#include <string>
#include <vector>

namespace vexar::sim {

struct WorldPoint {
    std::string name;
    double eastM = 0.0;
    double northM = 0.0;
    float strength = 0.0f;
};

struct WorldWall {
    std::string name;
    double east1M = 0.0;
    double north1M = 0.0;
    double east2M = 0.0;
    double north2M = 0.0;
    float strength = 0.0f;
};

/// A plane seabed, seen by beams depressed by `tiltDeg`: a ring (band) of speckle around the
/// vehicle at the slant range where the beams meet it, nearer where it rises.
struct WorldSeabed {
    double depthM = 0.0;     ///< below the surface at the start
    double slopeEast = 0.0;  ///< depth gained per metre east
    double slopeNorth = 0.0; ///< depth gained per metre north
    float tiltDeg = 50.0f;
    float strength = 0.0f;
    float thicknessM = 0.0f;
};

struct World {
    std::vector<WorldPoint> points;
    std::vector<WorldWall> walls;
    std::optional<WorldSeabed> seabed;
    /// What goes with the vehicle: seabed rings of its own, moving targets, noise, seed, sway.
    Scene around;
};

/// A harbour basin around the default track (a circle of 21.5 m radius run clockwise at
/// 0.75 m/s from the start, heading east), everything 3 to 6 m off the track: a quay wall north
/// of the circle, a row of piles east of it, the rocks at the foot of a breakwater south of it, a
/// wreck of 14 m west of it, three mooring blocks, a tyre and an anchor inside it, and a seabed
/// that deepens towards the quay.
World HarbourWorld();

/// The speed and turn rate of the harbour's track.
VehicleTrack HarbourTrack();

/// The world of a scene given around the vehicle at `start`: its points and walls stay where
/// they were on the map; its rings and moving targets go with the vehicle.
World WorldFromScene(const Scene& scene, const VehiclePose& start);

/// The scene of one ping: the world seen by a head at `pose` (its position, the vehicle's
/// attitude) mounted as `mount`. The head is fixed to the vehicle: its fan rolls and pitches with
/// it. A fan tilted down meets a reflector that stands on the map at horizontal distance d at
/// slant range about d / cos(tilt), and the seabed where its cone cuts it; a level fan (tilt 0)
/// sees the seabed as the world's own tilt says.
Scene SceneAt(const World& world, const VehiclePose& pose, const HeadMount& mount = {});

/// The seabed's depth under a point, when the world has a seabed.
std::optional<double> SeabedDepthAt(const World& world, double eastM, double northM);

} // namespace vexar::sim
