#pragma once
// The UDP output of the recorder at a steady ping rate, received on 127.0.0.1 by a plain datagram
// socket left at the system's default receive buffer: how many records arrive whole.

#include <cstdint>
#include <string>

namespace vexar::test {

struct LoopbackOutputResult {
    int pings = 0;
    std::uint64_t wholePoint = 0; ///< point records received whole
    std::uint64_t wholeBeam = 0;  ///< beam records received whole
    std::uint64_t damaged = 0;    ///< damage events of the receiver (incomplete records, strays)
    std::uint64_t droppedBySender = 0;
    int receiveBufferBytes = 0; ///< as the system reports it for the receiving socket
    std::string error;          ///< set when the run could not be made
};

/// Builds `pings` point and beam records of 480 beams x 1000 samples per head setting (1440 x
/// 1000 in the records) at `pingsPerSecond`, sent through the paced sender (or, with `paced`
/// off, straight from the socket) to a plain receiver on 127.0.0.1.
LoopbackOutputResult RunLoopbackOutput(int pings, double pingsPerSecond, bool paced);

} // namespace vexar::test
