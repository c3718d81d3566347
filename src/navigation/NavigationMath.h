#pragma once
// The computations built on a navigation fix: UTM projection and attitude rotation.

namespace vexar {

/// UTM coordinates of one position.
struct UtmPoint {
    double easting = 0.0;  ///< metres, 500000 on the central meridian
    double northing = 0.0; ///< metres, 10000000 added south of the equator
    int zone = 0;
};

/// Latitude and longitude (degrees, south and west negative) to UTM on the WGS-84 ellipsoid,
/// series form. The zone follows the longitude, with the Norway and Svalbard exceptions.
UtmPoint LatLonToUtm(double latitudeDeg, double longitudeDeg);

/// Projects in the given zone (central meridian zone * 6 - 183 degrees); `zone` of the result
/// is the one given. LatLonToUtm is this with the zone it chooses.
UtmPoint LatLonToUtmInZone(double latitudeDeg, double longitudeDeg, int zone);

/// The map projection of a conversion or a map: a UTM zone and hemisphere on WGS 84.
struct MapProjection {
    int zone = 0;
    bool south = false;
    /// The EPSG code of the zone on WGS 84: 326zz north, 327zz south.
    int Epsg() const { return (south ? 32700 : 32600) + zone; }
    bool operator==(const MapProjection&) const = default;
};

/// A position in the given zone and hemisphere: the northing gets the southern false northing
/// when the map is a southern one, whichever side of the equator the position lies on.
UtmPoint ProjectInto(const MapProjection& projection, double latitudeDeg, double longitudeDeg);

/// A position on the WGS-84 ellipsoid, degrees (south and west negative).
struct LatLon {
    double latitudeDeg = 0.0;
    double longitudeDeg = 0.0;
};

/// UTM back to latitude and longitude (the inverse of LatLonToUtmInZone, series form, to a few
/// millimetres within a zone); `south`: the northing carries the southern false northing.
LatLon UtmToLatLon(const UtmPoint& point, bool south);

/// The UTM zone of a position, 1..60 for finite values.
int UtmZone(double latitudeDeg, double longitudeDeg);

/// A longitude in degrees brought into -180 <= value < 180.
double NormaliseLongitude(double longitudeDeg);

/// True when a move of `dEastM`, `dNorthM` between two fixes is travel; a move of 5 m or more in
/// either axis, or in distance, is a jump of the fix, which a track leaves out.
bool IsTravel(double dEastM, double dNorthM);

/// A point turned by the vessel's attitude.
struct RotatedPoint {
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

/// Rotates x, y, z by roll, then pitch, then heading (degrees). The XYZ export passes the
/// negated roll.
RotatedPoint RotateByAttitude(double x, double y, double z, float pitchDeg, float headingDeg, float rollDeg);

} // namespace vexar
