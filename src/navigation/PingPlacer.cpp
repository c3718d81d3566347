#include "navigation/PingPlacer.h"

#include "files/RecordScanner.h"

#include <algorithm>
#include <cmath>

namespace vexar {

namespace {
// A record carries its sentence only when it is longer than this.
constexpr std::size_t kShortestSentence = 5;
// Beams in a record: three per degree of a head's 120 degree sector at the most.
constexpr int kMostBeams = 1920;
constexpr int kMostSamples = 1000;
// Ranges and sound velocities a record may claim; anything beyond is damage, not a ping.
constexpr float kLongestRangeM = 1000.0f;
constexpr float kFastestSoundMps = 10000.0f;

bool PlausibleSettings(const RecordHeaderFields& fields) {
    return fields.beamCount >= 3 && fields.beamCount <= kMostBeams && fields.samples > 0 &&
           fields.samples <= kMostSamples && fields.rangeM > 0.0f && fields.rangeM <= kLongestRangeM &&
           fields.soundVelocity > 0.0f && fields.soundVelocity <= kFastestSoundMps;
}

bool Finite(const PlacedPing& ping) {
    const auto finite = [](double value) { return std::isfinite(value); };
    return finite(ping.east) && finite(ping.north) && finite(ping.depth) &&
           std::all_of(ping.dEast.begin(), ping.dEast.end(), finite) &&
           std::all_of(ping.dNorth.begin(), ping.dNorth.end(), finite) &&
           std::all_of(ping.dDepth.begin(), ping.dDepth.end(), finite);
}
} // namespace

std::span<const std::uint8_t> RecordData(std::span<const std::uint8_t> record,
                                         const RecordHeaderFields& fields) {
    if (fields.dataOffset > record.size() || fields.dataLength > record.size() - fields.dataOffset) {
        return {};
    }
    return record.subspan(fields.dataOffset, fields.dataLength);
}

std::string_view RecordSentence(std::span<const std::uint8_t> record, const RecordHeaderFields& fields) {
    if (fields.sentenceLength == 0 || fields.sentenceOffset > record.size() ||
        fields.sentenceLength > record.size() - fields.sentenceOffset) {
        return {};
    }
    return {reinterpret_cast<const char*>(record.data()) + fields.sentenceOffset, fields.sentenceLength};
}

PingPlacer::PingPlacer(MapProjection projection, const HeadMounting& mounting, int maxFixAgeMs)
    : m_track(projection), m_mounting(mounting), m_maxFixAgeMs(maxFixAgeMs) {}

void PingPlacer::StartRecording() {
    m_navigation = CNavigation{};
    m_track.Start();
}

bool PingPlacer::FollowSentence(std::string_view sentence) {
    // As playback does: a record without a sentence empties the texts and keeps the values; a
    // sentence with a position moves the track.
    if (sentence.size() <= kShortestSentence) {
        m_navigation.ClearNavigation();
        return false;
    }
    m_navigation.ParseNavigationSentence(sentence, false);
    if (m_navigation.m_latitudeText.empty() || m_navigation.m_longitudeText.empty()) {
        return false;
    }
    m_track.Update(m_navigation.m_latitude, m_navigation.m_longitude, m_navigation.m_depth);
    return m_track.Started();
}

Placement PingPlacer::Place(std::span<const std::uint8_t> record, PlacedPing& out) {
    ScannedRecord scanned;
    std::string reason;
    if (!CheckRecordBytes(record, scanned, reason) || scanned.kind == RecordKind::Raw) {
        return Placement::BadRecord;
    }
    return Place(scanned.fields, RecordSentence(record, scanned.fields), out);
}

Placement PingPlacer::Place(const RecordHeaderFields& fields, std::string_view sentence, PlacedPing& out) {
    // The track follows every record, as playback follows every ping.
    const bool hasFix = FollowSentence(sentence);
    if (!PlausibleSettings(fields)) {
        return Placement::BadRecord;
    }
    if (!hasFix) {
        return Placement::NoFix;
    }
    const PlacedPoint track{m_track.Easting(), m_track.Northing(), m_track.DepthChange()};
    const HeadPose pose(FixAt(m_navigation, track, fields.timeStamp, m_maxFixAgeMs), m_mounting);
    out.projection = m_track.Projection();
    out.east = pose.Head().east;
    out.north = pose.Head().north;
    out.depth = pose.Head().down;
    const int beams = fields.beamCount;
    out.beams = beams;
    out.samples = fields.samples;
    out.metresPerSample = static_cast<double>(fields.rangeM) / fields.samples;
    out.dEast.resize(static_cast<std::size_t>(beams));
    out.dNorth.resize(static_cast<std::size_t>(beams));
    out.dDepth.resize(static_cast<std::size_t>(beams));
    const auto c = static_cast<double>(fields.soundVelocity);
    BeamAngles angles(m_mounting.plane, beams / 3);
    for (std::size_t b = 0; b < static_cast<std::size_t>(beams); ++b, angles.Next()) {
        const PlacedPoint ray = pose.Ray(angles.Angle(), c);
        out.dEast[b] = ray.east;
        out.dNorth[b] = ray.north;
        out.dDepth[b] = ray.down;
    }
    // An attitude that parsed to no number places nothing.
    return Finite(out) ? Placement::Placed : Placement::BadRecord;
}

} // namespace vexar
