#include "navigation/NavigationMath.h"

#include "common/Numeric.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace vexar {

namespace {
// WGS-84 as the projection uses it.
constexpr double kSemiMajorAxisM = 6378137.0;
constexpr double kEccentricitySquared = 0.00669438;
constexpr double kSecondEccentricitySquared = 0.006739496752268451;
constexpr double kScaleFactor = 0.9996;
constexpr double kFalseEastingM = 500000.0;
constexpr double kFalseNorthingSouthM = 10000000.0;
constexpr double kDegToRad = std::numbers::pi / 180.0;
// The attitude angles are turned into radians with this factor.
constexpr double kAttitudeDegToRad = 0.017453292;
} // namespace

double NormaliseLongitude(double longitudeDeg) {
    double t = longitudeDeg + 180.0;
    t -= std::trunc(t / 360.0) * 360.0;
    // Truncation leaves longitudes west of -180 negative; fold them into the circle too.
    if (t < 0.0) {
        t += 360.0;
    }
    return t - 180.0;
}

int UtmZone(double latitudeDeg, double longitudeDeg) {
    const double lon = NormaliseLongitude(longitudeDeg);
    int zone = TruncToInt((lon + 180.0) / 6.0) + 1;
    if (latitudeDeg >= 56.0 && latitudeDeg < 64.0 && lon >= 3.0 && lon < 12.0) {
        zone = 32;
    }
    if (latitudeDeg >= 72.0 && latitudeDeg < 84.0) {
        if (lon >= 0.0 && lon < 9.0) {
            zone = 31;
        } else if (lon >= 9.0 && lon < 21.0) {
            zone = 33;
        } else if (lon >= 21.0 && lon < 33.0) {
            zone = 35;
        } else if (lon >= 33.0 && lon < 42.0) {
            zone = 37;
        }
    }
    // Rounding at the very edge of the circle may give 61.
    return std::clamp(zone, 1, 60);
}

UtmPoint LatLonToUtmInZone(double latitudeDeg, double longitudeDeg, int zone) {
    const double lon = NormaliseLongitude(longitudeDeg);
    const double centralMeridianDeg = zone * 6.0 - 183.0;
    const double phi = latitudeDeg * kDegToRad;
    const double lambda = lon * kDegToRad;
    const double lambda0 = centralMeridianDeg * kDegToRad;

    const double e2 = kEccentricitySquared;
    const double e4 = e2 * e2;
    const double e6 = e4 * e2;
    const double sinPhi = std::sin(phi);
    const double cosPhi = std::cos(phi);
    const double tanPhi = std::tan(phi);

    const double n = kSemiMajorAxisM / std::sqrt(1.0 - e2 * sinPhi * sinPhi);
    const double t = tanPhi * tanPhi;
    const double c = kSecondEccentricitySquared * cosPhi * cosPhi;
    const double a = cosPhi * (lambda - lambda0);
    const double m =
        kSemiMajorAxisM * ((1.0 - e2 / 4.0 - 3.0 * e4 / 64.0 - 5.0 * e6 / 256.0) * phi -
                           (3.0 * e2 / 8.0 + 3.0 * e4 / 32.0 + 45.0 * e6 / 1024.0) * std::sin(2.0 * phi) +
                           (15.0 * e4 / 256.0 + 45.0 * e6 / 1024.0) * std::sin(4.0 * phi) -
                           (35.0 * e6 / 3072.0) * std::sin(6.0 * phi));

    const double a2 = a * a;
    const double a3 = a2 * a;
    const double a4 = a3 * a;
    const double a5 = a4 * a;
    const double a6 = a5 * a;

    UtmPoint result;
    result.zone = zone;
    result.easting =
        kScaleFactor * n *
            (a + (1.0 - t + c) * a3 / 6.0 +
             (5.0 - 18.0 * t + t * t + 72.0 * c - 58.0 * kSecondEccentricitySquared) * a5 / 120.0) +
        kFalseEastingM;
    result.northing =
        kScaleFactor *
        (m + n * tanPhi *
                 (a2 / 2.0 + (5.0 - t + 9.0 * c + 4.0 * c * c) * a4 / 24.0 +
                  (61.0 - 58.0 * t + t * t + 600.0 * c - 330.0 * kSecondEccentricitySquared) * a6 / 720.0));
    if (latitudeDeg < 0.0) {
        result.northing += kFalseNorthingSouthM;
    }
    return result;
}

