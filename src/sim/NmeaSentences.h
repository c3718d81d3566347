#pragma once
// NMEA 0183 sentences of a fix, as a GNSS receiver with a heading and attitude sensor sends them:
// GGA (time and position), RMC (time, position, speed and course, date), HDT (true heading) and
// PASHR (heading, roll and pitch, in the layout gpsd reads as attitude). Each sentence ends with
// its checksum and CR LF.

#include "sim/VehicleTrack.h"

#include <cstdint>
#include <string>

namespace vexar::sim {

/// GGA, PASHR, RMC and HDT of the vehicle at `pose`, stamped `utcMs`, run together, in the order
/// gpsd 3.22 reports them whole.
std::string NmeaSentences(const VehiclePose& pose, std::int64_t utcMs);

/// "$" + body + "*" + the checksum (exclusive or of the body's characters, two hex digits) + CR LF.
std::string NmeaSentence(const std::string& body);

} // namespace vexar::sim
