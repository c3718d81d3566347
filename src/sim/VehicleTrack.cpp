#include "sim/VehicleTrack.h"

#include <cmath>

namespace vexar::sim {

namespace {
constexpr double kPi = 3.14159265358979323846;
constexpr double kDegToRad = kPi / 180.0;
constexpr double kSemiMajorM = 6378137.0;
constexpr double kEccentricitySquared = 0.00669437999014;
constexpr double kRollPeriodS = 5.0;
constexpr double kPitchPeriodS = 7.0;

double Wrap360(double degrees) {
    const double wrapped = std::fmod(degrees, 360.0);
    return wrapped < 0.0 ? wrapped + 360.0 : wrapped;
}
} // namespace

MapPosition PositionOf(const VehicleTrack& track, double eastM, double northM) {
    const double phi = track.startLatitudeDeg * kDegToRad;
    const double w = 1.0 - kEccentricitySquared * std::sin(phi) * std::sin(phi);
    const double meridian = kSemiMajorM * (1.0 - kEccentricitySquared) / (w * std::sqrt(w));
    const double primeVertical = kSemiMajorM / std::sqrt(w);
    MapPosition position;
    position.latitudeDeg = track.startLatitudeDeg + northM / meridian / kDegToRad;
    position.longitudeDeg = track.startLongitudeDeg + eastM / (primeVertical * std::cos(phi)) / kDegToRad;
    return position;
}

VehiclePose PoseAt(const VehicleTrack& track, double seconds) {
    VehiclePose pose;
    pose.seconds = seconds;
    const double v = track.speedMps;
    const double psi0 = track.startHeadingDeg * kDegToRad;
    const double omega = track.turnRateDegPerS * kDegToRad;
    const double psi = psi0 + omega * seconds;
    // Heading clockwise from north: the velocity is v (sin psi, cos psi), integrated exactly.
    if (std::fabs(omega) > 1e-12) {
        pose.eastM = v / omega * (std::cos(psi0) - std::cos(psi));
        pose.northM = v / omega * (std::sin(psi) - std::sin(psi0));
    } else {
        pose.eastM = v * seconds * std::sin(psi0);
        pose.northM = v * seconds * std::cos(psi0);
    }
    pose.position = PositionOf(track, pose.eastM, pose.northM);
    pose.headingDeg = Wrap360(psi / kDegToRad);
    pose.courseDeg = pose.headingDeg;
    pose.speedMps = std::fabs(v);
    pose.rollDeg = track.rollAmplitudeDeg * std::sin(2.0 * kPi * seconds / kRollPeriodS);
    pose.pitchDeg = track.pitchAmplitudeDeg * std::sin(2.0 * kPi * seconds / kPitchPeriodS + 1.0);
    pose.depthM = track.depthM;
    return pose;
}

VehiclePose HeadPoseOf(const VehicleTrack& track, const VehiclePose& vehicle, const HeadMount& mount) {
    VehiclePose head = vehicle;
    const double h = vehicle.headingDeg * kDegToRad;
    head.eastM += mount.forwardM * std::sin(h) + mount.starboardM * std::cos(h);
    head.northM += mount.forwardM * std::cos(h) - mount.starboardM * std::sin(h);
    head.position = PositionOf(track, head.eastM, head.northM);
    head.depthM += mount.downM;
    return head;
}

} // namespace vexar::sim
