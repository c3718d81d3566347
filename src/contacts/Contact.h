#pragma once
// A contact: a point of the sonar picture the operator marked, with the ping it was marked on,
// where it lies on the map when that ping had a position fix, what the operator says of it, and
// a small image of the picture around it.

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vexar {

/// What the operator has decided about a contact.
enum class ContactStatus {
    Proposed,
    Confirmed,
    Rejected,
};

/// "proposed", "confirmed", "rejected".
std::string_view StatusName(ContactStatus status);
/// The status of a name StatusName gives; nothing for any other text.
std::optional<ContactStatus> StatusOfName(std::string_view name);

/// Where a contact lies on the map: WGS 84 and UTM, and its depth below the surface.
struct ContactPosition {
    double latitudeDeg = 0.0;  ///< south negative
    double longitudeDeg = 0.0; ///< west negative
    double easting = 0.0;      ///< m, UTM in the zone of the fix
    double northing = 0.0;     ///< m
    int epsg = 0;              ///< WGS 84 / UTM zone: 326zz north, 327zz south
    double depthM = 0.0;       ///< below the surface: the vehicle's depth plus the point's offset below it
};

struct Contact {
    int number = 0;
    /// The ping's time (UTC, ms since 1970); nothing when its time is not known.
    std::optional<std::int64_t> utcMs;
    std::string recording;                      ///< the played recording, or the raw file being recorded
    std::optional<std::uint32_t> recordCounter; ///< the played record's counter
    std::optional<std::uint64_t> recordOffset;  ///< where the played record starts in its file
    /// Bearing of the point (degrees): from north when the ping has a heading, else clockwise from
    /// the top of the picture.
    float bearingDeg = 0.0f;
    bool bearingFromNorth = false;
    float pictureBearingDeg = 0.0f; ///< clockwise from the top of the picture
    float rangeM = 0.0f;
    std::optional<ContactPosition> position; ///< nothing when the ping had no usable fix
    std::optional<float> vehicleDepthM;
    std::optional<float> lengthM; ///< marked with the measure tool: the length measured
    std::string note;
    ContactStatus status = ContactStatus::Proposed;
    std::vector<std::uint8_t> chipPng; ///< the picture around the point as drawn, PNG
};

/// "2026-12-07T11:41:39.042Z".
std::string IsoUtcText(std::int64_t utcMs);
/// The milliseconds of an IsoUtcText (also without milliseconds or the Z); nothing for other text.
std::optional<std::int64_t> UtcMsOfIsoText(std::string_view text);

/// The latitude and longitude (degrees) of a UTM position in `zone` (`south`: the southern
/// false northing), found so that LatLonToUtmInZone gives the position back within a millimetre.
/// `nearLatDeg`, `nearLonDeg`: a position close by to start from.
std::optional<std::pair<double, double>> UtmToLatLon(double easting, double northing, int zone, bool south,
                                                     double nearLatDeg, double nearLonDeg);

} // namespace vexar
