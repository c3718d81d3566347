#pragma once
// TruthWriter: what the simulated head knows to be true, for tests to compare the console's
// results with. A CSV file with the header
//
//   kind,name,time,seconds,latitude,longitude,easting,northing,latitude2,longitude2,easting2,
//   northing2,heading,pitch,roll,speed,course,depth,altitude
//
// and rows of these kinds: "origin" (the start, name "UTM zone 32N"), "seabed" (depth at the
// start; name gives its slopes), "point" and "wall" (every reflector on the map: a wall's second
// end in the columns ending in 2), then as time goes on "fix" (every navigation fix published,
// name its number) and "ping" (the vehicle's pose when a ping began, name its number). Times are
// UTC in ISO 8601 with milliseconds and as seconds since the head started; positions are WGS 84
// degrees and UTM metres in the zone of the start, as the console projects them; angles degrees.
// Rows are flushed as they are written. Every call is thread-safe.

#include "sim/World.h"

#include <cstdint>
#include <cstdio>
#include <mutex>
#include <string>

namespace vexar::headsim {

class TruthWriter {
public:
    TruthWriter() = default;
    ~TruthWriter();
    TruthWriter(const TruthWriter&) = delete;
    TruthWriter& operator=(const TruthWriter&) = delete;

    /// Creates the file and writes the origin, the seabed and the reflectors; false (and why)
    /// when it cannot be created.
    bool Open(const std::string& path, const sim::World& world, const sim::VehicleTrack& track,
              std::string* error);
    /// A row of the vehicle's track: `kind` "fix" or "ping", numbered `number`; an altitude that
    /// is not finite (no seabed) is left empty.
    void WritePose(const char* kind, long long number, std::int64_t utcMs, const sim::VehiclePose& pose,
                   double altitudeM);

private:
    void WriteReflectors(const sim::World& world, const sim::VehicleTrack& track);
    /// Latitude, longitude, easting and northing of a point into four cells from `cells`.
    void Place(const sim::VehicleTrack& track, double eastM, double northM, std::string* cells) const;

    std::mutex m_mutex;
    std::FILE* m_file = nullptr;
    int m_zone = 0;
};

} // namespace vexar::headsim
