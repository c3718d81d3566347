#include "contacts/Contact.h"

#include "common/UtcTime.h"
#include "navigation/NavigationMath.h"

#include <array>
#include <cmath>
#include <cstdio>

namespace vexar {

namespace {
constexpr std::array kStatusNames = {"proposed", "confirmed", "rejected"};
constexpr double kFalseNorthingSouthM = 10000000.0;

int Digits(std::string_view text, std::size_t at, std::size_t count, bool& ok) {
    int value = 0;
    for (std::size_t i = at; i < at + count; ++i) {
        if (i >= text.size() || text[i] < '0' || text[i] > '9') {
            ok = false;
            return 0;
        }
        value = value * 10 + (text[i] - '0');
    }
    return value;
}
} // namespace

std::string_view StatusName(ContactStatus status) {
    return kStatusNames[static_cast<std::size_t>(status)];
}

std::optional<ContactStatus> StatusOfName(std::string_view name) {
    for (std::size_t i = 0; i < kStatusNames.size(); ++i) {
        if (name == kStatusNames[i]) {
            return static_cast<ContactStatus>(i);
        }
    }
    return std::nullopt;
}

std::string IsoUtcText(std::int64_t utcMs) {
    const UtcDateTime t = UtcFromMs(utcMs);
    char text[40];
    std::snprintf(text, sizeof text, "%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.year, t.month, t.day, t.hour,
                  t.minute, t.second, t.millisecond);
    return text;
}

std::optional<std::int64_t> UtcMsOfIsoText(std::string_view text) {
    // YYYY-MM-DDTHH:MM:SS[.mmm][Z]
    if (text.size() < 19 || text[4] != '-' || text[7] != '-' || (text[10] != 'T' && text[10] != ' ') ||
        text[13] != ':' || text[16] != ':') {
        return std::nullopt;
    }
    bool ok = true;
    UtcDateTime t;
    t.year = Digits(text, 0, 4, ok);
    t.month = Digits(text, 5, 2, ok);
    t.day = Digits(text, 8, 2, ok);
    t.hour = Digits(text, 11, 2, ok);
    t.minute = Digits(text, 14, 2, ok);
    t.second = Digits(text, 17, 2, ok);
    std::size_t at = 19;
    if (at < text.size() && text[at] == '.') {
        t.millisecond = Digits(text, at + 1, 3, ok);
        at += 4;
    }
    if (at < text.size() && text[at] == 'Z') {
        ++at;
    }
    if (!ok || at != text.size()) {
        return std::nullopt;
    }
    return MsFromUtc(t);
}

std::optional<std::pair<double, double>> UtmToLatLon(double easting, double northing, int zone, bool south,
                                                     double nearLatDeg, double nearLonDeg) {
    if (!std::isfinite(easting) || !std::isfinite(northing) || zone < 1 || zone > 60) {
        return std::nullopt;
    }
    // Newton's method on the projection itself, with its derivatives taken numerically: a few
    // steps from a position within some kilometres reach the millimetre.
    constexpr double kStepDeg = 1e-6;
    double lat = nearLatDeg;
    double lon = nearLonDeg;
    const auto project = [&](double la, double lo) {
        UtmPoint p = LatLonToUtmInZone(la, lo, zone);
        // The hemisphere is the map's, whichever side of the equator the point lies on.
        const bool pointSouth = la < 0.0;
        if (pointSouth != south) {
            p.northing += south ? kFalseNorthingSouthM : -kFalseNorthingSouthM;
        }
        return p;
    };
    for (int i = 0; i < 8; ++i) {
        const UtmPoint p = project(lat, lon);
        const double de = easting - p.easting;
        const double dn = northing - p.northing;
        if (std::hypot(de, dn) < 1e-4) {
            return std::make_pair(lat, lon);
        }
        const UtmPoint pLat = project(lat + kStepDeg, lon);
        const UtmPoint pLon = project(lat, lon + kStepDeg);
        const double a = (pLat.easting - p.easting) / kStepDeg;
        const double b = (pLon.easting - p.easting) / kStepDeg;
        const double c = (pLat.northing - p.northing) / kStepDeg;
        const double d = (pLon.northing - p.northing) / kStepDeg;
        const double det = a * d - b * c;
        if (!(std::fabs(det) > 0.0)) {
            return std::nullopt;
        }
        lat += (d * de - b * dn) / det;
        lon += (a * dn - c * de) / det;
    }
    const UtmPoint p = project(lat, lon);
    if (std::hypot(easting - p.easting, northing - p.northing) < 1e-3) {
        return std::make_pair(lat, lon);
    }
    return std::nullopt;
}

} // namespace vexar
