#include "navigation/HeadPlacement.h"

#include "common/UtcTime.h"
#include "navigation/NavigationSentence.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vexar {

namespace {
// The XYZ export's beam 0 points straight down and its beams step by the head's beam spacing
// in these units; a vertical fan keeps them so that its points stay where the export put them.
constexpr double kFirstBeamAngleRad = -1.5707963146269321;
constexpr double kBeamStepPerDegree = 0.01745329238474369;
constexpr double kDegToRad = std::numbers::pi / 180.0;
// The attitude's degrees as RotateByAttitude turns them, so that its inverse undoes it exactly.
constexpr double kAttitudeDegToRad = 0.017453292;
// Time zones differ from UTC by whole quarter hours.
constexpr std::int64_t kZoneStepMs = 15 * 60 * 1000;
// A cone this close to straight down has no bearing to speak of.
constexpr double kSteepestCos = 1e-6;

double BeamSpacingDeg(int beamsPerHead) {
    return 120.0 / std::max(beamsPerHead, 1);
}

double Wrap360(double degrees) {
    double wrapped = std::fmod(degrees, 360.0);
    if (wrapped < 0.0) {
        wrapped += 360.0;
    }
    return wrapped >= 360.0 ? 0.0 : wrapped;
}
} // namespace

double FanAngleOfBearing(HeadPlane plane, double bearingDeg, int beamsPerHead) {
    if (plane == HeadPlane::Level) {
        return bearingDeg * kDegToRad;
    }
    return (bearingDeg - 90.0 + BeamSpacingDeg(beamsPerHead) / 2.0) * kBeamStepPerDegree;
}

BeamAngles::BeamAngles(HeadPlane plane, int beamsPerHead)
    : m_plane(plane), m_step(BeamSpacingDeg(beamsPerHead)),
      m_angle(plane == HeadPlane::Level ? 0.0 : kFirstBeamAngleRad) {
    if (plane == HeadPlane::Vertical) {
        m_step *= kBeamStepPerDegree;
    }
}

void BeamAngles::Next() {
    ++m_beam;
    // The vertical fan steps as the export always has; the level one is counted afresh, so that
    // no rounding gathers over 1920 beams.
    m_angle = m_plane == HeadPlane::Level ? m_beam * m_step * kDegToRad : m_angle + m_step;
}

HeadPose::HeadPose(const PingFix& fix, const HeadMounting& mounting)
    : m_mounting(mounting), m_projection(fix.projection), m_headingDeg(fix.headingDeg),
      m_pitchDeg(fix.pitchDeg), m_rollDeg(fix.rollDeg), m_reference(fix.position), m_head(fix.position),
      m_hasLever(mounting.forwardM != 0.0 || mounting.starboardM != 0.0 || mounting.downM != 0.0) {
    if (fix.ageMs && fix.speedMps != 0.0f) {
        // Carried along the heading: the sentence has no course, and a vehicle under way goes
        // where its bow points.
        const double travelled = static_cast<double>(fix.speedMps) * *fix.ageMs / 1000.0;
        const double h = static_cast<double>(fix.headingDeg) * kDegToRad;
        m_reference.east += travelled * std::sin(h);
        m_reference.north += travelled * std::cos(h);
        m_head = m_reference;
    }
    if (m_hasLever) {
        const PlacedPoint lever = Turn(mounting.forwardM, mounting.starboardM, mounting.downM);
        m_head.east = m_reference.east + lever.east;
        m_head.north = m_reference.north + lever.north;
        m_head.down = m_reference.down + lever.down;
    }
}

LatLon HeadPose::LatLonOf(const PlacedPoint& point) const {
    return UtmToLatLon(UtmPoint{point.east, point.north, m_projection.zone}, m_projection.south);
}

PlacedPoint HeadPose::Turn(double forward, double starboard, double down) const {
    const RotatedPoint p = RotateByAttitude(starboard, down, forward, m_pitchDeg, m_headingDeg, -m_rollDeg);
    return {p.x, p.y, p.z};
}

void HeadPose::YawVerticalFan(double& forward, double& starboard) const {
    // A fan across the track turned on its mount sweeps a slice at the yaw from across.
    if (m_mounting.yawDeg == 0.0) {
        return;
    }
    const double y = m_mounting.yawDeg * kDegToRad;
    const double f = forward * std::cos(y) - starboard * std::sin(y);
    starboard = forward * std::sin(y) + starboard * std::cos(y);
    forward = f;
}

