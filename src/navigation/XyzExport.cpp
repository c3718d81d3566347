#include "navigation/XyzExport.h"

#include "files/RecordHeader.h"
#include "head/COndrel.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <span>
#include <string_view>
#include <system_error>

namespace vexar {

namespace {

constexpr const char* kConversionComplete = "Conversion Complete!";
constexpr const char* kErrorCreatingXyz = "Error Creating XYZ File!";
constexpr const char* kErrorWritingXyz = "Error Writing XYZ File!";
constexpr const char* kDefaultFileError = "Failed to open document.";

/// One profile point ready for output: its beam, the slant range in metres and the three
/// coordinates (track offset plus the rotated point).
struct XyzPoint {
    int beam = 0;
    double rangeM = 0.0;
    double x = 0.0;
    double y = 0.0;
    double z = 0.0;
};

std::string Printf(const char* format, auto... args) {
    const int needed = std::snprintf(nullptr, 0, format, args...);
    if (needed <= 0) {
        return {};
    }
    std::string text(static_cast<std::size_t>(needed) + 1, '\0');
    std::snprintf(text.data(), text.size(), format, args...);
    text.resize(static_cast<std::size_t>(needed));
    return text;
}

/// Formats one output line without allocating: into `buffer`, or into `spill` for the rare line
/// that does not fit (a huge label or coordinate).
template <std::size_t N>
std::string_view FormatLine(std::array<char, N>& buffer, std::string& spill, const char* format,
                            auto... args) {
    const int needed = std::snprintf(buffer.data(), buffer.size(), format, args...);
    if (needed < 0) {
        return {};
    }
    if (static_cast<std::size_t>(needed) < buffer.size()) {
        return {buffer.data(), static_cast<std::size_t>(needed)};
    }
    spill = Printf(format, args...);
    return spill;
}

bool IsSameFile(const std::string& a, const std::string& b) {
    if (a == b) {
        return true;
    }
    std::error_code error;
    return std::filesystem::equivalent(a, b, error) && !error;
}

/// The ping's head placed from the track (offsets since the first fix), its fix carried to the
/// ping's time.
HeadPose TrackPose(const CNavigation& nav, const XyzPing& ping) {
    const PlacedPoint track{nav.m_trackOffsetX, nav.m_trackOffsetY, nav.m_trackOffsetZ};
    return HeadPose(FixAt(nav, track, ping.timeStamp, ping.maxFixAgeMs), ping.mounting);
}

/// Calls `emit` for every beam of the ping that has a profile point, in beam order.
template <typename Emit> void ForEachPoint(const HeadPose& pose, const XyzPing& ping, Emit&& emit) {
    const PingSettings& settings = *ping.settings;
    const int beamSetting = settings.beams;
    const int samples = settings.samples;
    if (beamSetting <= 0 || samples <= 0) {
        return;
    }
    // A damaged setting must not reach past the combined profile.
    const int beams = static_cast<int>(std::min<long long>(3LL * beamSetting, kCombinedBeams));
    const float rangeM = settings.rangeM;
    const double c = static_cast<double>(settings.soundVelocity);
    BeamAngles angles(pose.Mounting().plane, beamSetting);
    for (int i = 0; i < beams; ++i, angles.Next()) {
        const float p = ping.combinedProfile[static_cast<std::size_t>(i)];
        if (!(p > 0.0f)) {
            continue;
        }
        const double r = static_cast<double>(p * rangeM / static_cast<float>(samples));
        const PlacedPoint point = pose.Place(angles.Angle(), r, c);
        emit(XyzPoint{i, r * c / kNominalSoundVelocity, point.east, point.north, point.down});
    }
}

constexpr const char* kXyzLineFormat = "%s\t%s.%s\t% 015.3f\t% 015.3f\t% 015.3f\n";

} // namespace

std::string FormatXyzLine(const std::string& label, double x, double y, double z) {
    return Printf("%s\t% 015.3f\t% 015.3f\t% 015.3f\n", label.c_str(), x, y, z);
}

std::string IsoTimeOfStamp(std::string_view stamp) {
    if (stamp.size() != static_cast<std::size_t>(kTimeStampLength) ||
        !std::all_of(stamp.begin(), stamp.end(), [](char c) { return c >= '0' && c <= '9'; })) {
        return {};
    }
    const auto part = [&](std::size_t at, std::size_t length) {
        return std::string(stamp.substr(at, length));
    };
    return part(4, 4) + "-" + part(2, 2) + "-" + part(0, 2) + "T" + part(8, 2) + ":" + part(10, 2) + ":" +
           part(12, 2) + "." + part(14, 3);
}

std::string CompanionXyzPath(const std::string& playedPath) {
    if (playedPath.size() < 3) {
        return playedPath + ".xyz";
    }
    return playedPath.substr(0, playedPath.size() - 3) + "xyz";
}

// ---------------------------------------------------------------------------------------------
// CXyzExport

void CXyzExport::Write(CNavigation& nav, std::string_view text) {
    const auto* bytes = reinterpret_cast<const std::uint8_t*>(text.data());
    if (!m_file.Write(std::span<const std::uint8_t>(bytes, text.size()))) {
        nav.m_xyzWriteFailed = 1;
    }
}

void CXyzExport::Tell(const std::string& text, MessageIcon icon) const {
    if (m_operator != nullptr) {
        m_operator->ShowMessage(text, icon);
    }
}

void CXyzExport::StartToSink(IMapPointSink& sink, CNavigation& nav) {
    m_active = true;
    m_sink = &sink;
    nav.StartTrack();
}

bool CXyzExport::StartToFile(const std::string& outputPath, const std::string& playedPath, CNavigation& nav) {
    m_active = true;
    if (m_file.IsOpen()) {
        return true;
    }
    // Creating the output truncates it: never let that be the recording being played (a played
    // file whose name ends in "xyz" has itself as companion).
    const bool clobbersPlayed = !playedPath.empty() && IsSameFile(outputPath, playedPath);
    if (clobbersPlayed || !m_file.Open(outputPath, CDataFile::Mode::CreateWrite)) {
        const std::string& reason = m_file.LastError();
        Tell(clobbersPlayed || reason.empty() ? kDefaultFileError : outputPath + "\n" + reason,
             MessageIcon::Error);
        Tell(kErrorCreatingXyz, MessageIcon::Error);
        return false;
    }
    nav.StartTrack();
    return true;
}

void CXyzExport::WriteTextPing(CNavigation& nav, const XyzPing& ping) {
    // The label is the record's date, a tab, its time, a point and its milliseconds.
    const std::string date(ping.dateText);
    const std::string time(ping.timeText);
    const std::string ms(ping.millisecondText);
    std::array<char, 256> buffer;
    std::string spill;
    const HeadPose pose = TrackPose(nav, ping);
    ForEachPoint(pose, ping, [&](const XyzPoint& point) {
        Write(nav, FormatLine(buffer, spill, kXyzLineFormat, date.c_str(), time.c_str(), ms.c_str(), point.x,
                              point.y, point.z));
    });
    // The track line: where the position reference was at the ping.
    const PlacedPoint& track = pose.Reference();
    Write(nav, FormatLine(buffer, spill, kXyzLineFormat, date.c_str(), time.c_str(), ms.c_str(), track.east,
                          track.north, track.down));
    Write(nav, "\n");
}

void CXyzExport::WriteMapPing(CNavigation& nav, const XyzPing& ping) {
    if (nav.m_firstFix != 0) {
        return;
    }
    const MapProjection projection{nav.m_originZone, nav.m_originSouth != 0};
    ForEachPoint(TrackPose(nav, ping), ping, [&](const XyzPoint& point) {
        m_sink->TakePoint(MapPoint{ping.timeStamp, projection, nav.m_originEasting + point.x,
                                   nav.m_originNorthing + point.y, point.z, point.beam, point.rangeM});
    });
}

void CXyzExport::WritePing(CNavigation& nav, const XyzPing& ping) {
    if (m_sink != nullptr) {
        WriteMapPing(nav, ping);
    } else if (m_file.IsOpen()) {
        WriteTextPing(nav, ping);
    }
}

void CXyzExport::Close() {
    if (m_file.IsOpen()) {
        m_file.Close();
        m_active = false;
    }
    if (m_sink != nullptr) {
        m_sink = nullptr;
        m_active = false;
    }
}

XyzExportResult CXyzExport::Finish(CNavigation& nav) {
    if (m_sink != nullptr) {
        // The sink's owner closes its output and tells the result.
        m_sink = nullptr;
        m_active = false;
        return XyzExportResult::NotRunning;
    }
    if (!m_active && !m_file.IsOpen()) {
        return XyzExportResult::NotRunning;
    }
    m_active = false;
    const bool wasOpen = m_file.IsOpen();
    // Without a fix every coordinate would be made up: nothing of the file stays.
    const bool noFixes = wasOpen && nav.m_firstFix != 0;
    if (noFixes && !m_file.Truncate(0)) {
        nav.m_xyzWriteFailed = 1;
    }
    // The last lines reach the file only here: a failed flush lost them as much as a failed write.
    if (wasOpen && !m_file.Flush()) {
        nav.m_xyzWriteFailed = 1;
    }
    m_file.Close();
    if (!wasOpen) {
        return XyzExportResult::NotRunning; // a file that could not be created was reported at the start
    }
    // A file that lost lines must not be reported as complete.
    if (nav.m_xyzWriteFailed != 0) {
        Tell(kErrorWritingXyz, MessageIcon::Error);
        return XyzExportResult::WriteFailed;
    }
    if (noFixes) {
        Tell(kXyzNoFixesText, MessageIcon::Warning);
        return XyzExportResult::NoFixes;
    }
    Tell(kConversionComplete, MessageIcon::Information);
    return XyzExportResult::Complete;
}

} // namespace vexar
