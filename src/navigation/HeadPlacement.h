#pragma once
// Where an echo lies: the one placement every map product uses. A point of the picture (a fan
// angle and a slant range) is put in the head's frame by its mounting (the plane of the fan,
// its tilt and its yaw on the vehicle), turned by the vehicle's attitude and moved by the lever
// arm from the position reference to the head; the position reference is the ping's fix carried
// forward by its speed along the heading to the ping's own time.
//
// Frames: the vehicle's is forward, starboard, down; the map's is east, north, down. The
// attitude turns the first into the second as the XYZ export always has (RotateByAttitude with
// the roll negated), so that a vertical head with no offsets places exactly as that export did.

#include "navigation/CNavigation.h"
#include "navigation/NavigationMath.h"

#include <cstdint>
#include <optional>
#include <string_view>

namespace vexar {

/// How the fan lies on the vehicle.
enum class HeadPlane {
    /// The fan across the track, beam 0 straight down: the XYZ export's geometry, for a head
    /// mounted to profile.
    Vertical,
    /// The fan horizontal, the picture's top towards the bow (turned by the yaw).
    Level,
};

/// Where and how the head sits on the vehicle.
struct HeadMounting {
    HeadPlane plane = HeadPlane::Vertical;
    double tiltDeg = 0.0;    ///< a level fan depressed below the horizontal, 0..90
    double yawDeg = 0.0;     ///< clockwise from the bow to the picture's top
    double forwardM = 0.0;   ///< lever arm from the position reference to the head
    double starboardM = 0.0; ///< m
    double downM = 0.0;      ///< m
    bool operator==(const HeadMounting&) const = default;
};

/// A point of the map: easting and northing in the map's projection, depth below the surface
/// (or below the reference the caller measures depth from), metres.
struct PlacedPoint {
    double east = 0.0;
    double north = 0.0;
    double down = 0.0;
};

/// The fix a ping is placed from.
struct PingFix {
    /// The position reference (a GNSS antenna, an INS) at the fix, in the map's projection, and
    /// its depth as the caller measures depth (the vehicle's, or its change since a first fix).
    PlacedPoint position;
    float headingDeg = 0.0f;
    float pitchDeg = 0.0f;
    float rollDeg = 0.0f;
    float speedMps = 0.0f; ///< over ground, along the heading
    /// How much later the ping was made than the fix (ms, may be negative); nothing: the fix is
    /// taken as it stands.
    std::optional<double> ageMs;
    /// The projection `position` is in.
    MapProjection projection;
};

/// The fan angle of a picture bearing (degrees clockwise from the picture's top), radians: for
/// a vertical fan the XYZ export's beam angle (0 to starboard, -pi/2 straight down; its beam i
/// lies at -pi/2 + i x spacing while the picture draws it at (i - 1/2) x spacing), for a level
/// fan the bearing itself. `beamsPerHead` gives the spacing (120 degrees / beamsPerHead).
double FanAngleOfBearing(HeadPlane plane, double bearingDeg, int beamsPerHead);

/// The fan angles of the combined beams in beam order: a vertical fan's stepped from beam 0
/// straight down as the XYZ export steps them, a level fan's at beam x spacing from the top.
class BeamAngles {
public:
    BeamAngles(HeadPlane plane, int beamsPerHead);
    /// The angle of the beam at hand, radians.
    double Angle() const { return m_angle; }
    /// On to the next beam.
    void Next();

private:
    HeadPlane m_plane;
    double m_step;
    int m_beam = 0;
    double m_angle;
};

/// The nominal sound velocity ranges are measured at (a record's or the picture's range is
/// scaled by c / this).
inline constexpr double kNominalSoundVelocity = 1500.0;

/// A point of the picture found from a position on the map.
struct FanPoint {
    double bearingDeg = 0.0; ///< clockwise from the picture's top, 0 <= bearing < 360
    double slantM = 0.0;     ///< along the beam
    /// How far the position lies off the fan's surface (m): forward of a vertical fan, below a
    /// level one.
    double offFanM = 0.0;
};

/// One ping's head on the map: the fix carried to the ping's time, the lever arm and the
/// mounting. Cheap to make; everything that places a ping's echoes does it through this.
class HeadPose {
public:
    HeadPose(const PingFix& fix, const HeadMounting& mounting);