void HeadPose::InFan(double angleRad, double rangeM, double scale, double& forward, double& starboard,
                     double& down) const {
    if (m_mounting.plane == HeadPlane::Vertical) {
        // The export's own arithmetic, operation for operation.
        forward = 0.0;
        starboard = rangeM * std::cos(angleRad) * scale / kNominalSoundVelocity;
        down = -(rangeM * std::sin(angleRad) * scale / kNominalSoundVelocity);
        YawVerticalFan(forward, starboard);
        return;
    }
    const double slant = rangeM * scale / kNominalSoundVelocity;
    const double tilt = m_mounting.tiltDeg * kDegToRad;
    const double across = slant * std::cos(tilt);
    const double bearing = angleRad + m_mounting.yawDeg * kDegToRad;
    forward = across * std::cos(bearing);
    starboard = across * std::sin(bearing);
    down = slant * std::sin(tilt);
}

PlacedPoint HeadPose::Place(double angleRad, double rangeM, double soundVelocity) const {
    double forward = 0.0;
    double starboard = 0.0;
    double down = 0.0;
    InFan(angleRad, rangeM, soundVelocity, forward, starboard, down);
    const PlacedPoint p = Turn(forward, starboard, down);
    return {m_head.east + p.east, m_head.north + p.north, m_head.down + p.down};
}

PlacedPoint HeadPose::PlaceInPicture(double bearingDeg, double rangeM, int beamsPerHead,
                                     double soundVelocity) const {
    const double c =
        soundVelocity > 0.0 && std::isfinite(soundVelocity) ? soundVelocity : kNominalSoundVelocity;
    // The readout's range is corrected for the sound velocity already; Place applies the
    // correction itself.
    return Place(FanAngleOfBearing(m_mounting.plane, bearingDeg, beamsPerHead),
                 rangeM * kNominalSoundVelocity / c, c);
}

PlacedPoint HeadPose::Ray(double angleRad, double soundVelocity) const {
    double forward = 0.0;
    double starboard = 0.0;
    double down = 0.0;
    const double scale = soundVelocity / kNominalSoundVelocity;
    if (m_mounting.plane == HeadPlane::Vertical) {
        starboard = std::cos(angleRad) * scale;
        down = -(std::sin(angleRad) * scale);
        YawVerticalFan(forward, starboard);
    } else {
        InFan(angleRad, kNominalSoundVelocity, scale, forward, starboard, down);
    }
    return Turn(forward, starboard, down);
}

FanPoint HeadPose::PictureOf(const PlacedPoint& point, int beamsPerHead) const {
    // RotateByAttitude undone step by step: heading, then pitch, then the (negated) roll.
    const double x = point.east - m_head.east;
    const double y = point.north - m_head.north;
    const double z = point.down - m_head.down;
    const double p = static_cast<double>(m_pitchDeg) * kAttitudeDegToRad;
    const double h = static_cast<double>(m_headingDeg) * kAttitudeDegToRad;
    const double r = static_cast<double>(-m_rollDeg) * kAttitudeDegToRad;
    const double w = x * std::cos(h) - y * std::sin(h);
    const double v = x * std::sin(h) + y * std::cos(h);
    const double u = z * std::cos(p) + v * std::sin(p);
    double forward = -z * std::sin(p) + v * std::cos(p);
    double starboard = w * std::cos(r) + u * std::sin(r);
    const double down = u * std::cos(r) - w * std::sin(r);
    const double yaw = m_mounting.yawDeg * kDegToRad;
    FanPoint out;
    if (m_mounting.plane == HeadPlane::Vertical) {
        if (yaw != 0.0) {
            const double f = forward * std::cos(yaw) + starboard * std::sin(yaw);
            starboard = -forward * std::sin(yaw) + starboard * std::cos(yaw);
            forward = f;
        }
        const double angleDeg = std::atan2(-down, starboard) / kBeamStepPerDegree;
        out.bearingDeg = Wrap360(angleDeg + 90.0 - BeamSpacingDeg(beamsPerHead) / 2.0);
        out.slantM = std::hypot(starboard, down);
        out.offFanM = forward;
        return out;
    }
    const double across = std::hypot(forward, starboard);
    out.bearingDeg = Wrap360(std::atan2(starboard, forward) / kDegToRad - m_mounting.yawDeg);
    const double cosTilt = std::cos(m_mounting.tiltDeg * kDegToRad);
    if (cosTilt < kSteepestCos) {
        out.slantM = down;
        out.offFanM = across;
        return out;
    }
    out.slantM = across / cosTilt;
    out.offFanM = down - across * std::tan(m_mounting.tiltDeg * kDegToRad);
    return out;
}

