#pragma once
// What the simulated head's --truth file says, and the records and programs the end-to-end tests
// check against it: the map position of every reflector, the vehicle's position at every fix and
// ping, the head's at every ping; each record's time and sentence; vexar-cli run on loopback
// settings in UTC.

#include <QString>
#include <QStringList>

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace vexar::test {

/// Milliseconds since 1970 of "YYYY-MM-DDTHH:MM:SS.mmm" (a trailing Z or not), read as UTC.
std::int64_t IsoMs(const std::string& text);

/// The comma-separated cells of a line.
std::vector<std::string> Cells(const std::string& line);

struct MapSpot {
    double easting = 0.0;
    double northing = 0.0;
};

struct MapWall {
    std::string name;
    MapSpot from;
    MapSpot to;
};

struct Truth {
    int zone = 0;
    std::map<std::int64_t, MapSpot> track; ///< the vehicle at every fix and ping, by time
    std::map<std::int64_t, MapSpot> head;  ///< the head at every ping, by time
    std::map<std::string, MapSpot> points; ///< point reflectors by name
    std::vector<MapWall> walls;

    /// The vehicle's position at `ms`, between the poses around it (or from the last two, up to
    /// 200 ms after the last); false outside the track.
    bool At(std::int64_t ms, double& easting, double& northing) const;
    /// The head's position at `ms`, likewise between its poses at the pings around it.
    bool HeadAt(std::int64_t ms, double& easting, double& northing) const;
    /// Distance of a point from the line through the quay wall (its first and last piece).
    double FromQuay(double easting, double northing) const;
};

Truth ReadTruth(const std::string& path);

/// A record's request time (its time stamp, local time = UTC here) and its sentence.
struct RecordedFix {
    std::int64_t ms = 0;
    std::string sentence;
};

std::vector<RecordedFix> ReadRecords(const std::string& path);

/// Runs vexar-cli (VEXAR_CLI_PATH) with `--settings settingsPath` after the subcommand, in UTC and
/// offscreen; its exit status (-1: it hung) and everything it printed.
int RunCli(QStringList arguments, const std::string& settingsPath, QString& output);

} // namespace vexar::test
