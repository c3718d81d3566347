#pragma once
// The simulated head's vehicle: where it is, where it heads and how it rolls at any moment. It
// runs at a constant speed and turn rate from its start, so that its pose is a closed formula of
// time: the picture of a ping and the navigation the head publishes use the same pose at the
// same time, whichever thread asks.
//
// Positions are metres east and north of the start on the plane that touches the ellipsoid there
// (true north, true metres); latitude and longitude follow from the radii of curvature at the
// start, which keeps them within millimetres of the ellipsoid over the few hundred metres of a
// survey.

#include <cstdint>

namespace vexar::sim {

/// A position on WGS 84, degrees, south and west negative.
struct MapPosition {
    double latitudeDeg = 0.0;
    double longitudeDeg = 0.0;
};

struct VehicleTrack {
    /// On the central meridian of its UTM zone (32), where grid north is true north.
    double startLatitudeDeg = 43.5;
    double startLongitudeDeg = 9.0;
    double startHeadingDeg = 90.0; ///< clockwise from true north
    double speedMps = 0.0;
    double turnRateDegPerS = 0.0; ///< positive turns to starboard
    double depthM = 2.0;          ///< of the head below the surface
    /// A slow roll and pitch in the swell, degrees: sines of 5 s and 7 s periods.
    double rollAmplitudeDeg = 2.0;
    double pitchAmplitudeDeg = 1.0;
};

struct VehiclePose {
    double seconds = 0.0; ///< since the start
    double eastM = 0.0;   ///< of the start
    double northM = 0.0;
    MapPosition position;
    double headingDeg = 0.0; ///< 0..360
    double courseDeg = 0.0;  ///< over ground, 0..360
    double speedMps = 0.0;
    double pitchDeg = 0.0;
    double rollDeg = 0.0;
    double depthM = 0.0;
};

/// How the head sits on the vehicle: turned on its mount, its fan tilted down, and off the point
/// whose position the vehicle reports (metres forward, starboard and down of it).
struct HeadMount {
    double yawDeg = 0.0;  ///< clockwise from the bow to the picture's top
    double tiltDeg = 0.0; ///< the fan depressed below the horizontal, 0..89
    double forwardM = 0.0;
    double starboardM = 0.0;
    double downM = 0.0;
};

/// The pose `seconds` after the start.
VehiclePose PoseAt(const VehicleTrack& track, double seconds);

/// Where the head of a vehicle at `vehicle` is: at the lever arm turned by the vehicle's heading
/// (its roll and pitch move the head by millimetres at the arms simulated), with the vehicle's
/// attitude.
VehiclePose HeadPoseOf(const VehicleTrack& track, const VehiclePose& vehicle, const HeadMount& mount);

/// The position of a point `eastM` and `northM` from the track's start.
MapPosition PositionOf(const VehicleTrack& track, double eastM, double northM);

} // namespace vexar::sim