std::optional<std::int64_t> StampMs(std::string_view stamp) {
    if (stamp.size() != 17 ||
        !std::all_of(stamp.begin(), stamp.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return std::nullopt;
    }
    const auto number = [&](std::size_t at, std::size_t length) {
        int value = 0;
        for (std::size_t i = at; i < at + length; ++i) {
            value = value * 10 + (stamp[i] - '0');
        }
        return value;
    };
    UtcDateTime t;
    t.day = number(0, 2);
    t.month = number(2, 2);
    t.year = number(4, 4);
    t.hour = number(8, 2);
    t.minute = number(10, 2);
    t.second = number(12, 2);
    t.millisecond = number(14, 3);
    return MsFromUtc(t);
}

std::optional<double> FixAgeMs(std::string_view pingStamp, std::int64_t fixUtcMs, int maxAgeMs) {
    const std::optional<std::int64_t> ping = StampMs(pingStamp);
    if (!ping) {
        return std::nullopt;
    }
    const std::int64_t apart = *ping - fixUtcMs;
    // The nearest whole quarter hour is the time zone; the rest is the fix's age.
    const std::int64_t zone = (apart >= 0 ? apart + kZoneStepMs / 2 : apart - kZoneStepMs / 2) / kZoneStepMs;
    const std::int64_t age = apart - zone * kZoneStepMs;
    if (age > maxAgeMs || age < -static_cast<std::int64_t>(maxAgeMs)) {
        return std::nullopt;
    }
    return static_cast<double>(age);
}

std::optional<std::int64_t> FixTimeOf(const CNavigation& nav) {
    return ReadSentenceTime(nav.m_timeText, nav.m_dateText);
}

std::optional<PingFix> FixOfSentence(const CNavigation& nav, const MapProjection& projection,
                                     std::string_view pingStamp, int maxAgeMs) {
    if (nav.m_latitudeText.empty() || nav.m_longitudeText.empty() || !(std::fabs(nav.m_latitude) <= 90.0) ||
        !std::isfinite(nav.m_longitude)) {
        return std::nullopt;
    }
    // The export's rule for a usable fix: a position that projects onto an axis (an empty fix
    // reads 0, 0) is none.
    const UtmPoint own = LatLonToUtm(nav.m_latitude, nav.m_longitude);
    if (own.easting == 0.0 || own.northing == 0.0) {
        return std::nullopt;
    }
    const UtmPoint at = ProjectInto(projection, nav.m_latitude, nav.m_longitude);
    PingFix fix =
        FixAt(nav, {at.easting, at.northing, static_cast<double>(nav.m_depth)}, pingStamp, maxAgeMs);
    fix.projection = projection;
    return fix;
}

std::optional<HeadPose> PoseOfPing(const CNavigation& nav, std::string_view pingStamp,
                                   const HeadMounting& mounting, int maxAgeMs) {
    const std::optional<PingFix> fix =
        FixOfSentence(nav, ProjectionOf(nav.m_latitude, nav.m_longitude), pingStamp, maxAgeMs);
    if (!fix) {
        return std::nullopt;
    }
    return HeadPose(*fix, mounting);
}

PingFix FixAt(const CNavigation& nav, const PlacedPoint& position, std::string_view pingStamp, int maxAgeMs) {
    PingFix fix;
    fix.position = position;
    fix.headingDeg = nav.m_heading;
    fix.pitchDeg = nav.m_pitch;
    fix.rollDeg = nav.m_roll;
    fix.speedMps = nav.m_speed;
    if (const std::optional<std::int64_t> time = FixTimeOf(nav)) {
        fix.ageMs = FixAgeMs(pingStamp, *time, maxAgeMs);
    }
    return fix;
}

std::optional<float> TopBearingOfPicture(const CNavigation& nav, const HeadMounting& mounting) {
    if (mounting.plane != HeadPlane::Level || !nav.m_hasHeading || !std::isfinite(nav.m_heading)) {
        return std::nullopt;
    }
    return static_cast<float>(Wrap360(static_cast<double>(nav.m_heading) + mounting.yawDeg));
}

MapProjection ProjectionOf(double latitudeDeg, double longitudeDeg) {
    return MapProjection{UtmZone(latitudeDeg, longitudeDeg), latitudeDeg < 0.0};
}

} // namespace vexar
