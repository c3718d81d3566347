#include "TruthWriter.h"

#include "common/TextFormat.h"
#include "common/UtcTime.h"
#include "navigation/NavigationMath.h"

#include <array>
#include <cerrno>
#include <cmath>
#include <cstring>
#include <iterator>

namespace vexar::headsim {

namespace {

enum Column : std::size_t {
    kKind,
    kName,
    kTime,
    kSeconds,
    kLatitude,
    kLongitude,
    kEasting,
    kNorthing,
    kLatitude2,
    kLongitude2,
    kEasting2,
    kNorthing2,
    kHeading,
    kPitch,
    kRoll,
    kSpeed,
    kCourse,
    kDepth,
    kAltitude,
    kColumns
};
using Row = std::array<std::string, kColumns>;

constexpr const char* kHeader =
    "kind,name,time,seconds,latitude,longitude,easting,northing,latitude2,longitude2,"
    "easting2,northing2,heading,pitch,roll,speed,course,depth,altitude\n";

std::string IsoTime(std::int64_t utcMs) {
    const UtcDateTime t = UtcFromMs(utcMs);
    return FormatText("%04d-%02d-%02dT%02d:%02d:%02d.%03dZ", t.year, t.month, t.day, t.hour, t.minute,
                      t.second, t.millisecond);
}

void Write(std::FILE* file, const Row& row) {
    std::string line;
    for (std::size_t i = 0; i < row.size(); ++i) {
        line += (i == 0 ? "" : ",") + row[i];
    }
    line += '\n';
    std::fputs(line.c_str(), file);
}

} // namespace

TruthWriter::~TruthWriter() {
    if (m_file != nullptr) {
        std::fclose(m_file);
    }
}

void TruthWriter::Place(const sim::VehicleTrack& track, double eastM, double northM,
                        std::string* cells) const {
    const sim::MapPosition p = sim::PositionOf(track, eastM, northM);
    const UtmPoint utm = LatLonToUtmInZone(p.latitudeDeg, p.longitudeDeg, m_zone);
    cells[0] = FormatText("%.9f", p.latitudeDeg);
    cells[1] = FormatText("%.9f", p.longitudeDeg);
    cells[2] = FormatText("%.3f", utm.easting);
    cells[3] = FormatText("%.3f", utm.northing);
}

bool TruthWriter::Open(const std::string& path, const sim::World& world, const sim::VehicleTrack& track,
                       std::string* error) {
    std::lock_guard lock(m_mutex);
    m_file = std::fopen(path.c_str(), "w");
    if (m_file == nullptr) {
        if (error != nullptr) {
            *error = std::strerror(errno);
        }
        return false;
    }
    m_zone = UtmZone(track.startLatitudeDeg, track.startLongitudeDeg);
    std::fputs(kHeader, m_file);
    Row origin;
    origin[kKind] = "origin";
    origin[kName] = FormatText("UTM zone %d%c", m_zone, track.startLatitudeDeg < 0.0 ? 'S' : 'N');
    Place(track, 0.0, 0.0, &origin[kLatitude]);
    Write(m_file, origin);
    if (world.seabed) {
        Row seabed = origin;
        seabed[kKind] = "seabed";
        seabed[kName] = FormatText("depth gained %.3f per m east and %.3f per m north",
                                   world.seabed->slopeEast, world.seabed->slopeNorth);
        seabed[kDepth] = FormatText("%.3f", world.seabed->depthM);
        Write(m_file, seabed);
    }
    WriteReflectors(world, track);
    std::fflush(m_file);
    return true;
}

void TruthWriter::WriteReflectors(const sim::World& world, const sim::VehicleTrack& track) {
    for (const sim::WorldPoint& p : world.points) {
        Row row;
        row[kKind] = "point";
        row[kName] = p.name;
        Place(track, p.eastM, p.northM, &row[kLatitude]);
        Write(m_file, row);
    }
    for (const sim::WorldWall& w : world.walls) {
        Row row;
        row[kKind] = "wall";
        row[kName] = w.name;
        Place(track, w.east1M, w.north1M, &row[kLatitude]);
        Place(track, w.east2M, w.north2M, &row[kLatitude2]);
        Write(m_file, row);
    }
}

void TruthWriter::WritePose(const char* kind, long long number, std::int64_t utcMs,
                            const sim::VehiclePose& pose, double altitudeM) {
    std::lock_guard lock(m_mutex);
    if (m_file == nullptr) {
        return;
    }
    const UtmPoint utm = LatLonToUtmInZone(pose.position.latitudeDeg, pose.position.longitudeDeg, m_zone);
    Row row;
    row[kKind] = kind;
    row[kName] = std::to_string(number);
    row[kTime] = IsoTime(utcMs);
    row[kSeconds] = FormatText("%.3f", pose.seconds);
    row[kLatitude] = FormatText("%.9f", pose.position.latitudeDeg);
    row[kLongitude] = FormatText("%.9f", pose.position.longitudeDeg);
    row[kEasting] = FormatText("%.3f", utm.easting);
    row[kNorthing] = FormatText("%.3f", utm.northing);
    const double values[] = {pose.headingDeg, pose.pitchDeg, pose.rollDeg, pose.speedMps,
                             pose.courseDeg,  pose.depthM,   altitudeM};
    for (std::size_t i = 0; i < std::size(values); ++i) {
        row[kHeading + i] = std::isfinite(values[i]) ? FormatText("%.3f", values[i]) : std::string();
    }
    Write(m_file, row);
    std::fflush(m_file);
}

} // namespace vexar::headsim