LatLon UtmToLatLon(const UtmPoint& point, bool south) {
    const double e2 = kEccentricitySquared;
    const double ep2 = kSecondEccentricitySquared;
    const double x = point.easting - kFalseEastingM;
    const double y = point.northing - (south ? kFalseNorthingSouthM : 0.0);
    // The footpoint latitude of the meridian arc y / k0.
    const double mu =
        y / kScaleFactor /
        (kSemiMajorAxisM * (1.0 - e2 / 4.0 - 3.0 * e2 * e2 / 64.0 - 5.0 * e2 * e2 * e2 / 256.0));
    const double root = std::sqrt(1.0 - e2);
    const double e1 = (1.0 - root) / (1.0 + root);
    const double phi1 = mu + (3.0 * e1 / 2.0 - 27.0 * std::pow(e1, 3) / 32.0) * std::sin(2.0 * mu) +
                        (21.0 * e1 * e1 / 16.0 - 55.0 * std::pow(e1, 4) / 32.0) * std::sin(4.0 * mu) +
                        (151.0 * std::pow(e1, 3) / 96.0) * std::sin(6.0 * mu) +
                        (1097.0 * std::pow(e1, 4) / 512.0) * std::sin(8.0 * mu);
    const double sinPhi = std::sin(phi1);
    const double cosPhi = std::cos(phi1);
    const double w = 1.0 - e2 * sinPhi * sinPhi;
    const double n1 = kSemiMajorAxisM / std::sqrt(w);
    const double r1 = kSemiMajorAxisM * (1.0 - e2) / (w * std::sqrt(w));
    const double t1 = std::tan(phi1) * std::tan(phi1);
    const double c1 = ep2 * cosPhi * cosPhi;
    const double d = x / (n1 * kScaleFactor);
    const double d2 = d * d;
    const double latitude =
        phi1 - (n1 * std::tan(phi1) / r1) *
                   (d2 / 2.0 - (5.0 + 3.0 * t1 + 10.0 * c1 - 4.0 * c1 * c1 - 9.0 * ep2) * d2 * d2 / 24.0 +
                    (61.0 + 90.0 * t1 + 298.0 * c1 + 45.0 * t1 * t1 - 252.0 * ep2 - 3.0 * c1 * c1) * d2 * d2 *
                        d2 / 720.0);
    const double longitude =
        (d - (1.0 + 2.0 * t1 + c1) * d2 * d / 6.0 +
         (5.0 - 2.0 * c1 + 28.0 * t1 - 3.0 * c1 * c1 + 8.0 * ep2 + 24.0 * t1 * t1) * d2 * d2 * d / 120.0) /
        cosPhi;
    return {latitude / kDegToRad, NormaliseLongitude(point.zone * 6.0 - 183.0 + longitude / kDegToRad)};
}

UtmPoint ProjectInto(const MapProjection& projection, double latitudeDeg, double longitudeDeg) {
    UtmPoint point = LatLonToUtmInZone(latitudeDeg, longitudeDeg, projection.zone);
    if (latitudeDeg < 0.0 && !projection.south) {
        point.northing -= kFalseNorthingSouthM;
    } else if (latitudeDeg >= 0.0 && projection.south) {
        point.northing += kFalseNorthingSouthM;
    }
    return point;
}

UtmPoint LatLonToUtm(double latitudeDeg, double longitudeDeg) {
    return LatLonToUtmInZone(latitudeDeg, longitudeDeg, UtmZone(latitudeDeg, longitudeDeg));
}

bool IsTravel(double dEastM, double dNorthM) {
    constexpr double kJumpM = 5.0;
    return std::fabs(dEastM) < kJumpM && std::fabs(dNorthM) < kJumpM &&
           std::sqrt(dEastM * dEastM + dNorthM * dNorthM) < kJumpM;
}

RotatedPoint RotateByAttitude(double x, double y, double z, float pitchDeg, float headingDeg, float rollDeg) {
    const double p = static_cast<double>(pitchDeg) * kAttitudeDegToRad;
    const double h = static_cast<double>(headingDeg) * kAttitudeDegToRad;
    const double r = static_cast<double>(rollDeg) * kAttitudeDegToRad;
    const double u = x * std::sin(r) + y * std::cos(r);
    const double w = x * std::cos(r) - y * std::sin(r);
    RotatedPoint out;
    out.z = u * std::cos(p) - z * std::sin(p);
    const double v = u * std::sin(p) + z * std::cos(p);
    out.x = w * std::cos(h) + v * std::sin(h);
    out.y = v * std::cos(h) - w * std::sin(h);
    return out;
}

} // namespace vexar