    const HeadMounting& Mounting() const { return m_mounting; }
    const MapProjection& Projection() const { return m_projection; }
    /// Latitude and longitude of a point of this pose's projection.
    LatLon LatLonOf(const PlacedPoint& point) const;
    /// Where the position reference was at the ping's time (the fix carried forward).
    const PlacedPoint& Reference() const { return m_reference; }
    /// Where the head was at the ping's time (the reference plus the turned lever arm).
    const PlacedPoint& Head() const { return m_head; }
    /// The point of fan angle `angleRad` at range `rangeM` measured at the nominal sound velocity,
    /// for sound velocity `soundVelocity`: slant range rangeM x soundVelocity / 1500.
    PlacedPoint Place(double angleRad, double rangeM, double soundVelocity) const;
    /// A point of the picture as the pointer readout gives it: bearing clockwise from the top,
    /// range in metres of the sound velocity `soundVelocity` (1500 m/s when that is no speed).
    PlacedPoint PlaceInPicture(double bearingDeg, double rangeM, int beamsPerHead,
                               double soundVelocity) const;
    /// The way a point moves per metre of nominal range along fan angle `angleRad` (so that
    /// Place is Head() + rangeM x Ray when nothing else is in the way): for the rasters, which
    /// step along a beam sample by sample.
    PlacedPoint Ray(double angleRad, double soundVelocity) const;
    /// Where a position appears in the picture (the inverse of Place): its bearing, its slant
    /// range and how far it lies off the fan. `beamsPerHead` as FanAngleOfBearing takes it.
    FanPoint PictureOf(const PlacedPoint& point, int beamsPerHead) const;

private:
    /// The vehicle frame (forward, starboard, down) turned onto the map.
    PlacedPoint Turn(double forward, double starboard, double down) const;
    /// A vertical fan's (forward, starboard) turned by the yaw on its mount.
    void YawVerticalFan(double& forward, double& starboard) const;
    /// The vehicle frame point of fan angle `angleRad` at slant rangeM x scale / 1500.
    void InFan(double angleRad, double rangeM, double scale, double& forward, double& starboard,
               double& down) const;

    HeadMounting m_mounting;
    MapProjection m_projection;
    float m_headingDeg;
    float m_pitchDeg;
    float m_rollDeg;
    PlacedPoint m_reference;
    PlacedPoint m_head;
    bool m_hasLever;
};

/// A record's time stamp (DDMMYYYYHHMMSSmmm, local time) as milliseconds since 1970 read as if
/// it were UTC; nothing when it is not 17 digits of a date and time.
std::optional<std::int64_t> StampMs(std::string_view stamp);

/// How much later a ping stamped `pingStamp` (the record's local time) was made than a fix of
/// `fixUtcMs`. The two clocks differ by the time zone, a whole number of quarter hours, which is
/// taken off; nothing when what is left is more than `maxAgeMs` either way (the clocks disagree
/// beyond a fix's age, so the fix is taken as it stands).
std::optional<double> FixAgeMs(std::string_view pingStamp, std::int64_t fixUtcMs, int maxAgeMs);

/// The time of the fix a parsed sentence gave (fields 18 and 19: HH:MM:SS[.fff] and MM/DD/YYYY);
/// nothing without one.
std::optional<std::int64_t> FixTimeOf(const CNavigation& nav);

/// The fix of a parsed sentence with the position reference at `position` (the caller's: a
/// track's, or the sentence's own), and its age at `pingStamp`.
PingFix FixAt(const CNavigation& nav, const PlacedPoint& position, std::string_view pingStamp, int maxAgeMs);

/// The fix of a parsed sentence in `projection` at its position, with the vehicle's depth, and
/// its age at `pingStamp`; nothing when the sentence gave no usable position.
std::optional<PingFix> FixOfSentence(const CNavigation& nav, const MapProjection& projection,
                                     std::string_view pingStamp, int maxAgeMs);

/// The head of the ping whose sentence `nav` parsed, in the UTM zone of its own fix, depths
/// below the surface: what the pointer, contacts and the picture on the map place with. Nothing
/// without a usable fix.
std::optional<HeadPose> PoseOfPing(const CNavigation& nav, std::string_view pingStamp,
                                   const HeadMounting& mounting, int maxAgeMs);

/// The bearing of the picture's top from north (heading plus yaw, 0..360) for a ping whose
/// sentence gave a heading, when the head is level; nothing for a vertical fan (a cross-section
/// has no top on the map) or without a heading.
std::optional<float> TopBearingOfPicture(const CNavigation& nav, const HeadMounting& mounting);

/// The map projection of a position: its own UTM zone and hemisphere.
MapProjection ProjectionOf(double latitudeDeg, double longitudeDeg);

} // namespace vexar
