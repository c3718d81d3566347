#pragma once
// PingPlacer: puts the beams of a beam (B96) or profile-point (P96) record on the map. Each
// record carries the ping's settings, its time and its navigation sentence, so a file of them,
// or the records a conversion builds, can be placed without the document: the sentence moves
// the track and sets the attitude, and every beam becomes a ray from the head (the track's
// position carried to the ping's time, plus the lever arm), laid by the head's mounting and
// turned by pitch, heading and roll, along which a slant range lies.

#include "files/RecordHeader.h"
#include "navigation/CNavigation.h"
#include "navigation/HeadPlacement.h"
#include "navigation/MapTrack.h"

#include <cstdint>
#include <span>
#include <string_view>
#include <vector>

namespace vexar {

/// The beams of one ping on the map: a point at slant range r (m, as the record gives it) of beam
/// b lies at east + r * dEast[b], north + r * dNorth[b], depth + r * dDepth[b].
struct PlacedPing {
    MapProjection projection;
    double east = 0.0;  ///< m, where every beam starts: the head
    double north = 0.0; ///< m
    double depth = 0.0; ///< m, below the track's first fix (down positive)
    int beams = 0;
    int samples = 0;
    double metresPerSample = 0.0; ///< slant range of one sample step of a beam record
    std::vector<double> dEast;    ///< per beam, per metre of slant range
    std::vector<double> dNorth;
    std::vector<double> dDepth;
};

/// What a record told about its ping.
enum class Placement {
    Placed,
    NoFix,     ///< the record has no position, or no usable fix started the track yet
    BadRecord, ///< not a whole beam or point record with beams and samples
};

class PingPlacer {
public:
    /// `projection` zone 0: the zone of the first usable fix. A fix is carried forward to its
    /// ping by at most `maxFixAgeMs`.
    explicit PingPlacer(MapProjection projection = {}, const HeadMounting& mounting = {},
                        int maxFixAgeMs = 2000);

    /// A new recording: a new track that starts at its first usable fix.
    void StartRecording();
    /// Follows the navigation of one whole record (header included) and places its beams.
    Placement Place(std::span<const std::uint8_t> record, PlacedPing& out);
    /// The same for a record whose header has been read and checked already.
    Placement Place(const RecordHeaderFields& fields, std::string_view sentence, PlacedPing& out);

    /// Follows the navigation sentence of one record without placing anything: true when the
    /// record carries a position and a usable fix has started the track.
    bool FollowSentence(std::string_view sentence);

    /// The map's zone; zone 0 until a usable fix chose it.
    const MapProjection& Projection() const { return m_track.Projection(); }

private:
    CNavigation m_navigation;
    MapTrack m_track;
    HeadMounting m_mounting;
    int m_maxFixAgeMs;
};

/// The data block of a whole record (header included) as its header places it.
std::span<const std::uint8_t> RecordData(std::span<const std::uint8_t> record,
                                         const RecordHeaderFields& fields);
/// The navigation sentence of a whole record; empty when it carries none.
std::string_view RecordSentence(std::span<const std::uint8_t> record, const RecordHeaderFields& fields);

} // namespace vexar
