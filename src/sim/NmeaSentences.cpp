#include "sim/NmeaSentences.h"

#include "common/TextFormat.h"
#include "common/UtcTime.h"

#include <cmath>

namespace vexar::sim {

namespace {

constexpr double kKnotsPerMps = 3600.0 / 1852.0;

/// "ddmm.mmmmmm,H" (latitude) or "dddmm.mmmmmm,H" (longitude).
std::string Coordinate(double degrees, int degreeDigits, char positive, char negative) {
    const long long units = std::llround(std::fabs(degrees) * 60.0e6); // millionths of a minute
    const long long whole = units / 60000000;
    const long long minutes = (units % 60000000) / 1000000;
    const long long millionths = units % 1000000;
    return FormatText("%0*lld%02lld.%06lld,%c", degreeDigits, whole, minutes, millionths,
                      degrees < 0.0 ? negative : positive);
}

std::string Time(const UtcDateTime& t) {
    return FormatText("%02d%02d%02d.%03d", t.hour, t.minute, t.second, t.millisecond);
}

std::string Position(const VehiclePose& pose) {
    return Coordinate(pose.position.latitudeDeg, 2, 'N', 'S') + "," +
           Coordinate(pose.position.longitudeDeg, 3, 'E', 'W');
}

std::string Gga(const VehiclePose& pose, const UtcDateTime& t) {
    return NmeaSentence("GPGGA," + Time(t) + "," + Position(pose) + ",1,12,0.7,1.5,M,0.0,M,,");
}

std::string Rmc(const VehiclePose& pose, const UtcDateTime& t) {
    return NmeaSentence("GPRMC," + Time(t) + ",A," + Position(pose) +
                        FormatText(",%.3f,%.2f,%02d%02d%02d,,,A", pose.speedMps * kKnotsPerMps,
                                   pose.courseDeg, t.day, t.month, t.year % 100));
}

} // namespace

std::string NmeaSentence(const std::string& body) {
    unsigned sum = 0;
    for (const char c : body) {
        sum ^= static_cast<unsigned char>(c);
    }
    return "$" + body + FormatText("*%02X\r\n", sum);
}

std::string NmeaSentences(const VehiclePose& pose, std::int64_t utcMs) {
    const UtcDateTime t = UtcFromMs(utcMs);
    // PASHR goes between GGA and RMC: gpsd takes the last sentence of a cycle that has a time as
    // the cycle's end, and reports the position (TPV) only when that is RMC, not PASHR.
    return Gga(pose, t) +
           NmeaSentence(FormatText("PASHR,%s,%.2f,T,%.2f,%.2f,0.00,0.010,0.010,0.020,1,1", Time(t).c_str(),
                                   pose.headingDeg, pose.rollDeg, pose.pitchDeg)) +
           Rmc(pose, t) + NmeaSentence(FormatText("GPHDT,%.2f,T", pose.headingDeg));
}

} // namespace vexar::sim
